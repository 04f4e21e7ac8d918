// The real client against the real server process speaking TLS with the test
// certificate: the settings of the user-data file turn TLS on, a certificate the client
// does not trust is refused with its message, the pinned one signs in and the order list
// comes through, and a client still set to plain TCP does not get in.

#include "client/core/appstate.h"
#include "client/core/userdata.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/loginwindow.h"
#include "client/ui/account/mainwindow.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"
#include "support/server/launcher.h"
#include "vantrell_config.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace vantrell::client;
using namespace vantrell::test;

namespace {

std::string dataFile(const char *relative)
{
    return std::string(VANTRELL_TEST_DATA) + "/" + relative;
}

void setItem(const char *key, const QString &value)
{
    ASSERT_TRUE(UserData::write(QStringLiteral("系统设置"), QString::fromUtf8(key), value));
}

// Clicks 登录 in a freshly started login window (the program reads its settings at
// start) and waits for the connect's result, then for the main window, a box or the
// connection's end.
void attemptLogin(FakeMessageBoxes &boxes)
{
    boxes.clear();
    LoginWindow login;
    login.start();
    login.findChild<QLineEdit *>(QStringLiteral("编辑框_用户名"))->setText(QStringLiteral("supplier"));
    login.findChild<QLineEdit *>(QStringLiteral("编辑框_密码"))->setText(QStringLiteral("demo1234"));
    auto *button = login.findChild<QAbstractButton *>(QStringLiteral("图形按钮_登录"));
    button->click();
    ASSERT_TRUE(waitFor([&] { return button->isEnabled(); }, 15000)) << "the connect ends";
    waitFor(
        [&] {
            return WindowRegistry::isLoaded(WindowId::Main) || !boxes.shown().isEmpty() ||
                   !appState().connected;
        },
        15000);
    if (!WindowRegistry::isLoaded(WindowId::Main))
        return;
    auto *main = WindowRegistry::as<MainWindow>(WindowId::Main);
    auto *orders = main->findChild<QTreeWidget *>(QStringLiteral("超级列表框_订单"));
    EXPECT_TRUE(waitFor([&] { return orders->topLevelItemCount() > 0; }, 10000)) << "the demo orders came";
    signOutClosing();
}

} // namespace

TEST(TlsEndToEnd, PinnedCertificateSignsInAndOthersAreRefused)
{
    vantrell::testing::ServerProcess server(
        {"--demo", "--tls-cert", dataFile("tls/server.crt"), "--tls-key", dataFile("tls/server.key")});
    ASSERT_TRUE(server.started()) << server.log();

    FakeMessageBoxes boxes;
    TempUserData data;
    ProgramEndRecorder ender;
    registerAllHandlers();
    setItem("版本号", QString::fromUtf8(vantrell::config::kProgramVersion)); // no shortcut question
    setItem("服务器地址", QStringLiteral("localhost"));
    setItem("服务器端口", QString::number(server.port()));
    setItem("加密连接", QStringLiteral("1"));
    const QString certificateText = QString::fromUtf8(vantrell::config::kCertificateErrorText);

    // A certificate the client was not given.
    setItem("服务器证书", QString::fromStdString(dataFile("tls/other.crt")));
    attemptLogin(boxes);
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::Main));
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.last().text, certificateText);

    // The system's trusted certificates do not include the self-signed test certificate.
    setItem("服务器证书", QString());
    attemptLogin(boxes);
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::Main));
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.last().text, certificateText);

    // The server's own certificate pinned: signed in, and the order list arrives.
    setItem("服务器证书", QString::fromStdString(dataFile("tls/server.crt")));
    attemptLogin(boxes);
    EXPECT_TRUE(appState().serverTls);
    EXPECT_EQ(appState().profileName.isEmpty(), false) << "the login reply came over TLS";
    EXPECT_TRUE(boxes.shown().isEmpty() || boxes.last().text != certificateText);

    // A client still set to plain TCP is turned away by the TLS port without hanging.
    setItem("加密连接", QStringLiteral("0"));
    appState().profileName.clear();
    attemptLogin(boxes);
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::Main));
    EXPECT_TRUE(appState().profileName.isEmpty());
    EXPECT_FALSE(appState().connected);

    appState().serverTls = false;
    appState().serverCertFile.clear();
    EXPECT_TRUE(ender.codes().isEmpty());
}
