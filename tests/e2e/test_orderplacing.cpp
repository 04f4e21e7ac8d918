// A purchaser places an order through the order placing window against the real server:
// supplier, goods, quantities, address, the server's freight, and the order in the list.

#include "client/core/appstate.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/loginwindow.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/orders/goodschooserwindow.h"
#include "client/ui/orders/orderhooks.h"
#include "client/ui/orders/orderpage.h"
#include "client/ui/orders/orderplacingwindow.h"
#include "server/db/database.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"
#include "support/server/launcher.h"
#include "support/server/testclient.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
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

} // namespace

TEST(OrderPlacingEndToEnd, PurchaserOrdersTwoGoodsWithTheServersFreight)
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
    for (const char *goods : {"商品ID[]商品名称[东北大米]商品编码[DM01]商品规格[5kg]"
                              "商品单价[12.75]商品重量[5]商品库存[100]商品单位[袋]商品分类[]",
                              "商品ID[]商品名称[龙口粉丝]商品编码[FS02]商品规格[100g]"
                              "商品单价[0.10]商品重量[0.1]商品库存[50]商品单位[包]商品分类[]"}) {
        const auto added = seller.exchange("基础通讯_增加编辑商品", goods);
        ASSERT_TRUE(added && added->front().name == "基础通讯_增加商品成功");
    }
    // By weight: 8.00 for the first kilogram, 2.00 for each further one started.
    ASSERT_TRUE(seller.exchange("基础通讯_设置运费/运费方式", "运费方式[1]计价方式[0]"));
    ASSERT_TRUE(seller.exchange("基础通讯_设置运费/运费模版", "地区索引[1]条件1[1]首费[8]条件2[1]续费[2]"));

    FakeMessageBoxes boxes;
    TempUserData data;
    ProgramEndRecorder ender;
    registerAllHandlers();

    LoginWindow login;
    login.start();
    appState().serverHost = QStringLiteral("127.0.0.1");
    appState().serverPort = server.port();
    login.findChild<QLineEdit *>(QStringLiteral("编辑框_用户名"))->setText(QStringLiteral("buyer001"));
    login.findChild<QLineEdit *>(QStringLiteral("编辑框_密码"))->setText(QStringLiteral("secret1"));
    login.findChild<QAbstractButton *>(QStringLiteral("图形按钮_登录"))->click();
    ASSERT_TRUE(waitFor([] { return WindowRegistry::isLoaded(WindowId::Main); }, 10000));
    auto *main = WindowRegistry::as<MainWindow>(WindowId::Main);

    openOrderPlacing(main);
    auto *window = WindowRegistry::as<OrderPlacingWindow>(WindowId::OrderPlacing);
    ASSERT_TRUE(window);
    window->findChild<QToolButton *>(QStringLiteral("超级按钮_订单管理_供应商采购商列表_搜索"))->click();
    auto *suppliers = window->findChild<QTreeWidget *>(QStringLiteral("超级列表框_供应商列表"));
    ASSERT_TRUE(waitFor([&] { return suppliers->topLevelItemCount() == 1; }));
    emit suppliers->itemClicked(suppliers->topLevelItem(0), 1);
    EXPECT_EQ(window->chosenSupplier(), std::stoi(supplierId));

    window->findChild<QPushButton *>(QStringLiteral("超级按钮_订单管理_下单发货1"))->click();
    auto *chooser = WindowRegistry::as<GoodsChooserWindow>(WindowId::GoodsChoosing);
    ASSERT_TRUE(chooser);
    auto *goods = chooser->findChild<QTreeWidget *>(QStringLiteral("超级列表框1"));
    ASSERT_TRUE(waitFor([&] { return goods->topLevelItemCount() == 2; }));
    for (int row = 0; row < 2; ++row)
        goods->topLevelItem(row)->setCheckState(chooser->tickColumn(), Qt::Checked);
    ASSERT_EQ(window->lines().size(), 2);
    WindowRegistry::close(WindowId::GoodsChoosing);
    processPending();

    auto *grid = window->findChild<QTableWidget *>(QStringLiteral("高级表格1"));
    auto *sums = window->findChild<QTableWidget *>(QStringLiteral("高级表格2"));
    const bool riceFirst = window->lines()[0].code == QStringLiteral("DM01");
    grid->item(riceFirst ? 0 : 1, 6)->setText(QStringLiteral("2"));
    grid->item(riceFirst ? 1 : 0, 6)->setText(QStringLiteral("3"));
    auto *address = window->findChild<QLineEdit *>(QStringLiteral("编辑框_收货地址"));
    address->setText(QStringLiteral("上海市浦东新区张江路88号"));
    emit address->editingFinished();
    // 10.3 kg: 8.00 + 10 × 2.00.
    ASSERT_TRUE(waitFor([&] { return sums->item(0, 4)->text() == QStringLiteral("28.00"); }));
    EXPECT_EQ(sums->item(0, 2)->text(), QStringLiteral("10.3"));
    EXPECT_EQ(sums->item(0, 3)->text(), QStringLiteral("25.80"));
    EXPECT_EQ(sums->item(0, 5)->text(), QStringLiteral("53.80"));

    window->findChild<QLineEdit *>(QStringLiteral("编辑框_给供应商留言"))
        ->setText(QStringLiteral("请周五前送达"));
    window->findChild<QPushButton *>(QStringLiteral("超级按钮_订单管理_下单"))->click();
    ASSERT_TRUE(waitFor([&] { return boxes.last().text == QStringLiteral("下单成功!"); }, 10000));
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::OrderPlacing));
    QTreeWidget *orders = main->orderPage()->list();
    ASSERT_TRUE(waitFor([&] { return orders->topLevelItemCount() == 1; }, 10000));

    // The order is the server's: lines, stock, freight and the unscrambled address.
    const auto stored = server.database().read([](vantrell::server::db::Tx &tx) {
        long long stock = 0;
        tx.sql() << "SELECT SUM(stock) FROM goods", soci::into(stock);
        return stock;
    });
    EXPECT_EQ(stored, 145);
    EXPECT_EQ(orders->topLevelItem(0)->text(3), QStringLiteral("远航供应链有限公司"));

    ServerLink::instance().disconnect();
    WindowRegistry::close(WindowId::Main);
    processPending();
    EXPECT_TRUE(ender.codes().isEmpty());
}
