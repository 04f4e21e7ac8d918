#include "server/accounts/store.h"
#include "server/db/database.h"
#include "server/finance/store.h"
#include "server/orders/store.h"
#include "server/partners/store.h"
#include "server/states.h"

#include <gtest/gtest.h>
#include <soci/soci.h>
#include <soci/sqlite3/soci-sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <thread>

namespace vantrell::server {
namespace {

using accounts::Account;
using accounts::CreateResult;
using db::Database;
using db::Tx;

class TempDatabase
{
public:
    TempDatabase()
    {
        char pattern[] = "/tmp/vantrell-storage-XXXXXX";
        m_dir = mkdtemp(pattern);
    }
    ~TempDatabase() { std::filesystem::remove_all(m_dir); }
    std::string path() const { return (m_dir / "test.db").string(); }
    std::string url() const { return "sqlite:" + path(); }

private:
    std::filesystem::path m_dir;
};

Account account(const std::string &name, const std::string &company)
{
    Account a;
    a.userName = name;
    a.passwordHash = "hash";
    a.company = company;
    a.type = kAccountSupplier;
    a.createdAt = "2026-03-10 10:00:00";
    return a;
}

orders::NewOrder order(const std::string &no, std::int64_t supplier, std::int64_t purchaser,
                       long long quantity = 1)
{
    orders::NewOrder o;
    o.orderNo = no;
    o.supplierId = supplier;
    o.purchaserId = purchaser;
    o.createdAt = "2026-03-10 10:00:00";
    o.lines = {orders::NewLine{1, "Rice", "", "", "", 100, 10, quantity}};
    return o;
}

long long countRows(const std::string &path, const std::string &table)
{
    soci::session sql(soci::sqlite3, "db=" + path);
    long long rows = 0;
    sql << "SELECT COUNT(*) FROM " + table, soci::into(rows);
    return rows;
}

TEST(StorageTest, ReopeningKeepsDataAndAppliesEachMigrationOnce)
{
    TempDatabase temp;
    {
        auto database = Database::open(temp.url());
        EXPECT_EQ(database->schemaVersion(), db::schemaMigrations().back().version);
        ASSERT_EQ(
            database->write([](Tx &tx) { return accounts::create(tx, account("alice", "Alice Foods")); }),
            CreateResult::Created);
    }
    auto reopened = Database::open(temp.url());
    EXPECT_EQ(reopened->schemaVersion(), db::schemaMigrations().back().version);
    EXPECT_TRUE(reopened->read([](Tx &tx) { return accounts::byName(tx, "alice"); }));

    EXPECT_EQ(countRows(temp.path(), "schema_version"),
              static_cast<long long>(db::schemaMigrations().size()));
    soci::session sql(soci::sqlite3, "db=" + temp.path());
    std::string mode;
    sql << "PRAGMA journal_mode", soci::into(mode);
    EXPECT_EQ(mode, "wal");
}

TEST(StorageTest, BadAddressesFailClearly)
{
    EXPECT_THROW(Database::open("postgres://nowhere"), std::runtime_error);
    EXPECT_THROW(Database::open("sqlite:"), std::runtime_error);
    EXPECT_THROW(Database::open("sqlite:/nonexistent-dir/sub/x.db"), std::runtime_error);
    EXPECT_NO_THROW(Database::open("sqlite::memory:"));
}

// A handler that changes several domains and then refuses, or throws half way, must
// leave every table as it was.
TEST(StorageTest, RefusalOrFailureInAMultiStoreWriteLeavesEveryTableAsItWas)
{
    TempDatabase temp;
    auto database = Database::open(temp.url());
    const auto [supplier, buyer] = database->write([](Tx &tx) {
        accounts::create(tx, account("s", "Supplier Co"));
        accounts::create(tx, account("b", "Buyer Co"));
        return std::pair{accounts::byName(tx, "s")->id, accounts::byName(tx, "b")->id};
    });
    const std::vector<std::string> tables = {"accounts", "cooperations", "orders", "order_lines",
                                             "statements"};
    std::vector<long long> before;
    for (const std::string &table : tables)
        before.push_back(countRows(temp.path(), table));

    const auto changeEverything = [&](Tx &tx) {
        accounts::create(tx, account("c", "Third Co"));
        accounts::setContactData(tx, supplier, {"Changed", "13900000000", "", ""});
        partners::setCooperationState(tx, supplier, buyer, kCooperationActive, "2026-03-10 10:00:00");
        const std::int64_t id = orders::insert(tx, order("N1", supplier, buyer));
        finance::insertStatement(tx, "DZ1", supplier, buyer, "2026-03-10", "2026-03-10", kStatementOpen, {id},
                                 "2026-03-10 10:00:00");
    };
    database->write([&](Tx &tx) {
        changeEverything(tx);
        tx.rollbackOnly(); // what the router does when the handler answers with a refusal
    });
    EXPECT_THROW(database->write([&](Tx &tx) {
        changeEverything(tx);
        orders::insert(tx, order("N1", supplier, buyer)); // a duplicate order number fails
    }),
                 soci::soci_error);

    for (std::size_t i = 0; i < tables.size(); ++i)
        EXPECT_EQ(countRows(temp.path(), tables[i]), before[i]) << tables[i];
    EXPECT_EQ(database->read([&](Tx &tx) { return accounts::byId(tx, supplier)->contact; }), "");

    // The same connection goes on working after both.
    database->write([&](Tx &tx) { orders::insert(tx, order("N2", supplier, buyer)); });
    EXPECT_EQ(countRows(temp.path(), "orders"), before[2] + 1);
}

// Statements prepared once per connection see every later change, on every thread.
TEST(StorageTest, PreparedStatementsAreReusedAndStayCurrent)
{
    TempDatabase temp;
    auto database = Database::open(temp.url());
    const std::int64_t id = database->write([](Tx &tx) {
        accounts::create(tx, account("s", "Supplier Co"));
        return accounts::byName(tx, "s")->id;
    });
    orders::ListQuery query;
    query.accountId = id;
    query.supplierSide = true;
    for (int i = 1; i <= 3; ++i) {
        database->write([&](Tx &tx) { orders::insert(tx, order("P" + std::to_string(i), id, id, i)); });
        EXPECT_EQ(database->read([&](Tx &tx) { return orders::count(tx, query); }), i);
        const auto rows = database->read([&](Tx &tx) { return orders::page(tx, query, 0, 2); });
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(std::min(i, 2)));
        EXPECT_EQ(rows.front().pieces, i) << "the newest first";
    }
    query.states = {kOrderClosed};
    EXPECT_EQ(database->read([&](Tx &tx) { return orders::count(tx, query); }), 0);
    EXPECT_FALSE(database->read([](Tx &tx) { return accounts::byName(tx, "nobody"); }));
    EXPECT_TRUE(database->read([](Tx &tx) { return accounts::byName(tx, "s"); }));

