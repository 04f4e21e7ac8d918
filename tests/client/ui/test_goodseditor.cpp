// The goods editing window in its three modes, the rules of its boxes and what a
// submit sends, and the goods page actions that open it.

#include "client/core/appstate.h"
#include "client/core/skin.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/goods/goodseditor.h"
#include "client/ui/goods/goodspage.h"
#include "client/ui/goods/grantwindow.h"
#include "client/ui/goods/purchasergoodspage.h"
#include "protocol/listreply.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace vantrell::client;
using namespace vantrell::test;

namespace {

const QString kGoodsInfo = QStringLiteral(
    "基础通讯_返回商品基本信息|商品分类名称[饮料]商品分类列表[3,饮料|5,零食|]商品名称[矿泉水550ml]"
    "商品编码[SP-001]商品规格[24瓶/箱]商品单价[36.5]商品重量[13.2]商品库存[120]库存单位[箱]");

class GoodsEditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        AppState &state = appState();
        state.appTitle = QStringLiteral("Vantrell供销通");
        state.currentUserName = QStringLiteral("supplier");
        state.profileType = QStringLiteral("供应商");
        registerAllHandlers();
        main = new MainWindow;
        main->show();
        processPending();
        requests.clear();
    }

    void TearDown() override
    {
        WindowRegistry::close(WindowId::GoodsEditing);
        WindowRegistry::close(WindowId::Main);
        processPending();
    }

    void deliver(const QString &payload) { ServerLink::instance().deliver(gbkPayload(payload)); }

    GoodsEditor *open(GoodsEditor::Mode mode, int id)
    {
        openGoodsEditor(main, mode, id);
        auto *editor = WindowRegistry::as<GoodsEditor>(WindowId::GoodsEditing);
        EXPECT_NE(editor, nullptr);
        return editor;
    }

    QLineEdit *box(GoodsEditor *editor, const char *name)
    {
        return child<QLineEdit>(editor, QString::fromUtf8(name));
    }
    QPushButton *action(GoodsEditor *editor)
    {
        return child<QPushButton>(editor, QStringLiteral("超级按钮_增加编辑商品"));
    }
    // Fills a valid add form; each case then spoils one field.
    void fillValid(GoodsEditor *editor)
    {
        box(editor, "编辑框_商品名称")->setText(QStringLiteral("苏打水"));
        box(editor, "编辑框_商品单价")->setText(QStringLiteral("12.5元"));
        box(editor, "编辑框_商品重量")->setText(QStringLiteral("1.5千克"));
        box(editor, "编辑框_商品库存")->setText(QStringLiteral("30"));
        box(editor, "编辑框_商品编码")->clear();
        child<QComboBox>(editor, QStringLiteral("组合框_单位"))->setEditText(QStringLiteral("个"));
    }

    FakeMessageBoxes boxes;
    TempUserData data;
    RequestRecorder requests;
    ProgramEndRecorder ender;
    MainWindow *main = nullptr;
};

} // namespace

