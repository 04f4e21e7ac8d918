#include "domainfixture.h"

#include "protocol/decimal.h"
#include "protocol/gbk.h"
#include "protocol/listreply.h"
#include "server/money.h"

namespace vantrell::server::testing {
namespace {

class OrderListTest : public DomainFixture
{
protected:
    OrderListTest()
    {
        config.pageSize = 3;
        supplier = merchant("supplier", "青禾食品有限公司", true);
        otherSupplier = merchant("supplier2", "ABC Trading Co.", true);
        buyer = merchant("buyer", "鲜达商贸有限公司", false);
        otherBuyer = merchant("buyer2", "Fresh Mart Ltd", false);
    }

    std::int64_t addOrder(const SessionState &from, const SessionState &to, int state,
                          const std::string &createdAt, long long priceFen = 1250, long long quantity = 2,
                          long long freightFen = 0)
    {
        NewOrder order;
        order.orderNo = "NO" + std::to_string(++m_sequence);
        order.supplierId = to.accountId;
        order.purchaserId = from.accountId;
        order.state = state;
        order.freightFen = freightFen;
        order.createdAt = createdAt;
        order.lines = {NewOrderLine{1, "大米", "R1", "5kg", "袋", priceFen, 5000, quantity}};
        return stores.insertOrder(order);
    }

    // The list as the client reads it (from the GBK bytes it would receive).
    protocol::ListReply list(SessionState &session, int tab, std::int64_t partner = 0,
                             const std::string &keyword = {}, const std::string &page = "1")
    {
        const std::string payload =
            one(session, "基础通讯_查询订单",
                "订单类型[" + std::to_string(tab) + "]合作商ID[" + std::to_string(partner) + "]关键词[" +
                    keyword + "]查询页数[" + page + "]");
        EXPECT_EQ(payload.rfind("基础通讯_返回订单列表|", 0), 0u) << payload;
        return protocol::parseListReply(*protocol::utf8ToGbk(payload));
    }

    static std::vector<std::string> column(const protocol::ListReply &reply, std::size_t index)
    {
        std::vector<std::string> cells;
        for (const auto &row : reply.rows)
            cells.push_back(*protocol::gbkToUtf8(row.at(index)));
        return cells;
    }

