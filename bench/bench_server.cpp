// Round trips against the real server on loopback, database in a file under /tmp:
// requests per second and p50/p99 latency of the version check and of the login,
// over 1, 16 and 256 connections. Each connection sends its next request when the
// previous one is answered.
//
//   bench_server [seconds per version-check run, default 3]

#include "protocol/fieldtext.h"
#include "protocol/frame.h"
#include "protocol/gbk.h"
#include "protocol/md5.h"
#include "server/accounts/passwords.h"
#include "server/accounts/store.h"
#include "server/db/database.h"
#include "server/handlers.h"
#include "server/log.h"
#include "server/server.h"
#include "server/states.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace vantrell;
using Clock = std::chrono::steady_clock;

namespace {

class Connection
{
public:
    explicit Connection(unsigned short port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
        if (::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
            std::perror("connect");
            std::exit(1);
        }
        int one = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~Connection() { ::close(m_fd); }

    // Sends one GBK payload and returns the GBK payload of the next reply that is not a probe.
    std::string roundTrip(const std::string &payload)
    {
        const std::string wire = m_encoder.encode(payload);
        if (::send(m_fd, wire.data(), wire.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(wire.size()))
            return {};
        for (;;) {
            while (m_next < m_events.size()) {
                std::string reply = std::move(m_events[m_next++].payload);
                if (reply != m_probe)
                    return reply;
            }
            m_events.clear();
            m_next = 0;
            char buffer[16384];
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return {};
            m_decoder.feed(std::string_view(buffer, static_cast<std::size_t>(n)), m_events);
        }
    }

private:
    int m_fd = -1;
    protocol::FrameEncoder m_encoder;
    protocol::FrameDecoder m_decoder;
    std::vector<protocol::DecodedEvent> m_events;
    std::size_t m_next = 0;
    std::string m_probe = protocol::gbk("心跳包|");
};

struct Result
{
    double seconds = 0;
    std::vector<double> latenciesMs;
    int failures = 0;
};

// Each connection loops until `deadline`, or until it has sent `perConnection` requests.
Result run(unsigned short port, int connections, const std::function<std::string(int)> &payloadFor,
           const std::string &expected, Clock::duration duration, int perConnection)
{
    std::vector<std::unique_ptr<Connection>> links;
    for (int i = 0; i < connections; ++i)
        links.push_back(std::make_unique<Connection>(port));
    Result result;
    std::mutex mutex;
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    const auto start = Clock::now();
    const auto deadline = start + duration;
    for (int i = 0; i < connections; ++i) {
        threads.emplace_back([&, i] {
            while (!go)
                std::this_thread::yield();
            std::vector<double> mine;
            int failures = 0;
            const std::string payload = payloadFor(i);
            for (int n = 0; (perConnection == 0 && Clock::now() < deadline) || n < perConnection; ++n) {
                const auto sent = Clock::now();
                const std::string reply = links[i]->roundTrip(payload);
                mine.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
                failures += reply.rfind(expected, 0) != 0;
            }
            std::lock_guard lock(mutex);
            result.latenciesMs.insert(result.latenciesMs.end(), mine.begin(), mine.end());
            result.failures += failures;
        });
    }
    const auto begin = Clock::now();
    go = true;
    for (auto &thread : threads)
        thread.join();
    result.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    return result;
}

void report(const char *what, int connections, Result result)
{
    std::sort(result.latenciesMs.begin(), result.latenciesMs.end());
    const auto at = [&](double q) {
        if (result.latenciesMs.empty())
            return 0.0;
        const auto index = static_cast<std::size_t>(q * static_cast<double>(result.latenciesMs.size() - 1));
        return result.latenciesMs[index];
    };
    std::printf("%-14s %4d conn  %7zu req  %9.1f req/s  p50 %8.2f ms  p99 %8.2f ms  failures %d\n", what,
                connections, result.latenciesMs.size(),
                static_cast<double>(result.latenciesMs.size()) / result.seconds, at(0.50), at(0.99),
                result.failures);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    const double versionSeconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    server::setLogLevel(server::LogLevel::Warn);
    const std::string path = "/tmp/vantrell-bench-" + std::to_string(::getpid()) + ".db";
    std::remove(path.c_str());

    server::Config config;
    config.listenAddress = "127.0.0.1";
    config.port = 0;
    config.database = "sqlite:" + path;
    config.heartbeatPeriod = std::chrono::minutes(10);
    config.loginTimeout = std::chrono::minutes(10);
    config.maxConnectionsPerAddress = 1000; // every client comes from the loopback address
    config.minimumVersion = "9.0";          // every check is answered, so each one is a round trip
    config.downloadAddress = "http://example.test/download";

    auto database = server::db::Database::open(config.database);
    constexpr int kAccounts = 256;
    const std::string digest = protocol::md5Hex("bench-password");
    server::accounts::Account account;
    account.passwordHash = server::accounts::hashPasswordDigest(digest);
    account.type = server::kAccountPurchaser;
    account.phone = "13800000000";
    for (int i = 0; i < kAccounts; ++i) {
        account.userName = "bench" + std::to_string(1000 + i);
        account.company = "压测商贸有限公司" + std::to_string(1000 + i);
        database->write([&](server::db::Tx &tx) { server::accounts::create(tx, account); });
    }

    server::HandlerTable handlers;
    server::registerAllHandlers(handlers);
    server::Server server(config, *database, std::move(handlers));
    server.listen();
    std::thread serverThread([&] { server.run(); });
    const unsigned short port = server.port();

    const std::string check = *protocol::utf8ToGbk("版本验证_验证|版本号[1.0.0]");
    const std::string found = *protocol::utf8ToGbk("发现版本|");
    const std::string welcome = *protocol::utf8ToGbk("登陆系统_登陆成功|");
    const auto loginFor = [&](int i) {
        const std::string fields = protocol::FieldWriter()
                                       .add("用户名", "bench" + std::to_string(1000 + i % kAccounts))
                                       .add("密码", digest)
                                       .str();
        return *protocol::utf8ToGbk(protocol::makePayload("登陆系统_用户登陆", fields));
    };

    // The stored hash names its own parameters: $argon2id$v=19$m=KiB,t=passes,p=lanes$...
    std::string parameters = account.passwordHash;
    std::size_t cut = 0;
    for (int dollars = 0; dollars < 3 && cut != std::string::npos; ++dollars)
        cut = parameters.find('$', cut + 1);
    parameters = parameters.substr(0, cut);
    std::printf("threads %u, database %s, password hash %s\n",
                std::max(1u, std::thread::hardware_concurrency()), path.c_str(), parameters.c_str());
    for (int connections : {1, 16, 256}) {
        const auto duration =
            std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(versionSeconds));
        report("version check", connections,
               run(
                   port, connections, [&](int) { return check; }, found, duration, 0));
    }
    for (int connections : {1, 16, 256}) {
        // Logins are slow by design: a fixed number per connection instead of a fixed time.
        const int perConnection = connections == 1 ? 20 : (connections == 16 ? 4 : 1);
        report("login", connections, run(port, connections, loginFor, welcome, {}, perConnection));
    }

    server.stop();
    serverThread.join();
    database.reset();
    for (const char *suffix : {"", "-wal", "-shm"})
        std::remove((path + suffix).c_str());
    return 0;
}