TEST_F(GoodsEditorTest, AddModeAsksForCategoriesAndSendsExactDecimals)
{
    GoodsEditor *editor = open(GoodsEditor::Mode::Add, 0);
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_获取商品基本信息/分类列表|")});
    EXPECT_EQ(child<QLabel>(editor, QStringLiteral("透明标签8"))->text(), QStringLiteral("增加商品"));
    EXPECT_EQ(action(editor)->text(), QStringLiteral("提交"));
    EXPECT_EQ(box(editor, "编辑框_商品单价")->text(), QStringLiteral("0元"));
    EXPECT_EQ(box(editor, "编辑框_商品重量")->text(), QStringLiteral("0千克"));
    auto *unit = child<QComboBox>(editor, QStringLiteral("组合框_单位"));
    EXPECT_EQ(unit->currentText(), QStringLiteral("个"));
    EXPECT_EQ(unit->count(), 5);

    deliver(QStringLiteral("基础通讯_返回商品基本信息/分类列表|3,饮料|5,零食|,空名|"));
    auto *category = child<QComboBox>(editor, QStringLiteral("组合框_分类"));
    ASSERT_EQ(category->count(), 2); // an entry without its ID is left out
    EXPECT_EQ(category->itemData(1).toInt(), 5);
    EXPECT_EQ(category->currentText(), QStringLiteral("设置商品分类..."));
    requests.clear();

    fillValid(editor);
    action(editor)->click();
    // The placeholder sends no category; the price keeps both decimals, the weight none
    // beyond what was typed; adding sends an empty goods ID.
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_增加编辑商品|商品ID[]商品名称[苏打水]商品编码[]商品规格[]"
                                         "商品单价[12.50]商品重量[1.5]商品库存[30]商品单位[个]商品分类[]")});
    EXPECT_TRUE(boxes.shown().isEmpty());

    // A category typed by hand is sent as typed (a new one is created by the server).
    requests.clear();
    QTest::qWait(400); // the click guard
    category->setEditText(QStringLiteral(" 矿泉水 "));
    action(editor)->click();
    ASSERT_EQ(requests.texts().size(), 1);
    EXPECT_TRUE(requests.texts().first().endsWith(QStringLiteral("商品分类[矿泉水]")));

    deliver(QStringLiteral("基础通讯_增加商品成功|"));
    processPending();
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::GoodsEditing));
    EXPECT_EQ(boxes.last().text, QStringLiteral("商品增加成功!"));
    EXPECT_EQ(boxes.last().caption, QStringLiteral("提示"));
    EXPECT_TRUE(requests.texts().last().startsWith(
        QStringLiteral("基础通讯_供应商查询商品列表|关键词[]查询页数[1]")));
}

TEST_F(GoodsEditorTest, SubmitRefusesShortNamesMissingAmountsAndGarbage)
{
    GoodsEditor *editor = open(GoodsEditor::Mode::Add, 0);
    requests.clear();
    struct Case
    {
        const char *field;
        QString text;
        QString message;
    };
    const QList<Case> cases = {
        {"编辑框_商品名称", QStringLiteral("abc"), QStringLiteral("商品名称长度必须超过4个字符!")},
        {"编辑框_商品单价", QStringLiteral("0元"), QStringLiteral("请填写商品单价!")},
        {"编辑框_商品单价", QStringLiteral("-1"), QStringLiteral("请填写商品单价!")},
        {"编辑框_商品单价", QString(), QStringLiteral("请填写商品单价!")},
        {"编辑框_商品单价", QStringLiteral("1.2.3"), QStringLiteral("商品单价必须是数字,例如 12.50!")},
        {"编辑框_商品单价", QStringLiteral("abc"), QStringLiteral("商品单价必须是数字,例如 12.50!")},
        {"编辑框_商品单价", QStringLiteral("1.234元"), QStringLiteral("商品单价最多两位小数!")},
        {"编辑框_商品库存", QStringLiteral("0"), QStringLiteral("请填写商品库存!")},
        {"编辑框_商品库存", QStringLiteral("1.5"), QStringLiteral("商品库存必须是整数!")},
        {"编辑框_商品库存", QStringLiteral("十"), QStringLiteral("商品库存必须是数字!")},
        {"编辑框_商品重量", QStringLiteral("1.2.3千克"),
         QStringLiteral("商品重量必须是不小于0的数字,最多三位小数!")},
        {"编辑框_商品重量", QStringLiteral("0.0001"),
         QStringLiteral("商品重量必须是不小于0的数字,最多三位小数!")},
    };
    for (const Case &c : cases) {
        fillValid(editor);
        QLineEdit *field = box(editor, c.field);
        field->setText(c.text);
        boxes.clear();
        action(editor)->click();
        EXPECT_EQ(boxes.last().text, c.message) << c.field << " " << c.text.toStdString();
        EXPECT_EQ(boxes.last().caption, QStringLiteral("增加商品"));
        EXPECT_EQ(editor->focusWidget(), field) << c.field;
    }
    fillValid(editor);
    child<QComboBox>(editor, QStringLiteral("组合框_单位"))->setEditText(QStringLiteral("x"));
    action(editor)->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("请填写单位!"));
    // Forbidden characters stop the submit as well.
    fillValid(editor);
    box(editor, "编辑框_商品编码")->setText(QStringLiteral("A|B"));
    action(editor)->click();
    EXPECT_TRUE(requests.texts().isEmpty()) << requests.texts().join(QLatin1Char('\n')).toStdString();

    // Two Chinese characters are four bytes and pass; so do four letters.
    for (const QString &name : {QStringLiteral("苏打"), QStringLiteral("abcd")}) {
        fillValid(editor);
        box(editor, "编辑框_商品名称")->setText(name);
        QTest::qWait(400);
        action(editor)->click();
    }
    EXPECT_EQ(requests.texts().size(), 2);
}

