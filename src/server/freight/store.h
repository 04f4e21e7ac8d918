#pragma once

// A supplier's freight settings and template rows.

#include "server/db/database.h"
#include "server/freight/freight.h"

#include <cstdint>

namespace vantrell::server::freight {

// The supplier's settings; rows it never saved are zero, the modes default to manual and
// by weight.
Template load(db::Tx &tx, std::int64_t supplierId);
void saveModes(db::Tx &tx, std::int64_t supplierId, int freightMode, int chargeMode);
void saveRow(db::Tx &tx, std::int64_t supplierId, int region, const Row &row);

} // namespace vantrell::server::freight
