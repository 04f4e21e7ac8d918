#include "domainfixture.h"

#include "protocol/gbk.h"
#include "protocol/listreply.h"
#include "protocol/scramble.h"
#include "server/freight/freight.h"
#include "server/goods/store.h"
#include "server/money.h"
#include "server/states.h"
#include "support/server/launcher.h"
#include "support/server/testclient.h"

#include <soci/soci.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

namespace vantrell::server::testing {
namespace {

using freight::Row;
using freight::Template;

Template systemTemplate(int chargeMode, Row defaults)
{
    Template t;
    t.freightMode = freight::kSystem;
    t.chargeMode = chargeMode;
    t.rows[0] = defaults;
    return t;
}

TEST(FreightRule, EdgesOfTheTemplate)
{
    // 1 kg for 10.00, then 5.00 per 0.5 kg begun.
    const Template byWeight = systemTemplate(freight::kByWeight, Row{1000, 1000, 500, 500});
    struct Case
    {
        long long grams;
        long long fen;
    };
    for (const Case &c : {Case{0, 0}, Case{1, 1000}, Case{1000, 1000}, Case{1001, 1500}, Case{1500, 1500},
                          Case{1501, 2000}, Case{3000, 3000}})
        EXPECT_EQ(freight::freightFen(byWeight, 0, c.grams, 1), c.fen) << c.grams << " g";

    // 0.3 kg over a 0.1 kg step is three steps, not four (no floating point).
    const Template fine = systemTemplate(freight::kByWeight, Row{0, 0, 100, 100});
    EXPECT_EQ(freight::freightFen(fine, 0, 300, 1), 300);

    // No continuation condition: the first fee whatever the weight.
    EXPECT_EQ(freight::freightFen(systemTemplate(freight::kByWeight, Row{1000, 800, 0, 500}), 0, 99'000, 1),
              800);
    // An empty template and manual freight charge nothing.
    EXPECT_EQ(freight::freightFen(systemTemplate(freight::kByWeight, Row{}), 0, 5000, 3), 0);
    Template manual = byWeight;
    manual.freightMode = freight::kManual;
    EXPECT_EQ(freight::freightFen(manual, 0, 5000, 3), 0);

    // By piece: 2 pieces for 6.00, then 1.50 per piece.
    const Template byPiece = systemTemplate(freight::kByPiece, Row{2000, 600, 1000, 150});
    EXPECT_EQ(freight::freightFen(byPiece, 0, 999'999, 2), 600);
    EXPECT_EQ(freight::freightFen(byPiece, 0, 0, 5), 1050);
    EXPECT_EQ(freight::freightFen(byPiece, 0, 100, 0), 0);

    // A region row with any value wins; an empty region row falls back to the default.
    Template regional = byWeight;
    regional.rows[3] = Row{0, 2500, 0, 0};
    EXPECT_EQ(freight::freightFen(regional, 3, 5000, 1), 2500);
    EXPECT_EQ(freight::freightFen(regional, 4, 1000, 1), 1000);
    EXPECT_EQ(freight::freightFen(regional, 99, 1000, 1), 1000);

    // Too large to be freight is refused rather than wrapped.
    EXPECT_FALSE(freight::freightFen(systemTemplate(freight::kByWeight, Row{0, 0, 1, 100'000'000}), 0,
                                     50'000'000'000'000'000LL, 1));
}

TEST(FreightRule, RegionOfAnAddress)
{
    EXPECT_EQ(freight::regionOf(""), 0);
    EXPECT_EQ(freight::regionOf("某地某街道1号"), 0);
    EXPECT_EQ(freight::regionOf("江苏省南京市鼓楼区"), 2);
    EXPECT_EQ(freight::regionOf("上海市浦东新区"), 1);
    // Two regions: the one first in the list, not first in the text.
    EXPECT_EQ(freight::regionOf("浙江省杭州市, 寄往上海"), 1);
    EXPECT_EQ(freight::regionOf("黑龙江省哈尔滨市"), 21);
    EXPECT_EQ(freight::regionOf("台湾"), 34);
}

TEST(FreightRule, WeightTextsRoundToWholeGrams)
{
    EXPECT_EQ(parseKilogramsRounded("0.30000000000000004"), 300);
    EXPECT_EQ(parseKilogramsRounded("1.2345"), 1235);
    EXPECT_EQ(parseKilogramsRounded("1.2344"), 1234);
    EXPECT_EQ(parseKilogramsRounded("12"), 12000);
    EXPECT_EQ(parseKilogramsRounded("0.5"), 500);
    for (const char *bad : {"", ".5", "1.", "-1", "1e3", "abc", "1.2.3", " 1"})
        EXPECT_FALSE(parseKilogramsRounded(bad)) << bad;
}

class OrderingTest : public DomainFixture
{
protected:
    OrderingTest()
    {
        supplier = merchant("supplier", "青禾食品有限公司", true);
        buyer = merchant("buyer", "鲜达商贸有限公司", false);
        stores.setCooperationState(supplier.accountId, buyer.accountId, kCooperationActive,
                                   "2026-03-01 09:00:00");
        // System freight by weight: 1 kg for 10.00, 5.00 per further kg; 江苏省 15.00 flat.
        EXPECT_TRUE(call(supplier, "基础通讯_设置运费/运费方式", "运费方式[1]计价方式[0]").empty());
        EXPECT_TRUE(call(supplier, "基础通讯_设置运费/运费模版", "地区索引[0]条件1[1]首费[10]条件2[1]续费[5]")
                        .empty());
        EXPECT_TRUE(call(supplier, "基础通讯_设置运费/运费模版", "地区索引[2]条件1[0]首费[15]条件2[0]续费[0]")
                        .empty());
    }

    std::string addGoods(const std::string &name, const std::string &stock,
                         const std::string &price = "10.00", const std::string &weight = "0.5")
    {
        EXPECT_EQ(one(supplier, "基础通讯_增加编辑商品",
                      "商品ID[]商品名称[" + name + "]商品编码[]商品规格[]商品单价[" + price + "]商品重量[" +
                          weight + "]商品库存[" + stock + "]商品单位[袋子]商品分类[]"),
                  "基础通讯_增加商品成功|");
        return std::to_string(database->read([&](db::Tx &tx) {
            return goods::list(tx, goods::GoodsQuery{supplier.accountId, 0, 0}).front().id;
        }));
    }
    static std::string scrambled(const std::string &utf8)
    {
        return protocol::scramble(*protocol::utf8ToGbk(utf8));
    }
    std::string orderFields(const std::vector<std::pair<std::string, std::string>> &lines,
                            const std::string &address = "江苏省南京市鼓楼区1号")
    {
        std::string text = "供应商ID[" + std::to_string(supplier.accountId) + "]收货地址[" +
                           scrambled(address) + "]供应商留言[" + scrambled("请尽快发货") + "]";
        for (const auto &[goodsId, quantity] : lines)
            text += "数据详情_商品ID[" + goodsId + "]数量[" + quantity + "]\r\n";
        return text;
    }
    long long stockOf(const std::string &goodsId)
    {
        return database->read(
            [&](db::Tx &tx) { return goods::ownGoods(tx, supplier.accountId, std::stoll(goodsId))->stock; });
    }
    long long count(const std::string &name)
    {
        return database->read([&](db::Tx &tx) {
            long long rows = 0;
            tx.sql() << "SELECT COUNT(*) FROM " + name, soci::into(rows);
            return rows;
        });
    }

    SessionState supplier, buyer;
};

TEST_F(OrderingTest, OneLineOrderIsStoredWholeWithItsFreight)
{
    const std::string rice = addGoods("东北大米", "100", "68.00", "5");
    const std::string freight =
        one(buyer, "基础通讯_获取运费/下单",
            "供应商ID[" + std::to_string(supplier.accountId) + "]重量[15]件数[3]地区索引[0]");
    EXPECT_EQ(freight, "基础通讯_返回运费/下单|运费[80.00]");
    EXPECT_EQ(value(one(buyer, "基础通讯_获取运费/下单",
                        "供应商ID[" + std::to_string(supplier.accountId) + "]重量[15]件数[3]地区索引[2]"),
                    "运费"),
              "15.00");

    ASSERT_EQ(one(buyer, "基础通讯_下单", orderFields({{rice, "3"}})), "基础通讯_下单成功|");
    EXPECT_EQ(stockOf(rice), 97);
    database->read([&](db::Tx &tx) {
        std::string orderNo, address, message, lineName;
        long long goodsFen = 0, freightFen = 0, totalFen = 0, pieces = 0, weight = 0, linePrice = 0;
        int state = -1;
        tx.sql() << "SELECT order_no, address, message, goods_amount_fen, freight_fen, total_fen, pieces, "
                    "weight_g,"
                    " state FROM orders",
            soci::into(orderNo), soci::into(address), soci::into(message), soci::into(goodsFen),
            soci::into(freightFen), soci::into(totalFen), soci::into(pieces), soci::into(weight),
            soci::into(state);
        EXPECT_EQ(orderNo, "20260310000001");
        EXPECT_EQ(address, "江苏省南京市鼓楼区1号");
        EXPECT_EQ(message, "请尽快发货");
        EXPECT_EQ(goodsFen, 20400);
        EXPECT_EQ(freightFen, 1500) << "the 江苏省 row, found in the address";
        EXPECT_EQ(totalFen, 21900);
        EXPECT_EQ(pieces, 3);
        EXPECT_EQ(weight, 15000);
        EXPECT_EQ(state, kOrderPending);
        tx.sql() << "SELECT name, price_fen FROM order_lines", soci::into(lineName), soci::into(linePrice);
        EXPECT_EQ(lineName, "东北大米");
        EXPECT_EQ(linePrice, 6800);
    });
    ASSERT_EQ(one(buyer, "基础通讯_下单", orderFields({{rice, "1"}}, "")), "基础通讯_下单成功|");
    EXPECT_EQ(database->read([](db::Tx &tx) {
        std::string no;
        tx.sql() << "SELECT MAX(order_no) FROM orders", soci::into(no);
        return no;
    }),
              "20260310000002");
}

// The server reads the scrambled texts with the alphabet it is configured with.
TEST_F(OrderingTest, AddressAndMessageAreReadWithTheConfiguredAlphabet)
{
    const std::string rice = addGoods("东北大米", "10");
    std::string alphabet(protocol::defaultKeyAlphabet());
    std::reverse(alphabet.begin(), alphabet.end());
    config.keyAlphabet = alphabet;
    const auto scrambledWith = [&](const std::string &utf8) {
        return protocol::scramble(*protocol::utf8ToGbk(utf8), alphabet);
    };
    ASSERT_EQ(one(buyer, "基础通讯_下单",
                  "供应商ID[" + std::to_string(supplier.accountId) + "]收货地址[" +
                      scrambledWith("浙江省宁波市1号") + "]供应商留言[" + scrambledWith("周末不送") +
                      "]数据详情_商品ID[" + rice + "]数量[1]"),
              "基础通讯_下单成功|");
    const auto stored = database->read([](db::Tx &tx) {
        std::string address, message;
        tx.sql() << "SELECT address, message FROM orders", soci::into(address), soci::into(message);
        return std::pair{address, message};
    });
    EXPECT_EQ(stored.first, "浙江省宁波市1号");
    EXPECT_EQ(stored.second, "周末不送");
    // The order page scrambles them back with the same alphabet.
    const std::string orderId = std::to_string(database->read([](db::Tx &tx) {
        long long id = 0;
        tx.sql() << "SELECT MAX(id) FROM orders", soci::into(id);
        return id;
    }));
    const std::string page = one(supplier, "基础通讯_获取发货订单页面", "订单ID[" + orderId + "]");
    EXPECT_EQ(*protocol::gbkToUtf8(protocol::unscramble(value(page, "收货地址"), alphabet)),
              "浙江省宁波市1号");
}

TEST_F(OrderingTest, FiftyLinesPassTheFiftyFirstIsRefused)
{
    std::vector<std::pair<std::string, std::string>> lines;
    for (int i = 0; i < 51; ++i)
        lines.emplace_back(addGoods("商品编号" + std::to_string(100 + i), "5"), "1");
    EXPECT_EQ(one(buyer, "基础通讯_下单", orderFields(lines)), notice("商品数量不能超过50个。"));
    EXPECT_EQ(count("orders"), 0);
    lines.pop_back();
    EXPECT_EQ(one(buyer, "基础通讯_下单", orderFields(lines)), "基础通讯_下单成功|");
    EXPECT_EQ(count("order_lines"), 50);
}

TEST_F(OrderingTest, RefusedOrdersChangeNothing)
{
    const std::string rice = addGoods("东北大米", "10");
    const std::string oil = addGoods("菜籽油", "10");
    const std::string eggs = addGoods("散养鸡蛋", "10");
    ASSERT_EQ(one(supplier, "基础通讯_商品上架下架", "商品ID[" + oil + "]类型[下架]"),
              "基础通讯_商品上架下架成功|");
    one(supplier, "基础通讯_变更商品授权方式",
        "采购商ID[" + std::to_string(buyer.accountId) + "]授权方式[2]");
    one(supplier, "基础通讯_获取商品列表/授权商品",
        "采购商ID[" + std::to_string(buyer.accountId) + "]关键词[]查询页数[1]");
    call(supplier, "基础通讯_变更商品授权状态", "商品ID[" + rice + "]授权状态[1]");
    call(supplier, "基础通讯_变更商品授权状态", "商品ID[" + oil + "]授权状态[1]");

    // Each refusal comes after the first line's stock was taken: all of it rolls back.
    const std::vector<std::string> refused = {
        orderFields({{rice, "2"}, {eggs, "1"}}), // not authorised
        orderFields({{rice, "2"}, {oil, "1"}}),  // off the shelf
        orderFields({{rice, "2"}, {rice, "1"}}), // the same goods twice
        orderFields({{rice, "11"}}),             // more than the stock
        orderFields({{rice, "0"}}),              // no quantity
        orderFields({{rice, "2"}, {"99999", "1"}}),
        orderFields({}),
    };
    for (const std::string &fields : refused)
        EXPECT_TRUE(isNotice(one(buyer, "基础通讯_下单", fields))) << fields;
    EXPECT_EQ(stockOf(rice), 10);
    EXPECT_EQ(count("orders"), 0);
    EXPECT_EQ(count("order_lines"), 0);

    // A scrambled text that cannot be read, and a stopped cooperation.
    std::string garbled = orderFields({{rice, "1"}});
    garbled.replace(garbled.find("收货地址[") + std::string("收货地址[").size(), 1, "~");
    EXPECT_TRUE(isNotice(one(buyer, "基础通讯_下单", garbled)));
    stores.setCooperationState(supplier.accountId, buyer.accountId, kCooperationStopped,
                               "2026-03-02 09:00:00");
    EXPECT_EQ(one(buyer, "基础通讯_下单", orderFields({{rice, "1"}})), notice("未找到该合作供应商!"));
    EXPECT_EQ(count("orders"), 0);
}

TEST_F(OrderingTest, OrderWindowListsHoldOnlyOrderableGoods)
{
    const std::string rice = addGoods("东北大米", "10");
    const std::string oil = addGoods("菜籽油", "10");
    one(supplier, "基础通讯_商品上架下架", "商品ID[" + oil + "]类型[下架]");
    const std::string id = std::to_string(supplier.accountId);

    const std::string suppliers = one(buyer, "基础通讯_获取供应商列表/下单", "关键词[]");
    EXPECT_NE(suppliers.find("青禾食品有限公司"), std::string::npos);
    const std::string goodsList =
        one(buyer, "基础通讯_采购商查询商品列表/下单", "供应商ID[" + id + "]商品分类ID[0]关键词[]");
    const protocol::ListReply parsed = protocol::parseListReply(*protocol::utf8ToGbk(goodsList));
    ASSERT_EQ(parsed.rows.size(), 1u);
    EXPECT_EQ(parsed.rows[0][0], rice);
    std::vector<std::string> captions;
    for (const auto &column : parsed.columns)
        captions.push_back(*protocol::gbkToUtf8(column.caption));
    for (const char *needed : {"商品ID", "名称", "编码", "规格", "单位", "单价", "重量", "库存"})
        EXPECT_NE(std::find(captions.begin(), captions.end(), needed), captions.end()) << needed;
    EXPECT_EQ(one(buyer, "基础通讯_获取商品分类/商品下单", "供应商ID[" + id + "]"),
              "基础通讯_返回商品分类/商品下单|分类列表[]");
    EXPECT_TRUE(isNotice(one(buyer, "基础通讯_采购商查询商品列表/下单", "供应商ID[0]商品分类ID[0]关键词[]")));
}

class OrderFlowTest : public OrderingTest
{
protected:
    OrderFlowTest()
    {
        rice = addGoods("东北大米", "10", "68.00", "5");
        EXPECT_EQ(one(buyer, "基础通讯_下单", orderFields({{rice, "3"}}, "上海市浦东新区<b>张江</b>路88号")),
                  "基础通讯_下单成功|");
        orderId = std::to_string(database->read([](db::Tx &tx) {
            long long id = 0;
            tx.sql() << "SELECT MAX(id) FROM orders", soci::into(id);
            return id;
        }));
    }
    std::string page(SessionState &session)
    {
        return one(session, "基础通讯_获取发货订单页面", "订单ID[" + orderId + "]");
    }
    Replies shipIt(const std::string &freight = "12.5", const std::string &method = "1")
    {
        return call(supplier, "基础通讯_订单发货",
                    "订单ID[" + orderId + "]运费[" + freight + "]发货类型[" + method +
                        "]物流名称[顺丰速运]物流单号[SF123]");
    }
    std::string cancel() { return one(buyer, "基础通讯_取消订单", "订单ID[" + orderId + "]"); }
    std::string resolve(const std::string &choice)
    {
        return one(supplier, "基础通讯_供应商处理异常订单",
                   "订单ID[" + orderId + "]处理方式[" + choice + "]");
    }
    std::string rice;
    std::string orderId;
};

TEST_F(OrderFlowTest, ShipThenThePurchaserSeesCarrierAndNumber)
{
    const std::string before = page(supplier);
    EXPECT_EQ(value(before, "订单状态"), "0");
    EXPECT_EQ(value(before, "商家名称"), "鲜达商贸有限公司");
    EXPECT_EQ(*protocol::gbkToUtf8(protocol::unscramble(value(before, "收货地址"))),
              "上海市浦东新区<b>张江</b>路88号");
    EXPECT_EQ(value(before, "商品金额"), "204.00");
    EXPECT_NE(before.find("数据详情_名称[东北大米]"), std::string::npos) << before;
    EXPECT_EQ(
        value(one(supplier, "基础通讯_订单发货/获取物流名称列表", "订单ID[" + orderId + "]"), "默认物流单号"),
        "请填写物流单号...");

    EXPECT_EQ(call(supplier, "基础通讯_订单发货",
                   "订单ID[" + orderId + "]运费[1]发货类型[1]物流名称[请填写物流名称...]物流单号[SF1]"),
              Replies{notice("请填写物流名称!")});
    EXPECT_EQ(call(supplier, "基础通讯_订单发货",
                   "订单ID[" + orderId + "]运费[abc]发货类型[1]物流名称[顺丰]物流单号[1]")
                  .size(),
              1u);
    const Replies shipped = shipIt();
    ASSERT_EQ(shipped.size(), 2u);
    EXPECT_EQ(value(shipped[0], "订单状态"), "1");
    EXPECT_EQ(value(shipped[0], "总金额"), "216.50");
    EXPECT_EQ(shipped[1], notice("发货成功!", "信息"));
    EXPECT_EQ(shipIt(), Replies{notice("订单已发货!")});

    const std::string carriers = one(buyer, "基础通讯_订单发货/获取物流名称列表", "订单ID[" + orderId + "]");
    EXPECT_EQ(value(carriers, "默认物流名称"), "顺丰速运");
    EXPECT_EQ(value(carriers, "默认物流单号"), "SF123");
    EXPECT_EQ(value(page(buyer), "发货类型"), "1");

    // Another merchant's order is answered like one that does not exist.
    SessionState stranger = merchant("stranger", "陌生人贸易公司", true);
    EXPECT_EQ(one(stranger, "基础通讯_获取发货订单页面", "订单ID[" + orderId + "]"),
              one(stranger, "基础通讯_获取发货订单页面", "订单ID[999999]"));
    EXPECT_TRUE(isNotice(
        one(buyer, "基础通讯_订单发货", "订单ID[" + orderId + "]运费[1]发货类型[2]物流名称[]物流单号[]")));
}

TEST_F(OrderFlowTest, CancellingBeforeAndAfterShipment)
{
    EXPECT_EQ(stockOf(rice), 7);
    EXPECT_EQ(cancel(), "基础通讯_取消订单/订单关闭|订单ID[" + orderId + "]");
    EXPECT_EQ(stockOf(rice), 10);
    EXPECT_EQ(value(page(buyer), "订单状态"), "3");
    EXPECT_EQ(cancel(), notice("订单已关闭!"));
    EXPECT_EQ(shipIt(), Replies{notice("订单状态已改变,不能发货!")});
    EXPECT_EQ(stockOf(rice), 10);
}

TEST_F(OrderFlowTest, TheSupplierAgreesToOrRefusesACancellation)
{
    ASSERT_EQ(shipIt().size(), 2u);
    EXPECT_EQ(resolve("1"), notice("订单不在取消中,无需处理!"));
    EXPECT_EQ(cancel(), "基础通讯_取消订单/订单取消中|订单ID[" + orderId + "]");
    EXPECT_EQ(value(page(buyer), "订单状态"), "2");
    EXPECT_EQ(value(resolve("2"), "订单状态"), "1") << "refused: shipped again";
    EXPECT_EQ(stockOf(rice), 7);

    // In an open statement the order may still be cancelled; the statement follows.
    const long long id = std::stoll(orderId);
    stores.insertStatement("DZ1", supplier.accountId, buyer.accountId, "2026-03-10", "2026-03-10",
                           kStatementOpen, {id}, "2026-03-10 12:00:00");
    EXPECT_EQ(cancel(), "基础通讯_取消订单/订单取消中|订单ID[" + orderId + "]");
    EXPECT_EQ(value(resolve("1"), "订单状态"), "3");
    EXPECT_EQ(stockOf(rice), 10);
    EXPECT_EQ(count("statements"), 0) << "a statement left without orders is removed";
}

TEST_F(OrderFlowTest, ReconciledOrdersCannotBeCancelled)
{
    ASSERT_EQ(shipIt().size(), 2u);
    stores.insertStatement("DZ1", supplier.accountId, buyer.accountId, "2026-03-10", "2026-03-10",
                           kStatementReconciled, {std::stoll(orderId)}, "2026-03-10 12:00:00");
    EXPECT_EQ(cancel(), notice("订单已对账,不能取消!"));
    EXPECT_EQ(value(page(buyer), "订单状态"), "1");
}

// Shipping and cancelling one order at once: exactly one of them wins.
TEST(OrderRace, ShipAndCancelGiveOneResult)
{
    char pattern[] = "/tmp/vantrell-shiprace-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    server::Config config = vantrell::testing::testConfig();
    config.database = vantrell::testing::sharedDatabaseUrl(dir + "/race.db");
    {
        vantrell::testing::InProcessServer server(config);
        vantrell::testing::TestClient seller, purchaser;
        ASSERT_TRUE(seller.connect(server.port()) && purchaser.connect(server.port()));
        ASSERT_TRUE(seller.registerAccount("seller01", "secret1", "并发供应商有限公司", "2"));
        ASSERT_TRUE(purchaser.registerAccount("buyer001", "secret1", "并发采购商有限公司", "1"));
        ASSERT_TRUE(seller.login("seller01", "secret1") && purchaser.login("buyer001", "secret1"));
        db::Database &database = server.database();
        for (int round = 0; round < 10; ++round) {
            const long long orderId = database.write([&](db::Tx &tx) {
                orders::NewOrder order;
                order.orderNo = "R" + std::to_string(round);
                order.supplierId = accounts::byName(tx, "seller01")->id;
                order.purchaserId = accounts::byName(tx, "buyer001")->id;
                order.createdAt = "2026-03-10 10:00:00";
                order.lines = {orders::NewLine{0, "米", "", "", "袋", 100, 10, 1}};
                return static_cast<long long>(orders::insert(tx, order));
            });
            const std::string id = "订单ID[" + std::to_string(orderId) + "]";
            std::optional<std::vector<vantrell::testing::Reply>> shipped, cancelled;
            std::thread shipper([&] {
                shipped = seller.exchange("基础通讯_订单发货", id + "运费[0]发货类型[2]物流名称[]物流单号[]");
            });
            cancelled = purchaser.exchange("基础通讯_取消订单", id);
            shipper.join();
            ASSERT_TRUE(shipped && cancelled);
            const bool shipWon = shipped->size() == 2;
            const std::string cancelName = cancelled->front().name;
            if (shipWon)
                EXPECT_EQ(cancelName, "基础通讯_取消订单/订单取消中") << round;
            else
                EXPECT_EQ(cancelName, "基础通讯_取消订单/订单关闭") << round;
            const int state = database.read([&](db::Tx &tx) {
                int s = -1;
                tx.sql() << "SELECT state FROM orders WHERE id = :id", soci::use(orderId), soci::into(s);
                return s;
            });
            EXPECT_EQ(state, shipWon ? kOrderCancelling : kOrderClosed) << round;
        }
    }
    std::filesystem::remove_all(dir);
}

// Purchasers ordering the last items at once over the network: exactly as many orders
// as there are items succeed, the stock ends at 0 and every order is whole.
TEST(OrderingRace, TwentyPurchasersForTheLastTenItems)
{
    char pattern[] = "/tmp/vantrell-race-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    server::Config config = vantrell::testing::testConfig();
    config.database = vantrell::testing::sharedDatabaseUrl(dir + "/race.db");
    {
        vantrell::testing::InProcessServer server(config);
        db::Database &database = server.database();
        vantrell::testing::TestClient seller;
        ASSERT_TRUE(seller.connect(server.port()));
        ASSERT_TRUE(seller.registerAccount("seller01", "secret1", "并发供应商有限公司", "2"));
        ASSERT_TRUE(seller.login("seller01", "secret1"));
        const auto added = seller.exchange(
            "基础通讯_增加编辑商品", "商品ID[]商品名称[最后的大米]商品编码[]商品规格[]商品单价[10]商品重量[1]"
                                     "商品库存[10]商品单位[袋子]商品分类[]");
        ASSERT_TRUE(added && added->size() == 1 && added->front().name == "基础通讯_增加商品成功");
        const auto [supplierId, goodsId] = database.read([](db::Tx &tx) {
            long long s = 0, g = 0;
            tx.sql() << "SELECT supplier_id, id FROM goods", soci::into(s), soci::into(g);
            return std::pair{s, g};
        });

        constexpr int kBuyers = 20;
        std::vector<std::unique_ptr<vantrell::testing::TestClient>> buyers;
        for (int i = 0; i < kBuyers; ++i) {
            auto client = std::make_unique<vantrell::testing::TestClient>();
            ASSERT_TRUE(client->connect(server.port()));
            const std::string name = "racer" + std::to_string(10 + i);
            ASSERT_TRUE(client->registerAccount(name, "secret1", "并发采购商公司" + std::to_string(10 + i)));
            ASSERT_TRUE(client->login(name, "secret1"));
            const auto saved = client->exchange("基础通讯_保存个人中心基本资料",
                                                "联系人[采购员工]电话[13800000000]邮箱[]地址[]");
            ASSERT_TRUE(saved);
            const long long buyerId = database.read([&](db::Tx &tx) {
                long long id = 0;
                tx.sql() << "SELECT id FROM accounts WHERE user_name = :n", soci::use(name), soci::into(id);
                return id;
            });
            database.write([&](db::Tx &tx) {
                partners::setCooperationState(tx, supplierId, buyerId, kCooperationActive,
                                              "2026-03-01 09:00:00");
            });
            buyers.push_back(std::move(client));
        }

        std::atomic<int> placed{0};
        std::atomic<int> refused{0};
        std::vector<std::thread> threads;
        const std::string fields = "供应商ID[" + std::to_string(supplierId) +
                                   "]收货地址[]供应商留言[]数据详情_商品ID[" + std::to_string(goodsId) +
                                   "]数量[1]\r\n";
        for (auto &client : buyers) {
            threads.emplace_back([&, c = client.get()] {
                const auto replies = c->exchange("基础通讯_下单", fields);
                if (replies && replies->size() == 1 && replies->front().name == "基础通讯_下单成功")
                    ++placed;
                else if (replies && replies->size() == 1 && replies->front().name == "提示信息_错误")
                    ++refused;
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        EXPECT_EQ(placed.load(), 10);
        EXPECT_EQ(refused.load(), kBuyers - 10);
        database.read([&](db::Tx &tx) {
            long long stock = -1, orders = 0, lines = 0, numbers = 0;
            tx.sql() << "SELECT stock FROM goods", soci::into(stock);
            tx.sql() << "SELECT COUNT(*) FROM orders", soci::into(orders);
            tx.sql() << "SELECT COUNT(*) FROM order_lines", soci::into(lines);
            tx.sql() << "SELECT COUNT(DISTINCT order_no) FROM orders", soci::into(numbers);
            EXPECT_EQ(stock, 0);
            EXPECT_EQ(orders, 10);
            EXPECT_EQ(lines, 10);
            EXPECT_EQ(numbers, 10);
        });
    }
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace vantrell::server::testing
