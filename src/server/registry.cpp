#include "server/accounts.h"
#include "server/finance.h"
#include "server/goods.h"
#include "server/handlers.h"
#include "server/orders.h"
#include "server/partners.h"
#include "server/personal.h"

namespace vantrell::server {

void registerAllHandlers(HandlerTable &table)
{
    registerAccountHandlers(table);
    registerPersonalHandlers(table);
    registerOrderListHandlers(table);
    registerPartnerListHandlers(table);
    registerFinanceListHandlers(table);
    registerGoodsListHandlers(table);
}

} // namespace vantrell::server
