#include "domainfixture.h"

#include "protocol/gbk.h"
#include "protocol/listreply.h"
#include "server/goods/store.h"
#include "server/states.h"

#include <soci/soci.h>

namespace vantrell::server::testing {
namespace {

using Cells = std::vector<std::string>;

class GoodsTest : public DomainFixture
{
protected:
    GoodsTest()
    {
        supplier = merchant("supplier", "青禾食品有限公司", true);
        otherSupplier = merchant("supplier2", "ABC Trading Co.", true);
        buyer = merchant("buyer", "鲜达商贸有限公司", false);
        stores.setCooperationState(supplier.accountId, buyer.accountId, kCooperationActive,
                                   "2026-03-01 09:00:00");
    }

    static std::string goodsFields(const std::string &id, const std::string &name, const std::string &price,
                                   const std::string &stock, const std::string &category = "粮油",
                                   const std::string &code = "", const std::string &weight = "1.5")
    {
        return "商品ID[" + id + "]商品名称[" + name + "]商品编码[" + code + "]商品规格[5kg]商品单价[" +
               price + "]商品重量[" + weight + "]商品库存[" + stock + "]商品单位[袋子]商品分类[" + category +
               "]";
    }
    std::string save(SessionState &session, const std::string &fields)
    {
        return one(session, "基础通讯_增加编辑商品", fields);
    }
    protocol::ListReply list(SessionState &session, const std::string &request, const std::string &fields)
    {
        const std::string payload = one(session, request, fields);
        EXPECT_FALSE(isNotice(payload)) << payload;
        return protocol::parseListReply(*protocol::utf8ToGbk(payload.substr(payload.find('|') + 1)));
    }
    protocol::ListReply ownList(int status = 1, const std::string &keyword = {})
    {
        return list(supplier, "基础通讯_供应商查询商品列表",
                    "关键词[" + keyword + "]查询页数[1]商品状态[" + std::to_string(status) + "]");
    }
    protocol::ListReply buyerList(const std::string &supplierId = "0")
    {
        return list(buyer, "基础通讯_采购商查询商品列表",
                    "供应商ID[" + supplierId + "]关键词[]查询页数[1]商品状态[1]");
    }
    static Cells column(const protocol::ListReply &reply, std::size_t index)
    {
        Cells cells;
        for (const auto &row : reply.rows)
            cells.push_back(*protocol::gbkToUtf8(row.at(index)));
        return cells;
    }
    std::string info(SessionState &session, const std::string &goodsId)
    {
        return one(session, "基础通讯_获取商品基本信息", "商品ID[" + goodsId + "]");
    }
    std::string addGoods(const std::string &name, const std::string &stock = "10")
    {
        EXPECT_EQ(save(supplier, goodsFields("", name, "12.50", stock)), "基础通讯_增加商品成功|");
        return column(ownList(), 0).front();
    }
    long long storedStock(const std::string &goodsId)
    {
        return database->read(
            [&](db::Tx &tx) { return goods::ownGoods(tx, supplier.accountId, std::stoll(goodsId))->stock; });
    }
    static std::string id(const SessionState &session) { return std::to_string(session.accountId); }

