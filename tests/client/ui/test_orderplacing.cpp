// The order placing and goods choosing windows against injected replies: ticking,
// quantities, exact totals and freight questions, the submit lock and pasted lines.

#include "client/core/appstate.h"
#include "client/core/text.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/orders/goodschooserwindow.h"
#include "client/ui/orders/orderhooks.h"
#include "client/ui/orders/orderplacingwindow.h"
#include "protocol/listreply.h"
#include "protocol/scramble.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace vantrell::client;
using namespace vantrell::test;

namespace {

struct Goods
{
    std::string id, name, code, price, weight, stock;
};

QString goodsReply(const std::vector<Goods> &goods)
{
    vantrell::protocol::ListReplyBuilder builder;
    builder.pages(1, 1)
        .column("商品ID", 0)
        .column("名称", 150)
        .column("编码", 80)
        .column("规格", 80)
        .column("单位", 45, 1)
        .column("单价", 70, 2)
        .column("重量", 70, 2)
        .column("库存", 60, 2);
    for (const Goods &g : goods)
        builder.row({g.id, g.name, g.code, "500g", "袋", g.price, g.weight, g.stock});
    return QStringLiteral("基础通讯_返回采购商查询商品列表/下单|") + QString::fromStdString(builder.str());
}

std::vector<Goods> manyGoods(int count)
{
    std::vector<Goods> goods;
    for (int i = 1; i <= count; ++i)
        goods.push_back({std::to_string(100 + i), "商品" + std::to_string(i), "C" + std::to_string(i), "1.10",
                         "0.1", "20"});
    return goods;
}

class OrderPlacingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        AppState &state = appState();
        state.appTitle = QStringLiteral("Vantrell供销通");
        state.currentUserName = QStringLiteral("buyer");
        state.profileType = QStringLiteral("采购商");
        registerAllHandlers();
        main = new MainWindow;
        main->show();
        processPending();
        openOrderPlacing(main);
        window = WindowRegistry::as<OrderPlacingWindow>(WindowId::OrderPlacing);
        ASSERT_NE(window, nullptr);
        requests.clear();
    }

    void TearDown() override
    {
        WindowRegistry::close(WindowId::GoodsChoosing);
        WindowRegistry::close(WindowId::OrderPlacing);
        WindowRegistry::close(WindowId::Main);
        processPending();
    }

    void deliver(const QString &payload) { ServerLink::instance().deliver(gbkPayload(payload)); }

    void pickSupplier(const std::string &name = "<b>远航</b>食品有限公司")
    {
        child<QToolButton>(window, QStringLiteral("超级按钮_订单管理_供应商采购商列表_搜索"))->click();
        vantrell::protocol::ListReplyBuilder builder;
        builder.pages(1, 1).column("ID", 0).column("公司名称", 170).column("姓名", 70).column("电话", 100, 1);
        builder.row({"7", name, "张三", "13800000000"});
        deliver(QStringLiteral("基础通讯_返回供应商列表/下单|") + QString::fromStdString(builder.str()));
        auto *list = child<QTreeWidget>(window, QStringLiteral("超级列表框_供应商列表"));
        ASSERT_EQ(list->topLevelItemCount(), 1);
        emit list->itemClicked(list->topLevelItem(0), 1);
        requests.clear();
    }

    GoodsChooserWindow *openChooser()
    {
        child<QPushButton>(window, QStringLiteral("超级按钮_订单管理_下单发货1"))->click();
        return WindowRegistry::as<GoodsChooserWindow>(WindowId::GoodsChoosing);
    }

    QTreeWidget *goodsList(GoodsChooserWindow *chooser)
    {
        return child<QTreeWidget>(chooser, QStringLiteral("超级列表框1"));
    }

    void tick(GoodsChooserWindow *chooser, int row, bool on = true)
    {
        goodsList(chooser)->topLevelItem(row)->setCheckState(chooser->tickColumn(),
                                                             on ? Qt::Checked : Qt::Unchecked);
    }

    QTableWidget *grid() { return child<QTableWidget>(window, QStringLiteral("高级表格1")); }
    QTableWidget *sums() { return child<QTableWidget>(window, QStringLiteral("高级表格2")); }
    // As the user's edit ends: the cell text changes with signals on.
    void typeQuantity(int row, const QString &text) { grid()->item(row, 6)->setText(text); }

    FakeMessageBoxes boxes;
    TempUserData data;
    RequestRecorder requests;
    ProgramEndRecorder ender;
    MainWindow *main = nullptr;
    OrderPlacingWindow *window = nullptr;
};

} // namespace

