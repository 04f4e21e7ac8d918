#include "client/ui/partners/handlers.h"

#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/partners/cooperationwindow.h"
#include "client/ui/partners/partnerpage.h"
#include "client/ui/partners/supplierdropdown.h"

namespace vantrell::client {

void registerPartnerReplies(ReplyDispatcher &dispatcher)
{
    dispatcher.on(protocol::Reply::PartnerListReply, [](const Reply &reply) {
        if (auto *window = WindowRegistry::as<MainWindow>(WindowId::Main))
            window->partnerPage()->fill(reply.fullText);
    });
    // Agreeing and cancelling change the list the user is looking at: read it again from
    // the first page, with the same sub-tab and keyword.
    const auto refreshPartners = [](const Reply &) {
        if (auto *window = WindowRegistry::as<MainWindow>(WindowId::Main))
            window->partnerPage()->refresh(QStringLiteral("1"));
    };
    dispatcher.on(protocol::Reply::PartnerEnabled, refreshPartners);
    dispatcher.on(protocol::Reply::PartnerDisabled, refreshPartners);
    dispatcher.on(protocol::Reply::ApplicationListReply, [](const Reply &reply) {
        if (auto *window = WindowRegistry::as<CooperationWindow>(WindowId::CooperationApplication))
            window->fill(reply.fullText);
    });
    dispatcher.on(protocol::Reply::SupplierDropDownReply, [](const Reply &reply) {
        if (auto *window = WindowRegistry::as<SupplierDropDown>(WindowId::SupplierDropDown))
            window->fill(reply.fullText);
    });
}

} // namespace vantrell::client
