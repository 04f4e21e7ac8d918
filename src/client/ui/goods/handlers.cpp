#include "client/ui/goods/handlers.h"

#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/goods/goodspage.h"
#include "client/ui/goods/purchasergoodspage.h"

namespace vantrell::client {

void registerGoodsReplies(ReplyDispatcher &dispatcher)
{
    using protocol::Reply;
    dispatcher.on(Reply::SupplierGoodsListReply, [](const client::Reply &reply) {
        if (auto *window = WindowRegistry::as<MainWindow>(WindowId::Main))
            window->goodsPage()->fill(reply.fullText);
    });
    dispatcher.on(Reply::PurchaserGoodsListReply, [](const client::Reply &reply) {
        if (auto *window = WindowRegistry::as<MainWindow>(WindowId::Main))
            window->purchaserGoodsPage()->fill(reply.fullText);
    });
}

} // namespace vantrell::client
