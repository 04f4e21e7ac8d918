#include "domainfixture.h"

#include "protocol/gbk.h"
#include "protocol/listreply.h"
#include "server/goods/store.h"
#include "server/money.h"
#include "server/states.h"

#include <soci/soci.h>

namespace vantrell::server::testing {
namespace {

using Cells = std::vector<std::string>;

class FinanceTest : public DomainFixture
{
protected:
    FinanceTest()
    {
        supplier = merchant("supplier", "青禾食品有限公司", true);
        buyer = merchant("buyer", "鲜达商贸有限公司", false);
        stores.setContactData(buyer.accountId, {"李鲜达", "13900000002", "", "上海"});
        stores.setCooperationState(supplier.accountId, buyer.accountId, kCooperationActive,
                                   "2026-03-01 09:00:00");
        EXPECT_EQ(one(supplier, "基础通讯_增加编辑商品",
                      "商品ID[]商品名称[东北大米]商品编码[]商品规格[]商品单价[10.01]商品重量[1]商品库存[1000]"
                      "商品单位[袋子]商品分类[]"),
                  "基础通讯_增加商品成功|");
        goodsId = std::to_string(database->read([&](db::Tx &tx) {
            return goods::list(tx, goods::GoodsQuery{supplier.accountId, 0, 0}).front().id;
        }));
    }

    void at(const std::string &time) { clockNow = *parseIsoTime(time); }

    // Places an order of `quantity` at `placed` and ships it at `shipped` with a freight.
    long long placeAndShip(const std::string &placed, const std::string &shipped, int quantity,
                           const std::string &freight)
    {
        at(placed);
        EXPECT_EQ(one(buyer, "基础通讯_下单",
                      "供应商ID[" + id(supplier) + "]收货地址[]供应商留言[]数据详情_商品ID[" + goodsId +
                          "]数量[" + std::to_string(quantity) + "]"),
                  "基础通讯_下单成功|");
        const long long orderId = database->read([](db::Tx &tx) {
            long long last = 0;
            tx.sql() << "SELECT MAX(id) FROM orders", soci::into(last);
            return last;
        });
        at(shipped);
        EXPECT_EQ(call(supplier, "基础通讯_订单发货",
                       "订单ID[" + std::to_string(orderId) + "]运费[" + freight +
                           "]发货类型[2]物流名称[]物流单号[]")
                      .size(),
                  2u);
        return orderId;
    }

    std::string defaults()
    {
        return one(supplier, "基础通讯_财务结算窗口/对账单窗口默认日期段", "采购商ID[" + id(buyer) + "]");
    }
    std::string create(const std::string &from, const std::string &to)
    {
        return one(supplier, "基础通讯_财务结算窗口/生成对账单",
                   "采购商ID[" + id(buyer) + "]起始日期[" + from + "]终止日期[" + to + "]");
    }
    std::string amount(const std::string &from, const std::string &to)
    {
        return one(supplier, "基础通讯_财务结算窗口/对账单窗口获取金额",
                   "采购商ID[" + id(buyer) + "]起始日期[" + from + "]终止日期[" + to + "]");
    }
    protocol::ListReply statements(SessionState &session, const SessionState &partner, std::string &text)
    {
        text = one(session, "基础通讯_财务结算窗口/查询对账单列表",
                   "合作商ID[" + id(partner) + "]查询内容[]查询类型[0]查询页数[1]");
        return protocol::parseListReply(*protocol::utf8ToGbk(text));
    }
    std::string settle(SessionState &session, const std::string &statementId, int kind)
    {
        return one(session, "基础通讯_财务结算窗口/对账结算",
                   "对账单ID[" + statementId + "]操作类型[" + std::to_string(kind) + "]");
    }
    // Order IDs of each statement, oldest first.
    std::vector<std::vector<long long>> billing()
    {
        return database->read([](db::Tx &tx) {
            std::vector<std::vector<long long>> result;
            std::vector<long long> ids;
            long long statement = 0, order = 0, last = -1;
            soci::statement rows =
                (tx.sql().prepare << "SELECT statement_id, id FROM orders WHERE statement_id <> 0"
                                     " ORDER BY statement_id, id",
                 soci::into(statement), soci::into(order));
            rows.execute();
            while (rows.fetch()) {
                if (statement != last)
                    result.emplace_back();
                last = statement;
                result.back().push_back(order);
            }
            return result;
        });
    }
    static std::string id(const SessionState &session) { return std::to_string(session.accountId); }

