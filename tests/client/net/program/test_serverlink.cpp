// The program layer: replies hop to the GUI thread in order, deferred work keeps every
// request in order, connecting without holding up the GUI thread, connect failures and
// the connection-lost reset.

#include "client/core/appstate.h"
#include "client/core/text.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "protocol/frame.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"
#include "support/net/loopbackpeers.h"
#include "vantrell_config.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <arpa/inet.h>
#include <condition_variable>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace vantrell;
using client::ServerLink;
using client::WindowId;
using client::WindowRegistry;

namespace {

// A listening loopback socket that serves one connection with the given replies, then
// closes it. A held server sends them only once released.
class ScriptedServer
{
public:
    explicit ScriptedServer(std::vector<std::string> replies, bool held = false) : m_held(held)
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(m_listen, 1);
        socklen_t length = sizeof address;
        ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this, replies = std::move(replies)] {
            const int peer = ::accept(m_listen, nullptr, nullptr);
            if (peer < 0)
                return;
            {
                std::unique_lock lock(m_guard);
                m_releasedChanged.wait(lock, [this] { return !m_held; });
            }
            protocol::FrameEncoder encoder;
            std::string wire;
            for (const std::string &reply : replies)
                wire += encoder.encode(reply);
            ::send(peer, wire.data(), wire.size(), 0);
            char buffer[4096];
            // Read the client's requests for a moment, then hang up.
            timeval timeout{0, 300000};
            ::setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
            while (true) {
                const ssize_t got = ::recv(peer, buffer, sizeof buffer, 0);
                if (got <= 0)
                    break;
                m_received.append(buffer, got);
            }
            ::close(peer);
        });
    }
    ~ScriptedServer()
    {
        release();
        ::shutdown(m_listen, SHUT_RDWR);
        ::close(m_listen);
        if (m_thread.joinable())
            m_thread.join();
    }
    int port() const { return m_port; }
    void release()
    {
        {
            std::lock_guard lock(m_guard);
            m_held = false;
        }
        m_releasedChanged.notify_all();
    }
    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    const std::string &received() const { return m_received; }

private:
    int m_listen = -1;
    int m_port = 0;
    std::thread m_thread;
    std::string m_received;
    std::mutex m_guard;
    std::condition_variable m_releasedChanged;
    bool m_held = false;
};

int closedPort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(s);
    return ntohs(address.sin_port);
}

// Connects and announces; the result the caller was told, none when it never came.
std::optional<bool> connectAndWait(int timeoutMs = 5000)
{
    auto result = std::make_shared<std::optional<bool>>();
    ServerLink::instance().connectAndAnnounce([result](bool connected) { *result = connected; });
    test::waitFor([&] { return result->has_value(); }, timeoutMs);
    return *result;
}

// Restores the connect timeout and leaves the link disconnected.
struct LinkReset
{
    ~LinkReset()
    {
        ServerLink::instance().setConnectTimeout(net::RequestClient::kConnectTimeoutMs);
        ServerLink::instance().disconnect();
    }
};

// Records windows being hidden and boxes being shown, in one sequence.
QStringList g_sequence;

class RecordingWindow : public QWidget
{
public:
    explicit RecordingWindow(const QString &name) { setObjectName(name); }

protected:
    void hideEvent(QHideEvent *) override { g_sequence.append(QStringLiteral("hide ") + objectName()); }
    void showEvent(QShowEvent *) override { g_sequence.append(QStringLiteral("show ") + objectName()); }
};

class SequenceBoxes : public test::FakeMessageBoxes
{
public:
    client::MessageAnswer show(QWidget *parent, const QString &text, int style,
                               const QString &caption) override
    {
        g_sequence.append(QStringLiteral("box ") + text);
        // A real box runs an event loop: whatever is queued runs while it is open.
        QCoreApplication::sendPostedEvents();
        return FakeMessageBoxes::show(parent, text, style, caption);
    }
};

} // namespace

