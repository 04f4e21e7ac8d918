#pragma once

// One storage interface for every domain. SQLite through SOCI is the embedded default;
// PostgreSQL follows behind the same interface. Every write is one transaction.
// Implementations are safe to call from several threads at once.
//
// The interface grows domain by domain; the methods are declared by the domain owner.
// Times are local "YYYY-MM-DD HH:MM:SS" texts passed in by the caller, money is in fen.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vantrell::server {

// accounts.type
inline constexpr int kAccountPurchaser = 1;
inline constexpr int kAccountSupplier = 2;

// cooperations.state
inline constexpr int kCooperationApplied = 1; // 审核中
inline constexpr int kCooperationActive = 2;  // 正常
inline constexpr int kCooperationStopped = 3; // 停用

// orders.state
inline constexpr int kOrderPending = 0;    // 待发货
inline constexpr int kOrderShipped = 1;    // 已发货
inline constexpr int kOrderCancelling = 2; // 取消中
inline constexpr int kOrderClosed = 3;     // 已关闭

// statements.state
inline constexpr int kStatementOpen = 0;       // 待对账
inline constexpr int kStatementReconciled = 1; // 已对账
inline constexpr int kStatementSettled = 2;    // 已结算

struct Account
{
    std::int64_t id = 0;
    std::string userName;
    std::string passwordHash;
    std::string phone;
    std::string company;
    int type = 0;
    std::string contact;
    std::string email;
    std::string address;
    std::string createdAt;
    std::string lastLoginAt;
};

enum class CreateAccountResult
{
    Created,
    NameTaken,
    CompanyTaken
};

struct ContactData
{
    std::string contact;
    std::string phone;
    std::string email;
    std::string address;
};

// What an order list shows; the side decides whose orders and who "the other party" is.
struct OrderListQuery
{
    std::int64_t accountId = 0;
    bool supplierSide = false;
    std::vector<int> states;    // empty: every state
    std::int64_t partnerId = 0; // 0: every partner
};

struct OrderListRow
{
    std::int64_t id = 0;
    int state = 0;
    std::string orderNo;
    std::string partnerCompany;
    long long pieces = 0;
    long long totalFen = 0;
    std::string createdAt;
};

struct Dashboard
{
    long long pendingCount = 0;
    long long shippedCount = 0;
    long long todayFen = 0;
    long long yesterdayFen = 0;
    long long todayPieces = 0;
    long long yesterdayPieces = 0;
    long long unsettledFen = 0;
    long long settledFen = 0;
};

// Used by the demo data and by tests; order placing proper belongs to the orders domain.
struct NewOrderLine
{
    std::int64_t goodsId = 0;
    std::string name;
    std::string code;
    std::string spec;
    std::string unit;
    long long priceFen = 0;
    long long weightG = 0;
    long long quantity = 0;
};

struct NewOrder
{
    std::string orderNo;
    std::int64_t supplierId = 0;
    std::int64_t purchaserId = 0;
    int state = kOrderPending;
    long long freightFen = 0;
    std::string address;
    std::string message;
    int shipMethod = 0;
    std::string carrier;
    std::string trackingNo;
    std::string createdAt;
    std::string shippedAt;
    std::vector<NewOrderLine> lines;
};

// One partner of a merchant: the other side of a cooperation.
struct PartnerRow
{
    std::int64_t partnerId = 0;
    int state = 0; // cooperations.state
    std::string company;
    std::string contact;
    std::string phone;
    std::string address;
};

// One partner on the finance page, with the money of the pair.
struct FinancePartnerRow
{
    std::int64_t partnerId = 0;
    std::string company;
    std::string contact;
    std::string phone;
    std::string address;
    long long settledFen = 0;   // orders in settled statements, closed ones left out
    long long unsettledFen = 0; // shipped (or cancelling) orders in no settled statement
};

class Storage
{
public:
    virtual ~Storage() = default;

    // Accounts. The checks of name and company and the insert are one transaction.
    virtual CreateAccountResult createAccount(const Account &account) = 0;
    virtual std::optional<Account> accountById(std::int64_t id) = 0;
    virtual std::optional<Account> accountByName(const std::string &userName) = 0;
    // Stores `at` as the last login and returns the previous one (empty on the first).
    virtual std::string recordLogin(std::int64_t id, const std::string &at) = 0;
    virtual void setPasswordHash(std::int64_t id, const std::string &hash) = 0;
    virtual void setContactData(std::int64_t id, const ContactData &data) = 0;

    // Failed logins by user name, kept for the lock-out; `since` bounds what is read.
    // Failures older than `pruneBefore` (of any user name) are dropped on the way.
    virtual void recordLoginFailure(const std::string &userName, const std::string &at,
                                    const std::string &pruneBefore) = 0;
    virtual std::vector<std::string> loginFailuresSince(const std::string &userName,
                                                        const std::string &since) = 0;
    virtual void clearLoginFailures(const std::string &userName) = 0;

    // Cooperation between a supplier and a purchaser (0 when there is none).
    virtual int cooperationState(std::int64_t supplierId, std::int64_t purchaserId) = 0;
    virtual void setCooperationState(std::int64_t supplierId, std::int64_t purchaserId, int state,
                                     const std::string &at) = 0;

    // Orders: the list (newest first) and the dashboard figures.
    virtual std::vector<OrderListRow> orderList(const OrderListQuery &query) = 0;
    virtual long long orderCount(const OrderListQuery &query) = 0;
    virtual std::vector<OrderListRow> orderPage(const OrderListQuery &query, long long offset,
                                                long long limit) = 0;
    virtual Dashboard dashboard(std::int64_t accountId, bool supplierSide, const std::string &today,
                                const std::string &yesterday) = 0;
    // Stores a complete order with its lines; amounts and pieces follow from the lines.
    virtual std::int64_t insertOrder(const NewOrder &order) = 0;
    virtual bool orderNoExists(const std::string &orderNo) = 0;
    // A statement over the given orders of one pair; used by the demo data and tests.
    virtual std::int64_t insertStatement(const std::string &statementNo, std::int64_t supplierId,
                                         std::int64_t purchaserId, const std::string &from,
                                         const std::string &to, int state,
                                         const std::vector<std::int64_t> &orderIds,
                                         const std::string &at) = 0;

    // Partner lists, newest cooperation first. `activeOnly` keeps the 正常 ones.
    virtual std::vector<PartnerRow> partnerList(std::int64_t accountId, bool supplierSide,
                                                bool activeOnly) = 0;
    // Every partner with a cooperation in any state or with orders, the most recent
    // business (order or cooperation) first.
    virtual std::vector<FinancePartnerRow> financePartnerList(std::int64_t accountId, bool supplierSide) = 0;
};

// "sqlite:PATH", "sqlite::memory:" (a private in-memory database; all sessions see it).
// Applies the schema migrations. Throws std::runtime_error with a clear message on failure.
std::unique_ptr<Storage> openStorage(const std::string &url);

// Seeds the demo merchants and their data (idempotent).
void seedDemo(Storage &storage);

} // namespace vantrell::server
