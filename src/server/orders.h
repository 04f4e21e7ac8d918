#pragma once

// The order list and the dashboard figures above it. Placing, shipping and cancelling
// orders are handled elsewhere.

#include "server/handlers.h"
#include "server/storage.h"

#include <string>
#include <string_view>

namespace vantrell::server {

void registerOrderListHandlers(HandlerTable &table);

// "待发货", "已发货", "取消中", "已关闭"; empty for an unknown state.
std::string_view orderStateText(int state);

} // namespace vantrell::server
