#pragma once

// The SQLite implementation of Storage. Each call borrows a session from a pool; every
// write runs in one WriteTransaction (BEGIN IMMEDIATE, so two writers never deadlock on
// a lock upgrade) that rolls back unless committed. Values always travel as bound
// parameters. Other domains add their methods here and implement them in their own
// storage_sqlite_<domain>.cpp with the same helpers.

#include "server/storage.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace soci {
class connection_pool;
class session;
} // namespace soci

namespace vantrell::server {

// One schema step. "{id}" in a statement stands for the dialect's auto-increment key.
struct Migration
{
    int version;
    const char *name;
    std::vector<const char *> statements;
};

// Every migration in order of version; defined in migrations.cpp. Append, never edit.
const std::vector<Migration> &schemaMigrations();

class Transaction
{
public:
    enum class Mode
    {
        Read,
        Write
    };
    Transaction(soci::session &session, Mode mode);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit();

private:
    soci::session &m_session;
    bool m_open = true;
};

class SqliteStorage final : public Storage
{
public:
    // `path` is a file name or ":memory:" (then the pool holds one connection, so that
    // every caller sees the same database).
    SqliteStorage(const std::string &path, std::size_t poolSize);
    ~SqliteStorage() override;

    int schemaVersion();

    CreateAccountResult createAccount(const Account &account) override;
    std::optional<Account> accountById(std::int64_t id) override;
    std::optional<Account> accountByName(const std::string &userName) override;
    std::string recordLogin(std::int64_t id, const std::string &at) override;
    void setPasswordHash(std::int64_t id, const std::string &hash) override;
    void setContactData(std::int64_t id, const ContactData &data) override;
    void recordLoginFailure(const std::string &userName, const std::string &at,
                            const std::string &pruneBefore) override;
    std::vector<std::string> loginFailuresSince(const std::string &userName,
                                                const std::string &since) override;
    void clearLoginFailures(const std::string &userName) override;

    int cooperationState(std::int64_t supplierId, std::int64_t purchaserId) override;
    void setCooperationState(std::int64_t supplierId, std::int64_t purchaserId, int state,
                             const std::string &at) override;

    std::vector<OrderListRow> orderList(const OrderListQuery &query) override;
    long long orderCount(const OrderListQuery &query) override;
    std::vector<OrderListRow> orderPage(const OrderListQuery &query, long long offset,
                                        long long limit) override;
    Dashboard dashboard(std::int64_t accountId, bool supplierSide, const std::string &today,
                        const std::string &yesterday) override;
    std::int64_t insertOrder(const NewOrder &order) override;
    bool orderNoExists(const std::string &orderNo) override;
    std::int64_t insertStatement(const std::string &statementNo, std::int64_t supplierId,
                                 std::int64_t purchaserId, const std::string &from, const std::string &to,
                                 int state, const std::vector<std::int64_t> &orderIds,
                                 const std::string &at) override;

    std::vector<PartnerRow> partnerList(std::int64_t accountId, bool supplierSide, bool activeOnly) override;
    std::vector<FinancePartnerRow> financePartnerList(std::int64_t accountId, bool supplierSide) override;

protected:
    soci::connection_pool &pool() { return *m_pool; }

private:
    void migrate();

    std::unique_ptr<soci::connection_pool> m_pool;
    std::size_t m_poolSize;
};

} // namespace vantrell::server
