#include "client/net/requestclient.h"

#include "protocol/frame.h"
#include "support/net/loopbackpeers.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using vantrell::net::Event;
using vantrell::net::RequestClient;
using vantrell::protocol::DecodedEvent;
using vantrell::protocol::FrameDecoder;
using vantrell::protocol::FrameEncoder;

namespace {

constexpr auto kTimeout = 10s;

// The far end: a loopback listener speaking the wire format with plain blocking sockets.
class Peer
{
public:
    Peer()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(m_listener, 4);
        socklen_t len = sizeof a;
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&a), &len);
        m_port = ntohs(a.sin_port);
    }
    ~Peer()
    {
        closeConnection();
        ::close(m_listener);
    }

    int port() const { return m_port; }

    bool accept()
    {
        closeConnection();
        if (!readable(m_listener))
            return false;
        m_socket = ::accept(m_listener, nullptr, nullptr);
        m_decoder.reset();
        return m_socket >= 0;
    }

    void closeConnection()
    {
        if (m_socket >= 0)
            ::close(m_socket);
        m_socket = -1;
    }

    void write(const std::string &bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(m_socket, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            ASSERT_GT(n, 0);
            done += static_cast<std::size_t>(n);
        }
    }

    void reply(const std::string &payload) { write(m_encoder.encode(payload)); }

    // Reads until `count` messages have arrived; the raw bytes are kept in raw().
    std::vector<DecodedEvent> receive(std::size_t count)
    {
        std::vector<DecodedEvent> events;
        char buffer[65536];
        while (events.size() < count && readable(m_socket)) {
            const ssize_t n = ::recv(m_socket, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            m_raw.append(buffer, static_cast<std::size_t>(n));
            m_decoder.feed(std::string_view(buffer, static_cast<std::size_t>(n)), events);
        }
        return events;
    }

    // True when the client closed its end.
    bool seesEnd()
    {
        char c;
        return readable(m_socket) && ::recv(m_socket, &c, 1, 0) == 0;
    }

    const std::string &raw() const { return m_raw; }
    FrameEncoder &encoder() { return m_encoder; }

private:
    static bool readable(int fd)
    {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, static_cast<int>(std::chrono::milliseconds(kTimeout).count())) > 0;
    }

    int m_listener = -1;
    int m_socket = -1;
    int m_port = 0;
    FrameDecoder m_decoder;
    FrameEncoder m_encoder;
    std::string m_raw;
};

// Collects what the event routine is given, as the program layer would see it.
class Recorder
{
public:
    explicit Recorder(RequestClient &client) : m_client(client) {}

    RequestClient::EventRoutine routine()
    {
        return [this](const Event &event) {
            std::string data;
            const int kind = m_client.eventKind(&event);
            const bool hasData = m_client.eventData(&event, data);
            std::lock_guard lock(m_guard);
            m_kinds.push_back(kind);
            if (hasData)
                m_payloads.push_back(data);
            if (kind == Event::Data)
                m_numbers.push_back(event.number);
            m_changed.notify_all();
        };
    }

    bool waitForEvents(std::size_t count)
    {
        std::unique_lock lock(m_guard);
        return m_changed.wait_for(lock, kTimeout, [&] { return m_kinds.size() >= count; });
    }

    std::size_t lostCount()
    {
        std::lock_guard lock(m_guard);
        return static_cast<std::size_t>(std::count(m_kinds.begin(), m_kinds.end(), 0));
    }

    std::vector<std::string> payloads()
    {
        std::lock_guard lock(m_guard);
        return m_payloads;
    }

    std::vector<std::string> numbers()
    {
        std::lock_guard lock(m_guard);
        return m_numbers;
    }

private:
    RequestClient &m_client;
    std::mutex m_guard;
    std::condition_variable m_changed;
    std::vector<int> m_kinds;
    std::vector<std::string> m_payloads;
    std::vector<std::string> m_numbers;
};

