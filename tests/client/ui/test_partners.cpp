// The partner page's actions, the cooperation application window and the supplier
// drop-down of the goods and order pages, against recorded requests and boxes.

#include "client/core/appstate.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/goods/purchasergoodspage.h"
#include "client/ui/orders/orderpage.h"
#include "client/ui/partners/cooperationwindow.h"
#include "client/ui/partners/partnerhooks.h"
#include "client/ui/partners/partnerpage.h"
#include "client/ui/partners/supplierdropdown.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTest>
#include <QTreeWidget>

using namespace vantrell::client;
using namespace vantrell::test;

namespace {

const QString kPartnerList = QStringLiteral(
    "基础通讯_返回申请合作列表|合计页数[3]当前页数[2]列标详情_列信息[ID_0_0]列标详情_列信息[状态_70_1]"
    "列标详情_列信息[商家名称_170_0]列标详情_列信息[姓名_80_0]列标详情_列信息[电话_100_1]"
    "列标详情_列信息[地址_140_0]"
    "数据详情_ID[21]状态[审核中]商家名称[<b>华东商贸</b>]姓名[李四]电话[13900000000]地址[上海]"
    "数据详情_ID[22]状态[正常]商家名称[南方连锁]姓名[王五]电话[13700000000]地址[广州]"
    "数据详情_ID[23]状态[停用]商家名称[北方超市]姓名[赵六]电话[13600000000]地址[天津]");

const QString kSuppliers = QStringLiteral(
    "基础通讯_返回合作商列表|合计页数[1]当前页数[1]列标详情_列信息[ID_0_0]列标详情_列信息[账号_110_0]"
    "列标详情_列信息[公司_200_0]列标详情_列信息[状态_70_1]"
    "数据详情_ID[5]账号[supplier]公司[<b>远航贸易</b>]状态[]"
    "数据详情_ID[6]账号[maker]公司[东方食品]状态[正常]");

const QString kDropDown = QStringLiteral(
    "基础通讯_返回合作商列表/下拉菜单|合计页数[1]当前页数[1]列标详情_列信息[ID_0_0]"
    "列标详情_列信息[公司名称_180_0]数据详情_ID[5]公司名称[<i>远航贸易</i>]数据详情_ID[6]公司名称[东方食品]");

class PartnersTest : public ::testing::Test
{
protected:
    void start(const QString &type, const QString &name)
    {
        AppState &state = appState();
        state.appTitle = QStringLiteral("Vantrell供销通");
        state.currentUserName = QStringLiteral("buyer");
        state.profileType = type;
        state.profileName = name;
        registerAllHandlers();
        main = new MainWindow;
        main->resize(1000, 680);
        main->show();
        processPending();
        page = main->partnerPage();
        requests.clear();
    }

    void TearDown() override
    {
        setGrantWindowOpener({});
        WindowRegistry::close(WindowId::CooperationApplication);
        WindowRegistry::close(WindowId::PersonalCentre);
        WindowRegistry::close(WindowId::SupplierDropDown);
        WindowRegistry::close(WindowId::Main);
        processPending();
    }

    void deliver(const QString &payload)
    {
        ServerLink::instance().deliver(gbkPayload(payload));
        processPending();
    }
    QPushButton *button(const QString &name) { return child<QPushButton>(main, name); }
    void selectRow(QTreeWidget *list, int row) { list->setCurrentItem(list->topLevelItem(row)); }

    FakeMessageBoxes boxes;
    TempUserData data;
    RequestRecorder requests;
    ProgramEndRecorder ender;
    MainWindow *main = nullptr;
    PartnerPage *page = nullptr;
};

} // namespace

