// The request client over TLS: frames both ways at once through the one shared session,
// certificates that do not verify refused with their reason, servers that do not speak
// TLS, and cancelling a connect in the middle of its handshake.

#include "client/net/requestclient.h"

#include "protocol/frame.h"
#include "support/net/loopbackpeers.h"
#include "support/net/tlspeer.h"

#include <gtest/gtest.h>
#include <openssl/ssl.h>

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
using vantrell::net::ConnectError;
using vantrell::net::Event;
using vantrell::net::RequestClient;
using vantrell::net::TlsOptions;
using vantrell::test::testData;
using vantrell::test::TlsPeer;

namespace {

constexpr auto kTimeout = 60s; // generous: the sanitizer build moves megabytes slowly

TlsOptions pinned(const std::string &certificate = testData("tls/server.crt"),
                  const std::string &serverName = {})
{
    TlsOptions options;
    options.enabled = true;
    options.pinnedCertFile = certificate;
    options.serverName = serverName;
    return options;
}

// What the event routine is given, in order.
class Recorder
{
public:
    RequestClient::EventRoutine routine()
    {
        return [this](const Event &event) {
            std::lock_guard lock(m_guard);
            if (event.kind == Event::Data)
                m_payloads.push_back(event.payload);
            else
                ++m_lost;
            m_changed.notify_all();
        };
    }
    bool waitForEvents(std::size_t count)
    {
        std::unique_lock lock(m_guard);
        return m_changed.wait_for(lock, kTimeout, [&] { return m_payloads.size() + m_lost >= count; });
    }
    std::vector<std::string> payloads()
    {
        std::lock_guard lock(m_guard);
        return m_payloads;
    }
    int lost()
    {
        std::lock_guard lock(m_guard);
        return m_lost;
    }

private:
    std::mutex m_guard;
    std::condition_variable m_changed;
    std::vector<std::string> m_payloads;
    int m_lost = 0;
};

// The outcome given to the done routine of connectAsync, with when it came.
class ConnectOutcome
{
public:
    RequestClient::ConnectDone routine()
    {
        return [this](bool connected, ConnectError why) {
            std::lock_guard lock(m_guard);
            ++m_calls;
            m_connected = connected;
            m_why = why;
            m_at = std::chrono::steady_clock::now();
            m_changed.notify_all();
        };
    }
    std::optional<bool> wait(std::chrono::milliseconds timeout = 20s)
    {
        std::unique_lock lock(m_guard);
        m_changed.wait_for(lock, timeout, [&] { return m_connected.has_value(); });
        return m_connected;
    }
    ConnectError why()
    {
        std::lock_guard lock(m_guard);
        return m_why;
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
    ConnectError m_why = ConnectError::None;
    int m_calls = 0;
    std::chrono::steady_clock::time_point m_at;
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

std::string pattern(std::size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + seed) % 251);
    return bytes;
}

// A plain TCP far end that accepts, reads what the client says and answers with a
// framed reply in the clear, as the server does without TLS, then hangs up.
class PlainAnswerer
{
public:
    PlainAnswerer()
    {
        m_listener = vantrell::test::loopbackListener(4, m_port);
        m_thread = std::thread([this] {
            pollfd listening{m_listener, POLLIN, 0};
            if (::poll(&listening, 1, 10000) <= 0)
                return;
            const int peer = ::accept(m_listener, nullptr, nullptr);
            if (peer < 0)
                return;
            char buffer[4096];
            pollfd p{peer, POLLIN, 0};
            if (::poll(&p, 1, 5000) > 0)
                (void)::recv(peer, buffer, sizeof buffer, 0);
            const std::string reply = vantrell::protocol::FrameEncoder().encode("提示信息_错误|内容[?]");
            (void)::send(peer, reply.data(), reply.size(), MSG_NOSIGNAL);
            ::close(peer);
        });
    }
    ~PlainAnswerer()
    {
        m_thread.join();
        ::close(m_listener);
    }
    int port() const { return m_port; }

private:
    int m_listener = -1;
    int m_port = 0;
    std::thread m_thread;
};

// A listener nobody accepts from: the TCP connect completes (the kernel queues it) and
// then nothing is ever said, like a TCP server that waits for the client to speak.
class SilentListener
{
public:
    SilentListener() { m_listener = vantrell::test::loopbackListener(8, m_port); }
    ~SilentListener() { ::close(m_listener); }
    int port() const { return m_port; }

private:
    int m_listener = -1;
    int m_port = 0;
};

// The large exchanges run over both protocol versions the client accepts.
class RequestClientTlsVersions : public ::testing::TestWithParam<int>
{};

std::string versionName(const ::testing::TestParamInfo<int> &version)
{
    return version.param == TLS1_2_VERSION ? "v1_2" : "v1_3";
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Tls, RequestClientTlsVersions, ::testing::Values(TLS1_2_VERSION, TLS1_3_VERSION),
                         versionName);

TEST_P(RequestClientTlsVersions, PinnedCertificateCarriesMegabytesBothWaysAtOnceInOrder)
{
    // The server starts a 3 MiB reply and keeps its last 64 KiB back until it has read
    // every request, so the client's receiver sits in the middle of that reply, waiting,
    // while its sender must get 2,000 small requests and a 2 MiB one through the same
    // session. Each request is echoed back.
    constexpr int kSmall = 2000;
    const std::string bigReply = pattern(3u << 20, 7);
    const std::string bigRequest = pattern(2u << 20, 11);
    TlsPeer::Script script;
    script.opening.push_back("push big " + bigReply);
    for (int i = 0; i < 500; ++i)
        script.opening.push_back("push " + std::to_string(i));
    script.holdBack = 64 * 1024 + 500 * 40;
    script.releaseAfter = kSmall + 1;
    script.maxVersion = GetParam();
    TlsPeer peer(script);
    ASSERT_TRUE(peer.ready());

    RequestClient client;
    Recorder recorder;
    client.setTls(pinned());
    ASSERT_TRUE(client.connect("127.0.0.1", peer.port(), recorder.routine()))
        << RequestClient::describe(client.lastConnectError());
    EXPECT_EQ(client.lastConnectError(), ConnectError::None);
    EXPECT_TRUE(peer.waitFor([](const TlsPeer &p) { return p.handshakes() == 1; }));
    EXPECT_EQ(peer.version(), GetParam());
    for (int i = 0; i < kSmall; ++i) {
        ASSERT_TRUE(client.send("small " + std::to_string(i)));
        if (i == kSmall / 2) {
            ASSERT_TRUE(client.send(bigRequest));
        }
    }

    ASSERT_TRUE(recorder.waitForEvents(1 + 500 + kSmall + 1)) << recorder.payloads().size();
    const auto payloads = recorder.payloads();
    std::vector<std::string> pushes;
    std::vector<std::string> echoes;
    for (const std::string &p : payloads)
        (p.rfind("push ", 0) == 0 ? pushes : echoes).push_back(p);
    ASSERT_EQ(pushes.size(), 501u);
    EXPECT_TRUE(pushes[0] == "push big " + bigReply);
    for (int i = 0; i < 500; ++i)
        ASSERT_EQ(pushes[1 + i], "push " + std::to_string(i));
    ASSERT_EQ(echoes.size(), static_cast<std::size_t>(kSmall + 1));
    std::size_t at = 0;
    for (int i = 0; i < kSmall; ++i) {
        ASSERT_EQ(echoes[at++], "echo small " + std::to_string(i));
        if (i == kSmall / 2) {
            ASSERT_TRUE(echoes[at++] == "echo " + bigRequest) << "the large request came back changed";
        }
    }

    // The server read the requests in order, numbered from 0011 as over plain TCP.
    const auto requests = peer.requests();
    ASSERT_EQ(requests.size(), static_cast<std::size_t>(kSmall + 1));
    EXPECT_EQ(requests[0].number, "0011");
    EXPECT_EQ(requests[0].payload, "small 0");
    EXPECT_TRUE(requests[kSmall / 2 + 1].payload == bigRequest);
    EXPECT_EQ(requests.back().payload, "small " + std::to_string(kSmall - 1));

    // Then both directions busy at the same moment: 8 MiB of requests while their
    // echoes stream back.
    constexpr int kChunks = 400;
    const std::size_t before = recorder.payloads().size();
    for (int i = 0; i < kChunks; ++i)
        ASSERT_TRUE(client.send(std::to_string(i) + " " + pattern(20 * 1024, static_cast<unsigned>(i))));
    ASSERT_TRUE(recorder.waitForEvents(before + kChunks));
    const auto streamed = recorder.payloads();
    ASSERT_EQ(streamed.size(), before + kChunks);
    for (int i = 0; i < kChunks; ++i) {
        ASSERT_TRUE(streamed[before + i] ==
                    "echo " + std::to_string(i) + " " + pattern(20 * 1024, static_cast<unsigned>(i)))
            << i;
    }

    // A disconnect says goodbye inside TLS before the socket closes.
    client.disconnect();
    EXPECT_FALSE(client.isRunning());
    EXPECT_TRUE(peer.waitFor([](const TlsPeer &p) { return p.goodbyes() == 1; }));
    EXPECT_EQ(recorder.lost(), 0);
}

TEST(RequestClientTls, ServerGoodbyeEndsTheConnectionOnceAndAFreshSessionFollows)
{
    TlsPeer::Script script;
    script.opening = {"before goodbye"};
    script.closeAfterOpening = true;
    TlsPeer peer(script);
    RequestClient client;
    Recorder recorder;
    client.setTls(pinned());
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(client.connect("127.0.0.1", peer.port(), recorder.routine()));
        ASSERT_TRUE(recorder.waitForEvents(2 * round));
        ASSERT_TRUE(waitUntilStopped(client));
        EXPECT_EQ(recorder.lost(), round);
        EXPECT_FALSE(client.send("after the end"));
    }
    EXPECT_EQ(recorder.payloads(), (std::vector<std::string>{"before goodbye", "before goodbye"}));
    EXPECT_EQ(peer.handshakes(), 2);
}