bool waitUntilStopped(const RequestClient &client)
{
    const auto until = std::chrono::steady_clock::now() + kTimeout;
    while (client.isRunning()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// The outcome reported to the done routine of connectAsync, with when it came.
class ConnectOutcome
{
public:
    RequestClient::ConnectDone routine()
    {
        return [this](bool connected) {
            std::lock_guard lock(m_guard);
            ++m_calls;
            m_connected = connected;
            m_at = std::chrono::steady_clock::now();
            m_changed.notify_all();
        };
    }
    std::optional<bool> wait(std::chrono::milliseconds timeout = kTimeout)
    {
        std::unique_lock lock(m_guard);
        m_changed.wait_for(lock, timeout, [&] { return m_connected.has_value(); });
        return m_connected;
    }
    int calls()
    {
        std::lock_guard lock(m_guard);
        return m_calls;
    }
    std::chrono::steady_clock::time_point at()
    {
        std::lock_guard lock(m_guard);
        return m_at;
    }

private:
    std::mutex m_guard;
    std::condition_variable m_changed;
    std::optional<bool> m_connected;
    int m_calls = 0;
    std::chrono::steady_clock::time_point m_at;
};

struct Connected : ::testing::Test
{
    Peer peer;
    RequestClient client;
    Recorder recorder{client};

    void SetUp() override
    {
        ASSERT_TRUE(client.connect("127.0.0.1", peer.port(), recorder.routine()));
        ASSERT_TRUE(peer.accept());
    }
};

} // namespace

TEST_F(Connected, RoundTripStartsAt0011AndSkipsEmptyPayloads)
{
    EXPECT_TRUE(client.send(""));
    EXPECT_TRUE(client.send("基础通讯_测试|键[值]"));
    const auto requests = peer.receive(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].number, "0011");
    EXPECT_EQ(requests[0].payload, "基础通讯_测试|键[值]");
    EXPECT_EQ(peer.raw().substr(0, 8), "EMSG0011");

    peer.encoder() = FrameEncoder(41);
    peer.reply("返回|结果[好]");
    ASSERT_TRUE(recorder.waitForEvents(1));
    EXPECT_EQ(recorder.payloads(), std::vector<std::string>{"返回|结果[好]"});
    EXPECT_EQ(recorder.numbers(), std::vector<std::string>{"0042"});
}

TEST_F(Connected, NumberingContinuesAcrossReconnects)
{
    ASSERT_TRUE(client.send("one"));
    ASSERT_EQ(peer.receive(1).size(), 1u);
    client.disconnect();
    EXPECT_FALSE(client.isRunning());
    EXPECT_FALSE(client.send("while stopped"));
    EXPECT_TRUE(peer.seesEnd());
    client.disconnect(); // stopped: nothing happens

    ASSERT_TRUE(client.connect("127.0.0.1", peer.port(), recorder.routine()));
    ASSERT_TRUE(peer.accept());
    ASSERT_TRUE(client.send("two"));
    const auto requests = peer.receive(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].number, "0012");
    EXPECT_EQ(client.sequence(), 12);
}

TEST_F(Connected, LengthZeroFrameGivesOneConnectionLostEvent)
{
    peer.reply("before");
    peer.write(peer.encoder().encodeClose() + peer.encoder().encode("after"));
    peer.closeConnection();
    ASSERT_TRUE(recorder.waitForEvents(2));
    ASSERT_TRUE(waitUntilStopped(client));
    EXPECT_EQ(recorder.lostCount(), 1u);
    EXPECT_EQ(recorder.payloads(), std::vector<std::string>{"before"});
    EXPECT_FALSE(client.send("after the end"));
}

