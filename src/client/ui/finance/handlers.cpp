#include "client/ui/finance/handlers.h"

#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/finance/financepage.h"

namespace vantrell::client {

void registerFinanceReplies(ReplyDispatcher &dispatcher)
{
    dispatcher.on(protocol::Reply::FinancePartnersReply, [](const Reply &reply) {
        if (auto *window = WindowRegistry::as<MainWindow>(WindowId::Main))
            window->financePage()->fill(reply.fullText);
    });
}

} // namespace vantrell::client
