#include "client/ui/account/handlers.h"

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/changepassword.h"
#include "client/ui/account/dashboard.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/account/personalcentre.h"
#include "client/ui/account/usermenu.h"
#include "client/ui/orders/orderpage.h"

namespace vantrell::client {

namespace {

void openMainWindow()
{
    if (QWidget *login = WindowRegistry::get(WindowId::Login))
        login->hide();
    auto *window = WindowRegistry::as<MainWindow>(WindowId::Main);
    if (!window)
        window = new MainWindow;
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

void registerAccountReplies(ReplyDispatcher &dispatcher)
{
    using protocol::Reply;
    dispatcher.setMainWindowOpener(openMainWindow);
    dispatcher.setPasswordChangedRoutine(logoutAfterPasswordChange);

    dispatcher.on(Reply::DashboardReply, [](const client::Reply &reply) {
        if (auto *window = WindowRegistry::as<MainWindow>(WindowId::Main))
            window->orderPage()->dashboard()->fill(reply);
    });
    dispatcher.on(Reply::PersonalDataReply, [](const client::Reply &reply) {
        if (auto *window = WindowRegistry::as<PersonalCentre>(WindowId::PersonalCentre))
            window->fill(reply);
    });
    dispatcher.on(Reply::PersonalDataSaved, [](const client::Reply &reply) {
        appState().profileName = reply.value(QStringLiteral("姓名"));
        WindowRegistry::close(WindowId::PersonalCentre);
        ServerLink::instance().deferMessageBox(QStringLiteral("保存成功!"), StyleInformation,
                                               QStringLiteral("基本资料"));
    });
    dispatcher.on(Reply::AboutUsReply, [](const client::Reply &reply) {
        openAddress(reply.value(QStringLiteral("网址")), QStringLiteral("关于我们"));
    });
    dispatcher.on(Reply::HelpReply, [](const client::Reply &reply) {
        openAddress(reply.value(QStringLiteral("网址")), QStringLiteral("使用帮助"));
    });
}

} // namespace vantrell::client
