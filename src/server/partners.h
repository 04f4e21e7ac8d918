#pragma once

// The partner page's list: the cooperations of the logged-in merchant, from either side.
// Applying for, agreeing to and cancelling a cooperation are handled elsewhere.

#include "server/handlers.h"

#include <string_view>

namespace vantrell::server {

void registerPartnerListHandlers(HandlerTable &table);

// "审核中", "正常", "停用"; empty for no cooperation.
std::string_view cooperationStateText(int state);

} // namespace vantrell::server