TEST_F(GoodsEditorTest, AmountBoxesNormaliseOnLeavingAndStep)
{
    GoodsEditor *editor = open(GoodsEditor::Mode::Add, 0);
    QLineEdit *price = box(editor, "编辑框_商品单价");
    QLineEdit *weight = box(editor, "编辑框_商品重量");
    QLineEdit *name = box(editor, "编辑框_商品名称");
    // The offscreen window is never active, so focus changes are delivered by hand.
    const auto focus = [](QLineEdit *field, QEvent::Type type) {
        QFocusEvent event(type, Qt::TabFocusReason);
        QCoreApplication::sendEvent(field, &event);
    };
    const auto typeAndLeave = [&](QLineEdit *field, const QString &text) {
        focus(field, QEvent::FocusIn);
        field->selectAll();
        typeText(field, text);
        focus(field, QEvent::FocusOut);
        return field->text();
    };
    focus(price, QEvent::FocusIn);
    EXPECT_EQ(price->text(), QStringLiteral("0")); // the unit goes while typing
    EXPECT_EQ(typeAndLeave(weight, QStringLiteral("-2")), QStringLiteral("0千克"));
    EXPECT_EQ(typeAndLeave(weight, QStringLiteral("1.23456")), QStringLiteral("1.235千克"));
    EXPECT_EQ(typeAndLeave(price, QStringLiteral("12.345")), QStringLiteral("12.35元"));
    // A text that is no number stays as typed, for the submit to refuse.
    EXPECT_EQ(typeAndLeave(price, QStringLiteral("1.2.3")), QStringLiteral("1.2.3元"));

    price->setText(QStringLiteral("12.35元"));
    child<QToolButton>(editor, QStringLiteral("按钮_商品单价_加"))->click();
    EXPECT_EQ(price->text(), QStringLiteral("13.35元"));
    price->setText(QStringLiteral("0.5元"));
    child<QToolButton>(editor, QStringLiteral("按钮_商品单价_减"))->click();
    EXPECT_EQ(price->text(), QStringLiteral("0元"));
    weight->setText(QStringLiteral("1.5千克"));
    child<QToolButton>(editor, QStringLiteral("按钮_商品重量_加"))->click();
    EXPECT_EQ(weight->text(), QStringLiteral("1.501千克"));
    EXPECT_EQ(weight->cursorPosition(), weight->text().size());

    // Enter moves through the fields in order.
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(editor->focusWidget(), box(editor, "编辑框_商品编码"));
    QTest::keyClick(box(editor, "编辑框_商品编码"), Qt::Key_Return);
    QTest::keyClick(box(editor, "编辑框_商品规格"), Qt::Key_Return);
    EXPECT_EQ(editor->focusWidget(), price);
}

