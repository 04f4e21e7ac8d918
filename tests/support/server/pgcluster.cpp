#include "support/server/pgcluster.h"

#include <soci/postgresql/soci-postgresql.h>
#include <soci/soci.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace vantrell::testing {

namespace {

// Runs in the keeper: sets the cluster up, reports "OK <port>" or "ERR <why>" on its
// standard output, waits for its standard input (a pipe from the test) to close, then
// stops the cluster and removes its folder. $1 is the bin folder, $2 more server
// options, the rest are ports to try in turn.
constexpr const char *kKeeperScript = R"sh(
bin="$1"; more="$2"; shift 2
dir=$(mktemp -d /tmp/vantrell-pg-XXXXXX) || { echo "ERR cannot make a temporary folder"; exit 1; }
cd "$dir" || exit 1
as=""
if [ "$(id -u)" = 0 ]; then
  chown postgres: "$dir" || { echo "ERR cannot hand $dir to the postgres user"; rm -rf "$dir"; exit 1; }
  as="runuser -u postgres --"
fi
stop() { $as "$bin/pg_ctl" -D "$dir/data" stop -m immediate >/dev/null 2>&1; rm -rf "$dir"; }
if ! $as "$bin/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C --no-sync \
    >"$dir/initdb.log" 2>&1; then
  echo "ERR initdb failed: $(tail -n 3 "$dir/initdb.log" | tr '\n' ' ')"; rm -rf "$dir"; exit 1
fi
for port in "$@"; do
  if $as "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 -o "-p $port \
      -c listen_addresses=127.0.0.1 -c unix_socket_directories=$dir -c fsync=off \
      -c synchronous_commit=off -c full_page_writes=off -c max_connections=300 $more" start >/dev/null 2>&1; then
    echo "OK $port"
    cat >/dev/null
    stop
    exit 0
  fi
done
echo "ERR postgres did not start: $(tail -n 3 "$dir/server.log" 2>/dev/null | tr '\n' ' ')"
stop
exit 1
)sh";

// The newest installed PostgreSQL's bin folder (Debian: /usr/lib/postgresql/<major>/bin),
// or VANTRELL_PG_BIN.
std::string postgresBin()
{
    if (const char *given = std::getenv("VANTRELL_PG_BIN"); given != nullptr && *given != '\0')
        return given;
    namespace fs = std::filesystem;
    int best = -1;
    std::string found;
    std::error_code error;
    for (const fs::directory_entry &entry : fs::directory_iterator("/usr/lib/postgresql", error)) {
        const std::string name = entry.path().filename().string();
        const int major = std::atoi(name.c_str());
        if (major > best && fs::exists(entry.path() / "bin" / "initdb")) {
            best = major;
            found = (entry.path() / "bin").string();
        }
    }
    if (found.empty())
        throw std::runtime_error("PostgreSQL is not installed (no /usr/lib/postgresql/*/bin/initdb; "
                                 "apt-get install postgresql)");
    return found;
}

// Ports the kernel hands out as free just now, for the cluster to try.
std::vector<unsigned short> freePorts(int count)
{
    std::vector<int> sockets;
    std::vector<unsigned short> ports;
    for (int i = 0; i < count; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
            if (fd >= 0)
                ::close(fd);
            continue;
        }
        sockets.push_back(fd);
        ports.push_back(ntohs(address.sin_port));
    }
    for (const int fd : sockets)
        ::close(fd);
    if (ports.empty())
        throw std::runtime_error("no free loopback port for PostgreSQL");
    return ports;
}

std::string readLine(int fd, std::chrono::seconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string line;
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            throw std::runtime_error("PostgreSQL did not start within " + std::to_string(timeout.count()) +
                                     " s");
        pollfd poller{fd, POLLIN, 0};
        if (::poll(&poller, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buffer[512];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        line.append(buffer, static_cast<std::size_t>(got));
    }
    return line.substr(0, line.find('\n'));
}

} // namespace

PgCluster &PgCluster::instance()
{
    // Made once; a cluster that failed to start fails every later request the same way.
    static std::string failure;
    static std::unique_ptr<PgCluster> cluster;
    static std::once_flag once;
    std::call_once(once, [] {
        try {
            cluster.reset(new PgCluster());
        } catch (const std::exception &error) {
            failure = error.what();
        }
    });
    if (!cluster)
        throw std::runtime_error("cannot start a PostgreSQL cluster for the tests: " + failure);
    return *cluster;
}

