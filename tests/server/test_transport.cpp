// The connection itself: heartbeat and idle close, LEN 0 in both directions, frames and
// bytes that close only their own connection, a peer that stops reading, graceful stop,
// and the executable's flags.

#include "protocol/frame.h"
#include "server/handlers.h"
#include "server/options.h"
#include "server/server.h"
#include "support/server/launcher.h"
#include "support/server/testclient.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <thread>

using namespace vantrell;
using namespace vantrell::testing;
using Clock = std::chrono::steady_clock;

namespace {

server::Config quickHeartbeat()
{
    server::Config config = testConfig();
    config.heartbeatPeriod = std::chrono::milliseconds(200);
    return config;
}

server::Config outdatedClients()
{
    server::Config config = testConfig();
    config.minimumVersion = "9.0";
    config.downloadAddress = "http://example.test/" + std::string(4000, 'd');
    return config;
}

std::string chunkHeader(std::string_view magic, std::uint32_t total, std::uint32_t index, std::uint32_t piece)
{
    std::string header(magic);
    header += "0011";
    for (std::uint32_t value : {total, index, piece}) {
        for (int shift = 0; shift < 32; shift += 8)
            header += static_cast<char>((value >> shift) & 0xFF);
    }
    return header;
}

bool versionCheckAnswered(TestClient &client)
{
    const auto replies = client.exchange("版本验证_验证", "版本号[1.0]");
    return replies && replies->size() == 1 && replies->at(0).name == "发现版本";
}

template <typename Predicate> bool eventually(Predicate predicate, std::chrono::milliseconds timeout = 5s)
{
    const auto deadline = Clock::now() + timeout;
    while (!predicate()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

TEST(Heartbeat, AnsweredProbesKeepTheConnectionAlive)
{
    InProcessServer server(quickHeartbeat());
    TestClient client;
    ASSERT_TRUE(client.connect(server.port()));
    client.setAnswerProbes(true);
    const auto until = Clock::now() + 1500ms; // more than seven periods
    while (Clock::now() < until)
        client.receive(50ms);
    EXPECT_FALSE(client.isClosed());
    EXPECT_GE(client.probesSeen(), 4);
    EXPECT_TRUE(client.exchange("版本验证_验证", "版本号[1.0]").has_value());
}

TEST(Heartbeat, SilentConnectionIsClosedAfterThreePeriods)
{
    InProcessServer server(quickHeartbeat());
    TestClient client;
    const auto start = Clock::now();
    ASSERT_TRUE(client.connect(server.port()));
    ASSERT_TRUE(client.waitClosed(5s));
    const auto elapsed = Clock::now() - start;
    EXPECT_TRUE(client.sawCloseFrame());
    EXPECT_GE(elapsed, 550ms);
    EXPECT_LT(elapsed, 2s);
    EXPECT_GE(client.probesSeen(), 2);
    EXPECT_TRUE(eventually([&] { return server.server().sessionCount() == 0; }));
}

TEST(Heartbeat, TimeSpentOnTheClientsRequestIsNotItsSilence)
{
    InProcessServer server(quickHeartbeat(), [](server::HandlerTable &table) {
        table.add("登陆系统_测试/慢",
                  server::Policy{server::Who::Anyone, server::Access::None, server::Lane::Slow},
                  [](server::Context &, const server::Fields &) {
                      std::this_thread::sleep_for(900ms); // more than three periods
                      return server::Replies{server::reply("慢_完成")};
                  });
    });
    TestClient client;
    ASSERT_TRUE(client.connect(server.port()));
    ASSERT_TRUE(client.send("登陆系统_测试/慢"));
    const auto reply = client.receive(5s);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->name, "慢_完成");
    client.receive(200ms);
    EXPECT_FALSE(client.isClosed());
}

TEST(Connection, AccountRequestsDoNotHoldUpOtherConnections)
{
    server::Config config = outdatedClients();
    config.threads = 2;
    InProcessServer server(config, [](server::HandlerTable &table) {
        table.add("登陆系统_测试/慢",
                  server::Policy{server::Who::Anyone, server::Access::None, server::Lane::Slow},
                  [](server::Context &, const server::Fields &) {
                      std::this_thread::sleep_for(1s); // as a burst of password checks would
                      return server::Replies{server::reply("慢_完成")};
                  });
    });
    std::vector<std::unique_ptr<TestClient>> busy;
    for (int i = 0; i < 4; ++i) {
        busy.push_back(std::make_unique<TestClient>());
        ASSERT_TRUE(busy.back()->connect(server.port()));
        ASSERT_TRUE(busy.back()->send("登陆系统_测试/慢"));
    }
    std::this_thread::sleep_for(100ms);
    TestClient other;
    ASSERT_TRUE(other.connect(server.port()));
    const auto start = Clock::now();
    EXPECT_TRUE(versionCheckAnswered(other));
    EXPECT_LT(Clock::now() - start, 500ms);
    for (auto &client : busy) {
        const auto reply = client->receive(10s);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->name, "慢_完成");
    }
}

TEST(Connection, CloseFrameFromTheClientEndsItsSession)
{
    InProcessServer server;
    TestClient client;
    ASSERT_TRUE(client.connect(server.port()));
    ASSERT_TRUE(eventually([&] { return server.server().sessionCount() == 1; }));
    ASSERT_TRUE(client.sendClose());
    EXPECT_TRUE(client.waitClosed(5s));
    EXPECT_TRUE(eventually([&] { return server.server().sessionCount() == 0; }));
}

TEST(Connection, RequestsSurviveAnySplitAndSeveralChunks)
{
    InProcessServer server(outdatedClients());
    TestClient client;
    ASSERT_TRUE(client.connect(server.port()));
    protocol::FrameEncoder encoder(500);
    const std::string wire = encoder.encode(toGbk("版本验证_验证|版本号[1.0]"));
    for (char byte : wire) {
        client.sendRaw(std::string_view(&byte, 1));
        std::this_thread::sleep_for(1ms);
    }
    auto reply = client.receive(10s);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->name, "发现版本");

