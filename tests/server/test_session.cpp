// Request routing through a live session: version check, the login gate, refusals of
// bad input, failing handlers, reply order, and many clients logging in at once.

#include "protocol/fieldtext.h"
#include "server/accounts/store.h"
#include "server/db/database.h"
#include "server/handlers.h"
#include "server/log.h"
#include "server/router.h"
#include "server/server.h"
#include "server/version.h"
#include "support/server/launcher.h"
#include "support/server/testclient.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>

using namespace vantrell;
using namespace vantrell::testing;
using server::HandlerTable;
using server::Replies;

namespace {

server::Config versionConfig()
{
    server::Config config = testConfig();
    config.minimumVersion = "1.2.0";
    config.downloadAddress = "http://example.test/get";
    return config;
}

// Handlers of the test's own, registered next to the real ones.
void addProbeHandlers(HandlerTable &table)
{
    table.add("基础通讯_测试/抛出", {}, [](server::Context &, const server::Fields &) -> Replies {
        throw std::runtime_error("storage gone");
    });
    table.add("登陆系统_测试/顺序",
              server::Policy{server::Who::Anyone, server::Access::None, server::Lane::Slow},
              [](server::Context &, const server::Fields &) {
                  return Replies{server::reply("一_甲"), server::reply("二_乙"), server::reply("三_丙")};
              });
    // Half of this answer cannot be written in GBK.
    table.add("登陆系统_测试/半截",
              server::Policy{server::Who::Anyone, server::Access::None, server::Lane::Slow},
              [](server::Context &, const server::Fields &) {
                  return Replies{server::reply("一_甲"), server::reply("二_乙", "内容[\xF0\x9F\x98\x80]")};
              });
    table.add("登陆系统_测试/回显",
              server::Policy{server::Who::Anyone, server::Access::None, server::Lane::Slow},
              [](server::Context &, const server::Fields &fields) {
                  return Replies{server::reply("回显_值", fields.text())};
              });
}

struct SessionTest : ::testing::Test
{
    InProcessServer server{versionConfig(), addProbeHandlers};
    TestClient client;
    void SetUp() override { ASSERT_TRUE(client.connect(server.port())); }

    void expectNotice(std::string_view text)
    {
        const auto reply = client.receive(30s);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->name, "提示信息_错误");
        EXPECT_EQ(reply->value("内容"), text);
    }

    // `payload` is answered by the one notice `text` and nothing else.
    void expectOnlyNotice(std::string_view payload, std::string_view text)
    {
        const auto replies = client.exchangePayload(payload);
        ASSERT_TRUE(replies);
        ASSERT_EQ(replies->size(), 1u);
        const auto &replies0 = *replies;
        EXPECT_EQ(replies0[0].name, "提示信息_错误");
        EXPECT_EQ(replies0[0].value("内容"), text);
    }

    static std::string payload(std::string_view name, std::string_view fields = {})
    {
        return protocol::makePayload(toGbk(name), toGbk(fields));
    }
};

TEST_F(SessionTest, VersionCheckPointsOutdatedClientsToTheDownload)
{
    for (const char *outdated : {"1.1.9", "0.9", "1.1.99999999999999999999", "abc", ""}) {
        SCOPED_TRACE(outdated);
        const auto replies = client.exchange("版本验证_验证", std::string("版本号[") + outdated + "]");
        ASSERT_TRUE(replies);
        ASSERT_EQ(replies->size(), 1u);
        EXPECT_EQ(replies->at(0).name, "发现版本");
        EXPECT_EQ(replies->at(0).value("下载地址"), "http://example.test/get");
    }
    for (const char *current : {"1.2.0", "1.2", "1.10.0", "01.2.0", "2"}) {
        SCOPED_TRACE(current);
        const auto replies = client.exchange("版本验证_验证", std::string("版本号[") + current + "]");
        ASSERT_TRUE(replies);
        EXPECT_TRUE(replies->empty());
    }
}

