#pragma once

namespace vantrell::client {

class ReplyDispatcher;

// The order list and the two results of cancelling an order.
void registerOrderReplies(ReplyDispatcher &dispatcher);

} // namespace vantrell::client
