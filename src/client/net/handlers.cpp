#include "client/net/dispatcher.h"
#include "client/ui/account/mainwindow.h"

namespace vantrell::client {

// Each screen registers the business replies it waits for; the account results, the
// version, heartbeat and notices are routed by the dispatcher itself.
void registerAllHandlers()
{
    registerMainWindowHandlers();
}

} // namespace vantrell::client
