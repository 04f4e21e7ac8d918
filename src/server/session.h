#pragma once

// One client connection: a reader that decodes frames and runs each request to its
// replies, a writer that drains a bounded queue of framed bytes, and a watchdog for
// the heartbeat and idle connections. All three run on the session's strand (the reader
// and, while it has work, the writer as coroutines; the watchdog as a timer's handler),
// so the session's state needs no lock.

#include "protocol/frame.h"
#include "server/handlers.h"

#include <asio/any_io_executor.hpp>
#include <asio/awaitable.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/ssl/context.hpp>
#include <asio/ssl/stream.hpp>
#include <asio/steady_timer.hpp>

#include <atomic>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell::server {

struct Routed;

struct SessionServices
{
    const Config &config;
    db::Database &database;
    const HandlerTable &handlers;
    // Where the account requests run: their password hashing takes tens of milliseconds
    // of CPU each, and a burst of logins must not hold up every other connection's
    // heartbeat and requests. Without one they run on the io threads like the rest.
    std::optional<asio::any_io_executor> slowLane = std::nullopt;
    // With a context every connection speaks TLS.
    asio::ssl::context *tls = nullptr;
    // Partial frames held by every session together, against config.maxBufferedTotal.
    std::atomic<std::size_t> *bufferedTotal = nullptr;
    // A session logged in to an account (sessionId, accountId).
    std::function<void(std::uint64_t, std::int64_t)> loggedIn = nullptr;
    // The account's password changed in session `keep`: every other session of it ends.
    std::function<void(std::int64_t account, std::uint64_t keep)> endOtherSessions = nullptr;
};

class Session final : public std::enable_shared_from_this<Session>
{
public:
    // A peer that stops reading is cut off once this much is waiting for it.
    static constexpr std::size_t kMaxQueuedBytes = 4 * 1024 * 1024;

    using ClosedCallback = std::function<void(std::uint64_t id)>;

    // `socket` must run on a strand of its own.
    Session(asio::ip::tcp::socket socket, std::uint64_t id, const SessionServices &services,
            ClosedCallback onClosed, std::string peerAddress = {});
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    void start();
    // Graceful: the request being handled finishes, then a LEN 0 frame, then close.
    // Safe from any thread.
    void stop();
    // Immediate close, for a stop that takes too long. Safe from any thread.
    void kill();
    // Graceful as stop(), for a session whose account changed its password elsewhere.
    void end(std::string_view reason);

    std::uint64_t id() const { return m_id; }

private:
    using Clock = std::chrono::steady_clock;

    asio::awaitable<void> handshake();
    asio::awaitable<void> readLoop();
    // Runs while the queue holds something; started by startWriter.
    asio::awaitable<void> writeLoop();
    void startWriter();
    // The watchdog: a timer wait rather than a coroutine, armed by watch().
    void watch();
    void onWatch();
    void checkDeadlines();

    bool checkChunkHeaders(std::string_view bytes);
    asio::awaitable<void> handlePayload(std::string payload);
    void deliver(const Routed &routed);
    void send(std::string_view payload);
    void enqueue(std::string wire);
    void beginClose(std::string_view reason);
    void abort(std::string_view reason);
    // Accounts the decoder's partial frame against the servers' total; false when the
    // total would pass its bound.
    bool trackBuffered();
    void releaseBuffered();
    // Tells the server of a login and of a password change the request just made.
    void afterRequest(std::int64_t accountBefore);
    asio::ip::tcp::socket &socket() { return m_tls ? m_tls->next_layer() : m_socket; }
    // The session's strand.
    asio::any_io_executor executor() { return m_socket.get_executor(); }

    // Unused (closed) when m_tls holds the connection; its executor is the session's strand.
    asio::ip::tcp::socket m_socket;
    std::unique_ptr<asio::ssl::stream<asio::ip::tcp::socket>> m_tls;
    asio::steady_timer m_watch; // heartbeat, idle and closing deadlines
    std::uint64_t m_id;
    SessionServices m_services;
    ClosedCallback m_onClosed;
    SessionState m_state;

    protocol::FrameEncoder m_encoder;
    protocol::FrameDecoder m_decoder;
    // Chunk boundaries are followed here as well, because the server refuses a bad
    // chunk header wherever it stands, where a client would resynchronise.
    std::size_t m_headerFill = 0;
    unsigned char m_header[protocol::kChunkHeaderSize] = {};
    std::size_t m_pieceLeft = 0;

    // Frames waiting for the writer. A vector, since an empty deque still holds a block.
    std::vector<std::string> m_queue;
    std::size_t m_queuedBytes = 0; // queued plus being written
    std::size_t m_buffered = 0;    // this session's share of *bufferedTotal
    Clock::time_point m_connectedAt;
    Clock::time_point m_lastActivity;
    Clock::time_point m_nextProbe;
    Clock::time_point m_closeDeadline;
    bool m_busy = false;          // a request is being handled in the slow lane
    bool m_writing = false;       // writeLoop is running
    bool m_stopRequested = false; // close once the request being handled is answered
    bool m_closing = false;       // LEN 0 queued: nothing more is sent or handled
    bool m_closed = false;        // socket closed
    bool m_ready = false;         // TLS handshake done (at once without TLS)
};

} // namespace vantrell::server