PgCluster::PgCluster()
{
    const std::string bin = postgresBin();
    const std::vector<unsigned short> ports = freePorts(3);
    int control[2];
    int report[2];
    if (::pipe2(control, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    if (::pipe2(report, O_CLOEXEC) != 0) {
        ::close(control[0]);
        ::close(control[1]);
        throw std::runtime_error("pipe failed");
    }
    // VANTRELL_PG_OPTIONS adds server options, e.g. "-c log_statement=all -c
    // logging_collector=on -c log_directory=/tmp/pglog" to see what the tests send.
    const char *more = std::getenv("VANTRELL_PG_OPTIONS");
    std::vector<std::string> args = {
        "/bin/sh", "-c", kKeeperScript, "vantrell-pg-keeper", bin, more != nullptr ? more : ""};
    for (const unsigned short port : ports)
        args.push_back(std::to_string(port));
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls until exec.
        ::dup2(control[0], 0);
        ::dup2(report[1], 1);
        const int quiet = ::open("/dev/null", O_WRONLY);
        if (quiet >= 0)
            ::dup2(quiet, 2);
        // Its own process group: a Ctrl-C meant for the test reaches the keeper only
        // through the closed pipe, after the test has let go of the cluster.
        ::setpgid(0, 0);
        ::execv("/bin/sh", argv.data());
        ::_exit(127);
    }
    ::close(control[0]);
    ::close(report[1]);
    if (pid < 0) {
        ::close(control[1]);
        ::close(report[0]);
        throw std::runtime_error("fork failed");
    }
    m_keeper = pid;
    m_control = control[1];
    std::string line;
    try {
        line = readLine(report[0], std::chrono::seconds(120));
    } catch (...) {
        ::close(report[0]);
        ::close(m_control);
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
        throw;
    }
    ::close(report[0]);
    if (line.rfind("OK ", 0) != 0) {
        ::close(m_control);
        ::waitpid(pid, nullptr, 0);
        throw std::runtime_error(line.empty() ? std::string("the keeper ended without a word")
                                              : line.substr(line.rfind("ERR ", 0) == 0 ? 4 : 0));
    }
    m_port = static_cast<unsigned short>(std::atoi(line.c_str() + 3));
    m_admin = std::make_unique<soci::session>(
        soci::postgresql, "host=127.0.0.1 port=" + std::to_string(m_port) + " user=postgres dbname=postgres");
}

PgCluster::~PgCluster()
{
    m_admin.reset();
    if (m_control >= 0)
        ::close(m_control);
    if (m_keeper > 0)
        ::waitpid(m_keeper, nullptr, 0);
}

std::string PgCluster::url(const std::string &database) const
{
    return "postgresql://postgres@127.0.0.1:" + std::to_string(m_port) + "/" + database;
}

std::string PgCluster::keywords(const std::string &url) const
{
    return "host=127.0.0.1 port=" + std::to_string(m_port) +
           " user=postgres dbname=" + url.substr(url.rfind('/') + 1);
}

std::string PgCluster::freshDatabase(const std::string &options)
{
    const std::lock_guard lock(m_mutex);
    const std::string name = "t_" + std::to_string(++m_next);
    *m_admin << "CREATE DATABASE " + name + (options.empty() ? std::string() : " " + options);
    return url(name);
}

void PgCluster::execute(const std::string &statement)
{
    const std::lock_guard lock(m_mutex);
    *m_admin << statement;
}

bool testingPostgres()
{
    const char *value = std::getenv("VANTRELL_TEST_DB");
    const std::string backend = value == nullptr ? "" : value;
    if (backend.empty() || backend == "sqlite")
        return false;
    if (backend == "postgres" || backend == "postgresql")
        return true;
    throw std::runtime_error("VANTRELL_TEST_DB must be sqlite or postgres, not " + backend);
}

std::string testDatabaseUrl()
{
    return testingPostgres() ? PgCluster::instance().freshDatabase() : "sqlite::memory:";
}

std::string sharedDatabaseUrl(const std::string &sqlitePath)
{
    return testingPostgres() ? PgCluster::instance().freshDatabase() : "sqlite:" + sqlitePath;
}

} // namespace vantrell::testing
