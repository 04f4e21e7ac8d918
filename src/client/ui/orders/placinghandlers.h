#pragma once

namespace vantrell::client {

class ReplyDispatcher;

// The replies of the order placing and goods choosing windows; also makes the order
// page's 下单 button open the order placing window.
void registerPlacingReplies(ReplyDispatcher &dispatcher);

} // namespace vantrell::client