TEST_F(OrderPlacingTest, SupplierPanelAndGoodsNeedASupplier)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("下单"));
    child<QPushButton>(window, QStringLiteral("超级按钮_订单管理_下单发货1"))->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("请先选择供应商!"));
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::GoodsChoosing));

    child<QToolButton>(window, QStringLiteral("超级按钮_订单管理_供应商采购商列表_搜索"))->click();
    EXPECT_TRUE(window->supplierPanelOpen());
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_获取供应商列表/下单|关键词[]")});
    pickSupplier();
    EXPECT_FALSE(window->supplierPanelOpen());
    EXPECT_EQ(window->chosenSupplier(), 7);
    auto *label = child<QLabel>(window, QStringLiteral("透明标签_订单管理_供应商采购商列表"));
    EXPECT_EQ(label->text(), QStringLiteral("<b>远航</b>食品有限公司"));
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
}

TEST_F(OrderPlacingTest, TicksAddLinesUpToFiftyAndKeepOneLinePerGoods)
{
    pickSupplier();
    GoodsChooserWindow *chooser = openChooser();
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(
        requests.texts(),
        (QStringList{QStringLiteral("基础通讯_获取商品分类/商品下单|供应商ID[7]"),
                     QStringLiteral("基础通讯_采购商查询商品列表/下单|供应商ID[7]商品分类ID[0]关键词[]")}));
    deliver(QStringLiteral("基础通讯_返回商品分类/商品下单|分类列表[3,干货|5,调味品|]"));
    auto *combo = child<QComboBox>(chooser, QStringLiteral("组合框1"));
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("所有分类"));
    requests.clear();

    std::vector<Goods> goods = manyGoods(51);
    goods.push_back({"999", "缺货商品", "C999", "2.00", "1", "0"});
    deliver(goodsReply(goods));
    for (int row = 0; row < 50; ++row)
        tick(chooser, row);
    EXPECT_EQ(window->lines().size(), 50);
    EXPECT_TRUE(boxes.shown().isEmpty());
    // Ticking sends nothing: quantities are still 0.
    EXPECT_TRUE(requests.texts().isEmpty());

    tick(chooser, 50);
    EXPECT_EQ(boxes.last().text, QStringLiteral("商品数量不能超过50个。"));
    EXPECT_EQ(boxes.last().caption, QStringLiteral("下单"));
    EXPECT_EQ(goodsList(chooser)->topLevelItem(50)->checkState(chooser->tickColumn()), Qt::Unchecked);
    EXPECT_EQ(window->lines().size(), 50);

    tick(chooser, 0, false);
    EXPECT_EQ(window->lines().size(), 49);
    EXPECT_EQ(window->lines().first().goodsId, QStringLiteral("102"));
    tick(chooser, 51);
    EXPECT_EQ(boxes.last().text, QStringLiteral("商品库存不足。"));
    EXPECT_EQ(goodsList(chooser)->topLevelItem(51)->checkState(chooser->tickColumn()), Qt::Unchecked);

    // A new search shows the ordered rows ticked without adding them again.
    combo->setCurrentIndex(1);
    EXPECT_EQ(requests.texts().last(),
              QStringLiteral("基础通讯_采购商查询商品列表/下单|供应商ID[7]商品分类ID[3]关键词[]"));
    deliver(goodsReply(goods));
    EXPECT_EQ(goodsList(chooser)->topLevelItem(0)->checkState(chooser->tickColumn()), Qt::Unchecked);
    EXPECT_EQ(goodsList(chooser)->topLevelItem(1)->checkState(chooser->tickColumn()), Qt::Checked);
    EXPECT_EQ(window->lines().size(), 49);
    EXPECT_EQ(grid()->item(0, 1)->text(), QStringLiteral("商品2"));
    EXPECT_EQ(grid()->item(48, 0)->text(), QStringLiteral("49"));
    EXPECT_EQ(grid()->item(49, 1)->text(), QString());

    // Another supplier starts an empty order.
    WindowRegistry::close(WindowId::GoodsChoosing);
    processPending();
    pickSupplier();
    EXPECT_TRUE(window->lines().isEmpty());
    EXPECT_EQ(grid()->item(0, 1)->text(), QString());
}

