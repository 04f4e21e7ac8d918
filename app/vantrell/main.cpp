// The client program: the login window first; the main window opens after a sign-in.

#include "client/core/appstate.h"
#include "client/core/translations.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/loginwindow.h"

#include <QApplication>
#include <QFont>
#include <memory>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 9));
    // The login window is hidden, not closed, while the main window is open; the program
    // ends only through its own exit paths.
    QApplication::setQuitOnLastWindowClosed(false);

    using namespace vantrell::client;
    loadQtTranslations();
    ServerLink::instance();
    registerAllHandlers();

    auto login = std::make_unique<LoginWindow>();
    login->start();
    const int exitCode = QApplication::exec();

    ServerLink::instance().disconnect();
    return exitCode;
}