    std::thread other(
        [&] { EXPECT_EQ(database->read([&](Tx &tx) { return orders::list(tx, query).size(); }), 0u); });
    other.join();
    EXPECT_EQ(database->connectionCount(), 2u);
}

TEST(StorageTest, ConcurrentWritersLoseNothing)
{
    TempDatabase temp;
    auto database = Database::open(temp.url());
    const std::int64_t id = database->write([](Tx &tx) {
        accounts::create(tx, account("s", "Supplier Co"));
        return accounts::byName(tx, "s")->id;
    });

    constexpr int kThreads = 4;
    constexpr int kRounds = 25;
    std::vector<std::vector<std::string>> seen(kThreads);
    std::vector<CreateResult> races(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            races[t] = database->write([&](Tx &tx) {
                return accounts::create(tx, account("racer" + std::to_string(t), "Same Company"));
            });
            for (int i = 0; i < kRounds; ++i) {
                char at[32];
                std::snprintf(at, sizeof at, "2026-03-10 1%d:%02d:00", t, i);
                seen[t].push_back(database->write([&](Tx &tx) { return accounts::recordLogin(tx, id, at); }));
                database->write([&](Tx &tx) {
                    orders::insert(tx, order("T" + std::to_string(t) + "-" + std::to_string(i), id, id, 2));
                });
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();

    EXPECT_EQ(std::count(races.begin(), races.end(), CreateResult::Created), 1);
    orders::ListQuery query;
    query.accountId = id;
    query.supplierSide = true;
    EXPECT_EQ(countRows(temp.path(), "orders"), kThreads * kRounds);
    EXPECT_EQ(database->read([&](Tx &tx) { return orders::count(tx, query); }), kThreads * kRounds);

    // Each login saw the one before it: no two read the same previous value.
    std::set<std::string> previous;
    for (const auto &list : seen)
        previous.insert(list.begin(), list.end());
    EXPECT_EQ(previous.size(), static_cast<std::size_t>(kThreads * kRounds));
}

} // namespace
} // namespace vantrell::server
