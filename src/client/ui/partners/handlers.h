#pragma once

namespace vantrell::client {

class ReplyDispatcher;

// The partner page, the cooperation application window and the supplier drop-down.
void registerPartnerReplies(ReplyDispatcher &dispatcher);

} // namespace vantrell::client
