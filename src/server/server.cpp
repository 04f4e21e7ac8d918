#include "server/server.h"

#include "server/log.h"

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/post.hpp>
#include <asio/use_awaitable.hpp>

#include <openssl/ssl.h>

#include <csignal>
#include <exception>
#include <stdexcept>
#include <thread>
#include <vector>

namespace vantrell::server {

namespace {

constexpr auto kUseTuple = asio::experimental::as_tuple(asio::use_awaitable);
constexpr auto kRefusalLogPeriod = std::chrono::minutes(1);

asio::ssl::context makeTlsContext(const Config &config)
{
    asio::ssl::context context(asio::ssl::context::tls_server);
    context.set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 |
                        asio::ssl::context::no_sslv3 | asio::ssl::context::no_tlsv1 |
                        asio::ssl::context::no_tlsv1_1 | asio::ssl::context::single_dh_use);
    SSL_CTX_set_min_proto_version(context.native_handle(), TLS1_2_VERSION);
    asio::error_code ec;
    context.use_certificate_chain_file(config.tlsCertFile, ec);
    if (ec)
        throw std::runtime_error("--tls-cert " + config.tlsCertFile + ": " + ec.message());
    context.use_private_key_file(config.tlsKeyFile, asio::ssl::context::pem, ec);
    if (ec)
        throw std::runtime_error("--tls-key " + config.tlsKeyFile + ": " + ec.message());
    if (SSL_CTX_check_private_key(context.native_handle()) != 1)
        throw std::runtime_error("--tls-key does not belong to the certificate of --tls-cert");
    return context;
}

} // namespace

Server::Server(Config config, db::Database &database, HandlerTable handlers)
    : m_config(std::move(config)),
      m_handlers(std::move(handlers)), m_services{m_config, database, m_handlers},
      m_strand(asio::make_strand(m_io)), m_acceptor(m_strand), m_signals(m_strand), m_stopTimer(m_strand),
      m_slowLane(static_cast<std::size_t>(threadCount()))
{
    m_services.slowLane = m_slowLane.get_executor();
    if (m_config.tls()) {
        m_tls.emplace(makeTlsContext(m_config));
        m_services.tls = &*m_tls;
    }
    m_services.bufferedTotal = &m_bufferedTotal;
    m_services.loggedIn = [this](std::uint64_t session, std::int64_t account) {
        onLoggedIn(session, account);
    };
    m_services.endOtherSessions = [this](std::int64_t account, std::uint64_t keep) {
        endOtherSessions(account, keep);
    };
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
    logEvent(LogLevel::Info, "listening", 0, {}, "port " + std::to_string(port()) + (m_tls ? " tls" : ""));
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
                const auto peer = socket.remote_endpoint(ignored);
                std::string address = ignored ? std::string() : peer.address().to_string();
                if (!admit(address)) {
                    // Closed before a byte is read: a refused host costs no buffers.
                    socket.close(ignored);
                    continue;
                }
                socket.set_option(asio::ip::tcp::no_delay(true), ignored);
                const std::uint64_t id = ++m_nextId;
                auto session = std::make_shared<Session>(
                    std::move(socket), id, m_services, [this](std::uint64_t gone) { onSessionClosed(gone); },
                    address);
                {
                    std::lock_guard lock(m_mutex);
                    m_sessions.emplace(id, Held{session, std::move(address), 0});
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
        for (const auto &[id, held] : m_sessions) {
            if (auto session = held.session.lock())
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
            for (const auto &[id, held] : m_sessions) {
                if (auto session = held.session.lock())
                    stuck.push_back(std::move(session));
            }
        }
        for (const auto &session : stuck)
            session->kill();
    });
}

bool Server::admit(const std::string &address)
{
    std::lock_guard lock(m_mutex);
    const bool overall = m_sessions.size() >= m_config.maxConnections;
    std::size_t &fromAddress = m_perAddress[address];
    if (!overall && fromAddress < m_config.maxConnectionsPerAddress) {
        ++fromAddress;
        return true;
    }
    if (fromAddress == 0)
        m_perAddress.erase(address);
    // One line per address and minute however hard it knocks; the address itself stays
    // out of the log.
    const auto now = std::chrono::steady_clock::now();
    if (m_refusalLogged.size() > 10000)
        std::erase_if(m_refusalLogged,
                      [now](const auto &entry) { return now - entry.second > kRefusalLogPeriod; });
    auto [logged, first] = m_refusalLogged.try_emplace(address, now);
    if (first || now - logged->second > kRefusalLogPeriod) {
        logged->second = now;
        logEvent(LogLevel::Warn, "connections refused", 0, {},
                 (overall
                      ? "limit of " + std::to_string(m_config.maxConnections) + " connections"
                      : "limit of " + std::to_string(m_config.maxConnectionsPerAddress) + " per address") +
                     " reached; that address is not reported again for a minute");
    }
    return false;
}

void Server::onLoggedIn(std::uint64_t session, std::int64_t account)
{
    std::lock_guard lock(m_mutex);
    if (const auto held = m_sessions.find(session); held != m_sessions.end())
        held->second.account = account;
}

void Server::endOtherSessions(std::int64_t account, std::uint64_t keep)
{
    std::vector<std::shared_ptr<Session>> ending;
    {
        std::lock_guard lock(m_mutex);
        for (auto &[id, held] : m_sessions) {
            if (id == keep || held.account != account)
                continue;
            held.account = 0;
            if (auto session = held.session.lock())
                ending.push_back(std::move(session));
        }
    }
    for (const auto &session : ending)
        session->end("password changed in another session");
}

void Server::onSessionClosed(std::uint64_t id)
{
    std::lock_guard lock(m_mutex);
    if (const auto held = m_sessions.find(id); held != m_sessions.end()) {
        const auto counted = m_perAddress.find(held->second.address);
        if (counted != m_perAddress.end() && --counted->second == 0)
            m_perAddress.erase(counted);
        m_sessions.erase(held);
    }
    if (m_stopping && m_sessions.empty())
        asio::post(m_strand, [this] { m_stopTimer.cancel(); });
}

std::size_t Server::sessionCount() const
{
    std::lock_guard lock(m_mutex);
    return m_sessions.size();
}

} // namespace vantrell::server