TEST_F(PartnersTest, SupplierAgreesWithoutAQuestionAndCancelsOnlyAfterOne)
{
    start(QStringLiteral("供应商"), QStringLiteral("张三"));
    int grantOpened = 0;
    setGrantWindowOpener({});
    button(QStringLiteral("超级按钮_商家管理_商品授权"))->click(); // no opener: nothing
    setGrantWindowOpener([&](QWidget *owner) {
        EXPECT_EQ(owner, main);
        ++grantOpened;
    });
    button(QStringLiteral("超级按钮_商家管理_商品授权"))->click();
    EXPECT_EQ(grantOpened, 1);

    deliver(kPartnerList);
    QTreeWidget *list = page->list();
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->topLevelItem(0)->text(2), QStringLiteral("<b>华东商贸</b>")); // literally
    for (int row = 0; row < 3; ++row)
        EXPECT_FALSE(list->topLevelItem(row)->icon(1).isNull()) << row;
    EXPECT_TRUE(requests.texts().isEmpty()); // filling is not a pick

    button(QStringLiteral("超级按钮_商家管理_1"))->click();
    button(QStringLiteral("超级按钮_商家管理_2"))->click();
    ASSERT_EQ(boxes.shown().size(), 2);
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("请选中商家!"));
    EXPECT_EQ(boxes.shown()[1].text, QStringLiteral("请选中商家!"));
    EXPECT_EQ(boxes.last().caption, QStringLiteral("Vantrell供销通"));
    EXPECT_TRUE(requests.texts().isEmpty());

    selectRow(list, 0);
    boxes.clear();
    button(QStringLiteral("超级按钮_商家管理_1"))->click();
    EXPECT_TRUE(boxes.shown().isEmpty());
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_启用停用商家|ID[21]类型[1]")});

    requests.clear();
    boxes.answerNext(MessageAnswer::No);
    button(QStringLiteral("超级按钮_商家管理_2"))->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("是否取消合作?"));
    EXPECT_EQ(boxes.last().style, StyleYesNo);
    EXPECT_TRUE(requests.texts().isEmpty());
    button(QStringLiteral("超级按钮_商家管理_2"))->click();
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_启用停用商家|ID[21]类型[2]")});

    // Both answers read the list again at page 1 of the same sub-tab and keyword.
    page->tabs()->setCurrentIndex(1);
    child<QLineEdit>(main, QStringLiteral("编辑框_商家管理_搜索"))->setText(QStringLiteral(" 南方 "));
    requests.clear();
    deliver(QStringLiteral("基础通讯_启用商家成功|"));
    deliver(QStringLiteral("基础通讯_停用商家成功|"));
    const QString again = QStringLiteral("基础通讯_获取申请合作列表|关键词[南方]查询页数[1]合作类型[1]");
    EXPECT_EQ(requests.texts(), (QStringList{again, again}));
    EXPECT_EQ(boxes.shown().size(), 2); // the two questions; the answers bring no message
}

TEST_F(PartnersTest, PurchaserNeedsAContactNameOfFourBytesToApply)
{
    start(QStringLiteral("采购商"), QStringLiteral("张"));
    boxes.answerNext(MessageAnswer::No);
    button(QStringLiteral("超级按钮_商家管理_1"))->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("设置基础资料后才可以申请合作!\r\n是否设置基础资料?"));
    EXPECT_EQ(boxes.last().style, StyleYesNo);
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::PersonalCentre));
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::CooperationApplication));

    button(QStringLiteral("超级按钮_商家管理_1"))->click(); // Yes
    EXPECT_TRUE(WindowRegistry::isLoaded(WindowId::PersonalCentre));
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::CooperationApplication));
    WindowRegistry::close(WindowId::PersonalCentre);
    processPending();

    appState().profileName = QStringLiteral("张三");
    boxes.clear();
    requests.clear();
    button(QStringLiteral("超级按钮_商家管理_1"))->click();
    EXPECT_TRUE(boxes.shown().isEmpty());
    auto *window = WindowRegistry::as<CooperationWindow>(WindowId::CooperationApplication);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isModal());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("申请合作"));
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_获取合作商列表|关键词[]")});
}

