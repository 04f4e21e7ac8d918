#include "client/net/requestclient.h"

#include "protocol/md5.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#pragma comment(lib, "ws2_32.lib")
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace vantrell::net {

namespace {

constexpr int kWaitMs = 1000;
constexpr int kMaxTimeouts = 20;
constexpr std::size_t kReadSize = 10240;
constexpr int kCancelLookMs = 50; // a waiting connect looks for a cancel this often

#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
constexpr int kShutBoth = SD_BOTH;
constexpr int kSendFlags = 0;
using IoResult = int;

int lastError()
{
    return WSAGetLastError();
}
bool wouldBlock(int error)
{
    return error == WSAEWOULDBLOCK;
}
bool interrupted(int error)
{
    return error == WSAEINTR;
}
void closeSocket(Socket s)
{
    closesocket(s);
}

bool setNonBlocking(Socket s)
{
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
}

int pollOne(Socket s, short events, int waitMs = kWaitMs)
{
    WSAPOLLFD p{s, events, 0};
    return WSAPoll(&p, 1, waitMs);
}

bool connectPending(int error)
{
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS;
}

// WSAPoll needs version 2.2 of the socket layer.
bool startSocketLayer()
{
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}
void stopSocketLayer()
{
    WSACleanup();
}
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
constexpr int kShutBoth = SHUT_RDWR;
constexpr int kSendFlags = MSG_NOSIGNAL;
using IoResult = ssize_t;

int lastError()
{
    return errno;
}
bool wouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}
bool interrupted(int error)
{
    return error == EINTR;
}
void closeSocket(Socket s)
{
    ::close(s);
}

bool setNonBlocking(Socket s)
{
    const int flags = ::fcntl(s, F_GETFL, 0);
    return flags >= 0 && ::fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
}

int pollOne(Socket s, short events, int waitMs = kWaitMs)
{
    pollfd p{s, events, 0};
    return ::poll(&p, 1, waitMs);
}

// An interrupted connect goes on in the background like one in progress.
bool connectPending(int error)
{
    return error == EINPROGRESS || error == EINTR;
}

bool startSocketLayer()
{
    return true;
}
void stopSocketLayer() {}
#endif

bool resolve(const std::string &host, int port, sockaddr_in &address)
{
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (RequestClient::isDottedAddress(host)) {
        std::uint32_t value = 0;
        std::size_t start = 0;
        for (int part = 0; part < 4; ++part) {
            const std::size_t dot = host.find('.', start);
            const std::size_t end = dot == std::string::npos ? host.size() : dot;
            value = (value << 8) | static_cast<std::uint32_t>(std::stoi(host.substr(start, end - start)));
            start = end + 1;
        }
        address.sin_addr.s_addr = htonl(value);
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        return false;
    address.sin_addr = reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return true;
}

void discardSocket(Socket s)
{
    closeSocket(s);
    stopSocketLayer();
}

// Resolves the host and connects a non-blocking socket within `timeoutMs`, giving up
// early when `cancelled` turns true. Gives kNoSocket on failure. Name resolution may
// itself take a while, which is why the program calls this off the GUI thread.
Socket openSocket(const std::string &host, int port, int timeoutMs, const std::atomic<bool> *cancelled)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    if (!startSocketLayer())
        return kNoSocket;
    sockaddr_in address;
    if (!resolve(host, port, address)) {
        stopSocketLayer();
        return kNoSocket;
    }
    const Socket s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == kNoSocket) {
        stopSocketLayer();
        return kNoSocket;
    }
    if (!setNonBlocking(s)) {
        discardSocket(s);
        return kNoSocket;
    }
    if (::connect(s, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
        return s;
    if (!connectPending(lastError())) {
        discardSocket(s);
        return kNoSocket;
    }
    // Writable means the handshake ended, one way or the other; the socket's pending
    // error tells which.
    while (true) {
        if (cancelled && *cancelled) {
            discardSocket(s);
            return kNoSocket;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            discardSocket(s);
            return kNoSocket;
        }
        const int ready = pollOne(s, POLLOUT, static_cast<int>(std::min<long long>(left, kCancelLookMs)));
        if (ready > 0)
            break;
        if (ready < 0 && !interrupted(lastError())) {
            discardSocket(s);
            return kNoSocket;
        }
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&error), &length) != 0 || error != 0) {
        discardSocket(s);
        return kNoSocket;
    }
    return s;
}

} // namespace

