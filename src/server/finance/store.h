#pragma once

// Statements between a supplier and a purchaser, and the money of each pair.

#include "server/db/database.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantrell::server::finance {

// One partner on the finance page, with the money of the pair.
struct PartnerRow
{
    std::int64_t partnerId = 0;
    std::string company;
    std::string contact;
    std::string phone;
    std::string address;
    long long settledFen = 0;   // orders in settled statements, closed ones left out
    long long unsettledFen = 0; // shipped (or cancelling) orders in no settled statement
};

// Every partner with a cooperation in any state or with orders, the most recent business
// (order or cooperation) first.
std::vector<PartnerRow> partnerList(db::Tx &tx, std::int64_t accountId, bool supplierSide);

// A statement over the given orders of one pair; its amounts are the sums of the orders.
std::int64_t insertStatement(db::Tx &tx, const std::string &statementNo, std::int64_t supplierId,
                             std::int64_t purchaserId, const std::string &from, const std::string &to,
                             int state, const std::vector<std::int64_t> &orderIds, const std::string &at);

struct Statement
{
    std::int64_t id = 0;
    std::string statementNo;
    std::int64_t supplierId = 0;
    std::int64_t purchaserId = 0;
    std::string from;
    std::string to;
    long long goodsFen = 0;
    long long freightFen = 0;
    long long totalFen = 0;
    int state = 0;
};

// One order of a statement's details.
struct DetailRow
{
    std::int64_t orderId = 0;
    int state = 0;
    std::string orderNo;
    long long pieces = 0;
    long long goodsFen = 0;
    long long freightFen = 0;
    long long totalFen = 0;
};

// Which orders the details show.
enum class Details
{
    OfStatement, // the orders of one statement
    Settled,     // orders in settled statements
    Unsettled    // shipped orders in no settled statement
};

// The pair's statements, newest first.
std::vector<Statement> statements(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId);
std::optional<Statement> statementById(db::Tx &tx, std::int64_t statementId);
std::optional<Statement> statementOfRange(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId,
                                          const std::string &from, const std::string &to);
std::vector<DetailRow> details(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId, Details which,
                               std::int64_t statementId);
// Shipped orders (or cancelling) of the pair that are in no settled statement, in fen.
long long unsettledFen(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId);

// The end date of the pair's newest statement; empty before the first.
std::string lastEnd(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId);
// The ship date of the pair's earliest shipped order in no statement; empty when none.
std::string earliestUnbilled(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId);
// Shipped orders of the pair in no statement, shipped on or before `to`.
std::vector<std::int64_t> unbilledOrders(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId,
                                         const std::string &to);
long long unbilledFen(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId, const std::string &to);
// Moves the statement from `from` to `to`; false when its state was no longer `from`.
bool changeStatementState(db::Tx &tx, std::int64_t statementId, int from, int to, const std::string &at);
// True when one of the statement's orders waits for the supplier's answer to a cancel.
bool holdsCancelling(db::Tx &tx, std::int64_t statementId);

// The statement's state; nullopt when there is no such statement.
std::optional<int> statementState(db::Tx &tx, std::int64_t statementId);
// Sums the statement's amounts from its orders again; a statement left without an order
// is removed.
void recompute(db::Tx &tx, std::int64_t statementId);

} // namespace vantrell::server::finance