    SessionState supplier, buyer;
    std::string goodsId;
};

TEST_F(FinanceTest, StatementsBackToBackBillEachShippedOrderOnce)
{
    const long long a = placeAndShip("2026-03-02 09:00:00", "2026-03-02 10:00:00", 1, "5");   // 15.01
    const long long b = placeAndShip("2026-03-03 09:00:00", "2026-03-04 18:00:00", 3, "0.5"); // 30.53
    placeAndShip("2026-03-05 09:00:00", "2026-03-05 09:30:00", 2, "0"); // 20.02, left for the second

    at("2026-03-05 12:00:00");
    const std::string first = defaults();
    EXPECT_EQ(value(first, "起始日期"), "2026-03-02") << "the earliest unbilled shipment";
    EXPECT_EQ(value(first, "终止日期"), "2026-03-05");
    EXPECT_EQ(value(first, "总金额"), "65.56");
    EXPECT_EQ(value(amount("2026-03-02", "2026-03-04"), "总金额"), "45.54");

    EXPECT_EQ(create("2026-03-02", "2026-03-06"), notice("终止日期不能晚于今天!"));
    EXPECT_EQ(create("2026-03-01", "2026-03-04"), notice("起始日期已变化,请重新打开创建对账单窗口!"));
    EXPECT_EQ(create("2026-03-02", "2026-03-01"), notice("终止日期不能早于起始日期!"));
    EXPECT_EQ(create("2026-03-02", "2026-02-30"), notice("日期格式不正确!"));
    EXPECT_EQ(create("2026-03-02", "2026-03-04"), "基础通讯_生成对账单成功|");
    EXPECT_EQ(billing(), (std::vector<std::vector<long long>>{{a, b}}));

    // Shipped later on the last day of the first statement: billed in the next one.
    const long long late = placeAndShip("2026-03-04 20:00:00", "2026-03-04 23:00:00", 1, "0");
    at("2026-03-06 08:00:00");
    const std::string second = defaults();
    EXPECT_EQ(value(second, "起始日期"), "2026-03-05");
    EXPECT_EQ(value(second, "总金额"), "30.03");
    EXPECT_EQ(create("2026-03-05", "2026-03-06"), "基础通讯_生成对账单成功|");
    ASSERT_EQ(billing().size(), 2u);
    EXPECT_EQ(billing()[1].size(), 2u);
    EXPECT_NE(std::find(billing()[1].begin(), billing()[1].end(), late), billing()[1].end());

    // Ending today: no further statement until tomorrow, and nothing left to bill.
    EXPECT_EQ(value(defaults(), "总金额"), "0.00");
    EXPECT_EQ(create("2026-03-06", "2026-03-06"), notice("今天的对账单已生成,请明天再创建!"));
    at("2026-03-07 08:00:00");
    EXPECT_EQ(create("2026-03-07", "2026-03-07"), notice("该时间段内没有需要对账的订单!"));

    std::string text;
    const protocol::ListReply listed = statements(supplier, buyer, text);
    ASSERT_EQ(listed.rows.size(), 2u);
    EXPECT_EQ(value(text, "全部记录"), "2");
    EXPECT_EQ(value(text, "对账单金额"), "75.57") << "the sum of every order, to the fen";
    EXPECT_EQ(value(text, "未结算金额"), "75.57");
    EXPECT_EQ(value(text, "公司"), "鲜达商贸有限公司");
    EXPECT_EQ(*protocol::gbkToUtf8(listed.rows[0][3]), "2026-03-05");
    EXPECT_EQ(*protocol::gbkToUtf8(listed.rows[1][7]), "45.54");

    const std::string details =
        one(buyer, "基础通讯_财务结算窗口/查询结算明细",
            "合作商ID[" + id(supplier) +
                "]查询类型[0]查询内容[]起始日期[2026-03-02]终止日期[2026-03-04]查询页数[1]");
    EXPECT_EQ(value(details, "状态位置"), "结算明细 - > 2026-03-02 至 2026-03-04");
    EXPECT_EQ(protocol::parseListReply(*protocol::utf8ToGbk(details)).rows.size(), 2u);
}

TEST_F(FinanceTest, ReconcileThenSettleByTheRightSidesInOrder)
{
    placeAndShip("2026-03-02 09:00:00", "2026-03-02 10:00:00", 1, "5");
    at("2026-03-03 12:00:00");
    ASSERT_EQ(create("2026-03-02", "2026-03-03"), "基础通讯_生成对账单成功|");
    std::string text;
    const std::string statementId = statements(supplier, buyer, text).rows.at(0).at(0);

    EXPECT_EQ(settle(supplier, statementId, 1), notice("只有采购商可以确认对账!"));
    EXPECT_EQ(settle(supplier, statementId, 2), notice("对账单尚未由采购商确认对账,不能结算!"));
    EXPECT_EQ(settle(buyer, statementId, 2), notice("只有供应商可以确认结算!"));
    EXPECT_EQ(settle(buyer, statementId, 1), "基础通讯_财务结算窗口/对账结算成功|");
    EXPECT_EQ(settle(buyer, statementId, 1), notice("该对账单已确认对账!"));
    EXPECT_EQ(settle(supplier, statementId, 2), "基础通讯_财务结算窗口/对账结算成功|");
    EXPECT_EQ(settle(supplier, statementId, 2), notice("该对账单已结算!"));
    EXPECT_EQ(*protocol::gbkToUtf8(statements(buyer, supplier, text).rows.at(0).at(1)), "已结算");
    EXPECT_EQ(value(text, "未结算金额"), "0.00");

    // The dashboard follows.
    const std::string figures = one(supplier, "基础通讯_订单管理/获取实时数据");
    EXPECT_EQ(value(figures, "已结算金额"), "15.01");
    EXPECT_EQ(value(figures, "待结算金额"), "0.00");

    // Another merchant's statement is answered like an unknown one.
    SessionState stranger = merchant("stranger", "陌生人贸易公司", false);
    EXPECT_EQ(settle(stranger, statementId, 1), notice("未找到该对账单!"));
    EXPECT_EQ(one(stranger, "基础通讯_财务结算窗口/查询对账单列表",
                  "合作商ID[" + id(supplier) + "]查询内容[]查询类型[0]查询页数[1]"),
              notice("未找到该商家!"));
}

TEST_F(FinanceTest, ACancellationInsideAnOpenStatementKeepsItsAmountsRight)
{
    const long long a = placeAndShip("2026-03-02 09:00:00", "2026-03-02 10:00:00", 1, "5");
    const long long b = placeAndShip("2026-03-02 11:00:00", "2026-03-02 12:00:00", 2, "0");
    at("2026-03-03 12:00:00");
    ASSERT_EQ(create("2026-03-02", "2026-03-03"), "基础通讯_生成对账单成功|");
    std::string text;
    const std::string statementId = statements(supplier, buyer, text).rows.at(0).at(0);

    ASSERT_EQ(one(buyer, "基础通讯_取消订单", "订单ID[" + std::to_string(b) + "]"),
              "基础通讯_取消订单/订单取消中|订单ID[" + std::to_string(b) + "]");
    EXPECT_EQ(settle(buyer, statementId, 1), notice("对账单中有订单正在取消,请等待供应商处理后再对账!"));
    one(supplier, "基础通讯_供应商处理异常订单", "订单ID[" + std::to_string(b) + "]处理方式[1]");
    EXPECT_EQ(billing(), (std::vector<std::vector<long long>>{{a}}));
    EXPECT_EQ(*protocol::gbkToUtf8(statements(supplier, buyer, text).rows.at(0).at(7)), "15.01");
    EXPECT_EQ(settle(buyer, statementId, 1), "基础通讯_财务结算窗口/对账结算成功|");
    EXPECT_EQ(one(buyer, "基础通讯_取消订单", "订单ID[" + std::to_string(a) + "]"),
              notice("订单已对账,不能取消!"));
}

} // namespace
} // namespace vantrell::server::testing