TEST(ServerLink, RepliesAreHandledOnTheGuiThreadInArrivalOrder)
{
    QPointer<QWidget> main = new QWidget; // the connection-lost reset closes it
    WindowRegistry::set(WindowId::Main, main);
    QStringList seen;
    bool offThread = false;
    client::ReplyDispatcher &dispatcher = client::ReplyDispatcher::instance();
    dispatcher.clear();
    dispatcher.on(protocol::Reply::OrderListReply, [&](const client::Reply &reply) {
        offThread = offThread || QThread::currentThread() != QCoreApplication::instance()->thread();
        seen.append(reply.value(QStringLiteral("序号")));
    });
    std::vector<std::string> replies;
    QStringList expected;
    for (int i = 0; i < 40; ++i) {
        replies.push_back(test::gbkPayload(QStringLiteral("基础通讯_返回订单列表|序号[%1]").arg(i)));
        expected.append(QString::number(i));
    }
    ScriptedServer server(replies);
    test::FakeMessageBoxes boxes;
    client::appState().serverHost = QStringLiteral("127.0.0.1");
    client::appState().serverPort = server.port();
    client::appState().programVersion = QStringLiteral("9.9.9");

    EXPECT_EQ(connectAndWait(), std::optional<bool>(true));
    EXPECT_TRUE(client::appState().connected);
    ASSERT_TRUE(test::waitFor([&] { return seen.size() == 40; }, 5000));
    EXPECT_EQ(seen, expected);
    EXPECT_FALSE(offThread);

    // The server hung up: the flag clears on the GUI thread and the reset runs.
    ASSERT_TRUE(test::waitFor([&] { return !client::appState().connected; }, 5000));
    server.join();
    EXPECT_NE(server.received().find(test::gbkPayload(QStringLiteral("版本验证_验证|版本号[9.9.9]"))),
              std::string::npos);
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::Main));
    ASSERT_TRUE(test::waitFor([&] { return main.isNull(); }, 5000));
    ASSERT_FALSE(boxes.shown().isEmpty());
    EXPECT_EQ(boxes.last().text, QString::fromUtf8(config::kConnectionLostText));
    ASSERT_TRUE(test::waitFor([&] { return !ServerLink::instance().client().isRunning(); }, 5000));
    dispatcher.clear(); // the handler holds this test's locals
}

TEST(ServerLink, EventsOfAnEarlierConnectionAreDropped)
{
    test::FakeMessageBoxes boxes;
    client::appState().serverHost = QStringLiteral("127.0.0.1");
    {
        ScriptedServer first({test::gbkPayload(QStringLiteral("提示信息_信息|内容[旧连接]"))}, true);
        client::appState().serverPort = first.port();
        ASSERT_EQ(connectAndWait(), std::optional<bool>(true));
        first.release();
        first.join(); // its reply and its hang-up are queued, not yet handled
    }
    ScriptedServer second({test::gbkPayload(QStringLiteral("提示信息_信息|内容[新连接]"))});
    client::appState().serverPort = second.port();
    client::appState().connected = false; // the user signs in again before the loss was handled
    ASSERT_EQ(connectAndWait(), std::optional<bool>(true));
    ASSERT_TRUE(test::waitFor([&] { return boxes.shown().size() == 1; }, 5000));
    EXPECT_EQ(boxes.last().text, QStringLiteral("新连接"));
    EXPECT_TRUE(client::appState().connected); // the old hang-up did not clear it
    ASSERT_TRUE(test::waitFor([&] { return !client::appState().connected; }, 5000));
    EXPECT_EQ(boxes.shown().size(), 1);
}

TEST(ServerLink, ConnectFailureShowsTheErrorBoxAndStaysDisconnected)
{
    test::FakeMessageBoxes boxes;
    client::appState().appTitle = QStringLiteral("供销通");
    client::appState().serverHost = QStringLiteral("127.0.0.1");
    client::appState().serverPort = closedPort();
    EXPECT_EQ(connectAndWait(), std::optional<bool>(false));
    EXPECT_FALSE(client::appState().connected);
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.last().text, QString::fromUtf8(config::kConnectErrorText));
    EXPECT_EQ(boxes.last().style, 16);
    EXPECT_EQ(boxes.last().caption, QStringLiteral("供销通"));

    client::appState().serverHost.clear(); // unresolvable at start-up
    ServerLink::instance().connectAndAnnounce();
    EXPECT_EQ(boxes.shown().size(), 2);
    EXPECT_FALSE(ServerLink::instance().sendRequest(QStringLiteral("心跳包"))); // stopped: nothing queued
}

