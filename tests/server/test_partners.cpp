#include "domainfixture.h"

#include "protocol/gbk.h"
#include "protocol/listreply.h"
#include "server/states.h"

#include <filesystem>
#include <thread>
#include <tuple>

namespace vantrell::server::testing {
namespace {

using Cells = std::vector<std::string>;

class PartnersTest : public DomainFixture
{
protected:
    PartnersTest()
    {
        supplier = merchant("supplier", "青禾食品有限公司", true);
        otherSupplier = merchant("supplier2", "ABC Trading Co.", true);
        buyer = merchant("buyer", "鲜达商贸有限公司", false);
        otherBuyer = merchant("buyer2", "Fresh Mart Ltd", false);
        stores.setContactData(buyer.accountId, {"李鲜达", "13900000002", "", "上海"});
        stores.setContactData(otherBuyer.accountId, {"Tom Lee", "13900000003", "", "Nanjing"});
    }

    std::string applyTo(SessionState &purchaser, const SessionState &seller)
    {
        return one(purchaser, "基础通讯_申请合作", "供应商ID[" + id(seller) + "]");
    }
    std::string act(SessionState &session, const SessionState &partner, int kind)
    {
        return one(session, "基础通讯_启用停用商家",
                   "ID[" + id(partner) + "]类型[" + std::to_string(kind) + "]");
    }
    int state(const SessionState &seller, const SessionState &purchaser)
    {
        return database->read([&](db::Tx &tx) {
            return partners::cooperationState(tx, seller.accountId, purchaser.accountId);
        });
    }
    protocol::ListReply list(SessionState &session, const std::string &request,
                             const std::string &keyword = {})
    {
        const std::string payload = one(session, request, "关键词[" + keyword + "]");
        EXPECT_FALSE(isNotice(payload)) << payload;
        return protocol::parseListReply(*protocol::utf8ToGbk(payload.substr(payload.find('|') + 1)));
    }
    static Cells column(const protocol::ListReply &reply, std::size_t index)
    {
        Cells cells;
        for (const auto &row : reply.rows)
            cells.push_back(*protocol::gbkToUtf8(row.at(index)));
        return cells;
    }
    static std::string id(const SessionState &session) { return std::to_string(session.accountId); }
    static std::string info(std::string_view text) { return notice(text, "信息"); }