TEST_F(OrderPlacingTest, QuantitiesGiveExactTotalsAndFreightQuestions)
{
    pickSupplier();
    GoodsChooserWindow *chooser = openChooser();
    deliver(goodsReply(
        {{"11", "龙口粉丝", "FS01", "0.10", "0.1", "30"}, {"12", "香菇", "XG02", "12.35", "0.25", "8"}}));
    tick(chooser, 0);
    tick(chooser, 1);
    WindowRegistry::close(WindowId::GoodsChoosing);
    processPending();
    requests.clear();

    // Without an address the totals are shown at once, freight 0.
    typeQuantity(0, QStringLiteral("3"));
    EXPECT_TRUE(requests.texts().isEmpty());
    EXPECT_EQ(grid()->item(0, 7)->text(), QStringLiteral("0.30"));
    EXPECT_EQ(sums()->item(0, 2)->text(), QStringLiteral("0.3"));
    EXPECT_EQ(sums()->item(0, 4)->text(), QStringLiteral("0"));
    EXPECT_EQ(sums()->item(0, 5)->text(), QStringLiteral("0.30"));

    auto *address = child<QLineEdit>(window, QStringLiteral("编辑框_收货地址"));
    address->setText(QStringLiteral("江苏省南京市 浙江省路1号"));
    emit address->editingFinished();
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_获取运费/下单|供应商ID[7]重量[0.3]件数[3]地区索引[2]")});
    address->setText(QStringLiteral("浙江省杭州市上海路"));
    typeQuantity(1, QStringLiteral("7"));
    EXPECT_EQ(requests.texts().last(),
              QStringLiteral("基础通讯_获取运费/下单|供应商ID[7]重量[2.05]件数[10]地区索引[1]"));
    deliver(QStringLiteral("基础通讯_返回运费/下单|运费[8.00]"));
    EXPECT_EQ(sums()->item(0, 1)->text(), QStringLiteral("10"));
    EXPECT_EQ(sums()->item(0, 3)->text(), QStringLiteral("86.75"));
    EXPECT_EQ(sums()->item(0, 4)->text(), QStringLiteral("8.00"));
    EXPECT_EQ(sums()->item(0, 5)->text(), QStringLiteral("94.75"));
    deliver(QStringLiteral("基础通讯_返回运费/下单|运费[待定]"));
    EXPECT_EQ(sums()->item(0, 4)->text(), QStringLiteral("待定"));
    EXPECT_EQ(sums()->item(0, 5)->text(), QStringLiteral("86.75"));
    EXPECT_EQ(OrderPlacingWindow::regionIndex(QStringLiteral("火星基地")), 0);

    // Below the last line there is nothing to count; a quantity that is no number is 0.
    typeQuantity(5, QStringLiteral("4"));
    EXPECT_EQ(grid()->item(5, 6)->text(), QString());
    typeQuantity(1, QStringLiteral("abc"));
    EXPECT_EQ(window->lines()[1].quantity, 0);
    child<QPushButton>(window, QStringLiteral("超级按钮_订单管理_下单"))->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("请填写数量!"));
    EXPECT_EQ(grid()->currentRow(), 1);
    EXPECT_EQ(grid()->currentColumn(), 6);

    // The quantity editor takes whole numbers only.
    grid()->setCurrentCell(0, 6);
    grid()->editItem(grid()->item(0, 6));
    auto *editor = grid()->findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr);
    editor->clear();
    QTest::keyClicks(editor, QStringLiteral("1.5-"));
    EXPECT_EQ(editor->text(), QStringLiteral("15"));
}

TEST_F(OrderPlacingTest, SubmitChecksThenSendsOnceUntilTheServerAnswers)
{
    auto *submit = child<QPushButton>(window, QStringLiteral("超级按钮_订单管理_下单"));
    submit->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("请先选择供应商!"));
    pickSupplier();
    submit->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("请先选择商品！"));
    GoodsChooserWindow *chooser = openChooser();
    deliver(goodsReply({{"11", "龙口粉丝", "FS01", "3.50", "0.5", "30"}}));
    tick(chooser, 0);
    WindowRegistry::close(WindowId::GoodsChoosing);
    processPending();
    typeQuantity(0, QStringLiteral("2"));
    requests.clear();

    boxes.answerNext(MessageAnswer::No);
    submit->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("收货地址未填写,是否继续?"));
    EXPECT_TRUE(requests.texts().isEmpty());

    child<QLineEdit>(window, QStringLiteral("编辑框_收货地址"))->setText(QStringLiteral("上海市浦东新区"));
    child<QLineEdit>(window, QStringLiteral("编辑框_给供应商留言"))->setText(QStringLiteral("周五前送到"));
    submit->click();
    submit->click();
    QTest::keyClick(submit, Qt::Key_Return);
    ASSERT_EQ(requests.payloads().size(), 1);
    EXPECT_FALSE(submit->isEnabled());
    const QString sent = requests.texts().first();
    EXPECT_TRUE(sent.startsWith(QStringLiteral("基础通讯_下单|供应商ID[7]收货地址["))) << sent.toStdString();
    EXPECT_TRUE(sent.endsWith(QStringLiteral("]数据详情_商品ID[11]数量[2]\r\n"))) << sent.toStdString();
    const qsizetype start = sent.indexOf(QStringLiteral("收货地址[")) + 5;
    const QString scrambled = sent.mid(start, sent.indexOf(QLatin1Char(']'), start) - start);
    EXPECT_EQ(fromGbk(vantrell::protocol::unscramble(scrambled.toStdString())),
              QStringLiteral("上海市浦东新区"));
    EXPECT_FALSE(sent.contains(QStringLiteral("周五")));

    // A refusal lets the user correct the order and send it again.
    deliver(QStringLiteral("提示信息_错误|内容[商品库存不足!]"));
    EXPECT_TRUE(submit->isEnabled());
    requests.clear();
    submit->click();
    EXPECT_EQ(requests.payloads().size(), 1);

    requests.clear();
    deliver(QStringLiteral("基础通讯_下单成功|"));
    processPending();
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::OrderPlacing));
    ASSERT_EQ(requests.texts().size(), 1);
    EXPECT_TRUE(requests.texts().first().startsWith(QStringLiteral("基础通讯_查询订单|")));
    EXPECT_TRUE(requests.texts().first().endsWith(QStringLiteral("查询页数[1]")));
    EXPECT_EQ(boxes.last().text, QStringLiteral("下单成功!"));
    EXPECT_EQ(boxes.last().caption, QStringLiteral("下单"));
}