TEST_F(Connected, ClosedPeerGivesOneConnectionLostEventAndReconnectWorks)
{
    peer.closeConnection();
    ASSERT_TRUE(recorder.waitForEvents(1));
    ASSERT_TRUE(waitUntilStopped(client));
    EXPECT_EQ(recorder.lostCount(), 1u);

    ASSERT_TRUE(client.connect("127.0.0.1", peer.port(), recorder.routine()));
    ASSERT_TRUE(peer.accept());
    peer.reply("again");
    ASSERT_TRUE(recorder.waitForEvents(2));
    EXPECT_EQ(recorder.payloads(), std::vector<std::string>{"again"});
}

TEST_F(Connected, BadMagicInLeftoverBytesEndsTheConnection)
{
    peer.write(peer.encoder().encode("kept") + std::string(24, 'X'));
    ASSERT_TRUE(recorder.waitForEvents(2));
    ASSERT_TRUE(waitUntilStopped(client));
    EXPECT_EQ(recorder.payloads(), std::vector<std::string>{"kept"});
    EXPECT_EQ(recorder.lostCount(), 1u);
}

TEST_F(Connected, DisconnectIsPromptAndDestroyDisconnects)
{
    const auto start = std::chrono::steady_clock::now();
    client.disconnect();
    // Idle workers wait up to a second per look; disconnect must wake them instead.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 900ms);
    EXPECT_TRUE(peer.seesEnd());

    Peer other;
    auto running = std::make_unique<RequestClient>();
    ASSERT_TRUE(running->connect("127.0.0.1", other.port(), [](const Event &) {}));
    ASSERT_TRUE(other.accept());
    running.reset();
    EXPECT_TRUE(other.seesEnd());
}

TEST_F(Connected, TenThousandRequestsAndRepliesKeepTheirOrder)
{
    constexpr int kCount = 10000;
    for (int i = 0; i < kCount; ++i)
        ASSERT_TRUE(client.send("request " + std::to_string(i)));
    const auto requests = peer.receive(kCount);
    ASSERT_EQ(requests.size(), static_cast<std::size_t>(kCount));
    int expectedNumber = 10;
    for (int i = 0; i < kCount; ++i) {
        expectedNumber = expectedNumber == 9999 ? 10 : expectedNumber + 1;
        ASSERT_EQ(requests[i].payload, "request " + std::to_string(i));
        ASSERT_EQ(requests[i].number, vantrell::protocol::messageNumberText(expectedNumber)) << i;
    }

    std::string burst;
    for (int i = 0; i < kCount; ++i)
        burst += peer.encoder().encode("reply " + std::to_string(i));
    peer.write(burst);
    ASSERT_TRUE(recorder.waitForEvents(kCount));
    const auto replies = recorder.payloads();
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(replies[i], "reply " + std::to_string(i));
}

TEST_F(Connected, OneMebibytePayloadRoundTrip)
{
    std::string payload(1 << 20, '\0');
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>((i * 131) % 251);
    ASSERT_TRUE(client.send(payload));
    const auto requests = peer.receive(1);
    ASSERT_EQ(requests.size(), 1u);
    ASSERT_TRUE(requests[0].payload == payload);
    peer.reply(payload);
    ASSERT_TRUE(recorder.waitForEvents(1));
    ASSERT_EQ(recorder.payloads().size(), 1u);
    EXPECT_TRUE(recorder.payloads()[0] == payload);
}

TEST(RequestClientConnect, RefusesBadArgumentsAndUnreachablePeers)
{
    Peer peer;
    RequestClient client;
    const auto routine = [](const Event &) {
    };
    EXPECT_FALSE(client.connect("127.0.0.1", -1, routine));
    EXPECT_FALSE(client.connect("127.0.0.1", 65536, routine));
    EXPECT_FALSE(client.connect("127.0.0.1", peer.port(), {}));
    EXPECT_FALSE(client.isRunning());

    int closedPort = 0;
    {
        Peer gone;
        closedPort = gone.port();
    }
    EXPECT_FALSE(client.connect("127.0.0.1", closedPort, routine));
    EXPECT_FALSE(client.connect("host.invalid", peer.port(), routine));
    EXPECT_FALSE(client.send("nothing open"));

    ASSERT_TRUE(client.connect("localhost", peer.port(), routine));
    EXPECT_FALSE(client.connect("127.0.0.1", peer.port(), routine)) << "already running";
    EXPECT_TRUE(client.isRunning());

    Event event;
    std::string data;
    EXPECT_EQ(client.eventKind(nullptr), -1);
    EXPECT_FALSE(client.eventData(nullptr, data));
    client.disconnect();
    EXPECT_EQ(client.eventKind(&event), -1) << "stopped client";
    EXPECT_FALSE(client.eventData(&event, data));
}

