// The main window shell: role set-up, navigation, the exit question, window mode and
// size, the dashboard and the order page, driven through real widgets with the
// requests recorded and replies injected.

#include "client/core/appstate.h"
#include "client/core/userdata.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/account/mainwindowframe.h"
#include "client/ui/orders/orderhooks.h"
#include "client/ui/orders/orderpage.h"
#include "client/ui/partners/partnerpage.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace vantrell::client;
using namespace vantrell::test;

namespace {

const QString kOrders =
    QStringLiteral("合计页数[2]当前页数[1]列标详情_列信息[ID_0_0]列标详情_列信息[订单状态_80_1]"
                   "列标详情_列信息[订单号_120_1]数据详情_ID[7]订单状态[待发货]订单号[20260101000007]"
                   "数据详情_ID[8]订单状态[已关闭]订单号[20260101000008]"
                   "数据详情_ID[9]订单状态[未知]订单号[20260101000009]");

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        AppState &state = appState();
        state.appTitle = QStringLiteral("Vantrell供销通");
        state.currentUserName = QStringLiteral("supplier");
        state.profileType = QStringLiteral("供应商");
        registerAllHandlers();
    }

    void TearDown() override
    {
        WindowRegistry::close(WindowId::Main);
        processPending();
    }

    MainWindow *open()
    {
        auto *window = new MainWindow;
        window->show();
        processPending();
        return window;
    }

    void deliver(const QString &payload) { ServerLink::instance().deliver(gbkPayload(payload)); }

    FakeMessageBoxes boxes;
    TempUserData data;
    RequestRecorder requests;
    ProgramEndRecorder ender;
};

} // namespace

TEST_F(MainWindowTest, RoleDecidesNavigationAndCaptions)
{
    struct Case
    {
        QString type;
        int leftPage;
        QString allTab, firstButton, orderAction, prompt;
        bool authorise;
    };
    const Case cases[] = {
        {QStringLiteral("供应商"), 0, QStringLiteral("所有商家"), QStringLiteral("同意合作"),
         QStringLiteral("发货"), QStringLiteral("请选择商家..."), true},
        {QStringLiteral("采购商"), 1, QStringLiteral("所有供应商"), QStringLiteral("申请合作"),
         QStringLiteral("下单"), QStringLiteral("请选择供应商..."), false},
        // Any other type keeps the window as designed.
        {QStringLiteral("分销商"), 0, QStringLiteral("所有商家"), QStringLiteral("合作"),
         QStringLiteral("下单发货"), QStringLiteral("请选择合作商..."), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type.toStdString());
        appState().profileType = c.type;
        MainWindow *window = open();
        EXPECT_EQ(child<QTabWidget>(window, QStringLiteral("高级选择夹_左侧"))->currentIndex(), c.leftPage);
        EXPECT_EQ(child<QTabWidget>(window, QStringLiteral("高级选择夹_商家管理"))->tabText(0), c.allTab);
        EXPECT_EQ(child<QPushButton>(window, QStringLiteral("超级按钮_商家管理_1"))->text(), c.firstButton);
        EXPECT_EQ(child<QPushButton>(window, QStringLiteral("超级按钮_商家管理_2"))->text(),
                  QStringLiteral("取消合作"));
        EXPECT_EQ(child<QPushButton>(window, QStringLiteral("超级按钮_订单管理_下单发货"))->text(),
                  c.orderAction);
        EXPECT_EQ(child<QLabel>(window, QStringLiteral("透明标签_订单管理_供应商采购商列表"))->text(),
                  c.prompt);
        EXPECT_EQ(child<QPushButton>(window, QStringLiteral("超级按钮_商家管理_商品授权"))->isHidden(),
                  !c.authorise);
        EXPECT_EQ(child<QLabel>(window, QStringLiteral("标签_软件名称"))->text(), appState().appTitle);
        EXPECT_EQ(child<QToolButton>(window, QStringLiteral("图形按钮_关闭"))->toolTip(),
                  QStringLiteral("关闭窗口"));
        WindowRegistry::close(WindowId::Main);
        processPending();
    }
}