TEST(VersionOrder, ComparesPartsAsNumbers)
{
    using server::compareVersions;
    EXPECT_LT(*compareVersions("1.9", "1.10"), 0);
    EXPECT_EQ(*compareVersions("1.2", "1.2.0.0"), 0);
    EXPECT_GT(*compareVersions("1.2.0.1", "1.2"), 0);
    EXPECT_GT(*compareVersions("100000000000000000000001", "99999999999999999999999"), 0);
    for (const char *bad : {"", "1..2", ".1", "1.", "1.a", "-1", "1 .2", "v1"})
        EXPECT_FALSE(compareVersions(bad, "1").has_value()) << bad;
}

TEST_F(SessionTest, BusinessRequestsBeforeLoginAreRefusedAlone)
{
    expectOnlyNotice(payload("基础通讯_订单管理/获取实时数据"), "请先登陆!");
    // Even names that do not exist: the gate does not tell which requests there are.
    expectOnlyNotice(payload("基础通讯_没有这个请求", "关键词[x]"), "请先登陆!");
    expectOnlyNotice(payload("基础通讯_测试/抛出"), "请先登陆!");
}

TEST_F(SessionTest, UnknownRequestsAndUnreadableBytesGetOneNotice)
{
    client.send("登陆系统_不存在");
    expectNotice("未知的请求!");
    // 0x81 0x20 is a lead byte followed by no valid second byte.
    expectOnlyNotice(toGbk("登陆系统_测试/回显|名称[") + "\x81\x20" + "]", "请求包含无法识别的字符!");
    expectOnlyNotice("\xFF\xFE|", "请求包含无法识别的字符!");
    // The session is still in service.
    client.send("登陆系统_测试/回显", "名称[好]");
    const auto echo = client.receive();
    ASSERT_TRUE(echo);
    EXPECT_EQ(echo->value("名称"), "好");
}

TEST_F(SessionTest, FieldBytesThatCouldReadAsDelimitersAreRefused)
{
    // "癩" is 0xB0 0x5D in GBK: its second byte is "]" to a byte-wise reader.
    for (std::string fields : {std::string("名称[a,b]"), std::string("名称[a|b]"), toGbk("名称[癩]"),
                               toGbk("名称[") + "\x81\x7C" + "]", toGbk("名称[") + "\x81\x5B" + "]"}) {
        SCOPED_TRACE(fields);
        expectOnlyNotice(toGbk("登陆系统_测试/回显|") + fields, "提交失败,不能包含特殊符号!");
    }
    client.send("登陆系统_测试/回显", "名称[全角，逗号｜]");
    const auto echo = client.receive();
    ASSERT_TRUE(echo);
    EXPECT_EQ(echo->value("名称"), "全角，逗号｜");
}

TEST_F(SessionTest, RepliesKeepTheirOrderAndFailuresLeaveNoHalfAnswer)
{
    auto replies = client.exchange("登陆系统_测试/顺序");
    ASSERT_TRUE(replies);
    ASSERT_EQ(replies->size(), 3u);
    EXPECT_EQ(replies->at(0).name, "一_甲");
    EXPECT_EQ(replies->at(1).name, "二_乙");
    EXPECT_EQ(replies->at(2).name, "三_丙");

    expectOnlyNotice(payload("登陆系统_测试/半截"), "服务器内部错误,请稍后再试!");
    replies = client.exchange("登陆系统_测试/顺序");
    ASSERT_TRUE(replies);
    EXPECT_EQ(replies->size(), 3u);
}

TEST_F(SessionTest, HandlerThatThrowsIsReportedAndTheSessionGoesOn)
{
    ASSERT_TRUE(client.registerAccount("thrower1", "secret1", "抛出测试有限公司"));
    ASSERT_TRUE(client.login("thrower1", "secret1"));
    expectOnlyNotice(payload("基础通讯_测试/抛出"), "服务器内部错误,请稍后再试!");
    expectOnlyNotice(payload("基础通讯_测试/抛出"), "服务器内部错误,请稍后再试!");
    const auto replies = client.exchange("版本验证_验证", "版本号[1.0]");
    ASSERT_TRUE(replies);
    EXPECT_EQ(replies->size(), 1u);
}

