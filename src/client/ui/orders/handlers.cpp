#include "client/ui/orders/handlers.h"

#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/request.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/common/pagedlist.h"
#include "client/ui/orders/orderhooks.h"
#include "client/ui/orders/orderpage.h"

namespace vantrell::client {

namespace {

// The two cancel replies: an open order viewing window shows its order again, else
// the list is read again at its current page. The viewed order is asked for, not the
// row selected in the list: the window may have been opened from elsewhere.
void orderCancelled(const Reply &)
{
    auto *window = WindowRegistry::as<MainWindow>(WindowId::Main);
    if (!window)
        return;
    if (WindowRegistry::isLoaded(WindowId::OrderViewing)) {
        send<protocol::Request::OrderPage>(viewedOrderId());
        return;
    }
    OrderPage *page = window->orderPage();
    page->refresh(page->pager()->pageText());
}

} // namespace

void registerOrderReplies(ReplyDispatcher &dispatcher)
{
    using protocol::Reply;
    // The dashboard is read after every order list, so that its figures follow the list.
    dispatcher.on(Reply::OrderListReply, [](const client::Reply &reply) {
        if (auto *window = WindowRegistry::as<MainWindow>(WindowId::Main)) {
            window->orderPage()->fill(reply.fullText);
            send<protocol::Request::Dashboard>();
        }
    });
    dispatcher.on(Reply::OrderClosed, orderCancelled);
    dispatcher.on(Reply::OrderCancelling, orderCancelled);
}

} // namespace vantrell::client
