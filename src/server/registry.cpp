#include "server/domains.h"

namespace vantrell::server {

void registerAllHandlers(HandlerTable &table)
{
    registerConnectionHandlers(table);
    accounts::registerHandlers(table);
    partners::registerHandlers(table);
    goods::registerHandlers(table);
    freight::registerHandlers(table);
    orders::registerHandlers(table);
    orders::registerPlacingHandlers(table);
    orders::registerLifecycleHandlers(table);
    finance::registerHandlers(table);
    finance::registerStatementHandlers(table);
}

} // namespace vantrell::server