TEST_F(MainWindowTest, NavigationAsksForAPageListOnlyWhileItIsEmpty)
{
    MainWindow *window = open();
    ASSERT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_查询订单|订单类型[0]合作商ID[0]关键词[]查询页数[1]")});
    ASSERT_EQ(appState().regions.size(), 34);
    EXPECT_EQ(appState().regions.at(1), QStringLiteral("江苏省"));
    EXPECT_EQ(appState().regions.last(), QStringLiteral("台湾"));
    requests.clear();

    window->navButton(NavColumn::Supplier, 2)->click();
    EXPECT_EQ(window->currentPage(), int(SupplierGoodsPage));
    EXPECT_TRUE(window->navButton(NavColumn::Supplier, 2)->isChecked());
    EXPECT_FALSE(window->navButton(NavColumn::Supplier, 1)->isChecked());
    window->navButton(NavColumn::Supplier, 3)->click();
    window->navButton(NavColumn::Supplier, 4)->click();
    EXPECT_EQ(window->currentPage(), int(FinancesPage));
    EXPECT_EQ(requests.texts(),
              (QStringList{QStringLiteral("基础通讯_供应商查询商品列表|关键词[]查询页数[1]商品状态[1]"),
                           QStringLiteral("基础通讯_获取申请合作列表|关键词[]查询页数[1]合作类型[0]"),
                           QStringLiteral("基础通讯_获取财务对账合作商列表|关键词[]查询页数[1]")}));

    // Filled lists stay as they are; the still empty finance list is asked for again.
    deliver(QStringLiteral("基础通讯_返回供应商查询商品列表|合计页数[1]当前页数[1]列标详情_列信息[ID_0_0]"
                           "列标详情_列信息[状态_60_1]数据详情_ID[3]状态[正常]"));
    deliver(QStringLiteral(
        "基础通讯_返回申请合作列表|合计页数[1]当前页数[1]列标详情_列信息[ID_0_0]数据详情_ID[4]"));
    requests.clear();
    window->navButton(NavColumn::Supplier, 2)->click();
    window->navButton(NavColumn::Supplier, 3)->click();
    window->navButton(NavColumn::Supplier, 1)->click();
    window->navButton(NavColumn::Supplier, 4)->click();
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_获取财务对账合作商列表|关键词[]查询页数[1]")});
    EXPECT_FALSE(
        child<QTreeWidget>(window, QStringLiteral("超级列表框_商品"))->topLevelItem(0)->icon(1).isNull());
}

TEST_F(MainWindowTest, PurchaserGoodsPageAsksWithTheChosenSupplierAndItsPageBox)
{
    appState().profileType = QStringLiteral("采购商");
    MainWindow *window = open();
    requests.clear();
    child<QLineEdit>(window, QStringLiteral("编辑框_商品_页1"))->setText(QStringLiteral("3"));
    window->navButton(NavColumn::Purchaser, 2)->click();
    EXPECT_EQ(window->currentPage(), int(BuyerGoodsPage));
    EXPECT_EQ(
        requests.texts(),
        QStringList{QStringLiteral("基础通讯_采购商查询商品列表|供应商ID[0]关键词[]查询页数[3]商品状态[1]")});
}