    SessionState supplier, otherSupplier, buyer, otherBuyer;
};

TEST_F(PartnersTest, ApplyAgreeCancelAndApplyAgain)
{
    EXPECT_EQ(applyTo(buyer, supplier), info("已提交合作申请,请等待供应商审核!"));
    EXPECT_EQ(state(supplier, buyer), kCooperationApplied);
    EXPECT_EQ(applyTo(buyer, supplier), info("已提交过合作申请,请等待供应商审核!"));

    EXPECT_EQ(act(supplier, buyer, 1), "基础通讯_启用商家成功|");
    EXPECT_EQ(state(supplier, buyer), kCooperationActive);
    EXPECT_EQ(applyTo(buyer, supplier), info("已与该供应商合作,无需再次申请!"));
    EXPECT_EQ(act(supplier, buyer, 1), info("已与该商家正常合作!"));

    // The purchaser stops it: the supplier cannot bring it back, a new application can.
    EXPECT_EQ(act(buyer, supplier, 2), "基础通讯_停用商家成功|");
    EXPECT_EQ(state(supplier, buyer), kCooperationStopped);
    EXPECT_EQ(act(buyer, supplier, 2), info("该合作已是停用状态!"));
    EXPECT_EQ(act(supplier, buyer, 1), notice("该合作已被对方停用,需由对方重新申请合作!"));
    EXPECT_EQ(state(supplier, buyer), kCooperationStopped);
    EXPECT_EQ(applyTo(buyer, supplier), info("已提交合作申请,请等待供应商审核!"));
    EXPECT_EQ(act(supplier, buyer, 1), "基础通讯_启用商家成功|");

    // The supplier stops it and may enable it again itself.
    EXPECT_EQ(act(supplier, buyer, 2), "基础通讯_停用商家成功|");
    EXPECT_EQ(act(supplier, buyer, 1), "基础通讯_启用商家成功|");
    EXPECT_EQ(state(supplier, buyer), kCooperationActive);

    // Refusing an application straight away.
    EXPECT_EQ(applyTo(otherBuyer, supplier), info("已提交合作申请,请等待供应商审核!"));
    EXPECT_EQ(act(supplier, otherBuyer, 2), "基础通讯_停用商家成功|");
    EXPECT_EQ(state(supplier, otherBuyer), kCooperationStopped);
}

TEST_F(PartnersTest, RefusalsChangeNothing)
{
    SessionState anonymousBuyer = merchant("buyer3", "无名商贸有限公司", false);
    EXPECT_EQ(applyTo(anonymousBuyer, supplier), notice("设置基础资料后才可以申请合作!"));
    EXPECT_EQ(state(supplier, anonymousBuyer), 0);

    // Another purchaser, an unknown ID and a purchaser's ID are all "not found".
    EXPECT_EQ(one(buyer, "基础通讯_申请合作", "供应商ID[99999]"), notice("未找到该供应商!"));
    EXPECT_EQ(applyTo(buyer, otherBuyer), notice("未找到该供应商!"));
    EXPECT_EQ(one(buyer, "基础通讯_申请合作", "供应商ID[-1]"), notice("供应商ID必须是不小于0的整数!"));
    EXPECT_EQ(act(supplier, buyer, 1), notice("未找到该商家!"));
    EXPECT_EQ(act(supplier, buyer, 2), notice("未找到该商家!"));
    EXPECT_EQ(state(supplier, buyer), 0);

    ASSERT_EQ(applyTo(buyer, supplier), info("已提交合作申请,请等待供应商审核!"));
    // Only the supplier agrees; a stranger's supplier cannot touch the pair.
    EXPECT_EQ(act(buyer, supplier, 1), notice("只有供应商可以同意合作!"));
    EXPECT_EQ(act(otherSupplier, buyer, 1), notice("未找到该商家!"));
    EXPECT_EQ(act(otherSupplier, buyer, 2), notice("未找到该商家!"));
    EXPECT_EQ(act(supplier, buyer, 3), notice("类型不正确!"));
    EXPECT_EQ(one(supplier, "基础通讯_启用停用商家", "ID[abc]类型[1]"), notice("ID必须是不小于0的整数!"));
    EXPECT_EQ(state(supplier, buyer), kCooperationApplied);

    // The application list and applying belong to purchasers.
    EXPECT_EQ(one(supplier, "基础通讯_申请合作", "供应商ID[" + id(otherSupplier) + "]"),
              notice(kPurchaserOnlyText));
    EXPECT_EQ(one(supplier, "基础通讯_获取合作商列表", "关键词[]"), notice(kPurchaserOnlyText));
}

TEST_F(PartnersTest, ApplicationListAndDropDown)
{
    ASSERT_EQ(applyTo(buyer, supplier), info("已提交合作申请,请等待供应商审核!"));
    const protocol::ListReply suppliers = list(buyer, "基础通讯_获取合作商列表");
    ASSERT_EQ(suppliers.columns.size(), 4u);
    EXPECT_EQ(*protocol::gbkToUtf8(suppliers.columns[2].caption), "公司");
    EXPECT_EQ(column(suppliers, 2), (Cells{"ABC Trading Co.", "青禾食品有限公司"}));
    EXPECT_EQ(column(suppliers, 3), (Cells{"", "审核中"}));
    EXPECT_EQ(column(list(buyer, "基础通讯_获取合作商列表", "abc"), 1), (Cells{"supplier2"}));

    // The drop-down holds active partners only, of either side.
    EXPECT_TRUE(list(buyer, "基础通讯_获取合作商列表/下拉菜单").rows.empty());
    ASSERT_EQ(act(supplier, buyer, 1), "基础通讯_启用商家成功|");
    EXPECT_EQ(column(list(buyer, "基础通讯_获取合作商列表/下拉菜单"), 1), (Cells{"青禾食品有限公司"}));
    EXPECT_EQ(column(list(supplier, "基础通讯_获取合作商列表/下拉菜单"), 0), (Cells{id(buyer)}));
    EXPECT_TRUE(list(supplier, "基础通讯_获取合作商列表/下拉菜单", "nobody").rows.empty());
}

// Both sides acting on one cooperation at once: each request sees the state the other
// left, so there is one outcome and no request is lost.
TEST(PartnersRace, TwoSidesAtOnceGiveOneOutcome)
{
    char pattern[] = "/tmp/vantrell-partners-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    auto database = db::Database::open(::vantrell::testing::sharedDatabaseUrl(dir + "/race.db"));
    const auto [supplierId, buyerId] = database->write([](db::Tx &tx) {
        for (const auto &[name, company, type] : {std::tuple{"s", "Supplier Co", kAccountSupplier},
                                                  std::tuple{"b", "Buyer Co", kAccountPurchaser}}) {
            accounts::Account account;
            account.userName = name;
            account.passwordHash = "h";
            account.company = company;
            account.type = type;
            account.createdAt = "2026-03-10 10:00:00";
            accounts::create(tx, account);
        }
        return std::pair{accounts::byName(tx, "s")->id, accounts::byName(tx, "b")->id};
    });
    for (int round = 0; round < 20; ++round) {
        database->write([&](db::Tx &tx) {
            partners::setCooperationState(tx, supplierId, buyerId, kCooperationApplied,
                                          "2026-03-10 10:00:00");
        });
        int wins = 0;
        std::thread agree([&] {
            wins += database->write([&](db::Tx &tx) {
                return partners::changeState(tx, supplierId, buyerId, kCooperationApplied, kCooperationActive,
                                             0, "t");
            });
        });
        const bool cancelled = database->write([&](db::Tx &tx) {
            return partners::changeState(tx, supplierId, buyerId, kCooperationApplied, kCooperationStopped,
                                         kAccountPurchaser, "t");
        });
        agree.join();
        EXPECT_EQ(wins + (cancelled ? 1 : 0), 1) << round;
    }
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace vantrell::server::testing
