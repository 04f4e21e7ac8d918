#pragma once

namespace vantrell::client {

class ReplyDispatcher;

// The freight settings window.
void registerFreightReplies(ReplyDispatcher &dispatcher);

} // namespace vantrell::client