TEST_F(OrderPlacingTest, PastedSpreadsheetLinesAreLookedUpAmongOrderableGoods)
{
    pickSupplier();
    const QString orderable = goodsReply(
        {{"11", "龙口粉丝", "FS01", "3.50", "0.5", "30"}, {"12", "香菇", "XG02", "12.35", "0.25", "8"}});

    window->pasteText(QStringLiteral("编码\t数量\nFS01\t4\nNOPE\t1\nXG99,2\n"));
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral(
                                    "基础通讯_采购商查询商品列表/下单|供应商ID[7]商品分类ID[0]关键词[]")});
    deliver(orderable);
    EXPECT_EQ(boxes.last().text,
              QStringLiteral("以下商品编码不存在、未授权或已下架,未粘贴任何商品:\nNOPE\nXG99"));
    EXPECT_TRUE(window->lines().isEmpty());

    boxes.clear();
    requests.clear();
    window->pasteText(QStringLiteral("FS01\t2.5\n"));
    EXPECT_EQ(boxes.last().text.left(4), QStringLiteral("第1行不"));
    EXPECT_TRUE(requests.texts().isEmpty());

    child<QLineEdit>(window, QStringLiteral("编辑框_收货地址"))->setText(QStringLiteral("广东省深圳市"));
    window->pasteText(QStringLiteral("FS01\t4\r\nXG02,2\r\n"));
    requests.clear();
    deliver(orderable);
    ASSERT_EQ(window->lines().size(), 2);
    EXPECT_EQ(window->lines()[0].quantity, 4);
    EXPECT_EQ(window->lines()[1].goodsId, QStringLiteral("12"));
    EXPECT_EQ(grid()->item(1, 7)->text(), QStringLiteral("24.70"));
    // One freight question for the whole paste.
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_获取运费/下单|供应商ID[7]重量[2.5]件数[6]地区索引[15]")});
}

// Writes the two windows with realistic data to VANTRELL_SCREENSHOT_DIR when it is set.
TEST_F(OrderPlacingTest, ScreenshotsWhenAsked)
{
    const QString dir = qEnvironmentVariable("VANTRELL_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "VANTRELL_SCREENSHOT_DIR not set";
    pickSupplier("远航食品有限公司");
    GoodsChooserWindow *chooser = openChooser();
    deliver(QStringLiteral("基础通讯_返回商品分类/商品下单|分类列表[3,粮油|5,干货|8,调味品|]"));
    deliver(goodsReply({{"11", "东北大米", "DM01", "12.75", "5", "100"},
                        {"12", "龙口粉丝", "FS02", "3.50", "0.25", "48"},
                        {"13", "香菇干", "XG03", "26.80", "0.5", "30"},
                        {"14", "黄豆酱油", "JY04", "8.90", "0.8", "0"},
                        {"15", "花生油", "HS05", "59.00", "5", "20"}}));
    tick(chooser, 0);
    tick(chooser, 1);
    tick(chooser, 2);
    chooser->resize(760, 520);
    chooser->grab().save(dir + QStringLiteral("/goods-choosing-purchaser.png"));
    WindowRegistry::close(WindowId::GoodsChoosing);
    processPending();
    typeQuantity(0, QStringLiteral("10"));
    typeQuantity(1, QStringLiteral("24"));
    typeQuantity(2, QStringLiteral("5"));
    child<QLineEdit>(window, QStringLiteral("编辑框_收货地址"))
        ->setText(QStringLiteral("上海市浦东新区张江路88号"));
    window->updateFreight();
    deliver(QStringLiteral("基础通讯_返回运费/下单|运费[124.00]"));
    window->grab().save(dir + QStringLiteral("/order-placing-purchaser.png"));
}
