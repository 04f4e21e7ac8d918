#include "server/db/database.h"

#include "server/clock.h"

#include <libpq-fe.h>
#include <soci/postgresql/soci-postgresql.h>
#include <soci/soci.h>
#include <soci/sqlite3/soci-sqlite3.h>

#include <atomic>
#include <chrono>
#include <map>
#include <random>
#include <regex>
#include <stdexcept>
#include <thread>

namespace vantrell::server::db {

class Connection
{
public:
    Connection(const Dialect &backendDialect, const std::string &connectString) : dialect(backendDialect)
    {
        if (dialect.backend == Backend::Postgres) {
            session.open(soci::postgresql, connectString);
            // The stores hand over UTF-8 whatever the server's locale says.
            session << "SET client_encoding = 'UTF8'";
            // "already exists, skipping" and the like are no news for the log.
            session << "SET client_min_messages = warning";
            return;
        }
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
    if (dialect.backend == Backend::Postgres) {
        // SQLite keeps no length limit on VARCHAR(n), and the handlers check lengths in
        // GBK bytes (a failed login keeps 64 bytes of any name); PostgreSQL would count
        // characters against n and refuse the row. TEXT keeps SQLite's behaviour.
        static const std::regex varchar("VARCHAR\\([0-9]+\\)");
        statement = std::regex_replace(statement, varchar, "TEXT");
    }
    return statement;
}

// The address as it may be shown: a password in it is replaced by "***".
std::string shownAddress(const std::string &url)
{
    static const std::regex uriPassword("^(postgres(ql)?://[^:/@]*:)[^@]*@");
    static const std::regex keywordPassword("password\\s*=\\s*('[^']*'|\\S*)");
    std::string shown = std::regex_replace(url, uriPassword, "$1***@");
    return std::regex_replace(shown, keywordPassword, "password=***");
}

// libpq's keywords for a "postgresql://" URI: SOCI reads its connection string as
// keywords (it looks for options of its own there) and would take a URI apart.
std::string keywordsOfUri(const std::string &uri)
{
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(uri.c_str(), &error);
    if (options == nullptr) {
        std::string reason = error != nullptr ? error : "out of memory";
        PQfreemem(error);
        while (!reason.empty() && reason.back() == '\n')
            reason.pop_back();
        throw std::runtime_error("bad database address " + shownAddress(uri) + ": " + reason);
    }
    std::string keywords;
    for (const PQconninfoOption *option = options; option->keyword != nullptr; ++option) {
        if (option->val == nullptr)
            continue;
        std::string value;
        for (const char c : std::string(option->val)) {
            if (c == '\'' || c == '\\')
                value += '\\';
            value += c;
        }
        keywords += std::string(keywords.empty() ? "" : " ") + option->keyword + "='" + value + "'";
    }
    PQconninfoFree(options);
    return keywords;
}

// A fixed key for the advisory lock of the migrations: two servers starting at once on
// a fresh database must not both create the tables.
constexpr long long kMigrationLock = 0x76616e7472656c6cLL; // "vantrell"

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

std::string_view Dialect::beginRead() const
{
    return backend == Backend::Sqlite ? "BEGIN" : "BEGIN ISOLATION LEVEL REPEATABLE READ";
}

std::string_view Dialect::forUpdate() const
{
    return backend == Backend::Sqlite ? "" : " FOR UPDATE";
}

void serialize(Tx &tx, const std::string &what)
{
    if (!tx.dialect().concurrentWriters())
        return;
    const std::string key = "vantrell:" + what;
    tx.sql() << "SELECT pg_advisory_xact_lock(hashtextextended(:k, 0))", soci::use(key);
}

Tx::Tx(Connection &connection, Mode mode) : m_connection(connection), m_mode(mode)
{
    m_connection.session << std::string(mode == Mode::Write ? dialect().beginWrite() : dialect().beginRead());
}

Tx::~Tx()
{
    if (m_open) {
        try {
            m_connection.session << "ROLLBACK";
        } catch (...) {
            // The connection is broken; the database has already rolled back what was not
            // committed.
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

bool Database::retryable(std::exception_ptr error, int attempt) const
{
    constexpr int kAttempts = 8;
    if (m_dialect.backend != Backend::Postgres || attempt >= kAttempts)
        return false;
    try {
        std::rethrow_exception(error);
    } catch (const soci::postgresql_soci_error &failure) {
        const std::string state = failure.sqlstate();
        // 40001 serialization_failure, 40P01 deadlock_detected: the transaction did
        // nothing, and the same work may well succeed now.
        if (state != "40001" && state != "40P01")
            return false;
    } catch (...) {
        return false;
    }
    // Back off by a random time that doubles with each attempt, so the transactions that
    // collided do not meet again at once.
    thread_local std::minstd_rand random(std::random_device{}());
    const int ceilingMicros = 500 << attempt;
    std::this_thread::sleep_for(std::chrono::microseconds(random() % ceilingMicros));
    return true;
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
    if (url.rfind("sqlite:", 0) == 0)
        return openSqlite(url);
    // libpq takes its URIs as they are.
    if (url.rfind("postgresql://", 0) == 0 || url.rfind("postgres://", 0) == 0)
        return openPostgres(url, keywordsOfUri(url));
    const std::string keywords = "postgresql:";
    if (url.rfind(keywords, 0) == 0 && url.size() > keywords.size())
        return openPostgres(url, url.substr(keywords.size()));
    throw std::runtime_error("unsupported database address (expected sqlite:PATH or postgresql://...): " +
                             shownAddress(url));
}

std::unique_ptr<Database> Database::openSqlite(const std::string &url)
{
    const std::string path = url.substr(std::string("sqlite:").size());
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

std::unique_ptr<Database> Database::openPostgres(const std::string &url, std::string connectString)
{
    std::unique_ptr<Database> database(
        new Database(Dialect{Backend::Postgres}, std::move(connectString), false));
    try {
        std::unique_ptr<Connection> first = database->openConnection();
        std::string encoding;
        first->session << "SHOW server_encoding", soci::into(encoding);
        if (encoding != "UTF8")
            throw std::runtime_error("the database " + shownAddress(url) + " stores " + encoding +
                                     ", not UTF8 (create it with ENCODING 'UTF8')");
        // Session-wide, so that it spans the migrations' own transactions.
        first->session << "SELECT pg_advisory_lock(:k)", soci::use(kMigrationLock);
        try {
            database->migrate(*first);
        } catch (...) {
            first->session << "SELECT pg_advisory_unlock(:k)", soci::use(kMigrationLock);
            throw;
        }
        first->session << "SELECT pg_advisory_unlock(:k)", soci::use(kMigrationLock);
        threadConnection(database->m_key) = first.get();
        const std::lock_guard lock(database->m_mutex);
        database->m_connections.push_back(std::move(first));
    } catch (const soci::soci_error &error) {
        std::string reason = error.what();
        // libpq's message may quote the connection string.
        if (const std::size_t at = reason.find(database->m_connectString); at != std::string::npos)
            reason.replace(at, database->m_connectString.size(), shownAddress(database->m_connectString));
        throw std::runtime_error("cannot open the database " + shownAddress(url) + ": " + reason);
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
