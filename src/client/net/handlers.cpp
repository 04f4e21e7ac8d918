#include "client/ui/account/handlers.h"
#include "client/net/dispatcher.h"
#include "client/ui/finance/handlers.h"
#include "client/ui/freight/handlers.h"
#include "client/ui/goods/handlers.h"
#include "client/ui/orders/handlers.h"
#include "client/ui/partners/handlers.h"

namespace vantrell::client {

// Each domain registers the replies of its own windows; the account results, the
// version, heartbeat and notices are routed by the dispatcher itself.
void registerAllHandlers(ReplyDispatcher &dispatcher)
{
    registerAccountReplies(dispatcher);
    registerGoodsReplies(dispatcher);
    registerFreightReplies(dispatcher);
    registerPartnerReplies(dispatcher);
    registerOrderReplies(dispatcher);
    registerFinanceReplies(dispatcher);
}

void registerAllHandlers()
{
    ReplyDispatcher &dispatcher = ReplyDispatcher::instance();
    dispatcher.clear();
    registerAllHandlers(dispatcher);
}

} // namespace vantrell::client