TEST_F(PartnersTest, ApplicationWindowSearchesAndAppliesForThePickedSupplier)
{
    start(QStringLiteral("采购商"), QStringLiteral("张三"));
    auto *window = new CooperationWindow(main);
    window->show();
    auto *box = child<QLineEdit>(window, QStringLiteral("编辑框_申请合作_搜索"));
    auto *search = child<QPushButton>(window, QStringLiteral("超级按钮1"));
    auto *apply = child<QPushButton>(window, QStringLiteral("超级按钮_保存"));
    EXPECT_EQ(box->placeholderText(), QStringLiteral("请输入关键词"));
    EXPECT_EQ(apply->text(), QStringLiteral("申请合作"));
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("透明标签7"))->text(), QStringLiteral("申请合作"));
    requests.clear();

    box->setText(QStringLiteral("　远航 "));
    search->click();
    EXPECT_FALSE(search->isEnabled()); // click guard
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_FALSE(box->isEnabled());
    const QString query = QStringLiteral("基础通讯_获取合作商列表|关键词[远航]");
    EXPECT_EQ(requests.texts(), (QStringList{query, query}));
    box->setText(QStringLiteral("a|b"));
    requests.clear();
    window->search();
    EXPECT_TRUE(requests.texts().isEmpty()); // forbidden character

    deliver(kSuppliers);
    QTreeWidget *list = window->list();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->headerItem()->text(2), QStringLiteral("公司"));
    EXPECT_EQ(list->topLevelItem(0)->text(2), QStringLiteral("<b>远航贸易</b>"));

    apply->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("请选择你要合作的供应商!"));
    EXPECT_EQ(boxes.last().caption, QStringLiteral("申请合作"));

    list->setCurrentItem(list->topLevelItem(0));
    boxes.answerNext(MessageAnswer::No);
    apply->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("是否申请与 [<b>远航贸易</b>] 的合作?"));
    EXPECT_TRUE(requests.texts().isEmpty());
    apply->click();
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_申请合作|供应商ID[5]")});
    // The notice that answers an application leaves the window open.
    deliver(QStringLiteral("提示信息_信息|内容[已提交合作申请,请等待供应商审核!]"));
    EXPECT_TRUE(WindowRegistry::isLoaded(WindowId::CooperationApplication));
}

TEST_F(PartnersTest, DropDownOnTheGoodsPageSetsTheSupplierAndKeepsThePage)
{
    start(QStringLiteral("采购商"), QStringLiteral("张三"));
    main->navigate(NavColumn::Purchaser, 2);
    processPending();
    PurchaserGoodsPage *goods = main->purchaserGoodsPage();
    auto *arrow = child<QPushButton>(main, QStringLiteral("超级按钮_供应商列表_搜索"));
    auto *label = child<QLabel>(main, QStringLiteral("透明标签_供应商列表"));
    child<QLineEdit>(goods, QStringLiteral("编辑框_商品_页1"))->setText(QStringLiteral("3"));
    requests.clear();

    arrow->click();
    auto *dropDown = WindowRegistry::as<SupplierDropDown>(WindowId::SupplierDropDown);
    ASSERT_NE(dropDown, nullptr);
    EXPECT_EQ(arrow->text(), QStringLiteral("▴"));
    EXPECT_EQ(dropDown->parentWidget(), main);
    EXPECT_TRUE(dropDown->windowFlags() & Qt::FramelessWindowHint);
    const QPoint arrowCorner = arrow->mapToGlobal(QPoint(arrow->width(), arrow->height()));
    EXPECT_EQ(dropDown->geometry().right() + 1, arrowCorner.x());
    EXPECT_GE(dropDown->y(), arrowCorner.y());
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_获取合作商列表/下拉菜单|关键词[]")});

    auto *box = child<QLineEdit>(dropDown, QStringLiteral("编辑框_供应商_搜索"));
    EXPECT_EQ(box->placeholderText(), QStringLiteral("请输入关键词"));
    box->setText(QStringLiteral(" 东方"));
    QTest::keyClick(box, Qt::Key_Return);
    child<QPushButton>(dropDown, QStringLiteral("超级按钮_供应商_搜索"))->click();
    const QString query = QStringLiteral("基础通讯_获取合作商列表/下拉菜单|关键词[东方]");
    EXPECT_EQ(requests.texts().mid(1), (QStringList{query, query}));

    requests.clear();
    deliver(kDropDown);
    QTreeWidget *list = dropDown->list();
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("0"));
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("所有公司"));
    EXPECT_TRUE(requests.texts().isEmpty()); // the fill picks nothing
    EXPECT_TRUE(WindowRegistry::isLoaded(WindowId::SupplierDropDown));

    list->setCurrentItem(list->topLevelItem(1));
    processPending();
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::SupplierDropDown));
    EXPECT_EQ(arrow->text(), QStringLiteral("▾"));
    EXPECT_EQ(label->text(), QStringLiteral("<i>远航贸易</i>"));
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(goods->chosenSupplier(), 5);
    ASSERT_EQ(requests.texts().size(), 1);
    EXPECT_TRUE(requests.texts()[0].startsWith(QStringLiteral("基础通讯_采购商查询商品列表|供应商ID[5]")))
        << requests.texts()[0].toStdString();
    EXPECT_TRUE(requests.texts()[0].contains(QStringLiteral("查询页数[3]")));

    // The top row is every supplier: ID 0.
    requests.clear();
    QTest::mouseClick(label, Qt::LeftButton);
    dropDown = WindowRegistry::as<SupplierDropDown>(WindowId::SupplierDropDown);
    ASSERT_NE(dropDown, nullptr);
    deliver(kDropDown);
    dropDown->list()->setCurrentItem(dropDown->list()->topLevelItem(0));
    processPending();
    EXPECT_EQ(label->text(), QStringLiteral("所有公司"));
    EXPECT_EQ(goods->chosenSupplier(), 0);
    EXPECT_TRUE(requests.texts().last().contains(QStringLiteral("供应商ID[0]")));

    // A second arrow click closes it without a pick.
    arrow->click();
    ASSERT_TRUE(WindowRegistry::isLoaded(WindowId::SupplierDropDown));
    requests.clear();
    arrow->click();
    processPending();
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::SupplierDropDown));
    EXPECT_EQ(arrow->text(), QStringLiteral("▾"));
    EXPECT_TRUE(requests.texts().isEmpty());
}