TEST(RequestClientTls, TheCertificateMustVerifyAndCarryTheNameOrAddress)
{
    TlsPeer peer;
    ASSERT_TRUE(peer.ready());
    const auto routine = [](const Event &) {
    };
    struct Case
    {
        const char *what;
        std::string host;
        TlsOptions options;
        ConnectError expected;
    };
    TlsOptions systemStore;
    systemStore.enabled = true;
    const std::vector<Case> cases = {
        {"another certificate pinned", "127.0.0.1", pinned(testData("tls/other.crt")),
         ConnectError::CertificateNotTrusted},
        {"self-signed, system store", "127.0.0.1", systemStore, ConnectError::CertificateNotTrusted},
        {"name not on the certificate", "127.0.0.1", pinned(testData("tls/server.crt"), "example.com"),
         ConnectError::HostNameMismatch},
        {"address not on the certificate", "127.0.0.1", pinned(testData("tls/server.crt"), "127.0.0.2"),
         ConnectError::HostNameMismatch},
        {"name given as the host", "localhost", pinned(), ConnectError::None},
        {"name given apart from the address", "127.0.0.1", pinned(testData("tls/server.crt"), "localhost"),
         ConnectError::None},
        {"address with leading zeros", "127.000.000.001", pinned(), ConnectError::None},
    };
    int handshakes = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const bool ok = c.expected == ConnectError::None;
        RequestClient client;
        client.setTls(c.options);
        EXPECT_EQ(client.connect(c.host, peer.port(), routine), ok);
        EXPECT_EQ(client.lastConnectError(), c.expected)
            << RequestClient::describe(client.lastConnectError());
        EXPECT_EQ(client.isRunning(), ok);
        if (!ok) {
            EXPECT_FALSE(client.send("x")) << "nothing goes out after a refusal";
        }
        EXPECT_EQ(RequestClient::isCertificateError(c.expected), !ok);
        client.disconnect();

        // The same through connectAsync: the reason comes with the result.
        ConnectOutcome outcome;
        ASSERT_TRUE(client.connectAsync(c.host, peer.port(), routine, outcome.routine()));
        EXPECT_EQ(outcome.wait(), std::optional<bool>(ok));
        EXPECT_EQ(outcome.why(), c.expected);
        EXPECT_EQ(client.lastConnectError(), c.expected);
        client.disconnect();
        handshakes += ok ? 2 : 0;
    }
    EXPECT_TRUE(peer.waitFor([&](const TlsPeer &p) { return p.accepted() == int(cases.size()) * 2; }));
    EXPECT_EQ(peer.handshakes(), handshakes) << "a refused certificate never completed a handshake";
    EXPECT_STREQ(RequestClient::describe(ConnectError::CertificateNotTrusted), "certificate not trusted");
    EXPECT_STREQ(RequestClient::describe(ConnectError::HostNameMismatch), "host name mismatch");
    EXPECT_STREQ(RequestClient::describe(ConnectError::HandshakeFailed), "handshake failed");
}

