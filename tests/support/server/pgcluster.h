#pragma once

// A throw-away PostgreSQL cluster for the tests: initdb into a temporary folder, the
// server on a free loopback port with its socket in that folder, fsync off. Started the
// first time a test asks for it and stopped (and the folder removed) when the test
// executable ends, also when it ends by a crash: a keeper process that waits on a pipe
// from this one does the stopping. As root, the cluster runs as the `postgres` user.
//
// The store and end-to-end tests run against it when VANTRELL_TEST_DB=postgres; a
// cluster that cannot be started fails those tests.

#include <memory>
#include <mutex>
#include <string>

namespace soci {
class session;
} // namespace soci

namespace vantrell::testing {

class PgCluster
{
public:
    // The executable's cluster, started on first use. Throws std::runtime_error saying
    // why when PostgreSQL cannot be found or started.
    static PgCluster &instance();

    ~PgCluster();
    PgCluster(const PgCluster &) = delete;
    PgCluster &operator=(const PgCluster &) = delete;

    unsigned short port() const { return m_port; }
    // A new empty database (t_1, t_2, ...) and its address for db::Database::open.
    std::string freshDatabase(const std::string &options = {});
    // The address of an existing database of the cluster.
    std::string url(const std::string &database) const;
    // The same as libpq keywords, for a soci::session of a test's own; `url` is one
    // that freshDatabase or url returned.
    std::string keywords(const std::string &url) const;
    // Runs one statement outside any transaction in the maintenance database.
    void execute(const std::string &statement);

private:
    PgCluster();

    int m_keeper = -1;
    int m_control = -1;
    unsigned short m_port = 0;
    int m_next = 0;
    std::mutex m_mutex;
    std::unique_ptr<soci::session> m_admin;
};

// True when VANTRELL_TEST_DB asks for PostgreSQL ("postgres"); an unknown value throws.
bool testingPostgres();

// The database of one test: "sqlite::memory:", or a fresh PostgreSQL database.
std::string testDatabaseUrl();

// A database that several connections (and threads) share: the SQLite file `sqlitePath`,
// or a fresh PostgreSQL database.
std::string sharedDatabaseUrl(const std::string &sqlitePath);

} // namespace vantrell::testing
