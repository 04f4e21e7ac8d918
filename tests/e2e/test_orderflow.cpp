// One order's life against the real server: the supplier opens and ships it, the
// purchaser sees carrier and number and asks to cancel, the supplier agrees.

#include "client/core/appstate.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/loginwindow.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/orders/orderhooks.h"
#include "client/ui/orders/orderpage.h"
#include "client/ui/orders/orderviewwindow.h"
#include "protocol/scramble.h"
#include "server/db/database.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"
#include "support/server/launcher.h"
#include "support/server/testclient.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>

#include <soci/soci.h>

using namespace vantrell::client;
using namespace vantrell::test;
namespace testing_ = vantrell::testing;

namespace {

long long accountId(testing_::InProcessServer &server, const std::string &name)
{
    return server.database().read([&](vantrell::server::db::Tx &tx) {
        long long id = 0;
        tx.sql() << "SELECT id FROM accounts WHERE user_name = :n", soci::use(name), soci::into(id);
        return id;
    });
}

MainWindow *signIn(unsigned short port, const QString &user)
{
    LoginWindow login;
    login.start();
    appState().serverHost = QStringLiteral("127.0.0.1");
    appState().serverPort = port;
    if (!signInThrough(&login, user, QStringLiteral("secret1"), 10000))
        return nullptr;
    auto *main = WindowRegistry::as<MainWindow>(WindowId::Main);
    QTreeWidget *orders = main->orderPage()->list();
    if (!waitFor([&] { return orders->topLevelItemCount() > 0; }, 10000))
        return nullptr;
    orders->setCurrentItem(orders->topLevelItem(0));
    return main;
}

void signOut()
{
    signOutClosing({WindowId::OrderViewing});
}

OrderViewWindow *openFirstOrder(MainWindow *main)
{
    const QString id = main->orderPage()->list()->topLevelItem(0)->text(0);
    openOrderViewer(main, id);
    processPending();
    auto *window = WindowRegistry::as<OrderViewWindow>(WindowId::OrderViewing);
    if (!window || !waitFor([&] { return !window->order().orderNumber.isEmpty(); }, 10000))
        return nullptr;
    return window;
}

} // namespace