TEST_F(MainWindowTest, ExitQuestionAnsweredNoLeavesEverything)
{
    MainWindow *window = open();
    window->navButton(NavColumn::Supplier, 2)->click();
    boxes.clear();

    boxes.answerNext(MessageAnswer::No);
    child<QToolButton>(window, QStringLiteral("图形按钮_关闭"))->click();
    boxes.answerNext(MessageAnswer::No);
    window->close();
    boxes.answerNext(MessageAnswer::No);
    window->navButton(NavColumn::Supplier, 5)->click();
    processPending();

    ASSERT_EQ(boxes.shown().size(), 3);
    EXPECT_EQ(boxes.last().text, QStringLiteral("是否退出Vantrell供销通 ?"));
    EXPECT_EQ(boxes.last().style, int(StyleYesNo));
    EXPECT_TRUE(ender.codes().isEmpty());
    EXPECT_EQ(WindowRegistry::get(WindowId::Main), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->currentPage(), int(SupplierGoodsPage));
    EXPECT_FALSE(window->navButton(NavColumn::Supplier, 5)->isChecked());
    EXPECT_TRUE(window->navButton(NavColumn::Supplier, 2)->isChecked());

    boxes.answerNext(MessageAnswer::Yes);
    window->navButton(NavColumn::Supplier, 5)->click();
    EXPECT_EQ(ender.codes(), QList<int>{0});
}

TEST_F(MainWindowTest, StoredSizeIsRaisedToTheMinimumAndWrittenOnlyAfterAUserResize)
{
    UserData::write(QStringLiteral("窗口模式"), QStringLiteral("类型"), QStringLiteral("1"));
    UserData::write(QStringLiteral("窗口模式"), QStringLiteral("宽度"), QStringLiteral("640"));
    UserData::write(QStringLiteral("窗口模式"), QStringLiteral("高度"), QStringLiteral("480"));
    MainWindow *window = open();
    EXPECT_EQ(window->size(), QSize(800, 600));
    EXPECT_FALSE(window->isMaximisedMode());
    EXPECT_EQ(UserData::read(QStringLiteral("窗口模式"), QStringLiteral("宽度")), QStringLiteral("640"));

    // Dragging the corner grip: translucent while it lasts, then the size is stored.
    auto *grip = window->findChild<QWidget *>(QStringLiteral("resizeCorner"));
    ASSERT_TRUE(grip);
    const QPoint start = grip->rect().center();
    QTest::mousePress(grip, Qt::LeftButton, {}, start);
    EXPECT_NEAR(window->windowOpacity(), 168.0 / 255.0, 0.01);
    QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(120, 90)),
                     QPointF(grip->mapToGlobal(start + QPoint(120, 90))), Qt::NoButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(grip, &move);
    QTest::mouseRelease(grip, Qt::LeftButton, {}, start + QPoint(120, 90));
    EXPECT_EQ(window->size(), QSize(920, 690));
    EXPECT_DOUBLE_EQ(window->windowOpacity(), 1.0);
    EXPECT_EQ(UserData::read(QStringLiteral("窗口模式"), QStringLiteral("宽度")), QStringLiteral("920"));
    EXPECT_EQ(UserData::read(QStringLiteral("窗口模式"), QStringLiteral("高度")), QStringLiteral("690"));

    // Layout follows the size: title buttons from the right, the dashboard rule.
    EXPECT_EQ(child<QToolButton>(window, QStringLiteral("图形按钮_关闭"))->x(), 920 - 41);
    EXPECT_EQ(child<QTabWidget>(window, QStringLiteral("高级选择夹_右侧"))->width(), 920 - 188);
    EXPECT_EQ(child<QWidget>(window, QStringLiteral("外形框_销售状况"))->width(), (920 - 188 - 56) / 4);
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("标签_底部文字"))->y(), 690 - 32);
}

