#include "client/ui/account/mainwindow.h"

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/request.h"
#include "client/net/serverlink.h"
#include "client/ui/account/changepassword.h"
#include "client/ui/account/dashboard.h"
#include "client/ui/account/personalcentre.h"
#include "client/ui/account/usermenu.h"
#include "client/ui/common/listfiller.h"
#include "client/ui/common/pagedlist.h"
#include "client/ui/goods/goodspage.h"
#include "client/ui/goods/partnerpage.h"
#include "client/ui/goods/purchasergoodspage.h"
#include "client/ui/orders/financepage.h"
#include "client/ui/orders/orderhooks.h"
#include "client/ui/orders/orderpage.h"

#include <QTreeWidget>

namespace vantrell::client {

namespace {

MainWindow *mainWindow()
{
    return WindowRegistry::as<MainWindow>(WindowId::Main);
}

void openMainWindow()
{
    if (QWidget *login = WindowRegistry::get(WindowId::Login))
        login->hide();
    MainWindow *window = mainWindow();
    if (!window)
        window = new MainWindow;
    window->show();
    window->raise();
    window->activateWindow();
}

// The two cancel replies: an open order viewing window shows its order again, else
// the list is read again at its current page. The viewed order is asked for, not the
// row selected in the list: the window may have been opened from elsewhere.
void orderCancelled(const Reply &)
{
    MainWindow *window = mainWindow();
    if (!window)
        return;
    OrderPage *page = window->orderPage();
    if (WindowRegistry::isLoaded(WindowId::OrderViewing)) {
        ServerLink::instance().sendRequest(
            QStringLiteral("基础通讯_获取发货订单页面"),
            RequestFields().add(QStringLiteral("订单ID"), viewedOrderId()).bytes());
        return;
    }
    page->refresh(page->pager()->pageText());
}

} // namespace

void registerMainWindowHandlers()
{
    ReplyDispatcher &dispatcher = ReplyDispatcher::instance();
    dispatcher.setMainWindowOpener(openMainWindow);
    dispatcher.setPasswordChangedRoutine(logoutAfterPasswordChange);

    dispatcher.addAction(QStringLiteral("返回订单列表"), [](const Reply &reply) {
        if (MainWindow *window = mainWindow()) {
            window->orderPage()->fill(reply.fullText);
            ServerLink::instance().sendRequest(QStringLiteral("基础通讯_订单管理/获取实时数据"));
        }
    });
    dispatcher.addAction(QStringLiteral("订单管理/返回实时数据"), [](const Reply &reply) {
        if (MainWindow *window = mainWindow())
            window->orderPage()->dashboard()->fill(reply);
    });
    dispatcher.addAction(QStringLiteral("取消订单/订单关闭"), orderCancelled);
    dispatcher.addAction(QStringLiteral("取消订单/订单取消中"), orderCancelled);
    dispatcher.addAction(QStringLiteral("返回供应商查询商品列表"), [](const Reply &reply) {
        if (MainWindow *window = mainWindow())
            window->goodsPage()->fill(reply.fullText);
    });
    dispatcher.addAction(QStringLiteral("返回采购商查询商品列表"), [](const Reply &reply) {
        if (MainWindow *window = mainWindow())
            window->purchaserGoodsPage()->fill(reply.fullText);
    });
    dispatcher.addAction(QStringLiteral("返回申请合作列表"), [](const Reply &reply) {
        if (MainWindow *window = mainWindow())
            window->partnerPage()->fill(reply.fullText);
    });
    dispatcher.addAction(QStringLiteral("返回财务对账合作商列表"), [](const Reply &reply) {
        if (MainWindow *window = mainWindow())
            window->financePage()->fill(reply.fullText);
    });

    dispatcher.addAction(QStringLiteral("返回个人中心基本资料"), [](const Reply &reply) {
        if (auto *window = WindowRegistry::as<PersonalCentre>(WindowId::PersonalCentre))
            window->fill(reply);
    });
    dispatcher.addAction(QStringLiteral("保存个人中心基本资料成功"), [](const Reply &reply) {
        appState().profileName = reply.value(QStringLiteral("姓名"));
        WindowRegistry::close(WindowId::PersonalCentre);
        ServerLink::instance().deferMessageBox(QStringLiteral("保存成功!"), StyleInformation,
                                               QStringLiteral("基本资料"));
    });
    const auto openPage = [](const Reply &reply) {
        openAddress(reply.value(QStringLiteral("网址")));
    };
    dispatcher.addAction(QStringLiteral("个人中心/返回关于我们"), openPage);
    dispatcher.addAction(QStringLiteral("个人中心/返回使用帮助"), openPage);
}

} // namespace vantrell::client
