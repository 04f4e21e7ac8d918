#include "server/storage_sqlite.h"

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

TEST(StorageTest, ReopeningKeepsDataAndAppliesEachMigrationOnce)
{
    TempDatabase db;
    {
        SqliteStorage storage(db.path(), 2);
        EXPECT_EQ(storage.schemaVersion(), schemaMigrations().back().version);
        ASSERT_EQ(storage.createAccount(account("alice", "Alice Foods")), CreateAccountResult::Created);
    }
    SqliteStorage reopened(db.path(), 2);
    EXPECT_EQ(reopened.schemaVersion(), schemaMigrations().back().version);
    EXPECT_TRUE(reopened.accountByName("alice"));

    soci::session sql(soci::sqlite3, "db=" + db.path());
    int applied = 0;
    sql << "SELECT COUNT(*) FROM schema_version", soci::into(applied);
    EXPECT_EQ(applied, static_cast<int>(schemaMigrations().size()));
    std::string mode;
    sql << "PRAGMA journal_mode", soci::into(mode);
    EXPECT_EQ(mode, "wal");
}

TEST(StorageTest, BadAddressesFailClearly)
{
    EXPECT_THROW(openStorage("postgres://nowhere"), std::runtime_error);
    EXPECT_THROW(openStorage("sqlite:"), std::runtime_error);
    EXPECT_THROW(openStorage("sqlite:/nonexistent-dir/sub/x.db"), std::runtime_error);
    EXPECT_NO_THROW(openStorage("sqlite::memory:"));
}

TEST(StorageTest, UnfinishedTransactionRollsBack)
{
    TempDatabase db;
    SqliteStorage storage(db.path(), 1);
    {
        soci::session sql(soci::sqlite3, "db=" + db.path());
        try {
            Transaction transaction(sql, Transaction::Mode::Write);
            sql << "INSERT INTO accounts (user_name, password_hash, company, type, created_at)"
                   " VALUES ('ghost', 'h', 'Ghost Ltd', 1, '2026-03-10 10:00:00')";
            throw std::runtime_error("interrupted");
        } catch (const std::runtime_error &) {
        }
    }
    EXPECT_FALSE(storage.accountByName("ghost"));

    NewOrder order;
    order.orderNo = "DUP";
    ASSERT_EQ(storage.createAccount(account("s", "Supplier Co")), CreateAccountResult::Created);
    order.supplierId = order.purchaserId = storage.accountByName("s")->id;
    order.createdAt = "2026-03-10 10:00:00";
    order.lines = {NewOrderLine{1, "Rice", "", "", "", 100, 10, 1}};
    storage.insertOrder(order);
    EXPECT_ANY_THROW(storage.insertOrder(order));
    soci::session sql(soci::sqlite3, "db=" + db.path());
    int lines = 0;
    sql << "SELECT COUNT(*) FROM order_lines", soci::into(lines);
    EXPECT_EQ(lines, 1) << "a refused order left lines behind";
}

TEST(StorageTest, ConcurrentWritersLoseNothing)
{
    TempDatabase db;
    SqliteStorage storage(db.path(), 4);
    ASSERT_EQ(storage.createAccount(account("s", "Supplier Co")), CreateAccountResult::Created);
    const std::int64_t id = storage.accountByName("s")->id;

    constexpr int kThreads = 4;
    constexpr int kRounds = 25;
    std::vector<std::vector<std::string>> seen(kThreads);
    std::vector<CreateAccountResult> races(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            races[t] = storage.createAccount(account("racer" + std::to_string(t), "Same Company"));
            for (int i = 0; i < kRounds; ++i) {
                char at[32];
                std::snprintf(at, sizeof at, "2026-03-10 1%d:%02d:00", t, i);
                seen[t].push_back(storage.recordLogin(id, at));
                NewOrder order;
                order.orderNo = "T" + std::to_string(t) + "-" + std::to_string(i);
                order.supplierId = order.purchaserId = id;
                order.createdAt = at;
                order.lines = {NewOrderLine{1, "Rice", "", "", "", 100, 10, 2}};
                storage.insertOrder(order);
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();

    EXPECT_EQ(std::count(races.begin(), races.end(), CreateAccountResult::Created), 1);
    OrderListQuery query;
    query.accountId = id;
    query.supplierSide = true;
    EXPECT_EQ(storage.orderCount(query), kThreads * kRounds);

    // Each login saw the one before it: no two read the same previous value.
    std::set<std::string> previous;
    for (const auto &list : seen)
        previous.insert(list.begin(), list.end());
    EXPECT_EQ(previous.size(), static_cast<std::size_t>(kThreads * kRounds));
}

} // namespace
} // namespace vantrell::server
