#pragma once

namespace vantrell::client {

class ReplyDispatcher;

// The finance page, the finance reconciliation and the statement creation windows.
void registerFinanceReplies(ReplyDispatcher &dispatcher);

} // namespace vantrell::client
