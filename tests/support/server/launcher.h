#pragma once

// Starts the real server for a test: in this process on an ephemeral loopback port
// with a private in-memory database, or as the vantrell-server executable.

#include "server/config.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vantrell::server {
class HandlerTable;
class Server;
namespace db {
class Database;
} // namespace db
} // namespace vantrell::server

namespace vantrell::testing {

using namespace std::chrono_literals;

// 127.0.0.1 port 0, a fresh database (sqlite::memory:, or PostgreSQL with
// VANTRELL_TEST_DB=postgres: see pgcluster.h), two threads, the built-in heartbeat.
server::Config testConfig();

class InProcessServer
{
public:
    // `extra` may add handlers of the test's own next to the real ones.
    explicit InProcessServer(server::Config config = testConfig(),
                             const std::function<void(server::HandlerTable &)> &extra = {});
    ~InProcessServer(); // stops and waits
    InProcessServer(const InProcessServer &) = delete;
    InProcessServer &operator=(const InProcessServer &) = delete;

    unsigned short port() const { return m_port; }
    server::Server &server() { return *m_server; }
    server::db::Database &database() { return *m_database; }
    // Graceful stop; returns when the server has finished.
    void stop();

private:
    std::unique_ptr<server::db::Database> m_database;
    std::unique_ptr<server::Server> m_server;
    std::thread m_thread;
    unsigned short m_port = 0;
};

struct ProcessResult
{
    int exitCode = -1; // -1: did not end in time (killed) or ended by a signal
    std::string out;
    std::string err;
};

// Runs vantrell-server with `args` to its end (flag checks, --help).
ProcessResult runServerBinary(const std::vector<std::string> &args, std::chrono::milliseconds timeout = 10s);

// vantrell-server as a child process listening on an ephemeral loopback port; the
// port is read from its "listening" log line. Killed at destruction if still running.
class ServerProcess
{
public:
    explicit ServerProcess(std::vector<std::string> args = {});
    ~ServerProcess();
    ServerProcess(const ServerProcess &) = delete;
    ServerProcess &operator=(const ServerProcess &) = delete;

    bool started() const { return m_port != 0; }
    unsigned short port() const { return m_port; }
    void signal(int number);
    // Exit code, or -1 when it did not end in time or ended by a signal.
    int wait(std::chrono::milliseconds timeout = 10s);
    std::string log() const; // stderr so far

private:
    void pump();

    int m_pid = -1;
    int m_errFd = -1;
    unsigned short m_port = 0;
    int m_exitCode = -1;
    bool m_reaped = false;
    mutable std::mutex m_mutex;
    std::string m_log;
    std::thread m_reader;
};

} // namespace vantrell::testing
