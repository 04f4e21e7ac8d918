#include "server/session.h"

#include "protocol/gbk.h"
#include "server/log.h"
#include "server/router.h"

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/post.hpp>
#include <asio/use_awaitable.hpp>
#include <asio/write.hpp>

#include <array>
#include <atomic>
#include <cstring>
#include <tuple>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vantrell::server {

namespace {

constexpr auto kUseTuple = asio::experimental::as_tuple(asio::use_awaitable);
constexpr int kIdlePeriods = 3;
// After our LEN 0 the peer gets this long to close its side before we cut it off.
constexpr auto kCloseGrace = std::chrono::seconds(2);

std::uint32_t readLe32(const unsigned char *p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

constexpr std::size_t kReadSize = 16384;

// A plain connection waits until its socket is readable and then reads into the buffer of
// the io thread it runs on, so an idle connection holds no read buffer of its own. The
// bytes are decoded before anything else runs on the thread.
asio::mutable_buffer threadReadBuffer()
{
    thread_local std::array<char, kReadSize> buffer;
    return asio::buffer(buffer);
}

// Memory of closed sessions goes back to the system: freed heap pages stay with the
// process otherwise, scattered among the live sessions' blocks. Trimmed whenever the
// sessions have halved since the last trim (or the peak after it), and when the last
// one closes: a few trims per wave of disconnections, not one per session.
std::atomic<std::size_t> g_liveSessions{0};
std::atomic<std::size_t> g_trimMark{0};
constexpr std::size_t kTrimAbove = 64;

void sessionOpened()
{
    const std::size_t live = ++g_liveSessions;
    std::size_t mark = g_trimMark.load();
    while (live > mark && !g_trimMark.compare_exchange_weak(mark, live)) {
    }
}

void sessionClosed()
{
    const std::size_t live = --g_liveSessions;
    std::size_t mark = g_trimMark.load();
    const bool halved = mark >= kTrimAbove && live <= mark / 2;
    if ((halved || (live == 0 && mark > 0)) && g_trimMark.compare_exchange_strong(mark, live)) {
#if defined(__GLIBC__)
        ::malloc_trim(0);
#endif
    }
}

} // namespace

Session::Session(asio::ip::tcp::socket socket, std::uint64_t id, const SessionServices &services,
                 ClosedCallback onClosed, std::string peerAddress)
    : m_socket(socket.get_executor()), m_watch(socket.get_executor()), m_id(id), m_services(services),
      m_onClosed(std::move(onClosed)), m_decoder(services.config.maxFrameSize)
{
    sessionOpened();
    m_state.peerAddress = std::move(peerAddress);
    if (services.tls)
        m_tls = std::make_unique<asio::ssl::stream<asio::ip::tcp::socket>>(std::move(socket), *services.tls);
    else
        m_socket = std::move(socket);
}

Session::~Session()
{
    releaseBuffered();
    if (m_onClosed)
        m_onClosed(m_id);
    sessionClosed();
}

void Session::start()
{
    logEvent(LogLevel::Info, "connected", m_id, {}, m_tls ? "tls" : "");
    m_connectedAt = m_lastActivity = Clock::now();
    m_nextProbe = m_lastActivity + m_services.config.heartbeatPeriod;
    // An idle session holds one coroutine (the reader) and one timer wait (the watchdog);
    // the writer runs only while there is something to send.
    asio::post(executor(), [self = shared_from_this()] {
        self->watch();
        if (self->m_tls) {
            asio::co_spawn(
                self->executor(), [self] { return self->handshake(); }, asio::detached);
        } else {
            self->m_ready = true;
            asio::co_spawn(
                self->executor(), [self] { return self->readLoop(); }, asio::detached);
        }
    });
}

asio::awaitable<void> Session::handshake()
{
    // A peer that never completes it is closed by the login timeout.
    const auto [ec] = co_await m_tls->async_handshake(asio::ssl::stream_base::server, kUseTuple);
    if (ec) {
        abort(ec == asio::error::eof ? "peer closed during tls handshake" : "tls handshake failed");
        co_return;
    }
    if (m_closed)
        co_return;
    m_ready = true;
    startWriter();
    co_await readLoop();
}

void Session::stop()
{
    asio::post(executor(), [self = shared_from_this()] {
        if (self->m_busy)
            self->m_stopRequested = true;
        else
            self->beginClose("server stopping");
    });
}

void Session::kill()
{
    asio::post(executor(), [self = shared_from_this()] { self->abort("stop took too long"); });
}

void Session::end(std::string_view reason)
{
    asio::post(executor(), [self = shared_from_this(), reason = std::string(reason)] {
        if (self->m_busy)
            self->m_stopRequested = true;
        else
            self->beginClose(reason);
    });
}

asio::awaitable<void> Session::readLoop()
{
    // TLS may hold decrypted bytes that the socket no longer shows, so a TLS session
    // reads into a buffer of its own.
    std::unique_ptr<char[]> tlsBuffer;
    if (m_tls)
        tlsBuffer = std::make_unique<char[]>(kReadSize);
    else {
        asio::error_code ignored; // a socket that cannot be made so fails its first read
        m_socket.non_blocking(true, ignored);
    }
    std::vector<protocol::DecodedEvent> events;
    while (!m_closed) {
        asio::error_code ec;
        std::size_t n = 0;
        asio::mutable_buffer buffer;
        if (m_tls) {
            buffer = asio::buffer(tlsBuffer.get(), kReadSize);
            std::tie(ec, n) = co_await m_tls->async_read_some(buffer, kUseTuple);
        } else {
            std::tie(ec) = co_await m_socket.async_wait(asio::ip::tcp::socket::wait_read, kUseTuple);
            if (!ec && !m_closed) {
                buffer = threadReadBuffer();
                n = m_socket.read_some(buffer, ec);
                if (ec == asio::error::would_block || ec == asio::error::try_again)
                    continue;
            }
        }
        if (m_closed)
            co_return;
        if (ec) {
            abort(ec == asio::error::eof ? "peer closed" : "read failed");
            co_return;
        }
        if (m_closing)
            continue; // waiting for the peer to close after our LEN 0
        m_lastActivity = Clock::now();
        // The thread's buffer is read only up to the first co_await below.
        const std::string_view bytes(static_cast<const char *>(buffer.data()), n);
        if (!checkChunkHeaders(bytes)) {
            abort("bad chunk header");
            co_return;
        }
        events.clear();
        const auto status = m_decoder.feed(bytes, events);
        if (!trackBuffered()) {
            abort("server buffer limit");
            co_return;
        }
        for (auto &event : events) {
            if (event.kind == protocol::DecodedEvent::Kind::ConnectionLost) {
                abort("client closed");
                co_return;
            }
            co_await handlePayload(std::move(event.payload));
            if (m_stopRequested)
                beginClose(m_state.loggedIn() ? "server stopping or session ended" : "server stopping");
            if (m_closed || m_closing)
                break;
        }
        if (status == protocol::FrameDecoder::Status::ConnectionLost) {
            abort("bad frame");
            co_return;
        }
        // Time spent on the peer's requests is ours, not the peer's silence.
        if (!events.empty())
            m_lastActivity = Clock::now();
    }
}

bool Session::checkChunkHeaders(std::string_view bytes)
{
    const std::size_t maxFrame = m_services.config.maxFrameSize;
    while (!bytes.empty()) {
        if (m_pieceLeft > 0) {
            const std::size_t take = std::min(m_pieceLeft, bytes.size());
            m_pieceLeft -= take;
            bytes.remove_prefix(take);
            continue;
        }
        const std::size_t take = std::min(protocol::kChunkHeaderSize - m_headerFill, bytes.size());
        std::memcpy(m_header + m_headerFill, bytes.data(), take);
        m_headerFill += take;
        bytes.remove_prefix(take);
        if (m_headerFill < protocol::kChunkHeaderSize)
            return std::memcmp(m_header, "EMSG", std::min<std::size_t>(m_headerFill, 4)) == 0;
        m_headerFill = 0;
        const std::uint32_t total = readLe32(m_header + 8);
        const std::uint32_t piece = readLe32(m_header + 16);
        if (std::memcmp(m_header, "EMSG", 4) != 0 || piece == 0 || piece > protocol::kMaxPieceSize ||
            piece > total || (maxFrame != 0 && total > maxFrame))
            return false;
        m_pieceLeft = piece;
    }
    return true;
}

asio::awaitable<void> Session::handlePayload(std::string payload)
{
    const std::int64_t before = m_state.accountId;
    if (!m_services.slowLane || laneOf(payload, m_services.handlers) != Lane::Slow) {
        deliver(routeRequest(payload, m_state, m_services.database, m_services.config, m_services.handlers));
        afterRequest(before);
        co_return;
    }
    // The reader waits for the answer, so the session's state is never shared, and
    // replies keep the order of the requests.
    m_busy = true;
    const Routed routed = co_await asio::co_spawn(
        *m_services.slowLane,
        [this, &payload]() -> asio::awaitable<Routed> {
            co_return routeRequest(payload, m_state, m_services.database, m_services.config,
                                   m_services.handlers);
        },
        asio::use_awaitable);
    m_busy = false;
    deliver(routed);
    afterRequest(before);
}

void Session::afterRequest(std::int64_t accountBefore)
{
    if (m_state.accountId != 0 && m_state.accountId != accountBefore && m_services.loggedIn)
        m_services.loggedIn(m_id, m_state.accountId);
    if (m_state.ended) {
        beginClose("password changed in another session");
        return;
    }
    if (m_state.endOtherSessions) {
        m_state.endOtherSessions = false;
        if (m_services.endOtherSessions)
            m_services.endOtherSessions(m_state.accountId, m_id);
    }
}

bool Session::trackBuffered()
{
    if (!m_services.bufferedTotal)
        return true;
    const std::size_t now = m_decoder.bufferedBytes();
    if (now >= m_buffered) {
        const std::size_t grown = now - m_buffered;
        m_buffered = now;
        return m_services.bufferedTotal->fetch_add(grown) + grown <= m_services.config.maxBufferedTotal;
    }
    m_services.bufferedTotal->fetch_sub(m_buffered - now);
    m_buffered = now;
    return true;
}

void Session::releaseBuffered()
{
    if (m_services.bufferedTotal && m_buffered > 0)
        m_services.bufferedTotal->fetch_sub(m_buffered);
    m_buffered = 0;
}

void Session::deliver(const Routed &routed)
{
    if (routed.failed) {
        logEvent(LogLevel::Error, "handler failed", m_id, routed.name, routed.detail);
    } else if (!routed.refusal.empty()) {
        logEvent(LogLevel::Warn, "refused", m_id, routed.name, routed.refusal);
    }
    for (const std::string &reply : routed.replies)
        send(reply);
}

void Session::send(std::string_view payload)
{
    std::string wire;
    m_encoder.encodeTo(payload, wire);
    if (!wire.empty())
        enqueue(std::move(wire));
}

void Session::enqueue(std::string wire)
{
    if (m_closing || m_closed)
        return;
    m_queuedBytes += wire.size();
    m_queue.push_back(std::move(wire));
    if (m_queuedBytes > kMaxQueuedBytes) {
        abort("peer not reading");
        return;
    }
    startWriter();
}

void Session::startWriter()
{
    if (m_writing || !m_ready || m_closed)
        return;
    m_writing = true;
    asio::co_spawn(
        executor(), [self = shared_from_this()] { return self->writeLoop(); }, asio::detached);
}

asio::awaitable<void> Session::writeLoop()
{
    std::vector<std::string> batch;
    std::vector<asio::const_buffer> buffers;
    while (!m_queue.empty() && !m_closed) {
        const auto take = static_cast<std::ptrdiff_t>(std::min<std::size_t>(m_queue.size(), 64));
        batch.assign(std::make_move_iterator(m_queue.begin()),
                     std::make_move_iterator(m_queue.begin() + take));
        m_queue.erase(m_queue.begin(), m_queue.begin() + take);
        buffers.clear();
        std::size_t bytes = 0;
        for (const std::string &wire : batch) {
            buffers.emplace_back(asio::buffer(wire));
            bytes += wire.size();
        }
        const auto [ec, n] = m_tls ? co_await asio::async_write(*m_tls, buffers, kUseTuple)
                                   : co_await asio::async_write(m_socket, buffers, kUseTuple);
        m_queuedBytes -= bytes;
        if (ec) {
            m_writing = false;
            abort("write failed");
            co_return;
        }
    }
    m_writing = false;
    if (m_closed)
        co_return;
    if (m_closing) {
        // Everything, the LEN 0 frame last, is out: half-close and let the peer finish.
        asio::error_code ignored;
        socket().shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    }
    // A burst's queue is not kept by a session that has gone quiet.
    if (m_queue.capacity() > 16)
        std::vector<std::string>().swap(m_queue);
}

void Session::watch()
{
    if (m_closed)
        return;
    const auto period = m_services.config.heartbeatPeriod;
    const auto loginDeadline = m_connectedAt + m_services.config.loginTimeout;
    const auto idleDeadline = m_lastActivity + kIdlePeriods * period;
    // The login deadline matters only until the login; m_state is the reader's while
    // a request runs in the slow lane.
    const bool awaitingLogin = !m_busy && !m_state.loggedIn();
    auto wake = std::min(idleDeadline, m_nextProbe);
    if (awaitingLogin)
        wake = std::min(wake, loginDeadline);
    m_watch.expires_at(m_closing ? m_closeDeadline : wake);
    m_watch.async_wait([self = shared_from_this()](const asio::error_code &) { self->onWatch(); });
}

// The watchdog's turn: a deadline passed, or beginClose or abort cancelled the wait.
void Session::onWatch()
{
    if (m_closed)
        return;
    checkDeadlines();
    watch();
}

void Session::checkDeadlines()
{
    const auto period = m_services.config.heartbeatPeriod;
    static const std::string probe = protocol::gbk("心跳包|");
    const auto loginDeadline = m_connectedAt + m_services.config.loginTimeout;
    const auto now = Clock::now();
    if (m_closing) {
        if (now >= m_closeDeadline)
            abort("peer did not close");
        return;
    }
    if (m_busy) {
        m_lastActivity = now; // waiting for our answer is not silence
    } else if (!m_state.loggedIn() && now >= loginDeadline) {
        beginClose("no login in time");
        return;
    }
    if (now >= m_lastActivity + kIdlePeriods * period) {
        // Under load the reader may not have run yet although the peer did send.
        asio::error_code ec;
        if (socket().available(ec) > 0 && !ec) {
            m_lastActivity = now;
            return;
        }
        beginClose("idle");
    } else if (now >= m_nextProbe && m_ready) {
        send(probe);
        m_nextProbe = now + period;
    }
}

void Session::beginClose(std::string_view reason)
{
    if (m_closing || m_closed)
        return;
    logEvent(LogLevel::Info, "closing", m_id, {}, reason);
    std::string wire = m_encoder.encodeClose();
    m_queuedBytes += wire.size();
    m_queue.push_back(std::move(wire));
    m_closing = true;
    m_closeDeadline = Clock::now() + kCloseGrace;
    startWriter();
    m_watch.cancel();
}

void Session::abort(std::string_view reason)
{
    if (m_closed)
        return;
    m_closed = true;
    logEvent(LogLevel::Info, "disconnected", m_id, {}, reason);
    asio::error_code ignored;
    socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket().close(ignored);
    m_watch.cancel();
    releaseBuffered();
}

} // namespace vantrell::server
