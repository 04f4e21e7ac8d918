#include "domainfixture.h"

#include "protocol/gbk.h"
#include "protocol/listreply.h"

namespace vantrell::server::testing {
namespace {

using Cells = std::vector<std::string>;

// Two suppliers and three purchasers; the pairs are set up per test.
class PageListTest : public DomainFixture
{
protected:
    PageListTest()
    {
        config.pageSize = 20;
        supplier = merchant("supplier", "青禾食品有限公司", true);
        otherSupplier = merchant("supplier2", "ABC Trading Co.", true);
        buyer = merchant("buyer", "鲜达商贸有限公司", false);
        otherBuyer = merchant("buyer2", "Fresh Mart Ltd", false);
        thirdBuyer = merchant("buyer3", "北城超市连锁公司", false);
        stores.setContactData(supplier.accountId, {"张青禾", "13900000001", "", "杭州市西湖区一号"});
        stores.setContactData(buyer.accountId, {"李鲜达", "13900000002", "", "上海市浦东新区二号"});
        stores.setContactData(otherBuyer.accountId, {"Tom Lee", "13900000003", "", "Nanjing Road 3"});
        stores.setContactData(thirdBuyer.accountId, {"王北城", "13900000004", "", "北京市朝阳区四号"});
    }

    void cooperate(const SessionState &seller, const SessionState &purchaser, int state,
                   const std::string &at)
    {
        stores.setCooperationState(seller.accountId, purchaser.accountId, state, at);
    }

    std::int64_t addOrder(const SessionState &purchaser, const SessionState &seller, int state,
                          const std::string &createdAt, long long priceFen, long long freightFen = 0)
    {
        NewOrder order;
        order.orderNo = "NO" + std::to_string(++m_sequence);
        order.supplierId = seller.accountId;
        order.purchaserId = purchaser.accountId;
        order.state = state;
        order.freightFen = freightFen;
        order.createdAt = createdAt;
        order.lines = {NewOrderLine{1, "大米", "R1", "5kg", "袋", priceFen, 5000, 1}};
        return stores.insertOrder(order);
    }

    // The reply as the client reads it from the GBK bytes, after checking its name.
    protocol::ListReply list(SessionState &session, const std::string &request, const std::string &replyName,
                             const std::string &fields)
    {
        const std::string payload = one(session, request, fields);
        EXPECT_EQ(payload.rfind(replyName + "|", 0), 0u) << payload;
        return protocol::parseListReply(*protocol::utf8ToGbk(payload));
    }

    protocol::ListReply partners(SessionState &session, int kind, const std::string &keyword = {},
                                 const std::string &page = "1")
    {
        return list(session, "基础通讯_获取申请合作列表", "基础通讯_返回申请合作列表",
                    "关键词[" + keyword + "]查询页数[" + page + "]合作类型[" + std::to_string(kind) + "]");
    }

    protocol::ListReply finance(SessionState &session, const std::string &keyword = {},
                                const std::string &page = "1")
    {
        return list(session, "基础通讯_获取财务对账合作商列表", "基础通讯_返回财务对账合作商列表",
                    "关键词[" + keyword + "]查询页数[" + page + "]");
    }

    static Cells captions(const protocol::ListReply &reply)
    {
        Cells names;
        for (const protocol::ListColumn &column : reply.columns)
            names.push_back(*protocol::gbkToUtf8(column.caption));
        return names;
    }

    static Cells column(const protocol::ListReply &reply, std::size_t index)
    {
        Cells cells;
        for (const auto &row : reply.rows)
            cells.push_back(*protocol::gbkToUtf8(row.at(index)));
        return cells;
    }

    static std::string id(const SessionState &session) { return std::to_string(session.accountId); }

