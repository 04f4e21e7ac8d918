#include "server/handlers.h"

namespace vantrell::server {

void registerAllHandlers(HandlerTable &table)
{
    (void)table;
}

} // namespace vantrell::server
