#pragma once

// Orders and their lines; the order list and the dashboard figures.

#include "server/db/database.h"
#include "server/states.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantrell::server::orders {

// What an order list shows; the side decides whose orders and who "the other party" is.
struct ListQuery
{
    std::int64_t accountId = 0;
    bool supplierSide = false;
    std::vector<int> states;    // empty: every state
    std::int64_t partnerId = 0; // 0: every partner
};

struct ListRow
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

struct NewLine
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
    std::vector<NewLine> lines;
};

// One order with its lines, as stored.
struct Order
{
    std::int64_t id = 0;
    std::string orderNo;
    std::int64_t supplierId = 0;
    std::int64_t purchaserId = 0;
    int state = kOrderPending;
    long long goodsFen = 0;
    long long freightFen = 0;
    long long totalFen = 0;
    long long pieces = 0;
    long long weightG = 0;
    std::string address;
    std::string message;
    int shipMethod = 0;
    std::string carrier;
    std::string trackingNo;
    std::string createdAt;
    std::string shippedAt;
    std::int64_t statementId = 0;
    std::vector<NewLine> lines;
};

// The order when `accountId` is its supplier or its purchaser; nullopt otherwise.
std::optional<Order> find(db::Tx &tx, std::int64_t orderId, std::int64_t accountId);

// Moves the order from `from` to `to`; false when its state was no longer `from`.
bool changeState(db::Tx &tx, std::int64_t orderId, int from, int to, const std::string &at);
// Ships a pending order: freight, method, carrier and number recorded, the total
// recomputed; false when it was no longer pending.
bool ship(db::Tx &tx, std::int64_t orderId, long long freightFen, int method, const std::string &carrier,
          const std::string &trackingNo, const std::string &at);
// The carrier of the supplier's most recent shipment; empty before the first.
std::string lastCarrier(db::Tx &tx, std::int64_t supplierId);
// Takes the order out of its statement (statement_id 0).
void leaveStatement(db::Tx &tx, std::int64_t orderId);

// Newest first. `list` returns every matching order, `page` one page of them.
std::vector<ListRow> list(db::Tx &tx, const ListQuery &query);
long long count(db::Tx &tx, const ListQuery &query);
std::vector<ListRow> page(db::Tx &tx, const ListQuery &query, long long offset, long long limit);

Dashboard dashboard(db::Tx &tx, std::int64_t accountId, bool supplierSide, const std::string &today,
                    const std::string &yesterday);

// Stores a complete order with its lines; amounts and pieces follow from the lines.
std::int64_t insert(db::Tx &tx, const NewOrder &order);

// The next number of the day ("YYYYMMDD"), from 1; shared by every server process through
// the database.
long long nextDailyNumber(db::Tx &tx, const std::string &day);

} // namespace vantrell::server::orders