struct RequestClient::Connection
{
    Socket socket = kNoSocket;
    std::atomic<bool> stopped{true};
    EventRoutine routine;
    ConnectDone connected; // of connectAsync; the dispatcher calls it first

    std::mutex sendGuard;
    std::condition_variable sendReady;
    std::deque<std::string> sendQueue;

    std::mutex eventGuard;
    std::condition_variable eventReady;
    std::deque<Event> eventQueue;

    std::thread receiver;
    std::thread sender;
    std::thread dispatcher;
};

struct RequestClient::Attempt
{
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
    std::thread thread;
};

RequestClient::RequestClient() = default;

RequestClient::~RequestClient()
{
    disconnect();
    // A cancelled connector still takes the lifecycle lock once before it ends.
    std::vector<std::shared_ptr<Attempt>> attempts;
    {
        std::lock_guard lifecycle(m_lifecycle);
        attempts.swap(m_attempts);
    }
    for (const auto &attempt : attempts) {
        if (attempt->thread.joinable())
            attempt->thread.join();
    }
    std::lock_guard lifecycle(m_lifecycle);
    if (m_connection)
        reap(*m_connection);
}

std::shared_ptr<RequestClient::Connection> RequestClient::current() const
{
    std::lock_guard guard(m_currentGuard);
    return m_connection;
}

bool RequestClient::isRunning() const
{
    const auto c = current();
    return c && !c->stopped;
}

int RequestClient::sequence() const
{
    std::lock_guard guard(m_encoderGuard);
    return m_encoder.sequence();
}

bool RequestClient::isConnecting() const
{
    std::lock_guard lifecycle(m_lifecycle);
    return m_attempt != nullptr;
}

bool RequestClient::connect(const std::string &host, int port, EventRoutine routine, int timeoutMs)
{
    std::lock_guard lifecycle(m_lifecycle);
    if (isRunning() || m_attempt || port < 0 || port > 65535 || !routine)
        return false;
    const Socket s = openSocket(host, port, timeoutMs, nullptr);
    if (s == kNoSocket)
        return false;
    auto c = std::make_shared<Connection>();
    c->socket = s;
    c->routine = std::move(routine);
    install(std::move(c));
    return true;
}

bool RequestClient::connectAsync(const std::string &host, int port, EventRoutine routine, ConnectDone done,
                                 int timeoutMs)
{
    std::lock_guard lifecycle(m_lifecycle);
    if (isRunning() || m_attempt || port < 0 || port > 65535 || !routine || !done)
        return false;
    reapFinishedAttempts();
    auto attempt = std::make_shared<Attempt>();
    attempt->thread = std::thread(&RequestClient::connectorLoop, this, attempt, host, port,
                                  std::move(routine), std::move(done), timeoutMs);
    m_attempt = attempt;
    m_attempts.push_back(std::move(attempt));
    return true;
}

void RequestClient::cancelConnect()
{
    std::lock_guard lifecycle(m_lifecycle);
    if (m_attempt) {
        m_attempt->cancelled = true;
        m_attempt.reset();
    }
}

void RequestClient::connectorLoop(std::shared_ptr<Attempt> attempt, std::string host, int port,
                                  EventRoutine routine, ConnectDone done, int timeoutMs)
{
    const Socket s = openSocket(host, port, timeoutMs, &attempt->cancelled);
    {
        // A cancel takes the same lock, so after cancelConnect() returns this attempt
        // can no longer become the connection.
        std::lock_guard lifecycle(m_lifecycle);
        if (m_attempt == attempt)
            m_attempt.reset();
        if (s != kNoSocket && !attempt->cancelled && !isRunning()) {
            auto c = std::make_shared<Connection>();
            c->socket = s;
            c->routine = std::move(routine);
            c->connected = std::move(done);
            install(std::move(c));
            attempt->finished = true;
            return;
        }
    }
    if (s != kNoSocket)
        discardSocket(s);
    done(false);
    attempt->finished = true;
}

