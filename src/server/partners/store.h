#pragma once

// Cooperations between a supplier and a purchaser.

#include "server/db/database.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantrell::server::partners {

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

struct Cooperation
{
    int state = 0;     // cooperations.state
    int stoppedBy = 0; // account type of the side that stopped it, 0 when nobody did
};

// One supplier of the cooperation application list, with this purchaser's state.
struct SupplierRow
{
    std::int64_t id = 0;
    std::string userName;
    std::string company;
    int state = 0; // 0 without a cooperation
};

std::optional<Cooperation> cooperation(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId);

// A new cooperation in 审核中; false when the pair has one already.
bool insertApplication(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId, const std::string &at);

// Moves the pair from `from` to `to`, recording who stopped it (0 unless `to` is 停用);
// false when its state was no longer `from` (another request came first).
bool changeState(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId, int from, int to,
                 int stoppedBy, const std::string &at);

// Every supplier, by company name, with the purchaser's cooperation state.
std::vector<SupplierRow> suppliersFor(db::Tx &tx, std::int64_t purchaserId);

// The cooperation's state, 0 when there is none.
int cooperationState(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId);
// Sets the pair's state whatever it was (demo data and tests).
void setCooperationState(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId, int state,
                         const std::string &at, int stoppedBy = 0);

// Newest cooperation first. `activeOnly` keeps the 正常 ones.
std::vector<PartnerRow> partnerList(db::Tx &tx, std::int64_t accountId, bool supplierSide, bool activeOnly);

} // namespace vantrell::server::partners
