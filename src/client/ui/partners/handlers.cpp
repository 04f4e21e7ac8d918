#include "client/ui/partners/handlers.h"

#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/partners/partnerpage.h"

namespace vantrell::client {

void registerPartnerReplies(ReplyDispatcher &dispatcher)
{
    dispatcher.on(protocol::Reply::PartnerListReply, [](const Reply &reply) {
        if (auto *window = WindowRegistry::as<MainWindow>(WindowId::Main))
            window->partnerPage()->fill(reply.fullText);
    });
}

} // namespace vantrell::client