TEST_F(GoodsEditorTest, EditModeWaitsForTheGoodsAndSendsItsId)
{
    GoodsEditor *editor = open(GoodsEditor::Mode::Edit, 42);
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_获取商品基本信息|商品ID[42]")});
    EXPECT_EQ(child<QLabel>(editor, QStringLiteral("透明标签8"))->text(), QStringLiteral("编辑商品"));
    EXPECT_EQ(action(editor)->text(), QStringLiteral("保存"));
    EXPECT_FALSE(action(editor)->isEnabled());
    requests.clear();

    deliver(kGoodsInfo);
    EXPECT_TRUE(action(editor)->isEnabled());
    EXPECT_EQ(box(editor, "编辑框_商品单价")->text(), QStringLiteral("36.5元"));
    EXPECT_EQ(box(editor, "编辑框_商品重量")->text(), QStringLiteral("13.2千克"));
    EXPECT_EQ(child<QComboBox>(editor, QStringLiteral("组合框_单位"))->currentText(), QStringLiteral("箱"));
    auto *category = child<QComboBox>(editor, QStringLiteral("组合框_分类"));
    EXPECT_EQ(category->count(), 2);
    EXPECT_EQ(category->currentText(), QStringLiteral("饮料"));
    QLineEdit *name = box(editor, "编辑框_商品名称");
    EXPECT_EQ(name->cursorPosition(), name->text().size());
    EXPECT_TRUE(requests.texts().isEmpty()); // filling sends nothing

    action(editor)->click();
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral(
                  "基础通讯_增加编辑商品|商品ID[42]商品名称[矿泉水550ml]商品编码[SP-001]商品规格[24瓶/箱]"
                  "商品单价[36.50]商品重量[13.2]商品库存[120]商品单位[箱]商品分类[饮料]")});

    // Edited goods keep the list on its page.
    main->findChild<QLineEdit *>(QStringLiteral("编辑框_商品_页"))->setText(QStringLiteral("3"));
    requests.clear();
    deliver(QStringLiteral("基础通讯_编辑商品成功|"));
    processPending();
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::GoodsEditing));
    EXPECT_EQ(boxes.last().text, QStringLiteral("商品编辑成功!"));
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_供应商查询商品列表|关键词[]查询页数[3]商品状态[1]")});
}

TEST_F(GoodsEditorTest, ViewModeIsReadOnlyAndItsButtonCloses)
{
    GoodsEditor *editor = open(GoodsEditor::Mode::View, 7);
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_获取商品基本信息|商品ID[7]")});
    EXPECT_EQ(child<QLabel>(editor, QStringLiteral("透明标签8"))->text(), QStringLiteral("查看"));
    EXPECT_TRUE(action(editor)->isEnabled());
    deliver(kGoodsInfo);
    for (const char *name : {"编辑框_商品名称", "编辑框_商品单价", "编辑框_商品库存"})
        EXPECT_FALSE(box(editor, name)->isEnabled()) << name;
    EXPECT_FALSE(child<QComboBox>(editor, QStringLiteral("组合框_分类"))->isEnabled());
    requests.clear();
    action(editor)->click();
    processPending();
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::GoodsEditing));
    EXPECT_TRUE(requests.texts().isEmpty());
    // A reply for a window that is gone does nothing.
    deliver(kGoodsInfo);
}

