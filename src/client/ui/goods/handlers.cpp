#include "client/ui/goods/handlers.h"

#include "client/core/messagebox.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/goods/goodseditor.h"
#include "client/ui/goods/goodspage.h"
#include "client/ui/goods/grantwindow.h"
#include "client/ui/goods/purchasergoodspage.h"
#include "client/ui/partners/partnerhooks.h"

namespace vantrell::client {

namespace {

GoodsPage *supplierGoodsPage()
{
    auto *window = WindowRegistry::as<MainWindow>(WindowId::Main);
    return window ? window->goodsPage() : nullptr;
}

void closeEditorWith(const QString &text)
{
    if (!WindowRegistry::isLoaded(WindowId::GoodsEditing))
        return;
    WindowRegistry::close(WindowId::GoodsEditing);
    ServerLink::instance().deferMessageBox(text, StyleInformation, QStringLiteral("提示"));
}

} // namespace

void registerGoodsReplies(ReplyDispatcher &dispatcher)
{
    using protocol::Reply;
    setGrantWindowOpener(openGrantWindowOver);
    dispatcher.on(Reply::SupplierGoodsListReply, [](const client::Reply &reply) {
        if (GoodsPage *page = supplierGoodsPage())
            page->fill(reply.fullText);
    });
    dispatcher.on(Reply::PurchaserGoodsListReply, [](const client::Reply &reply) {
        if (auto *window = WindowRegistry::as<MainWindow>(WindowId::Main))
            window->purchaserGoodsPage()->fill(reply.fullText);
    });

    dispatcher.on(Reply::GoodsAdded, [](const client::Reply &) {
        if (GoodsPage *page = supplierGoodsPage())
            page->refresh(QStringLiteral("1"));
        closeEditorWith(QStringLiteral("商品增加成功!"));
    });
    dispatcher.on(Reply::GoodsEdited, [](const client::Reply &) {
        if (GoodsPage *page = supplierGoodsPage())
            page->refresh(page->pageText());
        closeEditorWith(QStringLiteral("商品编辑成功!"));
    });
    dispatcher.on(Reply::GoodsShelved, [](const client::Reply &) {
        if (GoodsPage *page = supplierGoodsPage())
            page->refresh(QStringLiteral("1"));
    });
    dispatcher.on(Reply::GoodsCategoriesReply, [](const client::Reply &reply) {
        if (auto *editor = WindowRegistry::as<GoodsEditor>(WindowId::GoodsEditing))
            editor->fillCategories(reply.fullText);
    });
    dispatcher.on(Reply::GoodsInfoReply, [](const client::Reply &reply) {
        if (auto *editor = WindowRegistry::as<GoodsEditor>(WindowId::GoodsEditing))
            editor->fill(reply);
    });

    dispatcher.on(Reply::DistributorListReply, [](const client::Reply &reply) {
        if (auto *window = WindowRegistry::as<GrantWindow>(WindowId::GoodsAuthorisation))
            window->fillDistributors(reply.fullText);
    });
    dispatcher.on(Reply::GrantGoodsListReply, [](const client::Reply &reply) {
        if (auto *window = WindowRegistry::as<GrantWindow>(WindowId::GoodsAuthorisation))
            window->fillGoods(reply);
    });
    dispatcher.on(Reply::GrantModeChanged, [](const client::Reply &reply) {
        if (auto *window = WindowRegistry::as<GrantWindow>(WindowId::GoodsAuthorisation))
            window->modeChanged(reply);
    });
}

} // namespace vantrell::client