    SessionState supplier, otherSupplier, buyer, otherBuyer, thirdBuyer;

private:
    int m_sequence = 0;
};

TEST_F(PageListTest, PartnerListShowsTheOtherSideOfEachCooperation)
{
    cooperate(supplier, buyer, kCooperationActive, "2026-03-01 09:00:00");
    cooperate(supplier, otherBuyer, kCooperationApplied, "2026-03-02 09:00:00");
    cooperate(supplier, thirdBuyer, kCooperationStopped, "2026-03-03 09:00:00");
    cooperate(otherSupplier, buyer, kCooperationApplied, "2026-03-04 09:00:00");

    const protocol::ListReply all = partners(supplier, 0);
    EXPECT_EQ(captions(all), (Cells{"ID", "状态", "商家名称", "姓名", "电话", "地址"}));
    EXPECT_EQ(all.columns[0].width, 0);
    EXPECT_EQ(column(all, 0), (Cells{id(thirdBuyer), id(otherBuyer), id(buyer)}));
    EXPECT_EQ(column(all, 1), (Cells{"停用", "审核中", "正常"}));
    EXPECT_EQ(
        all.rows.back(),
        (Cells{id(buyer), *protocol::utf8ToGbk("正常"), *protocol::utf8ToGbk("鲜达商贸有限公司"),
               *protocol::utf8ToGbk("李鲜达"), "13900000002", *protocol::utf8ToGbk("上海市浦东新区二号")}));
    EXPECT_EQ(column(partners(supplier, 1), 0), (Cells{id(buyer)}));

    // The purchaser sees its suppliers; nobody sees another pair's cooperation.
    EXPECT_EQ(column(partners(buyer, 0), 2), (Cells{"ABC Trading Co.", "青禾食品有限公司"}));
    EXPECT_EQ(column(partners(buyer, 1), 2), (Cells{"青禾食品有限公司"}));
    EXPECT_EQ(column(partners(otherSupplier, 0), 0), (Cells{id(buyer)}));
    EXPECT_TRUE(partners(otherBuyer, 1).rows.empty());
    EXPECT_EQ(column(partners(thirdBuyer, 0), 1), (Cells{"停用"}));
}

TEST_F(PageListTest, KeywordAndPagingOnBothLists)
{
    config.pageSize = 2;
    cooperate(supplier, buyer, kCooperationActive, "2026-03-01 09:00:00");
    cooperate(supplier, otherBuyer, kCooperationActive, "2026-03-02 09:00:00");
    cooperate(supplier, thirdBuyer, kCooperationApplied, "2026-03-03 09:00:00");

    EXPECT_EQ(column(partners(supplier, 0, "tom LEE"), 0), (Cells{id(otherBuyer)}));
    EXPECT_EQ(column(partners(supplier, 0, "浦东"), 0), (Cells{id(buyer)}));
    EXPECT_EQ(column(partners(supplier, 0, "0004"), 0), (Cells{id(thirdBuyer)}));
    EXPECT_EQ(column(partners(supplier, 0, "审核中"), 0), (Cells{id(thirdBuyer)}));
    EXPECT_TRUE(partners(supplier, 1, "北城").rows.empty());

    const protocol::ListReply last = partners(supplier, 0, {}, "9");
    EXPECT_EQ(last.pageCount, "2");
    EXPECT_EQ(last.currentPage, "2");
    EXPECT_EQ(column(last, 0), (Cells{id(buyer)}));
    EXPECT_EQ(partners(supplier, 0, {}, "0").currentPage, "1");
    const protocol::ListReply none = partners(supplier, 0, "nobody", "3");
    EXPECT_EQ(none.pageCount, "1");
    EXPECT_EQ(none.currentPage, "1");

    addOrder(otherBuyer, supplier, kOrderShipped, "2026-03-04 09:00:00", 4321);
    EXPECT_EQ(column(finance(supplier, "43.21"), 0), (Cells{id(otherBuyer)}));
    EXPECT_EQ(column(finance(supplier, "FRESH mart"), 0), (Cells{id(otherBuyer)}));
    const protocol::ListReply beyond = finance(supplier, {}, "5");
    EXPECT_EQ(beyond.pageCount, "2");
    EXPECT_EQ(column(beyond, 0), (Cells{id(buyer)}));
}

TEST_F(PageListTest, FinanceListSumsEachPairSeparately)
{
    cooperate(supplier, buyer, kCooperationActive, "2026-02-01 09:00:00");
    cooperate(supplier, thirdBuyer, kCooperationApplied, "2026-03-05 09:00:00"); // no orders yet
    const auto settledA = addOrder(buyer, supplier, kOrderShipped, "2026-03-01 09:00:00", 10000, 250);
    const auto settledB = addOrder(buyer, supplier, kOrderShipped, "2026-03-02 09:00:00", 1250);
    const auto reconciled = addOrder(buyer, supplier, kOrderShipped, "2026-03-03 09:00:00", 700);
    addOrder(buyer, supplier, kOrderShipped, "2026-03-04 09:00:00", 333);
    addOrder(buyer, supplier, kOrderCancelling, "2026-03-04 10:00:00", 100);
    addOrder(buyer, supplier, kOrderPending, "2026-03-04 11:00:00", 99900);
    addOrder(buyer, supplier, kOrderClosed, "2026-03-04 12:00:00", 88800);
    // No cooperation on record, but orders: still a partner on this page.
    addOrder(otherBuyer, supplier, kOrderShipped, "2026-03-06 09:00:00", 5000);
    addOrder(otherBuyer, otherSupplier, kOrderShipped, "2026-03-06 10:00:00", 77700);
    stores.insertStatement("DZ1", supplier.accountId, buyer.accountId, "2026-03-01", "2026-03-02",
                           kStatementSettled, {settledA, settledB}, "2026-03-03 10:00:00");
    stores.insertStatement("DZ2", supplier.accountId, buyer.accountId, "2026-03-03", "2026-03-03",
                           kStatementReconciled, {reconciled}, "2026-03-04 10:00:00");

    const protocol::ListReply seller = finance(supplier);
    EXPECT_EQ(captions(seller), (Cells{"采购商ID", "商家名称", "姓名", "电话", "地址", "已结算", "未结算"}));
    EXPECT_EQ(seller.columns[0].width, 0);
    // Most recent business first: an order of 03-06, a cooperation of 03-05, orders up to 03-04.
    EXPECT_EQ(column(seller, 0), (Cells{id(otherBuyer), id(thirdBuyer), id(buyer)}));
    EXPECT_EQ(column(seller, 5), (Cells{"0.00", "0.00", "115.00"}));
    EXPECT_EQ(column(seller, 6), (Cells{"50.00", "0.00", "11.33"}));
    EXPECT_EQ(column(seller, 2), (Cells{"Tom Lee", "王北城", "李鲜达"}));

    const protocol::ListReply purchaser = finance(buyer);
    EXPECT_EQ(captions(purchaser).front(), "供应商ID");
    EXPECT_EQ(column(purchaser, 0), (Cells{id(supplier)}));
    EXPECT_EQ(column(purchaser, 5), (Cells{"115.00"}));
    EXPECT_EQ(column(purchaser, 6), (Cells{"11.33"}));
    EXPECT_EQ(column(finance(otherBuyer), 1), (Cells{"ABC Trading Co.", "青禾食品有限公司"}));
    EXPECT_EQ(column(finance(otherSupplier), 6), (Cells{"777.00"}));

    // The page and the dashboard tell the same figures.
    const std::string figures = one(buyer, "基础通讯_订单管理/获取实时数据");
    EXPECT_EQ(value(figures, "已结算金额"), "115.00");
    EXPECT_EQ(value(figures, "待结算金额"), "11.33");
}

TEST_F(PageListTest, GoodsListsAreEmptyWithTheirColumnsAndKeepToTheirRole)
{
    cooperate(supplier, buyer, kCooperationActive, "2026-03-01 09:00:00");
    cooperate(otherSupplier, buyer, kCooperationStopped, "2026-03-01 09:00:00");
    const Cells goodsColumns{"ID",       "状态",     "商品编码", "商品分类", "商品名称",
                             "商品规格", "商品单价", "商品重量", "商品库存"};

    const protocol::ListReply own = list(supplier, "基础通讯_供应商查询商品列表",
                                         "基础通讯_返回供应商查询商品列表", "关键词[]查询页数[4]商品状态[2]");
    EXPECT_EQ(captions(own), goodsColumns);
    EXPECT_EQ(own.columns[0].width, 0);
    EXPECT_EQ(own.pageCount, "1");
    EXPECT_EQ(own.currentPage, "1");
    EXPECT_TRUE(own.rows.empty());

    const auto purchaserList = [&](const std::string &supplierId) {
        return one(buyer, "基础通讯_采购商查询商品列表",
                   "供应商ID[" + supplierId + "]关键词[米]查询页数[1]商品状态[1]");
    };
    Cells withSupplier = goodsColumns;
    withSupplier.push_back("供应商");
    for (const std::string &partner : {std::string("0"), id(supplier)}) {
        const protocol::ListReply view =
            protocol::parseListReply(*protocol::utf8ToGbk(purchaserList(partner)));
        EXPECT_EQ(captions(view), withSupplier) << partner;
        EXPECT_TRUE(view.rows.empty());
    }
    // A stopped partner, a stranger and an unknown ID all get the same answer.
    const std::string unknown = purchaserList("999999");
    EXPECT_TRUE(isNotice(unknown));
    EXPECT_EQ(purchaserList(id(otherSupplier)), unknown);
    EXPECT_EQ(purchaserList(id(thirdBuyer)), unknown);

    EXPECT_TRUE(isNotice(one(buyer, "基础通讯_供应商查询商品列表", "关键词[]查询页数[1]商品状态[1]")));
    EXPECT_TRUE(
        isNotice(one(supplier, "基础通讯_采购商查询商品列表", "供应商ID[0]关键词[]查询页数[1]商品状态[1]")));
}

TEST_F(PageListTest, UnreadableNumbersAndKeywordsAreRefused)
{
    const auto partnerAsk = [&](const std::string &fields) {
        return one(supplier, "基础通讯_获取申请合作列表", fields);
    };
    EXPECT_EQ(partnerAsk("关键词[]查询页数[-1]合作类型[0]"), notice("查询页数必须是不小于0的整数!"));
    EXPECT_EQ(partnerAsk("关键词[]查询页数[1]合作类型[2]"), notice("合作类型不正确!"));
    EXPECT_TRUE(isNotice(partnerAsk("关键词[]查询页数[1]合作类型[]")));
    EXPECT_TRUE(isNotice(partnerAsk("关键词[]查询页数[1.0]合作类型[0]")));
    EXPECT_TRUE(isNotice(partnerAsk("关键词[a,b]查询页数[1]合作类型[0]")));

    const auto financeAsk = [&](const std::string &fields) {
        return one(buyer, "基础通讯_获取财务对账合作商列表", fields);
    };
    EXPECT_EQ(financeAsk("关键词[]查询页数[]"), notice("查询页数必须是不小于0的整数!"));
    EXPECT_TRUE(isNotice(financeAsk("关键词[]查询页数[ 1]")));
    EXPECT_TRUE(isNotice(financeAsk("关键词[列表详情_]查询页数[1]")));

    EXPECT_EQ(one(supplier, "基础通讯_供应商查询商品列表", "关键词[]查询页数[1]商品状态[0]"),
              notice("商品状态不正确!"));
    EXPECT_TRUE(isNotice(one(supplier, "基础通讯_供应商查询商品列表", "关键词[]查询页数[x]商品状态[1]")));
    EXPECT_EQ(one(buyer, "基础通讯_采购商查询商品列表", "供应商ID[-2]关键词[]查询页数[1]商品状态[1]"),
              notice("供应商ID必须是不小于0的整数!"));
    EXPECT_TRUE(
        isNotice(one(buyer, "基础通讯_采购商查询商品列表", "供应商ID[0]关键词[]查询页数[1]商品状态[3]")));
}

} // namespace
} // namespace vantrell::server::testing