TEST_F(MainWindowTest, MaximisedModeIsRememberedAndPinned)
{
    MainWindow *window = open();
    EXPECT_EQ(UserData::read(QStringLiteral("窗口模式"), QStringLiteral("类型")),
              QString()); // nothing written yet

    // In normal mode any point that does not take the mouse itself drags the window.
    auto *name = child<QLabel>(window, QStringLiteral("标签_软件名称"));
    const QPoint start = window->pos();
    const QPoint at(20, 20);
    const QPoint global = name->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), QPointF(global), Qt::LeftButton, Qt::LeftButton,
                      {});
    QCoreApplication::sendEvent(name, &press);
    QMouseEvent drag(QEvent::MouseMove, QPointF(at + QPoint(30, 25)), QPointF(global + QPoint(30, 25)),
                     Qt::NoButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(name, &drag);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at + QPoint(30, 25)),
                        QPointF(global + QPoint(30, 25)), Qt::LeftButton, Qt::NoButton, {});
    QCoreApplication::sendEvent(name, &release);
    EXPECT_EQ(window->pos(), start + QPoint(30, 25));

    child<QToolButton>(window, QStringLiteral("图形按钮_最大化"))->click();
    EXPECT_TRUE(window->isMaximisedMode());
    EXPECT_EQ(UserData::read(QStringLiteral("窗口模式"), QStringLiteral("类型")), QStringLiteral("2"));
    const QRect screen = window->screen()->geometry();
    EXPECT_EQ(window->width(), screen.width());

    window->move(40, 30);
    EXPECT_EQ(window->pos(), QPoint(0, 0));

    WindowRegistry::close(WindowId::Main);
    processPending();
    window = open();
    EXPECT_TRUE(window->isMaximisedMode());
    child<QToolButton>(window, QStringLiteral("图形按钮_最大化"))->click();
    EXPECT_FALSE(window->isMaximisedMode());
    EXPECT_EQ(window->size(), QSize(800, 600));
    EXPECT_EQ(UserData::read(QStringLiteral("窗口模式"), QStringLiteral("类型")), QStringLiteral("1"));
}

TEST_F(MainWindowTest, OrderListReplyFillsThenAsksForTheDashboard)
{
    MainWindow *window = open();
    requests.clear();
    deliver(QStringLiteral("基础通讯_返回订单列表|") + kOrders);
    auto *list = child<QTreeWidget>(window, QStringLiteral("超级列表框_订单"));
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("标签_订单_共"))->text(), QStringLiteral("共 2 页"));
    EXPECT_FALSE(list->topLevelItem(0)->icon(1).isNull());
    EXPECT_FALSE(list->topLevelItem(1)->icon(1).isNull());
    EXPECT_TRUE(list->topLevelItem(2)->icon(1).isNull());
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_订单管理/获取实时数据|")});

    deliver(
        QStringLiteral("基础通讯_订单管理/返回实时数据|未发货[3]已发货[5]今日销售额[12.50]昨日销售额[0.00]"
                       "今日件数[4]待结算金额[88.00]已结算金额[1.00]"));
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("标签_发货_待发货"))->text(), QStringLiteral("3"));
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("标签_销售_今天"))->text(), QStringLiteral("12.50"));
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("标签_数量_昨天"))->text(), QString()); // absent field
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("标签_结算_已结算"))->text(), QStringLiteral("1.00"));

    // Once the window is gone the figures and lists are dropped without harm.
    WindowRegistry::close(WindowId::Main);
    deliver(QStringLiteral("基础通讯_订单管理/返回实时数据|未发货[1]"));
    deliver(QStringLiteral("基础通讯_返回订单列表|") + kOrders);
    processPending();
    EXPECT_EQ(requests.texts().size(), 1);
}

