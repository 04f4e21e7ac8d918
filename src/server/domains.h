#pragma once

// Each business domain registers the rows of its requests: src/server/<domain>/handlers.cpp.

#include "server/handlers.h"

namespace vantrell::server {

namespace accounts {
void registerHandlers(HandlerTable &table);
} // namespace accounts

namespace partners {
void registerHandlers(HandlerTable &table);
} // namespace partners

namespace goods {
void registerHandlers(HandlerTable &table);
} // namespace goods

namespace freight {
void registerHandlers(HandlerTable &table);
} // namespace freight

namespace orders {
void registerHandlers(HandlerTable &table);
// Placing an order: the supplier, category and goods lists of the order window, and 下单.
void registerPlacingHandlers(HandlerTable &table);
// After placing: the order page, shipping, cancelling.
void registerLifecycleHandlers(HandlerTable &table);
} // namespace orders

namespace finance {
void registerHandlers(HandlerTable &table);
// Statements: list, details, creating, reconciling and settling.
void registerStatementHandlers(HandlerTable &table);
} // namespace finance

} // namespace vantrell::server
