// Orders placed per second through the server's request path (router, policy, one write
// transaction with its stock, lines and number) against bare SQLite transactions doing the
// same inserts and updates on a file of the same kind; the same on PostgreSQL against
// libpq with statements prepared once (a throw-away cluster, see
// tests/support/server/pgcluster.h). No socket to the server: this measures what the
// server adds to the database's own cost.

#include "protocol/gbk.h"
#include "protocol/scramble.h"
#include "server/accounts/store.h"
#include "server/db/database.h"
#include "server/goods/store.h"
#include "server/handlers.h"
#include "server/partners/store.h"
#include "server/router.h"
#include "server/states.h"

#include "support/server/pgcluster.h"

#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace vantrell;
using namespace vantrell::server;

std::string tempDir()
{
    char pattern[] = "/tmp/vantrell-bench-XXXXXX";
    return mkdtemp(pattern);
}

struct Shop
{
    std::unique_ptr<db::Database> database;
    std::int64_t supplier = 0;
    std::int64_t purchaser = 0;
    std::vector<std::int64_t> goods;
};

Shop openShop(const std::string &url)
{
    Shop shop;
    shop.database = db::Database::open(url);
    shop.database->write([&](db::Tx &tx) {
        for (const auto &[name, type] :
             {std::pair{"supplier", kAccountSupplier}, std::pair{"purchaser", kAccountPurchaser}}) {
            accounts::Account account;
            account.userName = name;
            account.company = std::string(name) + " company";
            account.passwordHash = "h";
            account.type = type;
            account.createdAt = "2026-03-10 10:00:00";
            accounts::create(tx, account);
        }
        shop.supplier = accounts::byName(tx, "supplier")->id;
        shop.purchaser = accounts::byName(tx, "purchaser")->id;
        partners::setCooperationState(tx, shop.supplier, shop.purchaser, kCooperationActive,
                                      "2026-03-10 10:00:00");
        for (int i = 0; i < 5; ++i) {
            goods::Goods item;
            item.supplierId = shop.supplier;
            item.name = "商品" + std::to_string(i);
            item.unit = "袋子";
            item.priceFen = 1000 + i;
            item.weightG = 500;
            item.stock = 99'999'999;
            shop.goods.push_back(goods::insert(tx, item, "2026-03-10 10:00:00"));
        }
    });
    return shop;
}

void placeOrders(benchmark::State &state, Shop &shop)
{
    HandlerTable table;
    registerAllHandlers(table);
    const Config config;
    SessionState session;
    session.accountId = shop.purchaser;
    session.role = Role::Purchaser;
    std::string fields = "供应商ID[" + std::to_string(shop.supplier) + "]收货地址[" +
                         protocol::scramble(*protocol::utf8ToGbk("上海市浦东新区张江路88号")) +
                         "]供应商留言[]";
    for (std::int64_t goodsId : shop.goods)
        fields += "数据详情_商品ID[" + std::to_string(goodsId) + "]数量[1]\r\n";
    const std::string payload = *protocol::utf8ToGbk("基础通讯_下单|" + fields);
    for (auto _ : state) {
        const Routed routed = routeRequest(payload, session, *shop.database, config, table);
        if (routed.replies.size() != 1 || !routed.refusal.empty() || routed.failed)
            throw std::runtime_error("the order was not placed");
    }
    state.SetItemsProcessed(state.iterations());
}

void OrdersThroughTheServer(benchmark::State &state)
{
    const std::string dir = tempDir();
    Shop shop = openShop("sqlite:" + dir + "/orders.db");
    placeOrders(state, shop);
    shop.database.reset();
    std::filesystem::remove_all(dir);
}

// A fresh database of the executable's throw-away cluster; nullopt (and the benchmark
// skipped with the reason) when PostgreSQL cannot be started.
std::optional<std::string> postgresDatabase(benchmark::State &state)
{
    try {
        return vantrell::testing::PgCluster::instance().freshDatabase();
    } catch (const std::exception &error) {
        state.SkipWithError(error.what());
        return std::nullopt;
    }
}

void OrdersThroughTheServerOnPostgres(benchmark::State &state)
{
    const auto url = postgresDatabase(state);
    if (!url)
        return;
    Shop shop = openShop(*url);
    placeOrders(state, shop);
}