TEST(OrderFlowEndToEnd, ShipThenCancelByAgreement)
{
    testing_::InProcessServer server;
    testing_::TestClient seller, buyer;
    ASSERT_TRUE(seller.connect(server.port()) && buyer.connect(server.port()));
    ASSERT_TRUE(seller.registerAccount("seller01", "secret1", "远航供应链有限公司", "2"));
    ASSERT_TRUE(buyer.registerAccount("buyer001", "secret1", "华东采购有限公司", "1"));
    ASSERT_TRUE(seller.login("seller01", "secret1") && buyer.login("buyer001", "secret1"));
    ASSERT_TRUE(
        buyer.exchange("基础通讯_保存个人中心基本资料", "联系人[李采购]电话[13800000000]邮箱[]地址[]"));
    const std::string supplierId = std::to_string(accountId(server, "seller01"));
    const std::string buyerId = std::to_string(accountId(server, "buyer001"));
    ASSERT_TRUE(buyer.exchange("基础通讯_申请合作", "供应商ID[" + supplierId + "]"));
    const auto enabled = seller.exchange("基础通讯_启用停用商家", "ID[" + buyerId + "]类型[1]");
    ASSERT_TRUE(enabled && !enabled->empty() && enabled->front().name == "基础通讯_启用商家成功");
    const auto added = seller.exchange("基础通讯_增加编辑商品",
                                       "商品ID[]商品名称[东北大米]商品编码[DM01]商品规格[5kg]"
                                       "商品单价[12.75]商品重量[5]商品库存[100]商品单位[袋]商品分类[]");
    ASSERT_TRUE(added && added->front().name == "基础通讯_增加商品成功");
    const long long goodsId = server.database().read([](vantrell::server::db::Tx &tx) {
        long long id = 0;
        tx.sql() << "SELECT id FROM goods", soci::into(id);
        return id;
    });
    const std::string address =
        vantrell::protocol::scramble(testing_::toGbk("上海市浦东新区<b>张江路</b>88号"));
    const auto placed = buyer.exchange("基础通讯_下单", "供应商ID[" + supplierId + "]收货地址[" + address +
                                                            "]供应商留言[]数据详情_商品ID[" +
                                                            std::to_string(goodsId) + "]数量[2]\r\n");
    ASSERT_TRUE(placed && placed->front().name == "基础通讯_下单成功")
        << (placed ? placed->front().fields : "");

    FakeMessageBoxes boxes;
    TempUserData data;
    ProgramEndRecorder ender;
    registerAllHandlers();

    // The supplier ships with carrier and number.
    MainWindow *main = signIn(server.port(), QStringLiteral("seller01"));
    ASSERT_TRUE(main);
    OrderViewWindow *window = openFirstOrder(main);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->order().address, QStringLiteral("上海市浦东新区<b>张江路</b>88号"));
    auto *carrier = window->findChild<QComboBox *>(QStringLiteral("组合框2"));
    auto *number = window->findChild<QComboBox *>(QStringLiteral("组合框3"));
    ASSERT_TRUE(waitFor([&] { return carrier->count() > 0; }));
    window->findChild<QTableWidget *>(QStringLiteral("高级表格2"))
        ->item(1, 4)
        ->setText(QStringLiteral("6.5"));
    carrier->setEditText(QStringLiteral("顺丰速运"));
    number->setEditText(QStringLiteral("SF1403228871"));
    auto *ship = window->findChild<QPushButton *>(QStringLiteral("超级按钮_订单管理_下单发货"));
    ship->click();
    ASSERT_TRUE(waitFor([&] { return ship->text() == QStringLiteral("已发货"); }, 10000));
    ASSERT_TRUE(waitFor([&] { return boxes.last().text == QStringLiteral("发货成功!"); }));
    EXPECT_EQ(window->order().total, QStringLiteral("32.00"));
    signOut();

    // The purchaser sees carrier and number, and asks to cancel the shipped order.
    main = signIn(server.port(), QStringLiteral("buyer001"));
    ASSERT_TRUE(main);
    window = openFirstOrder(main);
    ASSERT_TRUE(window);
    carrier = window->findChild<QComboBox *>(QStringLiteral("组合框2"));
    number = window->findChild<QComboBox *>(QStringLiteral("组合框3"));
    ASSERT_TRUE(waitFor([&] { return number->currentText() == QStringLiteral("SF1403228871"); }));
    EXPECT_EQ(carrier->currentText(), QStringLiteral("顺丰速运"));
    main->orderPage()->cancelSelectedOrder();
    ship = window->findChild<QPushButton *>(QStringLiteral("超级按钮_订单管理_下单发货"));
    ASSERT_TRUE(waitFor([&] { return ship->text() == QStringLiteral("取消中"); }, 10000));
    signOut();

    // The supplier agrees: the order closes.
    main = signIn(server.port(), QStringLiteral("seller01"));
    ASSERT_TRUE(main);
    window = openFirstOrder(main);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->findChild<QTabWidget *>(QStringLiteral("高级选择夹1"))->currentIndex(), 2);
    window->findChild<QPushButton *>(QStringLiteral("超级按钮_订单管理_同意关闭"))->click();
    ship = window->findChild<QPushButton *>(QStringLiteral("超级按钮_订单管理_下单发货"));
    ASSERT_TRUE(waitFor([&] { return ship->text() == QStringLiteral("已关闭"); }, 10000));
    QTreeWidget *orders = main->orderPage()->list();
    EXPECT_TRUE(waitFor([&] { return orders->topLevelItem(0)->text(1) == QStringLiteral("已关闭"); }));
    signOut();
    EXPECT_TRUE(ender.codes().isEmpty());
}