TEST_F(PartnersTest, DropDownOnTheOrderPageFiltersFromPageOneAndClosesWhenLeft)
{
    start(QStringLiteral("供应商"), QStringLiteral("张三"));
    OrderPage *orders = main->orderPage();
    auto *arrow = child<QPushButton>(main, QStringLiteral("超级按钮_订单管理_供应商采购商列表_搜索"));
    auto *label = child<QLabel>(main, QStringLiteral("透明标签_订单管理_供应商采购商列表"));

    arrow->click();
    auto *dropDown = WindowRegistry::as<SupplierDropDown>(WindowId::SupplierDropDown);
    ASSERT_NE(dropDown, nullptr);
    deliver(kDropDown);
    requests.clear();
    dropDown->list()->setCurrentItem(dropDown->list()->topLevelItem(2));
    processPending();
    EXPECT_EQ(label->text(), QStringLiteral("东方食品"));
    EXPECT_EQ(orders->partnerFilter(), 6);
    ASSERT_EQ(requests.texts().size(), 1);
    EXPECT_TRUE(requests.texts()[0].startsWith(QStringLiteral("基础通讯_查询订单|")));
    EXPECT_TRUE(requests.texts()[0].contains(QStringLiteral("合作商ID[6]")));
    EXPECT_TRUE(requests.texts()[0].endsWith(QStringLiteral("查询页数[1]")));

    // A selection taken away again is "nothing picked": the role's caption and 0.
    arrow->click();
    dropDown = WindowRegistry::as<SupplierDropDown>(WindowId::SupplierDropDown);
    ASSERT_NE(dropDown, nullptr);
    deliver(kDropDown);
    {
        const QSignalBlocker quiet(dropDown->list());
        dropDown->list()->setCurrentItem(dropDown->list()->topLevelItem(1));
    }
    dropDown->list()->clearSelection();
    processPending();
    EXPECT_EQ(label->text(), QStringLiteral("请选择商家..."));
    EXPECT_EQ(orders->partnerFilter(), 0);

    // Switching the right-hand page closes it.
    arrow->click();
    ASSERT_TRUE(WindowRegistry::isLoaded(WindowId::SupplierDropDown));
    main->navigate(NavColumn::Supplier, 3);
    processPending();
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::SupplierDropDown));
    EXPECT_EQ(arrow->text(), QStringLiteral("▾"));

    // Losing the focus closes it too, and the click that took the focus does not reopen it.
    main->navigate(NavColumn::Supplier, 1);
    processPending();
    arrow->click();
    dropDown = WindowRegistry::as<SupplierDropDown>(WindowId::SupplierDropDown);
    ASSERT_NE(dropDown, nullptr);
    dropDown->activateWindow();
    ASSERT_TRUE(waitFor([&] { return dropDown->isActiveWindow(); }, 2000));
    main->activateWindow();
    ASSERT_TRUE(waitFor([] { return !WindowRegistry::isLoaded(WindowId::SupplierDropDown); }, 2000));
    arrow->click();
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::SupplierDropDown));
    EXPECT_EQ(arrow->text(), QStringLiteral("▾"));
}