void RequestClient::install(std::shared_ptr<Connection> c)
{
    if (m_connection)
        reap(*m_connection);
    c->stopped = false;
    {
        std::lock_guard guard(m_currentGuard);
        m_connection = c;
    }
    // The dispatcher starts last: a teardown on it joins the other two.
    c->receiver = std::thread(&RequestClient::receiverLoop, this, c);
    c->sender = std::thread(&RequestClient::senderLoop, this, c);
    c->dispatcher = std::thread(&RequestClient::dispatcherLoop, this, c);
}

// Joins the connector threads that have ended (a cancelled one may still be resolving).
void RequestClient::reapFinishedAttempts()
{
    const auto end = std::remove_if(m_attempts.begin(), m_attempts.end(), [](const auto &attempt) {
        if (!attempt->finished || attempt->thread.get_id() == std::this_thread::get_id())
            return false;
        attempt->thread.join();
        return true;
    });
    m_attempts.erase(end, m_attempts.end());
}

void RequestClient::disconnect()
{
    std::lock_guard lifecycle(m_lifecycle);
    if (m_attempt) {
        m_attempt->cancelled = true;
        m_attempt.reset();
    }
    const auto c = current();
    if (!c || c->stopped.exchange(true))
        return;
    teardown(*c, false);
}

bool RequestClient::send(std::string_view payload)
{
    const auto c = current();
    if (!c || c->stopped)
        return false;
    {
        std::lock_guard guard(c->sendGuard);
        c->sendQueue.emplace_back(payload);
    }
    c->sendReady.notify_one();
    return true;
}

int RequestClient::eventKind(const Event *event) const
{
    if (event == nullptr || !isRunning())
        return -1;
    return event->kind;
}

bool RequestClient::eventData(const Event *event, std::string &out) const
{
    if (event == nullptr || event->kind != Event::Data || !isRunning())
        return false;
    out = event->payload;
    return true;
}

std::string RequestClient::textDigest(std::string_view bytes)
{
    return protocol::md5Hex(bytes);
}

bool RequestClient::isDottedAddress(std::string_view host)
{
    int parts = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = host.find('.', start);
        const std::string_view part =
            host.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (part.empty() || part.size() > 3 ||
            !std::all_of(part.begin(), part.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
            return false;
        int value = 0;
        for (char ch : part)
            value = value * 10 + (ch - '0');
        if (value > 255)
            return false;
        ++parts;
        if (dot == std::string_view::npos)
            break;
        start = dot + 1;
    }
    return parts == 4;
}

void RequestClient::receiverLoop(std::shared_ptr<Connection> c)
{
    protocol::FrameDecoder decoder;
    std::vector<protocol::DecodedEvent> decoded;
    std::vector<char> buffer(kReadSize);
    int timeouts = 0;
    while (!c->stopped) {
        const IoResult n = ::recv(c->socket, buffer.data(), static_cast<int>(buffer.size()), 0);
        if (n > 0) {
            timeouts = 0;
            decoded.clear();
            const auto status =
                decoder.feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)), decoded);
            bool ended = false;
            if (!decoded.empty()) {
                {
                    std::lock_guard guard(c->eventGuard);
                    for (auto &d : decoded) {
                        if (d.kind == protocol::DecodedEvent::Kind::ConnectionLost) {
                            c->eventQueue.push_back(Event{Event::ConnectionLost, {}, {}});
                            ended = true;
                            break;
                        }
                        c->eventQueue.push_back(
                            Event{Event::Data, std::move(d.payload), std::move(d.number)});
                    }
                }
                c->eventReady.notify_one();
            }
            if (ended)
                return;
            if (status == protocol::FrameDecoder::Status::ConnectionLost)
                break;
            continue;
        }
        if (n == 0)
            break;
        const int error = lastError();
        if (interrupted(error))
            continue;
        if (!wouldBlock(error))
            break;
        const int ready = pollOne(c->socket, POLLIN);
        if (ready > 0) {
            timeouts = 0;
        } else if (ready == 0) {
            if (++timeouts > kMaxTimeouts) {
                decoder.reset();
                timeouts = 0;
            }
        } else if (!interrupted(lastError())) {
            break;
        }
    }
    if (c->stopped)
        return;
    {
        std::lock_guard guard(c->eventGuard);
        c->eventQueue.push_back(Event{Event::ConnectionLost, {}, {}});
    }
    c->eventReady.notify_one();
}

