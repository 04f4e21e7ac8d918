#pragma once

// Demo merchants with contact data, a cooperation, orders in every state and a settled
// statement, so that the client shows real screens. Seeding again adds nothing.

#include "server/db/database.h"

#include <string>

namespace vantrell::server {

void seedDemo(db::Database &database);
// The same inside a transaction of the caller's; `passwordHash` is the demo password's.
void seedDemo(db::Tx &tx, const std::string &passwordHash);

} // namespace vantrell::server