TEST(RequestClientConnect, GivesUpOnAPeerThatNeverAnswersAfterTheTimeout)
{
    vantrell::test::StalledListener stalled;
    ASSERT_TRUE(stalled.stalled()) << "connects to a full accept queue completed";
    RequestClient client;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.connect(
        "127.0.0.1", stalled.port(), [](const Event &) {}, 300));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 280ms);
    EXPECT_LT(took, 3s);
    EXPECT_FALSE(client.isRunning());
    EXPECT_FALSE(client.isConnecting());
    EXPECT_EQ(RequestClient::kConnectTimeoutMs, 10000);
}

TEST(RequestClientAsyncConnect, ReturnsAtOnceAndReportsTheTimeoutOnce)
{
    vantrell::test::StalledListener stalled;
    ASSERT_TRUE(stalled.stalled());
    Peer peer;
    ConnectOutcome outcome;
    ConnectOutcome second;
    RequestClient client;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(client.connectAsync(
        "127.0.0.1", stalled.port(), [](const Event &) {}, outcome.routine(), 400));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
    EXPECT_TRUE(client.isConnecting());
    EXPECT_FALSE(client.isRunning());

    // One connect at a time, whichever form.
    EXPECT_FALSE(client.connectAsync(
        "127.0.0.1", peer.port(), [](const Event &) {}, second.routine()));
    EXPECT_FALSE(client.connect("127.0.0.1", peer.port(), [](const Event &) {}));

    EXPECT_EQ(outcome.wait(), std::optional<bool>(false));
    EXPECT_GE(outcome.at() - start, 380ms);
    EXPECT_FALSE(client.isConnecting());
    EXPECT_FALSE(client.isRunning());
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(outcome.calls(), 1);
    EXPECT_EQ(second.calls(), 0);
}

TEST(RequestClientAsyncConnect, RefusedUnresolvableAndBadArgumentsFail)
{
    int closedPort = 0;
    {
        Peer gone;
        closedPort = gone.port();
    }
    RequestClient client;
    const auto routine = [](const Event &) {
    };
    ConnectOutcome refused;
    ASSERT_TRUE(client.connectAsync("127.0.0.1", closedPort, routine, refused.routine()));
    EXPECT_EQ(refused.wait(2s), std::optional<bool>(false)) << "refused well before the timeout";
    ConnectOutcome unresolvable;
    ASSERT_TRUE(client.connectAsync("host.invalid", closedPort, routine, unresolvable.routine()));
    EXPECT_EQ(unresolvable.wait(), std::optional<bool>(false));

    ConnectOutcome never;
    EXPECT_FALSE(client.connectAsync("127.0.0.1", 65536, routine, never.routine()));
    EXPECT_FALSE(client.connectAsync("127.0.0.1", closedPort, {}, never.routine()));
    EXPECT_FALSE(client.connectAsync("127.0.0.1", closedPort, routine, {}));
    EXPECT_EQ(never.calls(), 0);
    EXPECT_FALSE(client.isConnecting());
}

