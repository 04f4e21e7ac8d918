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

namespace orders {
void registerHandlers(HandlerTable &table);
} // namespace orders

namespace finance {
void registerHandlers(HandlerTable &table);
} // namespace finance

} // namespace vantrell::server