// Not a check: writes the pictures of docs/screenshots when run with
// --gtest_also_run_disabled_tests and VANTRELL_SCREENSHOTS set to the target directory.
TEST_F(PartnersTest, DISABLED_Screenshots)
{
    const QString target = qEnvironmentVariable("VANTRELL_SCREENSHOTS");
    ASSERT_FALSE(target.isEmpty());
    const auto path = [&target](const char *name) {
        return target + QLatin1Char('/') + QString::fromUtf8(name);
    };
    {
        start(QStringLiteral("供应商"), QStringLiteral("张三"));
        main->navigate(NavColumn::Supplier, 3);
        deliver(QStringLiteral(
            "基础通讯_返回申请合作列表|合计页数[1]当前页数[1]列标详情_列信息[ID_0_0]列标详情_列信息[状态_70_"
            "1]"
            "列标详情_列信息[商家名称_170_0]列标详情_列信息[姓名_80_0]列标详情_列信息[电话_100_1]"
            "列标详情_列信息[地址_140_0]"
            "数据详情_ID[21]状态[审核中]商家名称[鲜达商贸有限公司]姓名[王采购]电话[13900000002]"
            "地址[上海市浦东新区张杨路500号]"
            "数据详情_ID[22]状态[正常]商家名称[南方连锁超市]姓名[李四]电话[13700000000]地址["
            "广州市天河区体育西路]"
            "数据详情_ID[23]状态[停用]商家名称[北方便利店]姓名[赵六]电话[13600000000]地址[天津市和平区南京路]"
            "数据详情_ID[24]状态[正常]商家名称[<b>华东商贸</"
            "b>]姓名[钱七]电话[13500000000]地址[杭州市西湖区]"));
        page->list()->setCurrentItem(page->list()->topLevelItem(1));
        processPending();
        EXPECT_TRUE(main->grab().save(path("partners-page-supplier.png")));
        TearDown();
    }
    {
        start(QStringLiteral("采购商"), QStringLiteral("王采购"));
        main->navigate(NavColumn::Purchaser, 3);
        auto *window = new CooperationWindow(main);
        window->show();
        deliver(QStringLiteral(
            "基础通讯_返回合作商列表|合计页数[1]当前页数[1]列标详情_列信息[ID_0_0]列标详情_列信息[账号_110_0]"
            "列标详情_列信息[公司_200_0]列标详情_列信息[状态_70_1]"
            "数据详情_ID[5]账号[supplier]公司[青禾食品有限公司]状态[正常]"
            "数据详情_ID[6]账号[dongfang]公司[东方粮油批发]状态[审核中]"
            "数据详情_ID[7]账号[<b>x</b>]公司[<b>远航贸易</b>]状态[]"));
        window->list()->setCurrentItem(window->list()->topLevelItem(2));
        processPending();
        EXPECT_TRUE(window->grab().save(path("partners-application-purchaser.png")));
        window->close();
        processPending();

        main->navigate(NavColumn::Purchaser, 2);
        child<QPushButton>(main, QStringLiteral("超级按钮_供应商列表_搜索"))->click();
        auto *dropDown = WindowRegistry::as<SupplierDropDown>(WindowId::SupplierDropDown);
        ASSERT_NE(dropDown, nullptr);
        deliver(
            QStringLiteral("基础通讯_返回合作商列表/下拉菜单|合计页数[1]当前页数[1]列标详情_列信息[ID_0_0]"
                           "列标详情_列信息[公司名称_180_0]数据详情_ID[5]公司名称[青禾食品有限公司]"
                           "数据详情_ID[8]公司名称[东方粮油批发]数据详情_ID[9]公司名称[<i>远航贸易</i>]"));
        processPending();
        QPixmap picture = main->grab();
        QPainter painter(&picture);
        painter.drawPixmap(dropDown->pos() - main->pos(), dropDown->grab());
        painter.end();
        EXPECT_TRUE(picture.save(path("partners-dropdown-purchaser.png")));
    }
}
