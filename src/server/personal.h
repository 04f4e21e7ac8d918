#pragma once

// The personal centre: contact data and the about / help addresses.

#include "server/handlers.h"

namespace vantrell::server {

void registerPersonalHandlers(HandlerTable &table);

} // namespace vantrell::server
