#pragma once

namespace vantrell::client {

class ReplyDispatcher;

// The main window opener, the password-changed routine and the replies of the personal
// centre, the user menu's address pages and the dashboard.
void registerAccountReplies(ReplyDispatcher &dispatcher);

} // namespace vantrell::client