    // A frame of three chunks: the long version text is unreadable, hence outdated.
    const std::string big = toGbk("版本验证_验证|版本号[") + std::string(20000, '7') + "]";
    ASSERT_TRUE(client.sendRaw(encoder.encode(big)));
    reply = client.receive(10s);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->name, "发现版本");
}

struct BadInput
{
    const char *what;
    std::string bytes;
};

class BadBytes : public ::testing::TestWithParam<BadInput>
{};

TEST_P(BadBytes, CloseOnlyTheirOwnConnection)
{
    server::Config config = outdatedClients();
    config.maxFrameSize = 4096;
    InProcessServer server(config);
    TestClient bystander;
    TestClient offender;
    ASSERT_TRUE(bystander.connect(server.port()));
    ASSERT_TRUE(offender.connect(server.port()));
    ASSERT_TRUE(versionCheckAnswered(offender));

    offender.sendRaw(GetParam().bytes);
    EXPECT_TRUE(offender.waitClosed(5s)) << GetParam().what;
    EXPECT_TRUE(versionCheckAnswered(bystander)) << GetParam().what;
    EXPECT_TRUE(eventually([&] { return server.server().sessionCount() == 1; })) << GetParam().what;
}

std::string validChunkThen(std::string_view tail)
{
    protocol::FrameEncoder encoder;
    return encoder.encode(toGbk("心跳包|")) + std::string(tail);
}