TEST_F(SessionTest, LogNamesRefusalsButNeverPasswordsOrValues)
{
    std::mutex mutex;
    std::vector<std::string> lines;
    server::setLogSink([&](std::string_view line) {
        std::lock_guard lock(mutex);
        lines.emplace_back(line);
    });
    client.send("登陆系统_用户登陆", "用户名[nobody]密码[" + passwordDigest("hunter22") + "]");
    expectNotice("用户名或密码错误!");
    client.send("基础通讯_获取个人中心基本资料");
    expectNotice("请先登陆!");
    client.sendPayload(toGbk("登陆系统_\n伪造行|"));
    expectNotice("未知的请求!");
    server::setLogSink({});

    std::lock_guard lock(mutex);
    std::string all;
    for (const auto &line : lines)
        all += line + "\n";
    EXPECT_EQ(all.find(passwordDigest("hunter22")), std::string::npos) << all;
    EXPECT_EQ(all.find("127.0.0.1"), std::string::npos) << all;
    EXPECT_EQ(all.find("\n伪造行"), std::string::npos) << all;
    EXPECT_NE(all.find("refused"), std::string::npos) << all;
    EXPECT_NE(all.find("request=\"基础通讯_获取个人中心基本资料\" reason=\"not logged in\""),
              std::string::npos)
        << all;
}

TEST(Routing, HeartbeatAnswerWithOrWithoutSeparatorIsQuiet)
{
    auto database = server::db::Database::open("sqlite::memory:");
    HandlerTable table;
    server::registerConnectionHandlers(table);
    server::SessionState state;
    const server::Config config;
    for (const std::string &payload : {toGbk("心跳包|"), toGbk("心跳包")}) {
        const auto routed = server::routeRequest(payload, state, *database, config, table);
        EXPECT_TRUE(routed.replies.empty());
        EXPECT_TRUE(routed.refusal.empty());
    }
}

TEST(ManyClients, FiveHundredLogInAtOnce)
{
    constexpr int kClients = 500;
    constexpr int kWorkers = 16;
    server::setLogLevel(server::LogLevel::Warn);
    server::Config config = testConfig();
    // Waiting in line behind 499 password checks is not idleness.
    config.heartbeatPeriod = std::chrono::minutes(10);
    config.loginTimeout = std::chrono::minutes(10);
    config.maxConnectionsPerAddress = kClients + 1;
    InProcessServer server(config);

    // One account over the wire; the rest share its password hash, stored directly,
    // so the test spends its time on the logins.
    TestClient first;
    ASSERT_TRUE(first.connect(server.port()));
    ASSERT_TRUE(first.registerAccount("merchant1000", "pw-shared", "并发测试商贸公司1000"));
    server::db::Database &database = server.database();
    const auto stored =
        database.read([](server::db::Tx &tx) { return server::accounts::byName(tx, "merchant1000"); });
    ASSERT_TRUE(stored);
    for (int i = 1; i < kClients; ++i) {
        server::accounts::Account account = *stored;
        account.id = 0;
        account.userName = "merchant" + std::to_string(1000 + i);
        account.company = "并发测试商贸公司" + std::to_string(1000 + i);
        ASSERT_EQ(database.write([&](server::db::Tx &tx) { return server::accounts::create(tx, account); }),
                  server::accounts::CreateResult::Created);
    }

    std::vector<std::unique_ptr<TestClient>> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.push_back(std::make_unique<TestClient>());
        ASSERT_TRUE(clients.back()->connect(server.port())) << i;
    }
    // Every request is out before the first answer is read: all are in flight together.
    for (int i = 0; i < kClients; ++i) {
        const std::string fields = protocol::FieldWriter()
                                       .add("用户名", "merchant" + std::to_string(1000 + i))
                                       .add("密码", passwordDigest("pw-shared"))
                                       .str();
        ASSERT_TRUE(clients[i]->send("登陆系统_用户登陆", fields));
    }
    std::atomic<int> loggedIn{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&, w] {
            for (int i = w; i < kClients; i += kWorkers) {
                const auto reply = clients[i]->receive(240s);
                loggedIn += reply && reply->name == "登陆系统_登陆成功" &&
                            reply->value("公司") == "并发测试商贸公司" + std::to_string(1000 + i);
            }
        });
    }
    for (auto &worker : workers)
        worker.join();
    EXPECT_EQ(loggedIn, kClients);
    EXPECT_EQ(server.server().sessionCount(), static_cast<std::size_t>(kClients) + 1);
    server::setLogLevel(server::LogLevel::Info);
}

} // namespace