TEST_F(GoodsEditorTest, GoodsPageActionsNeedASelectedRow)
{
    main->navigate(NavColumn::Supplier, 2);
    processPending();
    deliver(QStringLiteral("基础通讯_返回供应商查询商品列表|合计页数[1]当前页数[1]列标详情_列信息[ID_0_0]"
                           "列标详情_列信息[状态_50_1]"
                           "列标详情_列信息[商品名称_140_0]数据详情_ID[9]状态[正常]商品名称[矿泉水]"));
    auto *list = main->findChild<QTreeWidget *>(QStringLiteral("超级列表框_商品"));
    ASSERT_EQ(list->topLevelItemCount(), 1);
    requests.clear();

    for (const char *button : {"超级按钮_商品管理_编辑", "超级按钮_商品管理_下架上架"}) {
        boxes.clear();
        main->findChild<QPushButton *>(QString::fromUtf8(button))->click();
        EXPECT_EQ(boxes.last().text, QStringLiteral("请先选中一个商品!")) << button;
        EXPECT_EQ(boxes.last().caption, QStringLiteral("Vantrell供销通"));
    }
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::GoodsEditing));
    EXPECT_TRUE(requests.texts().isEmpty());

    list->setCurrentItem(list->topLevelItem(0));
    main->findChild<QPushButton *>(QStringLiteral("超级按钮_商品管理_下架上架"))->click();
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_商品上架下架|商品ID[9]类型[下架]")});
    requests.clear();
    deliver(QStringLiteral("基础通讯_商品上架下架成功|"));
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_供应商查询商品列表|关键词[]查询页数[1]商品状态[1]")});

    requests.clear();
    main->findChild<QPushButton *>(QStringLiteral("超级按钮_商品管理_编辑"))->click();
    auto *editor = WindowRegistry::as<GoodsEditor>(WindowId::GoodsEditing);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->mode(), GoodsEditor::Mode::Edit);
    EXPECT_EQ(editor->goodsId(), 9);
}

namespace {

// Demo-like goods as the server lists them: ID, 状态, code, category, name, spec, price,
// weight, stock (and the supplier for a purchaser).
const std::vector<std::vector<std::string>> kDemoGoods = {
    {"9", "正常", "QH-1009", "休闲零食", "原味薯片", "104g/袋", "7.50", "0.104", "800"},
    {"8", "正常", "QH-1008", "饮料", "天然矿泉水", "550ml×24", "36.00", "13.2", "75"},
    {"7", "正常", "QH-1007", "调味品", "特级生抽酱油", "1.9L/瓶", "15.80", "2.1", "240"},
    {"5", "正常", "QH-1005", "杂粮干货", "有机黄豆", "2.5kg/袋", "36.50", "2.5", "90"},
    {"4", "正常", "QH-1004", "粮油米面", "手工挂面", "1kg/包", "9.90", "1", "600"},
    {"3", "正常", "QH-1003", "禽蛋", "散养鲜鸡蛋", "30枚/盒", "28.50", "1.9", "480"},
    {"2", "正常", "QH-1002", "粮油米面", "压榨菜籽油", "5L/桶", "89.90", "4.6", "150"},
    {"1", "正常", "QH-1001", "粮油米面", "东北有机大米", "5kg/袋", "68.00", "5", "320"},
};

QString goodsListReply(bool purchaser)
{
    // The server's columns: narrower ones when the supplier column is added.
    vantrell::protocol::ListReplyBuilder builder;
    builder.pages(2, 1)
        .column("ID", 0)
        .column("状态", purchaser ? 45 : 50, 1)
        .column("商品编码", purchaser ? 70 : 80)
        .column("商品分类", purchaser ? 70 : 80)
        .column("商品名称", purchaser ? 110 : 140)
        .column("商品规格", purchaser ? 70 : 80)
        .column("商品单价", purchaser ? 70 : 80, 2)
        .column("商品重量", purchaser ? 70 : 80, 2)
        .column("商品库存", purchaser ? 70 : 80, 2);
    if (purchaser)
        builder.column("供应商", 120);
    for (std::vector<std::string> row : kDemoGoods) {
        if (purchaser)
            row.push_back("青禾食品有限公司");
        builder.row(row);
    }
    return QStringLiteral("%1|%2").arg(purchaser ? QStringLiteral("基础通讯_返回采购商查询商品列表")
                                                 : QStringLiteral("基础通讯_返回供应商查询商品列表"),
                                       QString::fromStdString(builder.str()));
}

} // namespace

