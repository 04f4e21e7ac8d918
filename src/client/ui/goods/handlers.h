#pragma once

namespace vantrell::client {

class ReplyDispatcher;

// The goods pages, the goods editing window, goods authorisation and freight settings.
void registerGoodsReplies(ReplyDispatcher &dispatcher);

} // namespace vantrell::client
