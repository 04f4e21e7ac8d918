#include "server/db/database.h"

#include "server/clock.h"

#include <soci/soci.h>
#include <soci/sqlite3/soci-sqlite3.h>

#include <atomic>
#include <map>
#include <stdexcept>

namespace vantrell::server::db {

class Connection
{
public:
    Connection(const Dialect &backendDialect, const std::string &connectString) : dialect(backendDialect)
    {
        session.open(soci::sqlite3, connectString);
        session << "PRAGMA foreign_keys = ON";
        session << "PRAGMA synchronous = NORMAL";
    }

    const Dialect &dialect;
    soci::session session;
    std::mutex mutex;
    std::map<std::pair<std::type_index, int>, Prepared *> prepared;
    std::vector<std::unique_ptr<Prepared>> owned;
};

namespace {

std::atomic<std::uint64_t> g_nextKey{1};

// This thread's connection to each database it has used, by the database's key.
Connection *&threadConnection(std::uint64_t key)
{
    thread_local std::map<std::uint64_t, Connection *> mine;
    return mine[key];
}

std::string expandDialect(std::string statement, const Dialect &dialect)
{
    const std::string token = "{id}";
    const std::string column(dialect.idColumn());
    for (std::size_t at = statement.find(token); at != std::string::npos; at = statement.find(token, at))
        statement.replace(at, token.size(), column);
    return statement;
}

std::string sqliteConnectString(const std::string &path)
{
    std::string quoted = path;
    if (quoted.find_first_of(" '\"=") != std::string::npos) {
        if (quoted.find('\'') != std::string::npos)
            throw std::runtime_error("database path must not contain a quote: " + path);
        quoted = "'" + quoted + "'";
    }
    return "db=" + quoted + " timeout=10";
}

} // namespace

bool fetchOne(soci::statement &statement)
{
    const bool found = statement.execute(true);
    if (found) {
        while (statement.fetch()) {
        }
    }
    return found;
}

std::string_view Dialect::idColumn() const
{
    return backend == Backend::Sqlite ? "INTEGER PRIMARY KEY" : "BIGSERIAL PRIMARY KEY";
}

std::string_view Dialect::beginWrite() const
{
    return backend == Backend::Sqlite ? "BEGIN IMMEDIATE" : "BEGIN";
}

std::string_view Dialect::forUpdate() const
{
    return backend == Backend::Sqlite ? "" : " FOR UPDATE";
}

Tx::Tx(Connection &connection, Mode mode) : m_connection(connection), m_mode(mode)
{
    m_connection.session << std::string(mode == Mode::Write ? dialect().beginWrite() : "BEGIN");
}

Tx::~Tx()
{
    if (m_open) {
        try {
            m_connection.session << "ROLLBACK";
        } catch (...) {
            // The connection is broken; SQLite has already rolled back what was not committed.
        }
    }
}

soci::session &Tx::sql()
{
    return m_connection.session;
}

const Dialect &Tx::dialect() const
{
    return m_connection.dialect;
}

void Tx::commit()
{
    m_connection.session << (m_rollbackOnly ? "ROLLBACK" : "COMMIT");
    m_open = false;
}

Prepared *&Tx::preparedSlot(std::type_index type, int variant)
{
    return m_connection.prepared[{type, variant}];
}

Prepared *Tx::keep(std::unique_ptr<Prepared> statement)
{
    m_connection.owned.push_back(std::move(statement));
    return m_connection.owned.back().get();
}

void Database::forgetPrepared(Connection &connection)
{
    connection.prepared.clear();
    connection.owned.clear();
}

Database::Lease::Lease(Connection &c) : connection(c)
{
    connection.mutex.lock();
}

Database::Lease::~Lease()
{
    connection.mutex.unlock();
}

Database::Database(Dialect dialect, std::string connectString, bool shared)
    : m_dialect(dialect), m_connectString(std::move(connectString)), m_shared(shared),
      m_key(g_nextKey.fetch_add(1))
{}

Database::~Database() = default;

std::unique_ptr<Database> Database::open(const std::string &url)
{
    const std::string prefix = "sqlite:";
    if (url.rfind(prefix, 0) != 0)
        throw std::runtime_error("unsupported database address (expected sqlite:PATH): " + url);
    const std::string path = url.substr(prefix.size());
    if (path.empty())
        throw std::runtime_error("database address without a path: " + url);
    const bool memory = path == ":memory:";
    std::unique_ptr<Database> database(
        new Database(Dialect{Backend::Sqlite}, sqliteConnectString(path), memory));
    try {
        std::unique_ptr<Connection> first = database->openConnection();
        if (!memory)
            first->session << "PRAGMA journal_mode = WAL";
        database->migrate(*first);
        if (!memory)
            threadConnection(database->m_key) = first.get();
        const std::lock_guard lock(database->m_mutex);
        database->m_connections.push_back(std::move(first));
    } catch (const soci::soci_error &error) {
        throw std::runtime_error("cannot open the database " + path + ": " + error.what());
    }
    return database;
}

std::unique_ptr<Connection> Database::openConnection()
{
    return std::make_unique<Connection>(m_dialect, m_connectString);
}

Connection &Database::connection()
{
    if (m_shared) {
        const std::lock_guard lock(m_mutex);
        return *m_connections.front();
    }
    // Each thread keeps its own connection, so a request never hands a connection (and
    // its prepared statements) from one thread to another.
    Connection *&slot = threadConnection(m_key);
    if (slot == nullptr) {
        std::unique_ptr<Connection> fresh = openConnection();
        const std::lock_guard lock(m_mutex);
        m_connections.push_back(std::move(fresh));
        slot = m_connections.back().get();
    }
    return *slot;
}

std::size_t Database::connectionCount() const
{
    const std::lock_guard lock(m_mutex);
    return m_connections.size();
}

void Database::migrate(Connection &connection)
{
    soci::session &sql = connection.session;
    sql << "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL, name VARCHAR(80) NOT NULL,"
           " applied_at VARCHAR(19) NOT NULL)";
    for (const Migration &migration : schemaMigrations()) {
        Tx tx(connection, Tx::Mode::Write);
        int applied = 0;
        sql << "SELECT COUNT(*) FROM schema_version WHERE version = :v", soci::use(migration.version),
            soci::into(applied);
        if (applied == 0) {
            for (const char *statement : migration.statements)
                sql << expandDialect(statement, m_dialect);
            const std::string name = migration.name;
            const std::string appliedAt = isoTime(now());
            sql << "INSERT INTO schema_version (version, name, applied_at) VALUES (:v, :n, :at)",
                soci::use(migration.version), soci::use(name), soci::use(appliedAt);
        }
        tx.commit();
    }
}

int Database::schemaVersion()
{
    return read([](Tx &tx) {
        int version = 0;
        tx.sql() << "SELECT COALESCE(MAX(version), 0) FROM schema_version", soci::into(version);
        return version;
    });
}

} // namespace vantrell::server::db