// Not a check: writes the pictures of docs/screenshots when run with
// --gtest_also_run_disabled_tests and VANTRELL_SCREENSHOTS set to the target directory.
TEST_F(GoodsEditorTest, DISABLED_Screenshots)
{
    const QString target = qEnvironmentVariable("VANTRELL_SCREENSHOTS");
    ASSERT_FALSE(target.isEmpty());
    ASSERT_TRUE(attachSkin(0, 0, 0, 0));
    auto save = [&target](QWidget *widget, const char *name) {
        processPending();
        EXPECT_TRUE(widget->grab().save(target + QLatin1Char('/') + QString::fromUtf8(name)));
    };
    const QString goodsInfo = QStringLiteral(
        "基础通讯_返回商品基本信息|商品分类名称[粮油米面]商品分类列表[4,休闲零食|2,禽蛋|1,粮油米面|3,"
        "杂粮干货|]"
        "商品名称[压榨菜籽油]商品编码[QH-1002]商品规格[5L/桶]商品单价[89.90]商品重量[4.6]商品库存[150]"
        "库存单位[桶]");

    main->navigate(NavColumn::Supplier, 2);
    deliver(goodsListReply(false));
    QTreeWidget *list = main->goodsPage()->list();
    list->setCurrentItem(list->topLevelItem(1));
    save(main, "goods-page-supplier-800x600.png");

    GoodsEditor *editor = open(GoodsEditor::Mode::Add, 0);
    deliver(QStringLiteral("基础通讯_返回商品基本信息/分类列表|4,休闲零食|2,禽蛋|1,粮油米面|3,杂粮干货|"));
    save(editor, "goods-editor-add.png");
    WindowRegistry::close(WindowId::GoodsEditing);
    processPending();
    editor = open(GoodsEditor::Mode::Edit, 2);
    deliver(goodsInfo);
    save(editor, "goods-editor-edit.png");
    WindowRegistry::close(WindowId::GoodsEditing);
    processPending();

    openGrantWindowOver(main);
    auto *grant = WindowRegistry::as<GrantWindow>(WindowId::GoodsAuthorisation);
    ASSERT_NE(grant, nullptr);
    deliver(QStringLiteral(
        "基础通讯_返回分销商列表/授权商品|合计页数[1]当前页数[1]列标详情_列信息[ID_0_0]"
        "列标详情_列信息[公司名称_160_0]列标详情_列信息[姓名_70_0]列标详情_列信息[授权方式_70_1]"
        "数据详情_ID[11]公司名称[鲜达商贸有限公司]姓名[王采购]授权方式[指定商品]"
        "数据详情_ID[12]公司名称[南方连锁超市]姓名[李四]授权方式[全部商品]"
        "数据详情_ID[13]公司名称[北方便利店]姓名[赵六]授权方式[全部商品]"));
    auto *distributors = child<QTreeWidget>(grant, QStringLiteral("超级列表框_采购商"));
    distributors->setCurrentItem(distributors->topLevelItem(0));
    vantrell::protocol::ListReplyBuilder grants;
    grants.extra("商品授权", "2")
        .extra("采购商ID", "11")
        .pages(1, 1)
        .column("ID", 0)
        .column("商品名称", 160)
        .column("商品分类", 85)
        .column("商品编码", 100)
        .column("商品规格", 80)
        .column("授权状态", 0);
    for (const auto &row : kDemoGoods)
        grants.row(
            {row[0], row[4], row[3], row[2], row[5], row[3] == "粮油米面" || row[0] == "3" ? "1" : "2"});
    deliver(QStringLiteral("基础通讯_返回商品列表/授权商品|") + QString::fromStdString(grants.str()));
    save(grant, "goods-grant-supplier.png");
    TearDown();

    appState().profileType = QStringLiteral("采购商");
    main = new MainWindow;
    main->show();
    processPending();
    main->navigate(NavColumn::Purchaser, 2);
    main->purchaserGoodsPage()->supplierLabel()->setText(QStringLiteral("青禾食品有限公司"));
    deliver(goodsListReply(true));
    list = main->purchaserGoodsPage()->list();
    list->setCurrentItem(list->topLevelItem(2));
    save(main, "goods-page-purchaser-800x600.png");
    editor = open(GoodsEditor::Mode::View, 2);
    deliver(goodsInfo);
    save(editor, "goods-editor-view.png");
    qApp->setStyleSheet(QString());
}