TEST(RequestClientTls, AnUnusablePinnedFileFailsBeforeConnecting)
{
    TlsPeer peer;
    RequestClient client;
    for (const std::string &file :
         {testData("tls/missing.crt"), testData("tls/README.md"), testData("tls")}) {
        SCOPED_TRACE(file);
        client.setTls(pinned(file));
        EXPECT_FALSE(client.connect("127.0.0.1", peer.port(), [](const Event &) {}));
        EXPECT_EQ(client.lastConnectError(), ConnectError::CertificateFile);
        EXPECT_TRUE(RequestClient::isCertificateError(ConnectError::CertificateFile));
    }
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(peer.accepted(), 0);

    // Switching TLS off again connects in the clear, as before.
    client.setTls({});
    EXPECT_FALSE(client.tls().enabled);
    vantrell::test::RecordingPeer plain(1);
    ASSERT_TRUE(client.connect("127.0.0.1", plain.port(), [](const Event &) {}));
    ASSERT_TRUE(client.send("in the clear"));
    plain.join();
    ASSERT_EQ(plain.messages().size(), 1u);
    EXPECT_EQ(plain.messages()[0].payload, "in the clear");
}

TEST(RequestClientTls, APlainServerFailsTheConnectCleanlyWithinTheTimeout)
{
    const auto routine = [](const Event &) {
    };
    {
        // A plain server answers the client's hello with a frame in the clear and hangs up.
        PlainAnswerer answerer;
        RequestClient client;
        client.setTls(pinned());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(client.connect("127.0.0.1", answerer.port(), routine));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
        EXPECT_EQ(client.lastConnectError(), ConnectError::HandshakeFailed);
        EXPECT_FALSE(client.isRunning());
    }
    {
        // One that says nothing: the handshake is given up with the connect's timeout.
        SilentListener silent;
        RequestClient client;
        client.setTls(pinned());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(client.connect("127.0.0.1", silent.port(), routine, 400));
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, 380ms);
        EXPECT_LT(took, 3s);
        EXPECT_EQ(client.lastConnectError(), ConnectError::TimedOut);
        EXPECT_FALSE(client.isRunning());
        EXPECT_FALSE(client.isConnecting());
    }
}