TEST(RequestClientAsyncConnect, DoneComesBeforeTheFirstEventAndNumberingContinues)
{
    Peer peer;
    std::mutex guard;
    std::vector<std::string> order;
    ConnectOutcome outcome;
    const auto done = outcome.routine();
    RequestClient client; // its workers end before what they write to
    ASSERT_TRUE(client.connectAsync(
        "localhost", peer.port(),
        [&](const Event &event) {
            std::lock_guard lock(guard);
            order.push_back(event.kind == Event::Data ? event.payload : "lost");
        },
        [&](bool connected) {
            {
                std::lock_guard lock(guard);
                order.push_back(connected ? "connected" : "failed");
            }
            done(connected);
        }));
    ASSERT_TRUE(peer.accept());
    peer.reply("first reply"); // may arrive before the connector has finished
    ASSERT_EQ(outcome.wait(), std::optional<bool>(true));
    EXPECT_TRUE(client.isRunning());
    EXPECT_FALSE(client.isConnecting());

    const int before = client.sequence();
    ASSERT_TRUE(client.send("request"));
    const auto requests = peer.receive(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].number, vantrell::protocol::messageNumberText(before + 1));
    peer.closeConnection();
    ASSERT_TRUE(waitUntilStopped(client));
    std::lock_guard lock(guard);
    EXPECT_EQ(order, (std::vector<std::string>{"connected", "first reply", "lost"}));
}

TEST(RequestClientAsyncConnect, CancelDisconnectAndDestroyEndAWaitingConnectPromptly)
{
    vantrell::test::StalledListener stalled;
    ASSERT_TRUE(stalled.stalled());
    const auto routine = [](const Event &) {
    };
    RequestClient client;
    for (const char *how : {"cancel", "disconnect"}) {
        SCOPED_TRACE(how);
        ConnectOutcome outcome;
        ASSERT_TRUE(client.connectAsync("127.0.0.1", stalled.port(), routine, outcome.routine()));
        std::this_thread::sleep_for(50ms);
        const auto start = std::chrono::steady_clock::now();
        if (std::string(how) == "cancel")
            client.cancelConnect();
        else
            client.disconnect();
        EXPECT_FALSE(client.isConnecting()) << "a new connect may start right away";
        EXPECT_EQ(outcome.wait(), std::optional<bool>(false));
        EXPECT_LT(outcome.at() - start, 1s);
        EXPECT_FALSE(client.isRunning());
    }

    // A new connect after a cancel works, to a peer that answers.
    Peer peer;
    ConnectOutcome reconnect;
    ASSERT_TRUE(client.connectAsync("127.0.0.1", peer.port(), routine, reconnect.routine()));
    ASSERT_TRUE(peer.accept());
    EXPECT_EQ(reconnect.wait(), std::optional<bool>(true));
    client.disconnect();
    EXPECT_TRUE(peer.seesEnd());

    ConnectOutcome destroyed;
    auto waiting = std::make_unique<RequestClient>();
    ASSERT_TRUE(waiting->connectAsync("127.0.0.1", stalled.port(), routine, destroyed.routine()));
    const auto start = std::chrono::steady_clock::now();
    waiting.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(destroyed.calls(), 1);
}

TEST(RequestClientHelpers, DottedAddressRules)
{
    for (const char *yes : {"1.2.3.4", "0.0.0.0", "255.255.255.255", "01.2.3.4", "001.002.003.004"})
        EXPECT_TRUE(RequestClient::isDottedAddress(yes)) << yes;
    for (const char *no : {"1.2.3.256", "1.2.3", "1.2.3.4.5", "1.2.3.", ".1.2.3", "1..2.3", "1.2.3.0004",
                           "1.2.3.a", "1.2.3.-4", "1.2.3.4 ", "localhost", ""})
        EXPECT_FALSE(RequestClient::isDottedAddress(no)) << no;
}

TEST(RequestClientHelpers, TextDigestIsLowercaseMd5)
{
    EXPECT_EQ(RequestClient::textDigest(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(RequestClient::textDigest("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(RequestClient::textDigest("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(RequestClient::textDigest(std::string("\x00\xff", 2)), "d07d34efac6328007ad67c7e0a985e00");
    EXPECT_EQ(RequestClient::textDigest("1234567890123456789012345678901234567890"
                                        "1234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}