INSTANTIATE_TEST_SUITE_P(
    Transport, BadBytes,
    ::testing::Values(
        BadInput{"oversized frame", protocol::FrameEncoder().encode(std::string(5000, 'x'))},
        BadInput{"oversized total announced", chunkHeader("EMSG", 1u << 30, 0, 100) + std::string(100, 'x')},
        BadInput{"text protocol", "GET / HTTP/1.1\r\nHost: vantrell\r\n\r\n"},
        BadInput{"bad magic after a good chunk", validChunkThen("XMSG0012" + std::string(40, '\0'))},
        BadInput{"empty piece", chunkHeader("EMSG", 30, 0, 0) + std::string(30, 'x')},
        BadInput{"piece over 8192", chunkHeader("EMSG", 4000, 0, 9000) + std::string(100, 'x')},
        BadInput{"bad magic in a short read", "EMSX"}),
    [](const auto &param) {
        std::string name;
        for (char c : std::string(param.param.what))
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST(Connection, PeerThatStopsReadingIsCutOffAlone)
{
    InProcessServer server(outdatedClients());
    TestClient bystander;
    TestClient hoarder;
    ASSERT_TRUE(bystander.connect(server.port()));
    ASSERT_TRUE(hoarder.connect(server.port()));
    // connect() returns once the kernel has the connection, before the server has taken it.
    ASSERT_TRUE(eventually([&] { return server.server().sessionCount() == 2; }));
    // Each request draws a reply of about 4 KB that is never read, so the server's queue
    // outgrows its limit after a few thousand requests even on a loaded machine.
    protocol::FrameEncoder encoder;
    std::string burst;
    for (int i = 0; i < 2000; ++i)
        burst += encoder.encode(toGbk("版本验证_验证|版本号[1.0]"));
    for (int round = 0; round < 40 && server.server().sessionCount() == 2; ++round) {
        if (!hoarder.sendRaw(burst))
            break;
        EXPECT_TRUE(versionCheckAnswered(bystander));
    }
    EXPECT_TRUE(eventually([&] { return server.server().sessionCount() == 1; }, 20s));
    EXPECT_TRUE(versionCheckAnswered(bystander));
}

TEST(Stop, GracefulStopSendsEveryConnectionACloseFrame)
{
    InProcessServer server;
    TestClient first;
    TestClient second;
    ASSERT_TRUE(first.connect(server.port()));
    ASSERT_TRUE(second.connect(server.port()));
    ASSERT_TRUE(first.exchange("版本验证_验证", "版本号[1.0]").has_value());
    ASSERT_TRUE(eventually([&] { return server.server().sessionCount() == 2; }));
    const auto start = Clock::now();
    server.stop();
    EXPECT_LT(Clock::now() - start, 4s);
    for (TestClient *client : {&first, &second}) {
        EXPECT_TRUE(client->waitClosed(2s));
        EXPECT_TRUE(client->sawCloseFrame());
    }
    TestClient late;
    EXPECT_FALSE(late.connect(server.port()));
}

TEST(Stop, RequestInFlightIsAnsweredBeforeTheCloseFrame)
{
    InProcessServer server(testConfig(), [](server::HandlerTable &table) {
        table.add("登陆系统_测试/慢",
                  server::Policy{server::Who::Anyone, server::Access::None, server::Lane::Slow},
                  [](server::Context &, const server::Fields &) {
                      std::this_thread::sleep_for(500ms);
                      return server::Replies{server::reply("慢_完成")};
                  });
    });
    TestClient client;
    ASSERT_TRUE(client.connect(server.port()));
    ASSERT_TRUE(client.send("登陆系统_测试/慢"));
    std::this_thread::sleep_for(100ms);
    std::thread stopper([&] { server.stop(); });
    const auto reply = client.receive(5s);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->name, "慢_完成");
    EXPECT_TRUE(client.waitClosed(5s));
    EXPECT_TRUE(client.sawCloseFrame());
    stopper.join();
}

TEST(Process, SigtermClosesConnectionsAndExitsCleanly)
{
    ServerProcess process({"--heartbeat", "30"});
    ASSERT_TRUE(process.started()) << process.log();
    TestClient client;
    ASSERT_TRUE(client.connect(process.port()));
    ASSERT_TRUE(client.exchange("版本验证_验证", "版本号[1.0]").has_value());
    process.signal(SIGTERM);
    EXPECT_TRUE(client.waitClosed(5s));
    EXPECT_TRUE(client.sawCloseFrame());
    EXPECT_EQ(process.wait(10s), 0) << process.log();
    const std::string log = process.log();
    EXPECT_NE(log.find("stopping"), std::string::npos) << log;
    EXPECT_EQ(log.find("127.0.0.1"), std::string::npos) << log;
}

TEST(Flags, EveryDatabaseAddressFormTheServerOpensIsTaken)
{
    for (const char *form : {"sqlite:vantrell.db", "sqlite::memory:", "postgresql://u@127.0.0.1:5432/db",
                             "postgres://u@localhost/db", "postgresql:host=/tmp dbname=db"})
        EXPECT_EQ(server::parseCommandLine({"--db", form}).error, "") << form;
    for (const char *form : {"sqlite:", "postgresql:", "postgre://x", "mysql://x"})
        EXPECT_NE(server::parseCommandLine({"--db", form}).error, "") << form;
}

TEST(Process, BadFlagsStopWithExitCodeTwoAndSayWhy)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--listen", "127.0.0.1"}, "--listen"},
        {{"--listen=300.1.1.1:80"}, "--listen"},
        {{"--listen", "127.0.0.1:70000"}, "port"},
        {{"--db", "mysql://x"}, "--db"},
        {{"--page-size", "0"}, "--page-size"},
        {{"--page-size", "12abc"}, "--page-size"},
        {{"--heartbeat", "-1"}, "--heartbeat"},
        {{"--heartbeat", "nan"}, "--heartbeat"},
        {{"--max-frame", "1e9"}, "--max-frame"},
        {{"--min-version", "1.x", "--download", "http://d"}, "--min-version"},
        {{"--min-version", "1.2"}, "--download"},
        {{"--download", "http://a/b,c"}, "--download"},
        {{"--about", "http://a/[x]"}, "--about"},
        {{"--key-alphabet", "abc"}, "--key-alphabet"},
        {{"--key-alphabet", std::string(62, 'a')}, "--key-alphabet"},
        {{"--threads", "0"}, "--threads"},
        {{"--threads"}, "needs a value"},
        {{"--demo=yes"}, "--demo"},
        {{"--colour"}, "unknown flag"},
        {{"stray"}, "unexpected argument"},
    };
    for (const auto &[args, mention] : cases) {
        const ProcessResult result = runServerBinary(args);
        EXPECT_EQ(result.exitCode, 2) << args[0];
        EXPECT_NE(result.err.find(mention), std::string::npos) << args[0] << ": " << result.err;
    }
    const ProcessResult help = runServerBinary({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char *flag : {"--listen", "--db", "--page-size", "--heartbeat", "--max-frame", "--min-version",
                             "--download", "--about", "--help-url", "--key-alphabet", "--threads", "--demo"})
        EXPECT_NE(help.out.find(flag), std::string::npos) << flag;
}

} // namespace
