#include "client/ui/freight/handlers.h"

#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/ui/freight/freightwindow.h"

namespace vantrell::client {

void registerFreightReplies(ReplyDispatcher &dispatcher)
{
    using protocol::Reply;
    dispatcher.on(Reply::FreightModeReply, [](const client::Reply &reply) {
        if (auto *window = WindowRegistry::as<FreightWindow>(WindowId::FreightSettings))
            window->fillModes(reply);
    });
    dispatcher.on(Reply::FreightTemplateReply, [](const client::Reply &reply) {
        if (auto *window = WindowRegistry::as<FreightWindow>(WindowId::FreightSettings))
            window->fillTemplate(reply.fullText);
    });
}

} // namespace vantrell::client
