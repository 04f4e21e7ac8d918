// A password change against the real server: the window driven from the keyboard, the
// deliberate logout without the connection-lost box, the account's other session ended by
// the server, and a sign-in with the new password that shows the last sign-in time.

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/loginwindow.h"
#include "client/ui/account/mainwindow.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"
#include "support/server/launcher.h"
#include "support/server/testclient.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace vantrell::client;
using namespace vantrell::test;
namespace testing_ = vantrell::testing;

TEST(PasswordChangeEndToEnd, TheChangerLeavesWithoutAnErrorAndSignsInWithTheNewPassword)
{
    testing_::InProcessServer server;
    testing_::TestClient other;
    ASSERT_TRUE(other.connect(server.port()));
    ASSERT_TRUE(other.registerAccount("seller01", "secret1", "远航供应链有限公司", "2"));
    ASSERT_TRUE(other.login("seller01", "secret1")); // the account's session elsewhere

    FakeMessageBoxes boxes;
    TempUserData data;
    ProgramEndRecorder ender;
    registerAllHandlers();
    LoginWindow login;
    login.start();
    appState().serverHost = QStringLiteral("127.0.0.1");
    appState().serverPort = server.port();

    auto *button = child<QPushButton>(&login, QStringLiteral("图形按钮_登录"));
    const QString idle = button->text();
    child<QLineEdit>(&login, QStringLiteral("编辑框_用户名"))->setText(QStringLiteral("seller01"));
    child<QLineEdit>(&login, QStringLiteral("编辑框_密码"))->setText(QStringLiteral("secret1"));
    button->click();
    EXPECT_FALSE(button->isEnabled());
    ASSERT_TRUE(waitFor([] { return WindowRegistry::isLoaded(WindowId::Main); }, 10000));
    auto *main = WindowRegistry::as<MainWindow>(WindowId::Main);
    // The other session signed in first: its time is this sign-in's "last" one.
    auto *last = child<QLabel>(main, QStringLiteral("标签_上次登陆"));
    EXPECT_TRUE(last->text().startsWith(QStringLiteral("上次登陆: 20"))) << last->text().toStdString();

    main->toggleUserMenu();
    QWidget *menu = WindowRegistry::get(WindowId::UserMenu);
    ASSERT_NE(menu, nullptr);
    child<QPushButton>(menu, QStringLiteral("超级按钮_修改密码"))->click();
    QWidget *change = WindowRegistry::get(WindowId::ChangePassword);
    ASSERT_NE(change, nullptr);
    processPending();
    child<QLineEdit>(change, QStringLiteral("编辑框_原密码"))->setText(QStringLiteral("secret1"));
    child<QLineEdit>(change, QStringLiteral("编辑框_新密码"))->setText(QStringLiteral("fresh22"));
    auto *repeat = child<QLineEdit>(change, QStringLiteral("编辑框_新密码重复"));
    repeat->setText(QStringLiteral("fresh22"));
    boxes.clear();
    QTest::keyClick(repeat, Qt::Key_Return);

    ASSERT_TRUE(
        waitFor([&] { return !WindowRegistry::isLoaded(WindowId::Main) && login.isVisible(); }, 10000));
    // Whatever the connection's end still sends in, it is no loss to report.
    QTest::qWait(300);
    processPending();
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.last().text, QStringLiteral("密码修改成功,请重新登陆!"));
    EXPECT_EQ(boxes.last().style, int(StyleInformation));
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::ChangePassword));
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->text(), idle);
    EXPECT_TRUE(other.waitClosed()) << "the account's other session was left open";

    // The old password no longer works, the new one does.
    boxes.clear();
    child<QLineEdit>(&login, QStringLiteral("编辑框_密码"))->setText(QStringLiteral("secret1"));
    button->click();
    ASSERT_TRUE(waitFor([&] { return !boxes.shown().isEmpty(); }, 10000));
    ASSERT_TRUE(waitFor([&] { return button->isEnabled(); }, 5000));
    EXPECT_EQ(boxes.last().style, int(StyleError));
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::Main));
    ASSERT_TRUE(signInThrough(&login, QStringLiteral("seller01"), QStringLiteral("fresh22")));
    EXPECT_TRUE(ender.codes().isEmpty());
    signOutClosing();
    ReplyDispatcher::instance().setMainWindowOpener({});
    ReplyDispatcher::instance().setPasswordChangedRoutine({});
}