TEST(ServerLinkConnect, AServerThatNeverAcceptsIsWaitedForOffTheGuiThreadThenGivenUp)
{
    test::StalledListener stalled;
    ASSERT_TRUE(stalled.stalled());
    LinkReset reset;
    test::FakeMessageBoxes boxes;
    client::appState().appTitle = QStringLiteral("供销通");
    client::appState().serverHost = QStringLiteral("127.0.0.1");
    client::appState().serverPort = stalled.port();
    ServerLink &link = ServerLink::instance();
    link.setConnectTimeout(800);

    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    QList<bool> told;
    QElapsedTimer clock;
    clock.start();
    link.connectAndAnnounce([&](bool connected) { told.append(connected); });
    EXPECT_LT(clock.elapsed(), 200);
    EXPECT_TRUE(link.isConnecting());
    link.connectAndAnnounce([&](bool connected) { told.append(connected); }); // joins the first

    ASSERT_TRUE(test::waitFor([&] { return !told.isEmpty(); }, 5000));
    EXPECT_GE(clock.elapsed(), 780);
    EXPECT_GE(ticks, 10) << "the event loop kept running";
    EXPECT_EQ(told, (QList<bool>{false, false}));
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.last().text, QString::fromUtf8(config::kConnectErrorText));
    EXPECT_EQ(boxes.last().style, 16);
    EXPECT_EQ(boxes.last().caption, QStringLiteral("供销通"));
    EXPECT_FALSE(link.isConnecting());
    EXPECT_FALSE(client::appState().connected);
    EXPECT_FALSE(link.client().isRunning());
}

TEST(ServerLinkConnect, DisconnectAbandonsAConnectQuietly)
{
    test::StalledListener stalled;
    ASSERT_TRUE(stalled.stalled());
    LinkReset reset;
    test::FakeMessageBoxes boxes;
    client::appState().serverHost = QStringLiteral("127.0.0.1");
    client::appState().serverPort = stalled.port();
    ServerLink &link = ServerLink::instance();
    link.setConnectTimeout(300);
    QList<bool> told;
    link.connectAndAnnounce([&](bool connected) { told.append(connected); });
    link.disconnect();
    EXPECT_EQ(told, QList<bool>{false});
    EXPECT_FALSE(link.isConnecting());
    QTest::qWait(600); // past the timeout: the abandoned connect says nothing
    EXPECT_TRUE(boxes.shown().isEmpty());
    EXPECT_EQ(told, QList<bool>{false});
}

TEST(ServerLinkConnect, VersionCheckLeadsAndTheCallerFollowsAfterThePause)
{
    test::RecordingPeer peer(2);
    LinkReset reset;
    test::FakeMessageBoxes boxes;
    client::appState().serverHost = QStringLiteral("127.0.0.1");
    client::appState().serverPort = peer.port();
    client::appState().programVersion = QStringLiteral("9.9.9");
    ServerLink &link = ServerLink::instance();
    QElapsedTimer clock;
    qint64 versionSentAt = -1;
    link.setRequestTap(
        [&](const QByteArray &) {
            if (versionSentAt < 0)
                versionSentAt = clock.elapsed();
        },
        false);
    clock.start();
    qint64 readyAt = -1;
    link.connectAndAnnounce([&](bool connected) {
        readyAt = clock.elapsed();
        if (connected)
            link.sendRequest(QStringLiteral("登陆系统_用户登陆"),
                             client::toGbk(QStringLiteral("用户名[甲]")));
    });
    ASSERT_TRUE(test::waitFor([&] { return readyAt >= 0; }, 5000));
    link.setRequestTap({}, false);
    EXPECT_TRUE(boxes.shown().isEmpty());
    ASSERT_GE(versionSentAt, 0);
    EXPECT_GE(readyAt - versionSentAt, 45);
    peer.join();
    const auto messages = peer.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].payload, test::gbkPayload(QStringLiteral("版本验证_验证|版本号[9.9.9]")));
    EXPECT_EQ(messages[1].payload, test::gbkPayload(QStringLiteral("登陆系统_用户登陆|用户名[甲]")));
    const int first = std::stoi(messages[0].number);
    EXPECT_EQ(messages[1].number, protocol::messageNumberText(first == 9999 ? 10 : first + 1));
}

