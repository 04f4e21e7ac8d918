#include "server/accounts.h"
#include "server/handlers.h"
#include "server/orders.h"
#include "server/personal.h"

namespace vantrell::server {

void registerAllHandlers(HandlerTable &table)
{
    registerAccountHandlers(table);
    registerPersonalHandlers(table);
    registerOrderListHandlers(table);
}

} // namespace vantrell::server
