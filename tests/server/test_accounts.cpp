#include "domainfixture.h"

#include "server/accounts/passwords.h"
#include "server/states.h"

#include <sodium.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace vantrell::server::testing {
namespace {

using namespace std::chrono_literals;

class AccountsTest : public DomainFixture
{};

TEST_F(AccountsTest, RegistrationLengthBoundariesCountGbkBytes)
{
    struct Case
    {
        std::string user;
        std::string company;
        bool accepted;
    };
    const Case cases[] = {
        {"张三", "青禾食品", true},                      // 4 and 8 bytes
        {"张a", "青禾食品二", false},                    // 3 bytes
        {"一二三四五六七八九十", "青禾食品三", true},    // 20 bytes
        {"一二三四五六七八九十a", "青禾食品四", false},  // 21 bytes
        {"user05", "abcdefg", false},                    // 7 bytes
        {"user06", "一二三四五六七八九十一二a", true},   // 25 bytes
        {"user07", "一二三四五六七八九十一二三", false}, // 26 bytes
    };
    for (const Case &c : cases) {
        const std::string answer = registerAccount(c.user, c.company, "1");
        if (c.accepted) {
            EXPECT_EQ(answer, "登陆系统_账号注册成功|") << c.user;
            EXPECT_TRUE(stores.accountByName(c.user)) << c.user;
        } else {
            EXPECT_TRUE(isNotice(answer)) << c.user << " " << answer;
            EXPECT_FALSE(stores.accountByName(c.user)) << c.user;
        }
    }
}

TEST_F(AccountsTest, RegistrationRefusesBadValuesAndDuplicates)
{
    ASSERT_EQ(registerAccount("alice", "青禾食品有限公司", "2"), "登陆系统_账号注册成功|");

    EXPECT_EQ(registerAccount("alice", "另一家公司名称", "1"), notice("该用户名已被注册,请换一个用户名!"));
    EXPECT_EQ(registerAccount("alice2", "青禾食品有限公司", "1"), notice("该公司已注册过账号!"));
    EXPECT_FALSE(stores.accountByName("alice2"));

    SessionState anonymous;
    const auto attempt = [&](const std::string &digest, const std::string &phone, const std::string &type) {
        return one(anonymous, "登陆系统_注册账号",
                   "用户名[bobby]密码[" + digest + "]手机号[" + phone + "]公司[鲜达商贸公司]类型[" + type +
                       "]");
    };
    const std::string good = digestOf("pw");
    std::string upper = good;
    for (char &c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(isNotice(attempt(upper, "138", "1")));
    EXPECT_TRUE(isNotice(attempt(good.substr(1), "138", "1")));
    EXPECT_TRUE(isNotice(attempt("secret", "138", "1")));
    EXPECT_TRUE(isNotice(attempt(good, "138000011112", "1")));
    for (const char *type : {"0", "3", "", "01", "-1"})
        EXPECT_TRUE(isNotice(attempt(good, "138", type))) << type;
    EXPECT_FALSE(stores.accountByName("bobby"));

    // Screening: separators and marker words never reach the database.
    EXPECT_TRUE(isNotice(registerAccount("bo,by", "鲜达商贸公司", "1")));
    EXPECT_TRUE(isNotice(registerAccount("bo[by", "鲜达商贸公司", "1")));
    EXPECT_TRUE(isNotice(registerAccount("bobby", "鲜达数据详情_公司", "1")));
    EXPECT_TRUE(isNotice(registerAccount("bobby", "鲜达商贸公司", "1", "secret", "138|1")));
    EXPECT_FALSE(stores.accountByName("bobby"));

    EXPECT_EQ(registerAccount("bobby", "鲜达商贸公司", "1", "secret", ""), "登陆系统_账号注册成功|");
}

TEST_F(AccountsTest, LoginReportsProfileAndPreviousLoginTime)
{
    ASSERT_EQ(registerAccount("supplier1", "杭州青禾食品公司", "2"), "登陆系统_账号注册成功|");
    const Account stored = *stores.accountByName("supplier1");
    EXPECT_NE(stored.passwordHash.find("$argon2id$"), std::string::npos);
    EXPECT_EQ(stored.passwordHash.find(digestOf("secret")), std::string::npos);

    SessionState first;
    EXPECT_EQ(login(first, "supplier1"),
              "登陆系统_登陆成功|姓名[]公司[杭州青禾食品公司]类型[供应商]上次登陆时间[]");
    EXPECT_EQ(first.accountId, stored.id);
    EXPECT_EQ(first.role, Role::Supplier);
    EXPECT_EQ(first.userName, "supplier1");

    clockNow += 1h;
    SessionState second;
    EXPECT_EQ(value(login(second, "supplier1"), "上次登陆时间"), "2026-03-10 10:00:00");

    ASSERT_EQ(registerAccount("buyer1", "上海鲜达商贸公司", "1"), "登陆系统_账号注册成功|");
    SessionState buyer;
    EXPECT_EQ(value(login(buyer, "buyer1"), "类型"), "采购商");
    EXPECT_EQ(buyer.role, Role::Purchaser);
}

TEST_F(AccountsTest, HashesWithOtherLimitsAreRenewedAtLogin)
{
    ASSERT_EQ(registerAccount("heidi", "海蒂食品有限公司", "1"), "登陆系统_账号注册成功|");
    const std::int64_t id = stores.accountByName("heidi")->id;
    const std::string current = stores.accountByName("heidi")->passwordHash;
    char older[crypto_pwhash_STRBYTES];
    ASSERT_EQ(crypto_pwhash_str(older, digestOf("secret").c_str(), 32, crypto_pwhash_OPSLIMIT_INTERACTIVE,
                                crypto_pwhash_MEMLIMIT_INTERACTIVE),
              0);
    stores.setPasswordHash(id, older);

    SessionState session;
    EXPECT_FALSE(isNotice(login(session, "heidi")));
    const std::string renewed = stores.accountByName("heidi")->passwordHash;
    EXPECT_NE(renewed, older);
    const auto limits = [](const std::string &hash) {
        return hash.substr(0, hash.find('$', hash.find("m=")));
    };
    EXPECT_EQ(limits(renewed), limits(current));
    EXPECT_NE(limits(older), limits(current));
    EXPECT_FALSE(isNotice(login(session, "heidi")));
}

TEST_F(AccountsTest, WrongNameAndWrongPasswordGetTheSameNotice)
{
    ASSERT_EQ(registerAccount("carol", "卡罗贸易有限公司", "1"), "登陆系统_账号注册成功|");
    SessionState session;
    const std::string wrongPassword = login(session, "carol", "nope");
    const std::string unknownName = login(session, "nobody", "secret");
    EXPECT_EQ(wrongPassword, notice("用户名或密码错误!"));
    EXPECT_EQ(unknownName, wrongPassword);
    EXPECT_EQ(one(session, "登陆系统_用户登陆", "用户名[carol]密码[]"), wrongPassword);
    EXPECT_EQ(one(session, "登陆系统_用户登陆", "用户名[carol]密码[" + std::string(100000, 'a') + "]"),
              wrongPassword);
    EXPECT_FALSE(session.loggedIn());
}

TEST_F(AccountsTest, FiveFailuresLockForTenMinutes)
{
    ASSERT_EQ(registerAccount("dave", "戴夫商贸有限公司", "1"), "登陆系统_账号注册成功|");
    SessionState session;
    for (int i = 0; i < kLockFailures; ++i) {
        EXPECT_EQ(login(session, "dave", "wrong"), notice("用户名或密码错误!"));
        clockNow += 1min;
    }
    // Even the right password is refused while locked, and says so.
    EXPECT_EQ(login(session, "dave"), notice("登陆失败次数过多,请稍后再试!"));
    EXPECT_FALSE(session.loggedIn());

    // The lock runs ten minutes from the fifth failure (made one minute ago).
    clockNow += 8min;
    EXPECT_EQ(login(session, "dave"), notice("登陆失败次数过多,请稍后再试!"));
    clockNow += 1min + 1s;
    EXPECT_EQ(value(login(session, "dave"), "公司"), "戴夫商贸有限公司");
    EXPECT_TRUE(session.loggedIn());

    // Another user name is never affected.
    ASSERT_EQ(registerAccount("erin", "艾琳商贸有限公司", "1"), "登陆系统_账号注册成功|");
    for (int i = 0; i < kLockFailures; ++i)
        login(session, "dave", "wrong");
    SessionState other;
    EXPECT_FALSE(isNotice(login(other, "erin")));
}

TEST_F(AccountsTest, ParallelAttemptsAreLockedOutLikeSequentialOnes)
{
    ASSERT_EQ(registerAccount("ivan", "伊万贸易有限公司", "1"), "登陆系统_账号注册成功|");
    constexpr int kAttempts = 12;
    std::vector<std::string> answers(kAttempts);
    std::vector<std::thread> threads;
    for (int i = 0; i < kAttempts; ++i) {
        threads.emplace_back([&, i] {
            SessionState session;
            answers[i] = login(session, "ivan", "guess" + std::to_string(i));
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(std::count(answers.begin(), answers.end(), notice("用户名或密码错误!")), kLockFailures);
    EXPECT_EQ(std::count(answers.begin(), answers.end(), notice("登陆失败次数过多,请稍后再试!")),
              kAttempts - kLockFailures);
}

TEST_F(AccountsTest, FailuresSpreadOverMoreThanTenMinutesOrClearedBySuccessDoNotLock)
{
    ASSERT_EQ(registerAccount("frank", "弗兰克贸易公司", "1"), "登陆系统_账号注册成功|");
    SessionState session;
    for (int i = 0; i < 8; ++i) {
        login(session, "frank", "wrong");
        clockNow += 3min;
    }
    EXPECT_FALSE(isNotice(login(session, "frank")));

    for (int i = 0; i < kLockFailures - 1; ++i)
        login(session, "frank", "wrong");
    EXPECT_FALSE(isNotice(login(session, "frank")));
    login(session, "frank", "wrong");
    EXPECT_FALSE(isNotice(login(session, "frank")));
}

TEST_F(AccountsTest, ChangePasswordNeedsLoginAndTheOldPassword)
{
    ASSERT_EQ(registerAccount("grace", "格蕾丝贸易公司", "2"), "登陆系统_账号注册成功|");
    const auto change = [&](SessionState &session, const std::string &oldPassword,
                            const std::string &newDigest) {
        return one(session, "登陆系统_修改密码",
                   "原密码[" + digestOf(oldPassword) + "]新密码[" + newDigest + "]");
    };
    SessionState anonymous;
    EXPECT_EQ(change(anonymous, "secret", digestOf("fresh")), notice("请先登陆!"));

    SessionState session;
    login(session, "grace");
    EXPECT_EQ(change(session, "wrong", digestOf("fresh")), notice("原密码错误!"));
    EXPECT_TRUE(isNotice(change(session, "secret", "fresh")));
    SessionState check;
    EXPECT_FALSE(isNotice(login(check, "grace", "secret")));

    EXPECT_EQ(change(session, "secret", digestOf("fresh")), "登陆系统_密码修改成功|");
    SessionState after;
    EXPECT_TRUE(isNotice(login(after, "grace", "secret")));
    EXPECT_FALSE(isNotice(login(after, "grace", "fresh")));
}

} // namespace
} // namespace vantrell::server::testing
