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

// The statement's state; nullopt when there is no such statement.
std::optional<int> statementState(db::Tx &tx, std::int64_t statementId);
// Sums the statement's amounts from its orders again; a statement left without an order
// is removed.
void recompute(db::Tx &tx, std::int64_t statementId);

} // namespace vantrell::server::finance
