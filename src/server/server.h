#pragma once

// Accepts connections and gives each its session; runs the io threads; stops
// gracefully on request or on SIGINT/SIGTERM.

#include "server/handlers.h"
#include "server/session.h"

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/signal_set.hpp>
#include <asio/ssl/context.hpp>
#include <asio/steady_timer.hpp>
#include <asio/strand.hpp>
#include <asio/thread_pool.hpp>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace vantrell::server {

class Server
{
public:
    // A stop gives the sessions this long to finish before they are cut off.
    static constexpr std::chrono::seconds kStopTimeout{5};

    // Throws std::runtime_error when the TLS certificate or key cannot be used.
    Server(Config config, db::Database &database, HandlerTable handlers);
    ~Server();
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    // Binds the listen address; throws std::system_error when it cannot.
    void listen();
    unsigned short port() const;
    // SIGINT and SIGTERM start a graceful stop. Call before run().
    void stopOnSignals();
    // Runs the io threads (this one among them) until the stop has finished.
    void run();
    // Stop accepting, let requests in flight finish, send each connection a LEN 0
    // frame and close it. Safe from any thread; run() returns when all is done.
    void stop();

    std::size_t sessionCount() const;
    const Config &config() const { return m_config; }

private:
    int threadCount() const;
    void runThread();
    void startAccepting();
    void onSessionClosed(std::uint64_t id);
    void stopOnStrand();
    // Whether a connection from `address` may be held; logs refusals once per address
    // and minute. Counts it when it may.
    bool admit(const std::string &address);
    void onLoggedIn(std::uint64_t session, std::int64_t account);
    void endOtherSessions(std::int64_t account, std::uint64_t keep);

    Config m_config;
    HandlerTable m_handlers;
    SessionServices m_services;
    // Declared before the io_context: sessions it still holds report to them as it goes.
    mutable std::mutex m_mutex;
    struct Held
    {
        std::weak_ptr<Session> session;
        std::string address;
        std::int64_t account = 0;
    };
    std::map<std::uint64_t, Held> m_sessions;
    std::unordered_map<std::string, std::size_t> m_perAddress;
    // When refusals of an address were last logged.
    std::unordered_map<std::string, std::chrono::steady_clock::time_point> m_refusalLogged;
    std::atomic<std::size_t> m_bufferedTotal{0};
    std::optional<asio::ssl::context> m_tls;
    std::atomic<bool> m_stopping{false};
    std::atomic<std::uint64_t> m_nextId{0};
    asio::io_context m_io;
    asio::strand<asio::io_context::executor_type> m_strand;
    asio::ip::tcp::acceptor m_acceptor;
    asio::signal_set m_signals;
    asio::steady_timer m_stopTimer;
    asio::thread_pool m_slowLane;
};

} // namespace vantrell::server