TEST(ServerLink, DeferredCallsAndBoxesKeepEveryRequestInOrder)
{
    SequenceBoxes boxes;
    g_sequence.clear();
    ServerLink &link = ServerLink::instance();
    link.deferGuiCall([] { g_sequence.append(QStringLiteral("call 1")); });
    link.deferMessageBox(QStringLiteral("A"), 64, QStringLiteral("c"));
    link.deferMessageBox(QStringLiteral("B"), 16, QStringLiteral("c"));
    link.deferGuiCall([] { g_sequence.append(QStringLiteral("call 2")); });
    EXPECT_TRUE(g_sequence.isEmpty());
    test::processPending();
    // B waits for A to be closed although A's loop ran the queue.
    EXPECT_EQ(g_sequence, (QStringList{QStringLiteral("call 1"), QStringLiteral("box A"),
                                       QStringLiteral("call 2"), QStringLiteral("box B")}));
}

TEST(ServerLink, ConnectionLostResetClosesWindowsInOrderThenReturnsToLogin)
{
    SequenceBoxes boxes;
    const WindowId secondary[] = {
        WindowId::StatementCreation, WindowId::UserMenu,       WindowId::OrderViewing,
        WindowId::Registration,      WindowId::PersonalCentre, WindowId::GoodsChoosing,
        WindowId::ChangePassword,
    };
    for (WindowId id : secondary) {
        auto *window = new RecordingWindow(QString::number(int(id)));
        window->show();
        WindowRegistry::set(id, window);
    }
    auto *main = new RecordingWindow(QStringLiteral("main"));
    main->show();
    WindowRegistry::set(WindowId::Main, main);
    RecordingWindow login(QStringLiteral("login"));
    login.setWindowTitle(QStringLiteral("登录标题"));
    WindowRegistry::set(WindowId::Login, &login);
    client::appState().connected = true;
    client::appState().profileName = QStringLiteral("保留的姓名");
    g_sequence.clear();

    ServerLink::instance().connectionLostReset();

    const auto hide = [](WindowId id) {
        return QStringLiteral("hide ") + QString::number(int(id));
    };
    const QStringList expected{hide(WindowId::UserMenu),
                               hide(WindowId::PersonalCentre),
                               hide(WindowId::Registration),
                               hide(WindowId::ChangePassword),
                               hide(WindowId::GoodsChoosing),
                               hide(WindowId::OrderViewing),
                               hide(WindowId::StatementCreation),
                               QStringLiteral("box ") + QString::fromUtf8(config::kConnectionLostText),
                               QStringLiteral("hide main"),
                               QStringLiteral("show login")};
    EXPECT_EQ(g_sequence, expected);
    EXPECT_EQ(boxes.last().caption, QStringLiteral("登录标题"));
    EXPECT_EQ(boxes.last().style, 16);
    EXPECT_FALSE(client::appState().connected);
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::Main));
    EXPECT_TRUE(login.isVisible());
    EXPECT_EQ(client::appState().profileName, QStringLiteral("保留的姓名"));
    test::processPending();

    // Without a main window (still at the login window) nothing is shown.
    boxes.clear();
    ServerLink::instance().connectionLostReset();
    EXPECT_TRUE(boxes.shown().isEmpty());
    WindowRegistry::set(WindowId::Login, nullptr);
}