    SessionState supplier, otherSupplier, buyer;
};

TEST_F(GoodsTest, AddWithNewCategoryEditAndShelve)
{
    ASSERT_EQ(save(supplier, goodsFields("", "东北大米", "68", "100", "粮油", "R-1")),
              "基础通讯_增加商品成功|");
    const protocol::ListReply listed = ownList();
    ASSERT_EQ(listed.rows.size(), 1u);
    EXPECT_EQ(column(listed, 1), (Cells{"正常"}));
    EXPECT_EQ(listed.rows[0],
              (Cells{listed.rows[0][0], *protocol::utf8ToGbk("正常"), "R-1", *protocol::utf8ToGbk("粮油"),
                     *protocol::utf8ToGbk("东北大米"), "5kg", "68.00", "1.5", "100"}));
    const std::string goodsId = listed.rows[0][0];

    // The category was created and is offered by both category lists.
    const std::string categories = one(supplier, "基础通讯_获取商品基本信息/分类列表");
    EXPECT_EQ(categories.find("基础通讯_返回商品基本信息/分类列表|"), 0u);
    EXPECT_NE(categories.find(",粮油|"), std::string::npos) << categories;
    const std::string detail = info(supplier, goodsId);
    EXPECT_EQ(value(detail, "商品分类名称"), "粮油");
    EXPECT_EQ(value(detail, "商品单价"), "68.00");
    EXPECT_EQ(value(detail, "商品重量"), "1.5");
    EXPECT_EQ(value(detail, "库存单位"), "袋子");
    EXPECT_NE(value(detail, "商品分类列表").find(",粮油|"), std::string::npos);

    ASSERT_EQ(save(supplier, goodsFields(goodsId, "东北大米新米", "70.5", "100", "新米")),
              "基础通讯_编辑商品成功|");
    EXPECT_EQ(column(ownList(), 4), (Cells{"东北大米新米"}));
    EXPECT_EQ(column(ownList(), 3), (Cells{"新米"}));
    EXPECT_EQ(column(ownList(), 6), (Cells{"70.50"}));

    EXPECT_EQ(one(supplier, "基础通讯_商品上架下架", "商品ID[" + goodsId + "]类型[下架]"),
              "基础通讯_商品上架下架成功|");
    EXPECT_TRUE(ownList(1).rows.empty());
    EXPECT_EQ(column(ownList(2), 1), (Cells{"下架"}));
    EXPECT_EQ(one(supplier, "基础通讯_商品上架下架", "商品ID[" + goodsId + "]类型[上架]"),
              "基础通讯_商品上架下架成功|");
    EXPECT_EQ(ownList(1).rows.size(), 1u);
    EXPECT_EQ(column(ownList(1, "新米"), 0), (Cells{goodsId}));
    EXPECT_TRUE(ownList(1, "没有").rows.empty());
}

// Orders placed while the editing window was open must survive its save.
TEST_F(GoodsTest, SavingAnEditAppliesTheStockChangeNotTheAbsoluteValue)
{
    const std::string goodsId = addGoods("散养鸡蛋", "50");
    ASSERT_EQ(value(info(supplier, goodsId), "商品库存"), "50");
    database->write(
        [&](db::Tx &tx) { tx.sql() << "UPDATE goods SET stock = stock - 7 WHERE id = " + goodsId; });

    // The supplier raises the stock it was shown by 10: the 7 ordered meanwhile stay gone.
    ASSERT_EQ(save(supplier, goodsFields(goodsId, "散养鸡蛋", "12.50", "60")), "基础通讯_编辑商品成功|");
    EXPECT_EQ(storedStock(goodsId), 53);
    // A second save from the same window builds on the first.
    ASSERT_EQ(save(supplier, goodsFields(goodsId, "散养鸡蛋", "12.50", "55")), "基础通讯_编辑商品成功|");
    EXPECT_EQ(storedStock(goodsId), 48);

    // Taking away more than is left is refused and changes nothing.
    ASSERT_EQ(value(info(supplier, goodsId), "商品库存"), "48");
    database->write([&](db::Tx &tx) { tx.sql() << "UPDATE goods SET stock = 2 WHERE id = " + goodsId; });
    EXPECT_TRUE(isNotice(save(supplier, goodsFields(goodsId, "改了名字的鸡蛋", "12.50", "0"))));
    EXPECT_EQ(storedStock(goodsId), 2);
    EXPECT_EQ(column(ownList(), 4), (Cells{"散养鸡蛋"}));

    // A session that never opened the goods sets the stock as sent.
    SessionState fresh;
    login(fresh, "supplier");
    ASSERT_EQ(save(fresh, goodsFields(goodsId, "散养鸡蛋", "12.50", "30")), "基础通讯_编辑商品成功|");
    EXPECT_EQ(storedStock(goodsId), 30);
}

TEST_F(GoodsTest, BadValuesAreRefusedAndSaveNothing)
{
    const std::vector<std::string> refused = {
        goodsFields("", "米", "10", "1"),          // name too short
        goodsFields("", "东北大米", "0", "1"),     // price 0
        goodsFields("", "东北大米", "1.2.3", "1"), // garbage price
        goodsFields("", "东北大米", "abc", "1"),
        goodsFields("", "东北大米", "-1", "1"),
        goodsFields("", "东北大米", "1.234", "1"),                    // three decimals of a yuan
        goodsFields("", "东北大米", "1000000.01", "1"),               // over the limit
        goodsFields("", "东北大米", "10", "1.5"),                     // stock not whole
        goodsFields("", "东北大米", "10", "100000000"),               // stock over the limit
        goodsFields("", "东北大米", "10", "1", "粮油", "", "0.0001"), // four decimals of a kg
        goodsFields("", "东北大米", "10", "1", "粮油", "", ""),       // no weight
        goodsFields("", "东北大米", "10", "1", "这个分类的名字实在是太长了吧"),
        goodsFields("99999", "东北大米", "10", "1"), // unknown goods
    };
    for (const std::string &fields : refused)
        EXPECT_TRUE(isNotice(save(supplier, fields))) << fields;
    EXPECT_TRUE(ownList().rows.empty());
    EXPECT_EQ(one(supplier, "基础通讯_获取商品基本信息/分类列表"), "基础通讯_返回商品基本信息/分类列表|");

    const std::string goodsId = addGoods("东北大米");
    EXPECT_EQ(save(supplier, goodsFields("", "东北大米", "10", "1", "粮油", "R-1")),
              "基础通讯_增加商品成功|");
    EXPECT_EQ(save(supplier, goodsFields("", "另一种米", "10", "1", "粮油", "R-1")),
              notice("商品编码已被其他商品使用!"));

    // Another supplier's goods are answered like unknown ones.
    const std::string unknown = info(otherSupplier, "99999");
    EXPECT_EQ(info(otherSupplier, goodsId), unknown);
    EXPECT_EQ(save(otherSupplier, goodsFields(goodsId, "偷改的名字", "1", "1")), unknown);
    EXPECT_EQ(one(otherSupplier, "基础通讯_商品上架下架", "商品ID[" + goodsId + "]类型[下架]"), unknown);
    EXPECT_EQ(one(supplier, "基础通讯_商品上架下架", "商品ID[" + goodsId + "]类型[删除]"),
              notice("类型不正确!"));
    EXPECT_EQ(column(ownList(), 4), (Cells{"东北大米", "东北大米"}));
    EXPECT_EQ(one(buyer, "基础通讯_增加编辑商品", goodsFields("", "东北大米", "10", "1")),
              notice(kSupplierOnlyText));
}

TEST_F(GoodsTest, PurchaserSeesExactlyTheGoodsItIsAuthorisedFor)
{
    const std::string rice = addGoods("东北大米");
    const std::string eggs = addGoods("散养鸡蛋");
    const std::string oil = addGoods("菜籽油");
    ASSERT_EQ(one(supplier, "基础通讯_商品上架下架", "商品ID[" + oil + "]类型[下架]"),
              "基础通讯_商品上架下架成功|");

    // All goods by default: both on sale, with the supplier's company.
    EXPECT_EQ(column(buyerList(), 0), (Cells{eggs, rice}));
    EXPECT_EQ(column(buyerList(id(supplier)), 9), (Cells{"青禾食品有限公司", "青禾食品有限公司"}));
    EXPECT_EQ(value(info(buyer, rice), "商品名称"), "东北大米");
    EXPECT_TRUE(isNotice(info(buyer, oil))) << "off the shelf";

    // Listed goods only: none until granted.
    const std::string distributors = one(supplier, "基础通讯_获取分销商列表/授权商品", "关键词[]");
    EXPECT_NE(distributors.find("全部商品"), std::string::npos) << distributors;
    const std::string modeSet =
        one(supplier, "基础通讯_变更商品授权方式", "采购商ID[" + id(buyer) + "]授权方式[2]");
    EXPECT_EQ(modeSet, "基础通讯_变更商品授权方式成功|采购商ID[" + id(buyer) + "]");
    EXPECT_TRUE(buyerList().rows.empty());
    EXPECT_TRUE(isNotice(info(buyer, rice)));

    const protocol::ListReply grants =
        list(supplier, "基础通讯_获取商品列表/授权商品", "采购商ID[" + id(buyer) + "]关键词[]查询页数[1]");
    EXPECT_EQ(column(grants, 5), (Cells{"2", "2", "2"}));
    const std::string grantsText =
        one(supplier, "基础通讯_获取商品列表/授权商品", "采购商ID[" + id(buyer) + "]关键词[]查询页数[1]");
    EXPECT_EQ(value(grantsText, "商品授权"), "2");
    EXPECT_EQ(value(grantsText, "采购商ID"), id(buyer));

    EXPECT_TRUE(call(supplier, "基础通讯_变更商品授权状态", "商品ID[" + rice + "]授权状态[1]").empty());
    EXPECT_EQ(column(buyerList(), 0), (Cells{rice}));
    EXPECT_EQ(value(info(buyer, rice), "商品名称"), "东北大米");
    EXPECT_TRUE(isNotice(info(buyer, eggs)));
    const protocol::ListReply after =
        list(supplier, "基础通讯_获取商品列表/授权商品", "采购商ID[" + id(buyer) + "]关键词[]查询页数[1]");
    EXPECT_EQ(column(after, 5), (Cells{"2", "2", "1"}));

    // Back to all goods keeps the grants for later; a cooperation stopped hides everything.
    one(supplier, "基础通讯_变更商品授权方式", "采购商ID[" + id(buyer) + "]授权方式[1]");
    EXPECT_EQ(buyerList().rows.size(), 2u);
    stores.setCooperationState(supplier.accountId, buyer.accountId, kCooperationStopped,
                               "2026-03-02 09:00:00");
    EXPECT_TRUE(buyerList().rows.empty());
    EXPECT_TRUE(isNotice(info(buyer, rice)));
}

TEST_F(GoodsTest, AuthorisationNeedsAnActiveDistributor)
{
    const std::string rice = addGoods("东北大米");
    SessionState other = merchant("buyer2", "Fresh Mart Ltd", false);
    EXPECT_EQ(one(supplier, "基础通讯_变更商品授权状态", "商品ID[" + rice + "]授权状态[1]"),
              notice("请先选择分销商!"));
    EXPECT_EQ(
        one(supplier, "基础通讯_获取商品列表/授权商品", "采购商ID[" + id(other) + "]关键词[]查询页数[1]"),
        notice("未找到该分销商!"));
    EXPECT_EQ(one(supplier, "基础通讯_变更商品授权方式", "采购商ID[" + id(other) + "]授权方式[2]"),
              notice("未找到该分销商!"));
    EXPECT_EQ(one(otherSupplier, "基础通讯_获取商品列表/授权商品",
                  "采购商ID[" + id(buyer) + "]关键词[]查询页数[1]"),
              notice("未找到该分销商!"));

    list(supplier, "基础通讯_获取商品列表/授权商品", "采购商ID[" + id(buyer) + "]关键词[]查询页数[1]");
    EXPECT_EQ(one(supplier, "基础通讯_变更商品授权状态", "商品ID[" + rice + "]授权状态[3]"),
              notice("授权状态不正确!"));
    EXPECT_EQ(one(supplier, "基础通讯_变更商品授权状态", "商品ID[1234]授权状态[1]"), notice("未找到该商品!"));
    EXPECT_EQ(one(supplier, "基础通讯_变更商品授权方式", "采购商ID[" + id(buyer) + "]授权方式[0]"),
              notice("授权方式不正确!"));
}

} // namespace
} // namespace vantrell::server::testing
