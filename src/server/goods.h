#pragma once

// The goods pages' lists: the supplier's own catalogue and the purchaser's view of the
// goods of its active partners.

#include "server/handlers.h"

namespace vantrell::server {

void registerGoodsListHandlers(HandlerTable &table);

} // namespace vantrell::server