void checkPg(PGresult *result, PGconn *connection)
{
    const ExecStatusType status = PQresultStatus(result);
    PQclear(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        throw std::runtime_error(PQerrorMessage(connection));
}

// The same writes as an order through libpq, prepared once, on a database with the same
// schema.
void BarePostgresTransactions(benchmark::State &state)
{
    const auto url = postgresDatabase(state);
    if (!url)
        return;
    Shop shop = openShop(*url);
    shop.database.reset();
    auto &cluster = vantrell::testing::PgCluster::instance();
    PGconn *connection = PQconnectdb(cluster.keywords(*url).c_str());
    if (PQstatus(connection) != CONNECTION_OK)
        throw std::runtime_error(PQerrorMessage(connection));
    checkPg(PQprepare(connection, "order",
                      "INSERT INTO orders (order_no, supplier_id, purchaser_id, goods_amount_fen, total_fen,"
                      " pieces, weight_g, created_at) VALUES ($1, $2, $3, 5010, 5010, 5, 2500,"
                      " '2026-03-10 10:00:00') RETURNING id",
                      3, nullptr),
            connection);
    checkPg(PQprepare(connection, "line",
                      "INSERT INTO order_lines (order_id, line_no, goods_id, name, price_fen, quantity,"
                      " amount_fen) VALUES ($1, $2, $3, 'x', 1000, 1, 1000)",
                      3, nullptr),
            connection);
    checkPg(PQprepare(connection, "stock", "UPDATE goods SET stock = stock - 1 WHERE id = $1 AND stock >= 1",
                      1, nullptr),
            connection);
    const std::string supplier = std::to_string(shop.supplier);
    const std::string purchaser = std::to_string(shop.purchaser);
    long long number = 0;
    for (auto _ : state) {
        checkPg(PQexec(connection, "BEGIN"), connection);
        const std::string no = "B" + std::to_string(++number);
        const char *orderValues[] = {no.c_str(), supplier.c_str(), purchaser.c_str()};
        PGresult *inserted = PQexecPrepared(connection, "order", 3, orderValues, nullptr, nullptr, 0);
        if (PQresultStatus(inserted) != PGRES_TUPLES_OK) {
            PQclear(inserted);
            throw std::runtime_error(PQerrorMessage(connection));
        }
        const std::string orderId = PQgetvalue(inserted, 0, 0);
        PQclear(inserted);
        for (std::size_t i = 0; i < shop.goods.size(); ++i) {
            const std::string goodsId = std::to_string(shop.goods[i]);
            const std::string lineNo = std::to_string(i + 1);
            const char *stockValues[] = {goodsId.c_str()};
            checkPg(PQexecPrepared(connection, "stock", 1, stockValues, nullptr, nullptr, 0), connection);
            const char *lineValues[] = {orderId.c_str(), lineNo.c_str(), goodsId.c_str()};
            checkPg(PQexecPrepared(connection, "line", 3, lineValues, nullptr, nullptr, 0), connection);
        }
        checkPg(PQexec(connection, "COMMIT"), connection);
    }
    state.SetItemsProcessed(state.iterations());
    PQfinish(connection);
}

void check(int rc, sqlite3 *db)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(sqlite3_errmsg(db));
}

// The same writes as an order, prepared once, on a file with the same schema and settings.
void BareSqliteTransactions(benchmark::State &state)
{
    const std::string dir = tempDir();
    Shop shop = openShop("sqlite:" + dir + "/orders.db");
    shop.database.reset();
    sqlite3 *db = nullptr;
    check(sqlite3_open((dir + "/orders.db").c_str(), &db), db);
    check(sqlite3_exec(db, "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON",
                       nullptr, nullptr, nullptr),
          db);
    sqlite3_stmt *order = nullptr, *line = nullptr, *stock = nullptr;
    check(sqlite3_prepare_v2(
              db,
              "INSERT INTO orders (order_no, supplier_id, purchaser_id, goods_amount_fen, total_fen,"
              " pieces, weight_g, created_at) VALUES (?, ?, ?, 5010, 5010, 5, 2500, '2026-03-10 10:00:00')",
              -1, &order, nullptr),
          db);
    check(sqlite3_prepare_v2(
              db,
              "INSERT INTO order_lines (order_id, line_no, goods_id, name, price_fen, quantity, amount_fen)"
              " VALUES (?, ?, ?, 'x', 1000, 1, 1000)",
              -1, &line, nullptr),
          db);
    check(sqlite3_prepare_v2(db, "UPDATE goods SET stock = stock - 1 WHERE id = ? AND stock >= 1", -1, &stock,
                             nullptr),
          db);
    long long number = 0;
    for (auto _ : state) {
        check(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), db);
        const std::string no = "B" + std::to_string(++number);
        sqlite3_bind_text(order, 1, no.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(order, 2, shop.supplier);
        sqlite3_bind_int64(order, 3, shop.purchaser);
        check(sqlite3_step(order), db);
        sqlite3_reset(order);
        const sqlite3_int64 orderId = sqlite3_last_insert_rowid(db);
        for (std::size_t i = 0; i < shop.goods.size(); ++i) {
            sqlite3_bind_int64(stock, 1, shop.goods[i]);
            check(sqlite3_step(stock), db);
            sqlite3_reset(stock);
            sqlite3_bind_int64(line, 1, orderId);
            sqlite3_bind_int64(line, 2, static_cast<sqlite3_int64>(i + 1));
            sqlite3_bind_int64(line, 3, shop.goods[i]);
            check(sqlite3_step(line), db);
            sqlite3_reset(line);
        }
        check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    }
    state.SetItemsProcessed(state.iterations());
    sqlite3_finalize(order);
    sqlite3_finalize(line);
    sqlite3_finalize(stock);
    sqlite3_close(db);
    std::filesystem::remove_all(dir);
}

} // namespace

BENCHMARK(OrdersThroughTheServer)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BareSqliteTransactions)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
// The database works in its own processes: real time, not this process's CPU time.
BENCHMARK(OrdersThroughTheServerOnPostgres)->Unit(benchmark::kMicrosecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BarePostgresTransactions)->Unit(benchmark::kMicrosecond)->MinTime(2.0)->UseRealTime();
BENCHMARK_MAIN();
