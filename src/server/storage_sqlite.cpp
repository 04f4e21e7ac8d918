#include "server/storage_sqlite.h"

#include "server/clock.h"

#include <soci/connection-pool.h>
#include <soci/soci.h>
#include <soci/sqlite3/soci-sqlite3.h>

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace vantrell::server {

namespace {

constexpr const char *kIdColumn = "INTEGER PRIMARY KEY";

std::string expandDialect(std::string statement)
{
    const std::string token = "{id}";
    for (std::size_t at = statement.find(token); at != std::string::npos; at = statement.find(token, at))
        statement.replace(at, token.size(), kIdColumn);
    return statement;
}

std::string connectString(const std::string &path)
{
    std::string quoted = path;
    if (quoted.find_first_of(" '\"=") != std::string::npos) {
        if (quoted.find('\'') != std::string::npos)
            throw std::runtime_error("database path must not contain a quote: " + path);
        quoted = "'" + quoted + "'";
    }
    return "db=" + quoted + " timeout=10";
}

// The columns of one side: whose orders, and who the other party is.
struct Side
{
    const char *own;
    const char *other;
};

Side sideOf(bool supplierSide)
{
    return supplierSide ? Side{"supplier_id", "purchaser_id"} : Side{"purchaser_id", "supplier_id"};
}

// State filter as four bound values; -1 never matches.
std::vector<int> stateSlots(const std::vector<int> &states)
{
    std::vector<int> slots = states;
    if (slots.empty())
        slots = {kOrderPending, kOrderShipped, kOrderCancelling, kOrderClosed};
    slots.resize(4, -1);
    return slots;
}

std::string orderListSql(const OrderListQuery &query, const char *select, const char *tail)
{
    const Side side = sideOf(query.supplierSide);
    std::string sql = select;
    sql += " FROM orders o JOIN accounts p ON p.id = o.";
    sql += side.other;
    sql += " WHERE o.";
    sql += side.own;
    sql += " = :me AND o.state IN (:s0, :s1, :s2, :s3) AND (:p1 = 0 OR o.";
    sql += side.other;
    sql += " = :p2)";
    sql += tail;
    return sql;
}

} // namespace

Transaction::Transaction(soci::session &session, Mode mode) : m_session(session)
{
    m_session << (mode == Mode::Write ? "BEGIN IMMEDIATE" : "BEGIN");
}

Transaction::~Transaction()
{
    if (m_open) {
        try {
            m_session << "ROLLBACK";
        } catch (...) {
            // The connection is unusable anyway; the pool hands it out again and
            // SQLite has already rolled back what was not committed.
        }
    }
}

void Transaction::commit()
{
    m_session << "COMMIT";
    m_open = false;
}

SqliteStorage::SqliteStorage(const std::string &path, std::size_t poolSize)
    : m_poolSize(path == ":memory:" ? 1 : std::max<std::size_t>(poolSize, 1))
{
    m_pool = std::make_unique<soci::connection_pool>(m_poolSize);
    try {
        for (std::size_t i = 0; i < m_poolSize; ++i) {
            soci::session &session = m_pool->at(i);
            session.open(soci::sqlite3, connectString(path));
            session << "PRAGMA foreign_keys = ON";
            if (path != ":memory:")
                session << "PRAGMA journal_mode = WAL";
            session << "PRAGMA synchronous = NORMAL";
        }
        migrate();
    } catch (const soci::soci_error &error) {
        throw std::runtime_error("cannot open the database " + path + ": " + error.what());
    }
}

SqliteStorage::~SqliteStorage() = default;

void SqliteStorage::migrate()
{
    soci::session sql(*m_pool);
    sql << "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL, name VARCHAR(80) NOT NULL,"
           " applied_at VARCHAR(19) NOT NULL)";
    for (const Migration &migration : schemaMigrations()) {
        Transaction transaction(sql, Transaction::Mode::Write);
        int applied = 0;
        sql << "SELECT COUNT(*) FROM schema_version WHERE version = :v", soci::use(migration.version),
            soci::into(applied);
        if (applied == 0) {
            for (const char *statement : migration.statements)
                sql << expandDialect(statement);
            const std::string name = migration.name;
            const std::string appliedAt = isoTime(now());
            sql << "INSERT INTO schema_version (version, name, applied_at)"
                   " VALUES (:v, :n, :at)",
                soci::use(migration.version), soci::use(name), soci::use(appliedAt);
        }
        transaction.commit();
    }
}

int SqliteStorage::schemaVersion()
{
    soci::session sql(*m_pool);
    int version = 0;
    sql << "SELECT COALESCE(MAX(version), 0) FROM schema_version", soci::into(version);
    return version;
}

// ---- accounts ----

CreateAccountResult SqliteStorage::createAccount(const Account &account)
{
    soci::session sql(*m_pool);
    Transaction transaction(sql, Transaction::Mode::Write);
    int taken = 0;
    sql << "SELECT COUNT(*) FROM accounts WHERE user_name = :n", soci::use(account.userName),
        soci::into(taken);
    if (taken > 0)
        return CreateAccountResult::NameTaken;
    sql << "SELECT COUNT(*) FROM accounts WHERE company = :c", soci::use(account.company), soci::into(taken);
    if (taken > 0)
        return CreateAccountResult::CompanyTaken;
    sql << "INSERT INTO accounts (user_name, password_hash, phone, company, type, contact, email, address,"
           " created_at) VALUES (:n, :h, :ph, :c, :t, :ct, :e, :a, :at)",
        soci::use(account.userName), soci::use(account.passwordHash), soci::use(account.phone),
        soci::use(account.company), soci::use(account.type), soci::use(account.contact),
        soci::use(account.email), soci::use(account.address), soci::use(account.createdAt);
    transaction.commit();
    return CreateAccountResult::Created;
}

namespace {

const char *kAccountColumns =
    "SELECT id, user_name, password_hash, phone, company, type, contact, email, address,"
    " created_at, last_login_at FROM accounts";

std::optional<Account> fetchAccount(soci::session &sql, const std::string &where, auto key)
{
    Account account;
    long long id = 0;
    soci::statement statement =
        (sql.prepare << std::string(kAccountColumns) + " WHERE " + where, soci::use(key), soci::into(id),
         soci::into(account.userName), soci::into(account.passwordHash), soci::into(account.phone),
         soci::into(account.company), soci::into(account.type), soci::into(account.contact),
         soci::into(account.email), soci::into(account.address), soci::into(account.createdAt),
         soci::into(account.lastLoginAt));
    statement.execute();
    if (!statement.fetch())
        return std::nullopt;
    account.id = id;
    return account;
}

} // namespace

std::optional<Account> SqliteStorage::accountById(std::int64_t id)
{
    soci::session sql(*m_pool);
    return fetchAccount(sql, "id = :id", static_cast<long long>(id));
}

std::optional<Account> SqliteStorage::accountByName(const std::string &userName)
{
    soci::session sql(*m_pool);
    return fetchAccount(sql, "user_name = :n", userName);
}

std::string SqliteStorage::recordLogin(std::int64_t id, const std::string &at)
{
    soci::session sql(*m_pool);
    Transaction transaction(sql, Transaction::Mode::Write);
    const long long key = id;
    std::string previous;
    sql << "SELECT last_login_at FROM accounts WHERE id = :id", soci::use(key), soci::into(previous);
    sql << "UPDATE accounts SET last_login_at = :at WHERE id = :id", soci::use(at), soci::use(key);
    transaction.commit();
    return previous;
}

void SqliteStorage::setPasswordHash(std::int64_t id, const std::string &hash)
{
    soci::session sql(*m_pool);
    Transaction transaction(sql, Transaction::Mode::Write);
    const long long key = id;
    sql << "UPDATE accounts SET password_hash = :h WHERE id = :id", soci::use(hash), soci::use(key);
    transaction.commit();
}

void SqliteStorage::setContactData(std::int64_t id, const ContactData &data)
{
    soci::session sql(*m_pool);
    Transaction transaction(sql, Transaction::Mode::Write);
    const long long key = id;
    sql << "UPDATE accounts SET contact = :c, phone = :p, email = :e, address = :a WHERE id = :id",
        soci::use(data.contact), soci::use(data.phone), soci::use(data.email), soci::use(data.address),
        soci::use(key);
    transaction.commit();
}

void SqliteStorage::recordLoginFailure(const std::string &userName, const std::string &at,
                                       const std::string &pruneBefore)
{
    soci::session sql(*m_pool);
    Transaction transaction(sql, Transaction::Mode::Write);
    sql << "DELETE FROM login_failures WHERE at < :p", soci::use(pruneBefore);
    sql << "INSERT INTO login_failures (user_name, at) VALUES (:n, :at)", soci::use(userName), soci::use(at);
    transaction.commit();
}

std::vector<std::string> SqliteStorage::loginFailuresSince(const std::string &userName,
                                                           const std::string &since)
{
    soci::session sql(*m_pool);
    std::vector<std::string> times;
    std::string at;
    soci::statement statement =
        (sql.prepare << "SELECT at FROM login_failures WHERE user_name = :n AND at >= :s"
                        " ORDER BY at",
         soci::use(userName), soci::use(since), soci::into(at));
    statement.execute();
    while (statement.fetch())
        times.push_back(at);
    return times;
}

void SqliteStorage::clearLoginFailures(const std::string &userName)
{
    soci::session sql(*m_pool);
    Transaction transaction(sql, Transaction::Mode::Write);
    sql << "DELETE FROM login_failures WHERE user_name = :n", soci::use(userName);
    transaction.commit();
}

// ---- cooperation ----

int SqliteStorage::cooperationState(std::int64_t supplierId, std::int64_t purchaserId)
{
    soci::session sql(*m_pool);
    const long long supplier = supplierId;
    const long long purchaser = purchaserId;
    int state = 0;
    soci::indicator found = soci::i_null;
    sql << "SELECT state FROM cooperations WHERE supplier_id = :s AND purchaser_id = :p", soci::use(supplier),
        soci::use(purchaser), soci::into(state, found);
    return sql.got_data() && found == soci::i_ok ? state : 0;
}

void SqliteStorage::setCooperationState(std::int64_t supplierId, std::int64_t purchaserId, int state,
                                        const std::string &at)
{
    soci::session sql(*m_pool);
    Transaction transaction(sql, Transaction::Mode::Write);
    const long long supplier = supplierId;
    const long long purchaser = purchaserId;
    int rows = 0;
    sql << "SELECT COUNT(*) FROM cooperations WHERE supplier_id = :s AND purchaser_id = :p",
        soci::use(supplier), soci::use(purchaser), soci::into(rows);
    if (rows == 0) {
        sql << "INSERT INTO cooperations (supplier_id, purchaser_id, state, created_at, updated_at)"
               " VALUES (:s, :p, :st, :c, :u)",
            soci::use(supplier), soci::use(purchaser), soci::use(state), soci::use(at), soci::use(at);
    } else {
        sql << "UPDATE cooperations SET state = :st, updated_at = :u WHERE supplier_id = :s AND purchaser_id "
               "= :p",
            soci::use(state), soci::use(at), soci::use(supplier), soci::use(purchaser);
    }
    transaction.commit();
}

// ---- orders ----

namespace {

std::vector<OrderListRow> fetchOrderRows(soci::session &sql, const OrderListQuery &query, const char *tail,
                                         long long offset, long long limit)
{
    const long long me = query.accountId;
    const long long partner = query.partnerId;
    const std::vector<int> states = stateSlots(query.states);
    OrderListRow row;
    long long id = 0;
    std::vector<OrderListRow> rows;
    const std::string text = orderListSql(
        query, "SELECT o.id, o.state, o.order_no, p.company, o.pieces, o.total_fen, o.created_at", tail);
    soci::statement statement =
        (sql.prepare << text, soci::use(me, "me"), soci::use(states[0], "s0"), soci::use(states[1], "s1"),
         soci::use(states[2], "s2"), soci::use(states[3], "s3"), soci::use(partner, "p1"),
         soci::use(partner, "p2"), soci::use(limit, "lim"), soci::use(offset, "off"), soci::into(id),
         soci::into(row.state), soci::into(row.orderNo), soci::into(row.partnerCompany),
         soci::into(row.pieces), soci::into(row.totalFen), soci::into(row.createdAt));
    statement.execute();
    while (statement.fetch()) {
        row.id = id;
        rows.push_back(row);
    }
    return rows;
}

} // namespace

std::vector<OrderListRow> SqliteStorage::orderList(const OrderListQuery &query)
{
    soci::session sql(*m_pool);
    return fetchOrderRows(sql, query, " ORDER BY o.created_at DESC, o.id DESC LIMIT :lim OFFSET :off", 0,
                          std::numeric_limits<long long>::max());
}

long long SqliteStorage::orderCount(const OrderListQuery &query)
{
    soci::session sql(*m_pool);
    const long long me = query.accountId;
    const long long partner = query.partnerId;
    const std::vector<int> states = stateSlots(query.states);
    long long count = 0;
    sql << orderListSql(query, "SELECT COUNT(*)", ""), soci::use(me, "me"), soci::use(states[0], "s0"),
        soci::use(states[1], "s1"), soci::use(states[2], "s2"), soci::use(states[3], "s3"),
        soci::use(partner, "p1"), soci::use(partner, "p2"), soci::into(count);
    return count;
}

std::vector<OrderListRow> SqliteStorage::orderPage(const OrderListQuery &query, long long offset,
                                                   long long limit)
{
    soci::session sql(*m_pool);
    return fetchOrderRows(sql, query, " ORDER BY o.created_at DESC, o.id DESC LIMIT :lim OFFSET :off", offset,
                          limit);
}

Dashboard SqliteStorage::dashboard(std::int64_t accountId, bool supplierSide, const std::string &today,
                                   const std::string &yesterday)
{
    soci::session sql(*m_pool);
    Transaction transaction(sql, Transaction::Mode::Read);
    const std::string own = sideOf(supplierSide).own;
    const long long me = accountId;
    Dashboard figures;
    const std::string mine = " FROM orders o WHERE o." + own + " = :me";
    sql << "SELECT COUNT(*)" + mine + " AND o.state = 0", soci::use(me), soci::into(figures.pendingCount);
    sql << "SELECT COUNT(*)" + mine + " AND o.state = 1", soci::use(me), soci::into(figures.shippedCount);
    const std::string dayFigures = "SELECT COALESCE(SUM(o.total_fen), 0), COALESCE(SUM(o.pieces), 0)" + mine +
                                   " AND o.state <> 3 AND o.created_at BETWEEN :first AND :last";
    const std::string todayFirst = today + " 00:00:00";
    const std::string todayLast = today + " 23:59:59";
    const std::string yesterdayFirst = yesterday + " 00:00:00";
    const std::string yesterdayLast = yesterday + " 23:59:59";
    sql << dayFigures, soci::use(me), soci::use(todayFirst), soci::use(todayLast),
        soci::into(figures.todayFen), soci::into(figures.todayPieces);
    sql << dayFigures, soci::use(me), soci::use(yesterdayFirst), soci::use(yesterdayLast),
        soci::into(figures.yesterdayFen), soci::into(figures.yesterdayPieces);
    const std::string settled =
        "EXISTS (SELECT 1 FROM statements s WHERE s.id = o.statement_id AND s.state = 2)";
    sql << "SELECT COALESCE(SUM(o.total_fen), 0)" + mine + " AND o.state IN (1, 2) AND NOT " + settled,
        soci::use(me), soci::into(figures.unsettledFen);
    sql << "SELECT COALESCE(SUM(o.total_fen), 0)" + mine + " AND o.state <> 3 AND " + settled, soci::use(me),
        soci::into(figures.settledFen);
    transaction.commit();
    return figures;
}

std::int64_t SqliteStorage::insertOrder(const NewOrder &order)
{
    long long goodsFen = 0;
    long long pieces = 0;
    long long weight = 0;
    for (const NewOrderLine &line : order.lines) {
        goodsFen += line.priceFen * line.quantity;
        pieces += line.quantity;
        weight += line.weightG * line.quantity;
    }
    const long long total = goodsFen + order.freightFen;
    const long long supplier = order.supplierId;
    const long long purchaser = order.purchaserId;

    soci::session sql(*m_pool);
    Transaction transaction(sql, Transaction::Mode::Write);
    long long id = 0;
    sql << "INSERT INTO orders (order_no, supplier_id, purchaser_id, state, goods_amount_fen, freight_fen,"
           " total_fen, pieces, weight_g, address, message, ship_method, carrier, tracking_no, created_at,"
           " shipped_at) VALUES (:no, :s, :p, :st, :g, :f, :t, :pc, :w, :a, :m, :sm, :c, :tn, :ca, :sa)"
           " RETURNING id",
        soci::use(order.orderNo), soci::use(supplier), soci::use(purchaser), soci::use(order.state),
        soci::use(goodsFen), soci::use(order.freightFen), soci::use(total), soci::use(pieces),
        soci::use(weight), soci::use(order.address), soci::use(order.message), soci::use(order.shipMethod),
        soci::use(order.carrier), soci::use(order.trackingNo), soci::use(order.createdAt),
        soci::use(order.shippedAt), soci::into(id);
    int lineNo = 0;
    for (const NewOrderLine &line : order.lines) {
        ++lineNo;
        const long long goodsId = line.goodsId;
        const long long amount = line.priceFen * line.quantity;
        sql << "INSERT INTO order_lines (order_id, line_no, goods_id, name, code, spec, unit, price_fen, "
               "weight_g,"
               " quantity, amount_fen) VALUES (:o, :l, :g, :n, :c, :sp, :u, :pr, :w, :q, :a)",
            soci::use(id), soci::use(lineNo), soci::use(goodsId), soci::use(line.name), soci::use(line.code),
            soci::use(line.spec), soci::use(line.unit), soci::use(line.priceFen), soci::use(line.weightG),
            soci::use(line.quantity), soci::use(amount);
    }
    transaction.commit();
    return id;
}

bool SqliteStorage::orderNoExists(const std::string &orderNo)
{
    soci::session sql(*m_pool);
    int count = 0;
    sql << "SELECT COUNT(*) FROM orders WHERE order_no = :no", soci::use(orderNo), soci::into(count);
    return count > 0;
}

std::int64_t SqliteStorage::insertStatement(const std::string &statementNo, std::int64_t supplierId,
                                            std::int64_t purchaserId, const std::string &from,
                                            const std::string &to, int state,
                                            const std::vector<std::int64_t> &orderIds, const std::string &at)
{
    soci::session sql(*m_pool);
    Transaction transaction(sql, Transaction::Mode::Write);
    const long long supplier = supplierId;
    const long long purchaser = purchaserId;
    long long id = 0;
    sql << "INSERT INTO statements (statement_no, supplier_id, purchaser_id, date_from, date_to, state, "
           "created_at)"
           " VALUES (:no, :s, :p, :f, :t, :st, :at) RETURNING id",
        soci::use(statementNo), soci::use(supplier), soci::use(purchaser), soci::use(from), soci::use(to),
        soci::use(state), soci::use(at), soci::into(id);
    for (const std::int64_t orderId : orderIds) {
        const long long key = orderId;
        sql << "UPDATE orders SET statement_id = :st WHERE id = :id AND supplier_id = :s AND purchaser_id = "
               ":p",
            soci::use(id), soci::use(key), soci::use(supplier), soci::use(purchaser);
    }
    sql << "UPDATE statements SET goods_amount_fen = (SELECT COALESCE(SUM(goods_amount_fen), 0) FROM orders"
           " WHERE statement_id = :a), freight_fen = (SELECT COALESCE(SUM(freight_fen), 0) FROM orders"
           " WHERE statement_id = :b), total_fen = (SELECT COALESCE(SUM(total_fen), 0) FROM orders"
           " WHERE statement_id = :c) WHERE id = :d",
        soci::use(id), soci::use(id), soci::use(id), soci::use(id);
    transaction.commit();
    return id;
}

std::unique_ptr<Storage> openStorage(const std::string &url)
{
    const std::string prefix = "sqlite:";
    if (url.rfind(prefix, 0) != 0)
        throw std::runtime_error("unsupported database address (expected sqlite:PATH): " + url);
    const std::string path = url.substr(prefix.size());
    if (path.empty())
        throw std::runtime_error("database address without a path: " + url);
    return std::make_unique<SqliteStorage>(path, 4);
}

} // namespace vantrell::server
