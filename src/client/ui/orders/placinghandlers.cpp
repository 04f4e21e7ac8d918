#include "client/ui/orders/placinghandlers.h"

#include "client/core/messagebox.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/orders/goodschooserwindow.h"
#include "client/ui/orders/orderhooks.h"
#include "client/ui/orders/orderpage.h"
#include "client/ui/orders/orderplacingwindow.h"

namespace vantrell::client {

namespace {

OrderPlacingWindow *placingWindow()
{
    return WindowRegistry::as<OrderPlacingWindow>(WindowId::OrderPlacing);
}

} // namespace

void registerPlacingReplies(ReplyDispatcher &dispatcher)
{
    using protocol::Reply;
    setOrderPlacingOpener([](QWidget *owner) {
        if (QWidget *open = WindowRegistry::get(WindowId::OrderPlacing)) {
            open->raise();
            return;
        }
        (new OrderPlacingWindow(owner))->show();
    });

    dispatcher.on(Reply::OrderSuppliersReply, [](const client::Reply &reply) {
        if (auto *window = placingWindow())
            window->fillSuppliers(reply.fullText);
    });
    dispatcher.on(Reply::OrderCategoriesReply, [](const client::Reply &reply) {
        if (auto *chooser = WindowRegistry::as<GoodsChooserWindow>(WindowId::GoodsChoosing))
            chooser->addCategories(reply.value(QStringLiteral("分类列表")));
    });
    // The same list serves the goods choosing window and a paste into the order form.
    dispatcher.on(Reply::OrderGoodsListReply, [](const client::Reply &reply) {
        if (auto *chooser = WindowRegistry::as<GoodsChooserWindow>(WindowId::GoodsChoosing))
            chooser->fillGoods(reply.fullText);
        else if (auto *window = placingWindow())
            window->completePaste(reply.fullText);
    });
    dispatcher.on(Reply::OrderFreightReply, [](const client::Reply &reply) {
        if (auto *window = placingWindow())
            window->showFreight(reply.value(QStringLiteral("运费")));
    });
    dispatcher.on(Reply::OrderPlaced, [](const client::Reply &) {
        auto *main = WindowRegistry::as<MainWindow>(WindowId::Main);
        if (!main || !placingWindow())
            return;
        WindowRegistry::close(WindowId::GoodsChoosing);
        WindowRegistry::close(WindowId::OrderPlacing);
        main->orderPage()->refresh(QStringLiteral("1"));
        ServerLink::instance().deferMessageBox(QStringLiteral("下单成功!"), StyleInformation,
                                               QStringLiteral("下单"));
    });
}

} // namespace vantrell::client
