#pragma once

namespace vantrell::client {

class ReplyDispatcher;

// The finance page's partner list.
void registerFinanceReplies(ReplyDispatcher &dispatcher);

} // namespace vantrell::client
