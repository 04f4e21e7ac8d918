#include "client/ui/orders/handlers.h"

#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/request.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/common/pagedlist.h"
#include "client/ui/orders/orderhooks.h"
#include "client/ui/orders/orderpage.h"
#include "client/ui/orders/orderviewwindow.h"
#include "client/ui/orders/placinghandlers.h"

namespace vantrell::client {

namespace {

// The two cancel replies: an open order viewing window of that order shows it again
// (and then the list); otherwise the list is read again at its current page. The
// window's own order is asked for, not the row selected in the list: the window may
// have been opened from elsewhere.
void orderCancelled(const Reply &reply)
{
    auto *window = WindowRegistry::as<MainWindow>(WindowId::Main);
    if (!window)
        return;
    auto *viewer = WindowRegistry::as<OrderViewWindow>(WindowId::OrderViewing);
    if (viewer && viewer->orderId() == reply.value(QStringLiteral("订单ID"))) {
        viewer->orderCancelled();
        return;
    }
    OrderPage *page = window->orderPage();
    page->refresh(page->pager()->pageText());
}

void openOrderViewingWindow(QWidget *owner)
{
    WindowRegistry::close(WindowId::OrderViewing);
    (new OrderViewWindow(owner))->show();
}

} // namespace

void registerOrderReplies(ReplyDispatcher &dispatcher)
{
    using protocol::Reply;
    // The dashboard is read after every order list shown, so that its figures follow the
    // list (not after the pages an export reads).
    dispatcher.on(Reply::OrderListReply, [](const client::Reply &reply) {
        if (auto *window = WindowRegistry::as<MainWindow>(WindowId::Main)) {
            if (window->orderPage()->fill(reply.fullText))
                send<protocol::Request::Dashboard>();
        }
    });
    setOrderViewerOpener(openOrderViewingWindow);
    dispatcher.on(Reply::OrderPageReply, [](const client::Reply &reply) {
        if (auto *viewer = WindowRegistry::as<OrderViewWindow>(WindowId::OrderViewing))
            viewer->fillPage(reply);
    });
    dispatcher.on(Reply::CarriersReply, [](const client::Reply &reply) {
        if (auto *viewer = WindowRegistry::as<OrderViewWindow>(WindowId::OrderViewing))
            viewer->fillCarriers(reply);
    });
    dispatcher.on(Reply::OrderClosed, orderCancelled);
    dispatcher.on(Reply::OrderCancelling, orderCancelled);
    registerPlacingReplies(dispatcher);
}

} // namespace vantrell::client
