#pragma once

namespace vantrell::client {

class ReplyDispatcher;

// The partner page's list.
void registerPartnerReplies(ReplyDispatcher &dispatcher);

} // namespace vantrell::client
