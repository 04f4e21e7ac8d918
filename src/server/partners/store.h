#pragma once

// Cooperations between a supplier and a purchaser.

#include "server/db/database.h"

#include <cstdint>
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

// The cooperation's state, 0 when there is none.
int cooperationState(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId);
void setCooperationState(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId, int state,
                         const std::string &at);

// Newest cooperation first. `activeOnly` keeps the 正常 ones.
std::vector<PartnerRow> partnerList(db::Tx &tx, std::int64_t accountId, bool supplierSide, bool activeOnly);

} // namespace vantrell::server::partners
