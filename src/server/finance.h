#pragma once

// The finance page's partner list with the settled and unsettled money of each pair.
// Statements themselves are handled elsewhere.

#include "server/handlers.h"

namespace vantrell::server {

void registerFinanceListHandlers(HandlerTable &table);

} // namespace vantrell::server
