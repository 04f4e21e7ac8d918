// What one host may hold of the server: connections in total and per address, time to
// log in, memory for partial frames; logins refused per address; a password change
// ending the account's other sessions.

#include "protocol/frame.h"
#include "server/server.h"
#include "support/server/launcher.h"
#include "support/server/testclient.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace vantrell;
using namespace vantrell::testing;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// Resident memory of this process, in bytes.
long long residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

bool waitUntil(const std::function<bool()> &condition)
{
    for (int i = 0; i < 300; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

// Probes are answered by the client as they come; a few seen means a live connection.
bool sawHeartbeat(TestClient &client)
{
    client.setAnswerProbes(true);
    const int before = client.probesSeen();
    client.drain(350ms);
    return client.probesSeen() > before && !client.isClosed();
}

TEST(ConnectionLimits, ConnectionsBeyondTheLimitsAreClosedWhileTheOthersKeepTheirHeartbeats)
{
    server::Config config = testConfig();
    config.heartbeatPeriod = 300ms;
    config.maxConnectionsPerAddress = 3;
    config.maxConnections = 4;
    InProcessServer server(config);

    std::vector<std::unique_ptr<TestClient>> held;
    for (int i = 0; i < 3; ++i) {
        held.push_back(std::make_unique<TestClient>());
        held.back()->setAnswerProbes(true);
        ASSERT_TRUE(held.back()->connect(server.port()));
    }
    // The same address once more: closed before anything is read.
    TestClient fourth;
    ASSERT_TRUE(fourth.connect(server.port()));
    EXPECT_TRUE(fourth.waitClosed(3s));
    for (auto &client : held)
        EXPECT_TRUE(sawHeartbeat(*client));

    // A freed place can be taken again.
    held.pop_back();
    ASSERT_TRUE(waitUntil([&] { return server.server().sessionCount() == 2; }));
    TestClient again;
    ASSERT_TRUE(again.connect(server.port()));
    EXPECT_TRUE(sawHeartbeat(again));
}

TEST(ConnectionLimits, TheTotalLimitHoldsAcrossAddresses)
{
    server::Config config = testConfig();
    config.heartbeatPeriod = 300ms;
    config.maxConnections = 2;
    InProcessServer server(config);
    TestClient first, second, third;
    first.setAnswerProbes(true);
    second.setAnswerProbes(true);
    ASSERT_TRUE(first.connect(server.port()));
    ASSERT_TRUE(second.connectFrom(server.port(), "127.0.0.2")); // another host
    ASSERT_TRUE(waitUntil([&] { return server.server().sessionCount() == 2; }));
    ASSERT_TRUE(third.connectFrom(server.port(), "127.0.0.3"));
    EXPECT_TRUE(third.waitClosed(3s));
    EXPECT_TRUE(sawHeartbeat(first));
    EXPECT_TRUE(sawHeartbeat(second));
}

TEST(ConnectionLimits, AConnectionThatDoesNotLogInInTimeIsClosed)
{
    server::Config config = testConfig();
    config.loginTimeout = 300ms;
    config.heartbeatPeriod = 2s;
    InProcessServer server(config);
    TestClient idle, member;
    ASSERT_TRUE(idle.connect(server.port()) && member.connect(server.port()));
    ASSERT_TRUE(member.registerAccount("member01", "pass1234", "准时登陆贸易公司", "1"));
    ASSERT_TRUE(member.login("member01", "pass1234"));
    // Answering heartbeats is not logging in.
    ASSERT_TRUE(idle.send("版本验证_验证", "版本号[1.0.0]"));
    EXPECT_TRUE(idle.waitClosed(3s));
    EXPECT_TRUE(idle.sawCloseFrame());
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(member.exchange("基础通讯_获取个人中心基本资料").has_value());
    EXPECT_FALSE(member.isClosed());
}

TEST(ConnectionLimits, PartialFramesStayWithinTheirBoundInMemory)
{
    server::Config config = testConfig();
    config.maxFrameSize = 1024 * 1024;
    config.maxBufferedTotal = 8 * 1024 * 1024;
    config.maxConnectionsPerAddress = 1000;
    InProcessServer server(config);

    // Each client sends 900 KiB of a 1 MiB frame and stops: unbounded, the server would
    // hold 90 MiB of pieces waiting for the rest.
    protocol::FrameEncoder encoder;
    const std::string wire = encoder.encode(std::string(1024 * 1024 - 64, 'x'));
    const std::string_view partial(wire.data(), 900 * 1024);
    constexpr int kClients = 100;
    const long long before = residentBytes();
    std::vector<std::unique_ptr<TestClient>> clients;
    int closed = 0;
    for (int i = 0; i < kClients; ++i) {
        clients.push_back(std::make_unique<TestClient>());
        ASSERT_TRUE(clients.back()->connect(server.port()));
        clients.back()->sendRaw(partial);
    }
    std::this_thread::sleep_for(500ms);
    const long long grown = residentBytes() - before;
    for (auto &client : clients)
        closed += client->waitClosed(10ms) ? 1 : 0;
    // Most were closed once the bound was reached; what is held is about the bound.
    EXPECT_GE(closed, kClients - 12);
    // AddressSanitizer keeps freed memory in quarantine, so resident memory says nothing there.
    if (!kAddressSanitizer) {
        EXPECT_LT(grown, 48LL * 1024 * 1024) << "resident memory grew by " << grown / 1024 << " KiB";
    }

    // The bound is given back as connections close: new partial frames fit again.
    clients.clear();
    ASSERT_TRUE(waitUntil([&] { return server.server().sessionCount() == 0; }));
    TestClient fresh;
    ASSERT_TRUE(fresh.connect(server.port()));
    fresh.sendRaw(partial);
    EXPECT_FALSE(fresh.waitClosed(300ms));
}

TEST(LoginLimits, ManyUserNamesFromOneAddressAreRefusedLikeOneNameTriedTooOften)
{
    server::Config config = testConfig();
    config.loginFailuresPerAddress = 4;
    InProcessServer server(config);
    TestClient owner;
    ASSERT_TRUE(owner.connectFrom(server.port(), "127.0.0.2"));
    ASSERT_TRUE(owner.registerAccount("owner001", "pass1234", "地址限制测试公司", "1"));

    TestClient guesser;
    ASSERT_TRUE(guesser.connect(server.port()));
    auto attempt = [](TestClient &client, const std::string &user, const std::string &password) {
        const auto replies = client.exchange("登陆系统_用户登陆",
                                             "用户名[" + user + "]密码[" + passwordDigest(password) + "]");
        return replies && !replies->empty() ? replies->front().value("内容") : std::string("(no notice)");
    };
    for (const char *user : {"guess001", "guess002", "guess003", "guess004"})
        EXPECT_EQ(attempt(guesser, user, "wrong"), "用户名或密码错误!");
    // Even the right password of a name not tried yet waits now, from that address only.
    EXPECT_EQ(attempt(guesser, "owner001", "pass1234"), "登陆失败次数过多,请稍后再试!");
    EXPECT_TRUE(owner.login("owner001", "pass1234"));
}

TEST(SessionEnding, APasswordChangeEndsTheAccountsOtherSessionsOnly)
{
    InProcessServer server;
    TestClient changer, other, stranger;
    ASSERT_TRUE(changer.connect(server.port()) && other.connect(server.port()) &&
                stranger.connect(server.port()));
    ASSERT_TRUE(changer.registerAccount("shared01", "oldpass1", "共享账号贸易公司", "2"));
    ASSERT_TRUE(stranger.registerAccount("alone001", "pass1234", "独立账号贸易公司", "1"));
    ASSERT_TRUE(changer.login("shared01", "oldpass1"));
    ASSERT_TRUE(other.login("shared01", "oldpass1"));
    ASSERT_TRUE(stranger.login("alone001", "pass1234"));

    const auto changed =
        changer.exchange("登陆系统_修改密码", "原密码[" + passwordDigest("oldpass1") + "]新密码[" +
                                                  passwordDigest("newpass1") + "]");
    ASSERT_TRUE(changed && !changed->empty());
    EXPECT_EQ(changed->front().name, "登陆系统_密码修改成功");
    EXPECT_TRUE(other.waitClosed(3s));
    EXPECT_TRUE(other.sawCloseFrame());

    const auto stillIn = changer.exchange("基础通讯_获取个人中心基本资料");
    ASSERT_TRUE(stillIn && !stillIn->empty());
    EXPECT_EQ(stillIn->front().name, "基础通讯_返回个人中心基本资料");
    const auto strangerIn = stranger.exchange("基础通讯_获取个人中心基本资料");
    ASSERT_TRUE(strangerIn && !strangerIn->empty());
    EXPECT_EQ(strangerIn->front().name, "基础通讯_返回个人中心基本资料");

    // The old password no longer opens a session; the new one does.
    TestClient again;
    ASSERT_TRUE(again.connect(server.port()));
    EXPECT_FALSE(again.login("shared01", "oldpass1"));
    EXPECT_TRUE(again.login("shared01", "newpass1"));
}

TEST(SessionEnding, AServerThatDidNotSeeThePasswordChangeEndsTheSessionAtItsNextRequest)
{
    // Two servers over one database file stand for two processes behind a balancer.
    const std::string file =
        ::testing::TempDir() + "vantrell-credentials-" + std::to_string(::getpid()) + ".db";
    std::remove(file.c_str());
    server::Config config = testConfig();
    config.database = "sqlite:" + file;
    config.credentialCheckPeriod = 100ms;
    InProcessServer first(config), second(config);
    TestClient changer, elsewhere;
    ASSERT_TRUE(changer.connect(first.port()) && elsewhere.connect(second.port()));
    ASSERT_TRUE(changer.registerAccount("shared02", "oldpass1", "两台服务贸易公司", "2"));
    ASSERT_TRUE(changer.login("shared02", "oldpass1"));
    ASSERT_TRUE(elsewhere.login("shared02", "oldpass1"));
    ASSERT_TRUE(changer.exchange("登陆系统_修改密码", "原密码[" + passwordDigest("oldpass1") + "]新密码[" +
                                                          passwordDigest("newpass1") + "]"));
    std::this_thread::sleep_for(150ms);

    // The other server answers nothing more for the old session and closes it.
    const auto after = elsewhere.exchange("基础通讯_获取个人中心基本资料");
    EXPECT_TRUE(!after || after->empty() || after->front().name != "基础通讯_返回个人中心基本资料");
    EXPECT_TRUE(elsewhere.waitClosed(3s));
    EXPECT_TRUE(elsewhere.sawCloseFrame());
    const auto stillIn = changer.exchange("基础通讯_获取个人中心基本资料");
    ASSERT_TRUE(stillIn && !stillIn->empty());
    EXPECT_EQ(stillIn->front().name, "基础通讯_返回个人中心基本资料");
    first.stop();
    second.stop();
    for (const char *suffix : {"", "-wal", "-shm"})
        std::remove((file + suffix).c_str());
}

} // namespace
