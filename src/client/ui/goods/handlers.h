#pragma once

namespace vantrell::client {

class ReplyDispatcher;

// The goods lists of the supplier's and the purchaser's goods pages.
void registerGoodsReplies(ReplyDispatcher &dispatcher);

} // namespace vantrell::client