    SessionState supplier, otherSupplier, buyer, otherBuyer;

private:
    int m_sequence = 0;
};

using Cells = std::vector<std::string>;

TEST_F(OrderListTest, EmptyListStillHasItsColumnsAndOnePage)
{
    const protocol::ListReply reply = list(supplier, 0);
    EXPECT_EQ(reply.pageCount, "1");
    EXPECT_EQ(reply.currentPage, "1");
    ASSERT_EQ(reply.columns.size(), 7u);
    EXPECT_EQ(reply.columns[0].caption, "ID");
    EXPECT_EQ(reply.columns[0].width, 0);
    EXPECT_EQ(*protocol::gbkToUtf8(reply.columns[2].caption), "订单号");
    EXPECT_TRUE(reply.rows.empty());
}

TEST_F(OrderListTest, TabsPickStatesAndRowsShowTheOtherPartyNewestFirst)
{
    config.pageSize = 20;
    addOrder(buyer, supplier, kOrderPending, "2026-03-08 09:00:00");
    addOrder(buyer, supplier, kOrderShipped, "2026-03-09 09:00:00", 1999, 3, 500);
    addOrder(buyer, supplier, kOrderCancelling, "2026-03-09 10:00:00");
    addOrder(buyer, supplier, kOrderClosed, "2026-03-10 08:00:00");

    EXPECT_EQ(column(list(supplier, 0), 1), (Cells{"已关闭", "取消中", "已发货", "待发货"}));
    EXPECT_EQ(column(list(supplier, 1), 1), (Cells{"待发货"}));
    EXPECT_EQ(column(list(supplier, 2), 1), (Cells{"已发货"}));
    EXPECT_EQ(column(list(supplier, 3), 1), (Cells{"已关闭", "取消中"}));

    const protocol::ListReply shipped = list(supplier, 2);
    ASSERT_EQ(shipped.rows.size(), 1u);
    EXPECT_EQ(column(shipped, 3), (Cells{"鲜达商贸有限公司"}));
    EXPECT_EQ(column(shipped, 4), (Cells{"3"}));
    EXPECT_EQ(column(shipped, 5), (Cells{"64.97"}));
    EXPECT_EQ(column(shipped, 6), (Cells{"2026-03-09"}));
    EXPECT_EQ(column(list(buyer, 2), 3), (Cells{"青禾食品有限公司"}));
}

TEST_F(OrderListTest, MerchantsSeeOnlyTheirOwnOrdersAndPartnerFilterNarrows)
{
    const auto mine = addOrder(buyer, supplier, kOrderPending, "2026-03-09 09:00:00");
    const auto theirs = addOrder(otherBuyer, otherSupplier, kOrderPending, "2026-03-09 10:00:00");
    const auto crossed = addOrder(otherBuyer, supplier, kOrderPending, "2026-03-09 11:00:00");

    EXPECT_EQ(column(list(supplier, 0), 0), (Cells{std::to_string(crossed), std::to_string(mine)}));
    EXPECT_EQ(column(list(otherSupplier, 0), 0), (Cells{std::to_string(theirs)}));
    EXPECT_EQ(column(list(buyer, 0), 0), (Cells{std::to_string(mine)}));
    EXPECT_EQ(column(list(otherBuyer, 0), 0), (Cells{std::to_string(crossed), std::to_string(theirs)}));

    EXPECT_EQ(column(list(supplier, 0, otherBuyer.accountId), 0), (Cells{std::to_string(crossed)}));
    EXPECT_EQ(column(list(otherBuyer, 0, supplier.accountId), 0), (Cells{std::to_string(crossed)}));
    // Naming somebody else's partner reveals nothing.
    EXPECT_TRUE(list(buyer, 0, otherSupplier.accountId).rows.empty());
}

TEST_F(OrderListTest, KeywordMatchesVisibleTextCaseInsensitively)
{
    addOrder(otherBuyer, supplier, kOrderPending, "2026-03-08 09:00:00", 1250, 1);
    addOrder(buyer, supplier, kOrderClosed, "2026-03-09 09:00:00", 4321, 1);

    EXPECT_EQ(column(list(supplier, 0, 0, "fresh mart"), 3), (Cells{"Fresh Mart Ltd"}));
    EXPECT_EQ(column(list(supplier, 0, 0, "FRESH"), 3), (Cells{"Fresh Mart Ltd"}));
    EXPECT_EQ(column(list(supplier, 0, 0, "鲜达"), 3), (Cells{"鲜达商贸有限公司"}));
    EXPECT_EQ(column(list(supplier, 0, 0, "已关闭"), 3), (Cells{"鲜达商贸有限公司"}));
    EXPECT_EQ(column(list(supplier, 0, 0, "43.21"), 3), (Cells{"鲜达商贸有限公司"}));
    EXPECT_EQ(column(list(supplier, 0, 0, "2026-03-08"), 3), (Cells{"Fresh Mart Ltd"}));
    EXPECT_EQ(column(list(supplier, 0, 0, "no2"), 3), (Cells{"鲜达商贸有限公司"}));
    EXPECT_EQ(list(supplier, 0, 0, "%").rows.size(), 0u);
    // The keyword still respects the tab.
    EXPECT_TRUE(list(supplier, 1, 0, "鲜达").rows.empty());
}

TEST_F(OrderListTest, PagesAreClampedAndKeywordPagesToo)
{
    for (int day = 1; day <= 7; ++day)
        addOrder(buyer, supplier, kOrderPending, "2026-03-0" + std::to_string(day) + " 09:00:00");

    const protocol::ListReply first = list(supplier, 0, 0, {}, "1");
    EXPECT_EQ(first.pageCount, "3");
    EXPECT_EQ(column(first, 6), (Cells{"2026-03-07", "2026-03-06", "2026-03-05"}));
    EXPECT_EQ(list(supplier, 0, 0, {}, "0").currentPage, "1");
    const protocol::ListReply beyond = list(supplier, 0, 0, {}, "99");
    EXPECT_EQ(beyond.currentPage, "3");
    EXPECT_EQ(column(beyond, 6), (Cells{"2026-03-01"}));

    const protocol::ListReply keyword = list(supplier, 0, 0, "鲜达", "2");
    EXPECT_EQ(keyword.pageCount, "3");
    EXPECT_EQ(column(keyword, 6), (Cells{"2026-03-04", "2026-03-03", "2026-03-02"}));
    EXPECT_EQ(list(supplier, 0, 0, "鲜达", "7").currentPage, "3");
}

TEST_F(OrderListTest, UnreadableNumbersAreRefusedNotTakenAsZero)
{
    const auto ask = [&](const std::string &fields) {
        return one(supplier, "基础通讯_查询订单", fields);
    };
    EXPECT_EQ(ask("订单类型[0]合作商ID[0]关键词[]查询页数[-1]"), notice("查询页数必须是不小于0的整数!"));
    EXPECT_TRUE(isNotice(ask("订单类型[0]合作商ID[0]关键词[]查询页数[]")));
    EXPECT_TRUE(isNotice(ask("订单类型[0]合作商ID[0]关键词[]查询页数[1x]")));
    EXPECT_TRUE(isNotice(ask("订单类型[0]合作商ID[-3]关键词[]查询页数[1]")));
    EXPECT_TRUE(isNotice(ask("订单类型[4]合作商ID[0]关键词[]查询页数[1]")));
    EXPECT_TRUE(isNotice(ask("订单类型[ 1]合作商ID[0]关键词[]查询页数[1]")));
    EXPECT_TRUE(isNotice(ask("订单类型[0]合作商ID[0]关键词[a,b]查询页数[1]")));
    EXPECT_TRUE(isNotice(ask("订单类型[0]合作商ID[0]关键词[数据详情_]查询页数[1]")));
}

TEST_F(OrderListTest, DashboardCountsEachSideAndLeavesClosedOrdersOut)
{
    // Today is 2026-03-10 (the fixture's clock).
    addOrder(buyer, supplier, kOrderPending, "2026-03-10 08:00:00", 1000, 2, 300); // 23.00, 2 pieces
    addOrder(buyer, supplier, kOrderShipped, "2026-03-10 09:00:00", 500, 4);       // 20.00, 4 pieces
    addOrder(buyer, supplier, kOrderClosed, "2026-03-10 09:30:00", 9900, 9);       // excluded
    addOrder(buyer, supplier, kOrderCancelling, "2026-03-09 12:00:00", 750, 2);    // 15.00 yesterday
    const auto settled = addOrder(buyer, supplier, kOrderShipped, "2026-03-01 12:00:00", 10000, 1);
    const auto reconciled = addOrder(buyer, supplier, kOrderShipped, "2026-03-02 12:00:00", 2000, 1);
    addOrder(otherBuyer, otherSupplier, kOrderShipped, "2026-03-10 09:00:00", 77700, 1); // someone else's
    stores.insertStatement("DZ1", supplier.accountId, buyer.accountId, "2026-03-01", "2026-03-01",
                           kStatementSettled, {settled}, "2026-03-03 10:00:00");
    stores.insertStatement("DZ2", supplier.accountId, buyer.accountId, "2026-03-02", "2026-03-02",
                           kStatementReconciled, {reconciled}, "2026-03-03 10:00:00");

    const std::string expected =
        "基础通讯_订单管理/返回实时数据|未发货[1]已发货[3]今日销售额[43.00]昨日销售额[15.00]"
        "今日件数[6]昨日件数[2]待结算金额[55.00]已结算金额[100.00]";
    EXPECT_EQ(one(supplier, "基础通讯_订单管理/获取实时数据"), expected);
    const std::string purchases = one(buyer, "基础通讯_订单管理/获取实时数据");
    EXPECT_EQ(purchases.substr(purchases.find('|')), expected.substr(expected.find('|')));

    EXPECT_EQ(one(otherBuyer, "基础通讯_订单管理/获取实时数据"),
              "基础通讯_订单管理/返回实时数据|未发货[0]已发货[1]今日销售额[777.00]昨日销售额[0.00]"
              "今日件数[1]昨日件数[0]待结算金额[777.00]已结算金额[0.00]");
}

TEST(MoneyTest, FenAndKilogramTexts)
{
    EXPECT_EQ(formatFen(0), "0.00");
    EXPECT_EQ(formatFen(5), "0.05");
    EXPECT_EQ(formatFen(1250), "12.50");
    EXPECT_EQ(formatFen(-105), "-1.05");
    EXPECT_EQ(protocol::parseScaled("12.5", 2), 1250);
    EXPECT_EQ(protocol::parseScaled("0.05", 2), 5);
    EXPECT_EQ(protocol::parseScaled("7", 2), 700);
    for (const char *bad : {"", "-1", "1.234", "1e3", " 1", "1.", ".5", "abc"})
        EXPECT_FALSE(protocol::parseScaled(bad, 2)) << bad;
    EXPECT_EQ(formatKilograms(1500), "1.5");
    EXPECT_EQ(formatKilograms(1), "0.001");
    EXPECT_EQ(formatKilograms(2000), "2");
}

} // namespace
} // namespace vantrell::server::testing