TEST_F(MainWindowTest, OrderListIsAskedForAgainWithTheCurrentControls)
{
    MainWindow *window = open();
    deliver(QStringLiteral("基础通讯_返回订单列表|") + kOrders);
    requests.clear();

    child<QTabWidget>(window, QStringLiteral("高级选择夹_订单管理"))->setCurrentIndex(2);
    auto *keyword = child<QLineEdit>(window, QStringLiteral("编辑框_生产单_搜索"));
    keyword->setText(QStringLiteral("  螺丝　"));
    QTest::keyClick(keyword, Qt::Key_Return);
    EXPECT_FALSE(child<QPushButton>(window, QStringLiteral("超级按钮_生产单_搜索"))->isEnabled());
    child<QLineEdit>(window, QStringLiteral("编辑框_订单_页"))->setText(QStringLiteral("3"));
    child<QPushButton>(window, QStringLiteral("按钮_订单_下一页"))->click();
    window->orderPage()->setPartnerFilter(12);
    EXPECT_EQ(
        requests.texts(),
        (QStringList{QStringLiteral("基础通讯_查询订单|订单类型[2]合作商ID[0]关键词[]查询页数[1]"),
                     QStringLiteral("基础通讯_查询订单|订单类型[2]合作商ID[0]关键词[螺丝]查询页数[1]"),
                     QStringLiteral("基础通讯_查询订单|订单类型[2]合作商ID[0]关键词[螺丝]查询页数[4]"),
                     QStringLiteral("基础通讯_查询订单|订单类型[2]合作商ID[12]关键词[螺丝]查询页数[1]")}));

    // A forbidden character is refused and nothing goes out.
    requests.clear();
    keyword->setText(QStringLiteral("a,b"));
    window->orderPage()->refresh(QStringLiteral("1"));
    EXPECT_TRUE(requests.texts().isEmpty());
    EXPECT_EQ(boxes.last().text, QStringLiteral("提交失败,不能包含特殊符号! "));
}

TEST_F(MainWindowTest, OrderContextMenuCopiesViewsAndCancels)
{
    MainWindow *window = open();
    OrderPage *page = window->orderPage();
    deliver(QStringLiteral("基础通讯_返回订单列表|") + kOrders);
    EXPECT_EQ(page->openContextMenu(QPoint(10, 10)), nullptr); // no selection

    // A supplier's 发货 needs a selected order and then opens it.
    QString viewed;
    setOrderViewerOpener([&viewed](QWidget *) { viewed = viewedOrderId(); });
    page->actionButton()->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("请先选择一个订单!"));
    EXPECT_TRUE(viewed.isEmpty());

    page->list()->setCurrentItem(page->list()->topLevelItem(0));
    page->actionButton()->click();
    EXPECT_EQ(viewed, QStringLiteral("7"));
    QMenu *menu = page->openContextMenu(QPoint(10, 10));
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_FALSE(menu->actions().at(2)->isEnabled()); // suppliers do not cancel
    menu->close();

    page->copyOrderNumber();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("20260101000007"));
    EXPECT_EQ(boxes.last().text, QStringLiteral("订单号：20260101000007\r\n已复制到剪辑版!"));

    page->list()->setCurrentItem(page->list()->topLevelItem(1));
    page->viewSelectedOrder();
    EXPECT_EQ(viewed, QStringLiteral("8"));
    setOrderViewerOpener({});

    // A purchaser cancels after the question; No sends nothing.
    appState().profileType = QStringLiteral("采购商");
    requests.clear();
    boxes.answerNext(MessageAnswer::No);
    page->cancelSelectedOrder();
    EXPECT_TRUE(requests.texts().isEmpty());
    page->cancelSelectedOrder();
    EXPECT_EQ(boxes.last().caption, QStringLiteral("取消订单"));
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_取消订单|订单ID[8]")});

    // The cancel reply reads the list again at its current page.
    requests.clear();
    deliver(QStringLiteral("基础通讯_取消订单/订单关闭|订单ID[8]"));
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_查询订单|订单类型[0]合作商ID[0]关键词[]查询页数[1]")});

    // Something registered in the viewing window's place that is not the viewing window
    // does not take the reply: the list is read again. The viewing window asking for its
    // own order again is tested with the window itself.
    QWidget viewing;
    WindowRegistry::set(WindowId::OrderViewing, &viewing);
    requests.clear();
    deliver(QStringLiteral("基础通讯_取消订单/订单取消中|订单ID[42]"));
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_查询订单|订单类型[0]合作商ID[0]关键词[]查询页数[1]")});
    WindowRegistry::set(WindowId::OrderViewing, nullptr);
}