void RequestClient::senderLoop(std::shared_ptr<Connection> c)
{
    std::string wire;
    while (true) {
        std::string payload;
        {
            std::unique_lock guard(c->sendGuard);
            c->sendReady.wait(guard, [&] { return c->stopped || !c->sendQueue.empty(); });
            if (c->stopped)
                return;
            payload = std::move(c->sendQueue.front());
            c->sendQueue.pop_front();
        }
        wire.clear();
        {
            std::lock_guard guard(m_encoderGuard);
            m_encoder.encodeTo(payload, wire);
        }
        // A message that cannot be written (21 waits in a row without room, or a write
        // error) is abandoned; the connection stays up.
        std::size_t done = 0;
        int timeouts = 0;
        while (done < wire.size() && !c->stopped) {
            const std::size_t want = std::min<std::size_t>(wire.size() - done, INT_MAX);
            const IoResult n = ::send(c->socket, wire.data() + done, static_cast<int>(want), kSendFlags);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0) {
                const int error = lastError();
                if (interrupted(error))
                    continue;
                if (!wouldBlock(error))
                    break;
            }
            const int ready = pollOne(c->socket, POLLOUT);
            if (ready > 0) {
                timeouts = 0;
            } else if (ready == 0) {
                if (++timeouts > kMaxTimeouts)
                    break;
            } else if (!interrupted(lastError())) {
                break;
            }
        }
        if (wire.capacity() > (std::size_t{4} << 20))
            std::string().swap(wire);
    }
}

void RequestClient::dispatcherLoop(std::shared_ptr<Connection> c)
{
    // Told before any event, so whoever waits for the connect hears of it first.
    if (c->connected) {
        const ConnectDone connected = std::move(c->connected);
        connected(!c->stopped);
    }
    while (true) {
        Event event;
        {
            std::unique_lock guard(c->eventGuard);
            c->eventReady.wait(guard, [&] { return c->stopped || !c->eventQueue.empty(); });
            if (c->stopped)
                return;
            event = std::move(c->eventQueue.front());
            c->eventQueue.pop_front();
        }
        c->routine(event);
        if (event.kind == Event::ConnectionLost) {
            if (!c->stopped.exchange(true))
                teardown(*c, true);
            return;
        }
    }
}

// Runs on the thread that set the stopped flag: the caller of disconnect(), or the
// dispatcher after a connection-lost event. The socket is closed only after the
// workers have been joined so that its number cannot be reused under them.
void RequestClient::teardown(Connection &c, bool fromDispatcher)
{
    ::shutdown(c.socket, kShutBoth);
    {
        std::lock_guard guard(c.sendGuard);
    }
    c.sendReady.notify_all();
    {
        std::lock_guard guard(c.eventGuard);
    }
    c.eventReady.notify_all();

    c.receiver.join();
    c.sender.join();
    if (!fromDispatcher)
        reap(c);
    closeSocket(c.socket);
    c.socket = kNoSocket;
    stopSocketLayer();

    std::deque<std::string> sends;
    std::deque<Event> events;
    {
        std::lock_guard guard(c.sendGuard);
        sends.swap(c.sendQueue);
    }
    {
        std::lock_guard guard(c.eventGuard);
        events.swap(c.eventQueue);
    }
}

// Only the thread that owns the lifecycle touches the dispatcher's thread object.
void RequestClient::reap(Connection &c)
{
    if (!c.dispatcher.joinable())
        return;
    if (c.dispatcher.get_id() == std::this_thread::get_id())
        c.dispatcher.detach();
    else
        c.dispatcher.join();
}

} // namespace vantrell::net