TEST(RequestClientTls, CancelDisconnectAndDestroyEndAConnectInItsHandshakePromptly)
{
    SilentListener silent;
    const auto routine = [](const Event &) {
    };
    RequestClient client;
    client.setTls(pinned());
    for (const char *how : {"cancel", "disconnect"}) {
        SCOPED_TRACE(how);
        ConnectOutcome outcome;
        ASSERT_TRUE(client.connectAsync("127.0.0.1", silent.port(), routine, outcome.routine()));
        std::this_thread::sleep_for(150ms); // connected at once; the hello waits for an answer
        const auto start = std::chrono::steady_clock::now();
        if (std::string(how) == "cancel")
            client.cancelConnect();
        else
            client.disconnect();
        EXPECT_FALSE(client.isConnecting());
        EXPECT_EQ(outcome.wait(), std::optional<bool>(false));
        EXPECT_EQ(outcome.why(), ConnectError::Cancelled);
        EXPECT_LT(outcome.at() - start, 1s);
        EXPECT_FALSE(client.isRunning());
    }

    // The next connect after a cancel completes its own handshake.
    TlsPeer peer;
    ConnectOutcome again;
    ASSERT_TRUE(client.connectAsync("127.0.0.1", peer.port(), routine, again.routine()));
    EXPECT_EQ(again.wait(), std::optional<bool>(true));
    EXPECT_EQ(again.why(), ConnectError::None);
    client.disconnect();

    ConnectOutcome destroyed;
    auto waiting = std::make_unique<RequestClient>();
    waiting->setTls(pinned());
    ASSERT_TRUE(waiting->connectAsync("127.0.0.1", silent.port(), routine, destroyed.routine()));
    std::this_thread::sleep_for(150ms);
    const auto start = std::chrono::steady_clock::now();
    waiting.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(destroyed.calls(), 1);
    EXPECT_EQ(destroyed.why(), ConnectError::Cancelled);
}
