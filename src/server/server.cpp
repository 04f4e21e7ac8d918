#include "server/server.h"

#include "server/log.h"

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/post.hpp>
#include <asio/use_awaitable.hpp>

#include <csignal>
#include <exception>
#include <thread>
#include <vector>

namespace vantrell::server {

namespace {
constexpr auto kUseTuple = asio::experimental::as_tuple(asio::use_awaitable);
}

Server::Server(Config config, db::Database &database, HandlerTable handlers)
    : m_config(std::move(config)),
      m_handlers(std::move(handlers)), m_services{m_config, database, m_handlers},
      m_strand(asio::make_strand(m_io)), m_acceptor(m_strand), m_signals(m_strand), m_stopTimer(m_strand),
      m_slowLane(static_cast<std::size_t>(threadCount()))
{
    m_services.slowLane = m_slowLane.get_executor();
}

int Server::threadCount() const
{
    if (m_config.threads > 0)
        return m_config.threads;
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

Server::~Server() = default;

void Server::listen()
{
    const asio::ip::tcp::endpoint endpoint(asio::ip::make_address(m_config.listenAddress), m_config.port);
    m_acceptor.open(endpoint.protocol());
    m_acceptor.set_option(asio::ip::tcp::acceptor::reuse_address(true));
    m_acceptor.bind(endpoint);
    m_acceptor.listen(asio::socket_base::max_listen_connections);
    logEvent(LogLevel::Info, "listening", 0, {}, "port " + std::to_string(port()));
}

unsigned short Server::port() const
{
    return m_acceptor.local_endpoint().port();
}

void Server::stopOnSignals()
{
    m_signals.add(SIGINT);
    m_signals.add(SIGTERM);
    m_signals.async_wait([this](const asio::error_code &ec, int) {
        if (!ec)
            stopOnStrand();
    });
}

void Server::run()
{
    startAccepting();
    const int count = threadCount();
    std::vector<std::thread> threads;
    for (int i = 1; i < count; ++i)
        threads.emplace_back([this] { runThread(); });
    runThread();
    for (std::thread &thread : threads)
        thread.join();
    logEvent(LogLevel::Info, "stopped");
}

void Server::runThread()
{
    for (;;) {
        try {
            m_io.run();
            return;
        } catch (const std::exception &error) {
            // One connection's fault must not take the others down with the thread.
            logEvent(LogLevel::Error, "io thread fault", 0, {}, error.what());
        }
    }
}

void Server::startAccepting()
{
    asio::co_spawn(
        m_strand,
        [this]() -> asio::awaitable<void> {
            asio::steady_timer pause(m_strand);
            while (!m_stopping) {
                auto [ec, socket] = co_await m_acceptor.async_accept(asio::make_strand(m_io), kUseTuple);
                if (m_stopping || ec == asio::error::operation_aborted)
                    co_return;
                if (ec) {
                    // Out of descriptors and the like: the server stays up, new clients wait.
                    logEvent(LogLevel::Warn, "accept failed", 0, {}, ec.message());
                    pause.expires_after(std::chrono::milliseconds(100));
                    co_await pause.async_wait(kUseTuple);
                    continue;
                }
                asio::error_code ignored;
                socket.set_option(asio::ip::tcp::no_delay(true), ignored);
                const std::uint64_t id = ++m_nextId;
                auto session = std::make_shared<Session>(
                    std::move(socket), id, m_services, [this](std::uint64_t gone) { onSessionClosed(gone); });
                {
                    std::lock_guard lock(m_mutex);
                    m_sessions.emplace(id, session);
                }
                session->start();
            }
        },
        asio::detached);
}

void Server::stop()
{
    asio::post(m_strand, [this] { stopOnStrand(); });
}

void Server::stopOnStrand()
{
    if (m_stopping.exchange(true))
        return;
    logEvent(LogLevel::Info, "stopping");
    asio::error_code ignored;
    m_acceptor.close(ignored);
    m_signals.cancel(ignored);
    std::vector<std::shared_ptr<Session>> live;
    {
        std::lock_guard lock(m_mutex);
        for (const auto &[id, weak] : m_sessions) {
            if (auto session = weak.lock())
                live.push_back(std::move(session));
        }
    }
    if (live.empty())
        return;
    for (const auto &session : live)
        session->stop();
    m_stopTimer.expires_after(kStopTimeout);
    m_stopTimer.async_wait([this](const asio::error_code &ec) {
        if (ec)
            return;
        // Collected first: dropping the last reference runs onSessionClosed, which locks.
        std::vector<std::shared_ptr<Session>> stuck;
        {
            std::lock_guard lock(m_mutex);
            for (const auto &[id, weak] : m_sessions) {
                if (auto session = weak.lock())
                    stuck.push_back(std::move(session));
            }
        }
        for (const auto &session : stuck)
            session->kill();
    });
}

void Server::onSessionClosed(std::uint64_t id)
{
    std::lock_guard lock(m_mutex);
    m_sessions.erase(id);
    if (m_stopping && m_sessions.empty())
        asio::post(m_strand, [this] { m_stopTimer.cancel(); });
}

std::size_t Server::sessionCount() const
{
    std::lock_guard lock(m_mutex);
    return m_sessions.size();
}

} // namespace vantrell::server
