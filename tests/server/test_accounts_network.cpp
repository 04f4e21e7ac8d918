// One merchant's first minutes over a real connection: register, log in, open the
// personal centre, look at the order page; and the demo data as --demo seeds it.

#include "protocol/gbk.h"
#include "server/accounts/store.h"
#include "server/db/database.h"
#include "server/demo.h"
#include "support/server/launcher.h"
#include "support/server/testclient.h"

#include <gtest/gtest.h>

using namespace vantrell;
using namespace vantrell::testing;

namespace {

TEST(AccountsNetworkTest, RegisterLoginAndFetchThePersonalCentre)
{
    server::Config config = testConfig();
    config.aboutAddress = "https://vantrell.example/about";
    InProcessServer server(config);
    TestClient client;
    ASSERT_TRUE(client.connect(server.port()));
    ASSERT_TRUE(client.send("版本验证_验证", "版本号[1.0.0]"));

    // Business requests wait for a login.
    ASSERT_TRUE(client.send("基础通讯_获取个人中心基本资料"));
    auto refused = client.receiveNamed("提示信息_错误");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->value("内容"), "请先登陆!");

    ASSERT_TRUE(client.registerAccount("网络用户", "pass1234", "网络测试贸易公司", "2", "13812345678"));
    ASSERT_TRUE(client.send("登陆系统_用户登陆", "用户名[网络用户]密码[" + passwordDigest("pass1234") + "]"));
    const auto welcome = client.receiveNamed("登陆系统_登陆成功");
    ASSERT_TRUE(welcome);
    EXPECT_EQ(welcome->value("公司"), "网络测试贸易公司");
    EXPECT_EQ(welcome->value("类型"), "供应商");
    EXPECT_EQ(welcome->value("上次登陆时间"), "");

    ASSERT_TRUE(client.send("基础通讯_获取个人中心基本资料"));
    const auto profile = client.receiveNamed("基础通讯_返回个人中心基本资料");
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->value("电话"), "13812345678");

    ASSERT_TRUE(
        client.send("基础通讯_保存个人中心基本资料", "联系人[张网络]电话[13812345678]邮箱[]地址[杭州]"));
    const auto saved = client.receiveNamed("基础通讯_保存个人中心基本资料成功");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->value("姓名"), "张网络");

    ASSERT_TRUE(client.send("基础通讯_个人中心/关于我们"));
    const auto about = client.receiveNamed("基础通讯_个人中心/返回关于我们");
    ASSERT_TRUE(about);
    EXPECT_EQ(about->value("网址"), "https://vantrell.example/about");

    ASSERT_TRUE(client.send("基础通讯_查询订单", "订单类型[0]合作商ID[0]关键词[]查询页数[1]"));
    const auto orders = client.receiveNamed("基础通讯_返回订单列表");
    ASSERT_TRUE(orders);
    EXPECT_EQ(orders->value("合计页数"), "1");
}

TEST(AccountsNetworkTest, DemoMerchantsSeeTheirOrdersAndFigures)
{
    InProcessServer server;
    server::seedDemo(server.database());
    server::seedDemo(server.database()); // a second run adds nothing
    // The demo merchants obey the rules that registration and the personal centre enforce.
    for (const char *user : {"supplier", "buyer"}) {
        const auto account =
            server.database().read([&](server::db::Tx &tx) { return server::accounts::byName(tx, user); });
        ASSERT_TRUE(account) << user;
        EXPECT_LE(protocol::gbkLength(account->company), 25) << user;
        EXPECT_GE(protocol::gbkLength(account->contact), 4) << user;
        EXPECT_EQ(account->phone.size(), 11u) << user;
        EXPECT_LE(protocol::gbkLength(account->address), 95) << user;
        EXPECT_LE(protocol::gbkLength(account->email), 40) << user;
    }

    TestClient supplier;
    ASSERT_TRUE(supplier.connect(server.port()));
    ASSERT_TRUE(supplier.login("supplier", "demo1234"));
    ASSERT_TRUE(supplier.send("基础通讯_查询订单", "订单类型[0]合作商ID[0]关键词[]查询页数[1]"));
    const auto list = supplier.receiveNamed("基础通讯_返回订单列表");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->value("商家名称"), "上海鲜达商贸有限公司");
    std::size_t rows = 0;
    for (std::size_t at = list->fields.find("数据详情_"); at != std::string::npos;
         at = list->fields.find("数据详情_", at + 1))
        ++rows;
    EXPECT_EQ(rows, 7u);

    ASSERT_TRUE(supplier.send("基础通讯_订单管理/获取实时数据"));
    const auto figures = supplier.receiveNamed("基础通讯_订单管理/返回实时数据");
    ASSERT_TRUE(figures);
    EXPECT_EQ(figures->value("未发货"), "1");
    EXPECT_NE(figures->value("今日销售额"), "0.00");
    EXPECT_NE(figures->value("昨日销售额"), "0.00");
    EXPECT_NE(figures->value("已结算金额"), "0.00");
    EXPECT_NE(figures->value("待结算金额"), "0.00");

    TestClient buyer;
    ASSERT_TRUE(buyer.connect(server.port()));
    ASSERT_TRUE(buyer.login("buyer", "demo1234"));
}

} // namespace
