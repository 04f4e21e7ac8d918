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

// 合计页数 for `rows` rows: at least 1.
long long pageCount(long long rows, int pageSize);
// The asked page clamped to 1..pages.
long long clampPage(long long asked, long long pages);

} // namespace vantrell::server
