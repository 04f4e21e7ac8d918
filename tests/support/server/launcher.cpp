#include "support/server/launcher.h"

#include "support/server/pgcluster.h"

#include "server/db/database.h"
#include "server/handlers.h"
#include "server/log.h"
#include "server/server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace vantrell::testing {

using Clock = std::chrono::steady_clock;

server::Config testConfig()
{
    server::Config config;
    config.listenAddress = "127.0.0.1";
    config.port = 0;
    config.database = testDatabaseUrl();
    config.threads = 2;
    return config;
}

InProcessServer::InProcessServer(server::Config config,
                                 const std::function<void(server::HandlerTable &)> &extra)
{
    m_database = server::db::Database::open(config.database);
    server::HandlerTable handlers;
    server::registerAllHandlers(handlers);
    if (extra)
        extra(handlers);
    m_server = std::make_unique<server::Server>(std::move(config), *m_database, std::move(handlers));
    m_server->listen();
    m_port = m_server->port();
    m_thread = std::thread([this] { m_server->run(); });
}

InProcessServer::~InProcessServer()
{
    stop();
}

void InProcessServer::stop()
{
    if (!m_thread.joinable())
        return;
    m_server->stop();
    m_thread.join();
}

namespace {

int decodeStatus(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts the binary with stdout and stderr on pipes; returns the pid.
int spawn(const std::vector<std::string> &args, int &outFd, int &errFd)
{
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    std::vector<char *> argv;
    std::string program = VANTRELL_SERVER_BIN;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string &arg : copies)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    outFd = out[0];
    errFd = err[0];
    return pid;
}

bool readInto(int fd, std::string &text)
{
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0)
        return false;
    text.append(buffer, static_cast<std::size_t>(n));
    return true;
}

int waitPid(int pid, Clock::time_point deadline)
{
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return decodeStatus(status);
        if (Clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        ::usleep(5000);
    }
}

} // namespace

ProcessResult runServerBinary(const std::vector<std::string> &args, std::chrono::milliseconds timeout)
{
    int outFd = -1;
    int errFd = -1;
    const int pid = spawn(args, outFd, errFd);
    const auto deadline = Clock::now() + timeout;
    ProcessResult result;
    bool outOpen = true;
    bool errOpen = true;
    while ((outOpen || errOpen) && Clock::now() < deadline) {
        pollfd fds[2] = {{outOpen ? outFd : -1, POLLIN, 0}, {errOpen ? errFd : -1, POLLIN, 0}};
        if (::poll(fds, 2, 100) <= 0)
            continue;
        if (fds[0].revents && !readInto(outFd, result.out))
            outOpen = false;
        if (fds[1].revents && !readInto(errFd, result.err))
            errOpen = false;
    }
    ::close(outFd);
    ::close(errFd);
    result.exitCode = waitPid(pid, deadline);
    return result;
}

ServerProcess::ServerProcess(std::vector<std::string> args)
{
    args.insert(args.begin(), {"--listen", "127.0.0.1:0"});
    bool hasDb = false;
    for (const std::string &arg : args)
        hasDb = hasDb || arg.starts_with("--db");
    if (!hasDb)
        args.insert(args.end(), {"--db", "sqlite::memory:"});
    int outFd = -1;
    m_pid = spawn(args, outFd, m_errFd);
    ::close(outFd);
    const auto deadline = Clock::now() + 20s;
    std::string text;
    while (Clock::now() < deadline) {
        pollfd poller{m_errFd, POLLIN, 0};
        if (::poll(&poller, 1, 100) <= 0)
            continue;
        if (!readInto(m_errFd, text))
            break;
        const std::size_t at = text.find("listening");
        const std::size_t portAt = text.find("port ", at == std::string::npos ? text.size() : at);
        if (at != std::string::npos && portAt != std::string::npos) {
            const int port = std::atoi(text.c_str() + portAt + 5);
            if (port > 0) {
                m_port = static_cast<unsigned short>(port);
                break;
            }
        }
    }
    {
        std::lock_guard lock(m_mutex);
        m_log = text;
    }
    m_reader = std::thread([this] { pump(); });
}

void ServerProcess::pump()
{
    for (;;) {
        pollfd poller{m_errFd, POLLIN, 0};
        if (::poll(&poller, 1, 100) < 0)
            return;
        if (!poller.revents)
            continue;
        std::string chunk;
        if (!readInto(m_errFd, chunk))
            return;
        std::lock_guard lock(m_mutex);
        m_log += chunk;
    }
}

ServerProcess::~ServerProcess()
{
    if (!m_reaped && m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
    if (m_reader.joinable())
        m_reader.join();
    if (m_errFd >= 0)
        ::close(m_errFd);
}

void ServerProcess::signal(int number)
{
    if (!m_reaped && m_pid > 0)
        ::kill(m_pid, number);
}

int ServerProcess::wait(std::chrono::milliseconds timeout)
{
    if (!m_reaped) {
        m_exitCode = waitPid(m_pid, Clock::now() + timeout);
        m_reaped = true;
    }
    return m_exitCode;
}

std::string ServerProcess::log() const
{
    std::lock_guard lock(m_mutex);
    return m_log;
}

} // namespace vantrell::testing
