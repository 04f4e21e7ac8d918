// Signing in against the real server process: the main window opens, asks for the
// order list and then for the dashboard, and both arrive filled from the demo data.

#include "client/core/appstate.h"
#include "client/core/text.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/loginwindow.h"
#include "client/ui/account/mainwindow.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"
#include "support/server/launcher.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

using namespace vantrell::client;
using namespace vantrell::test;

TEST(MainWindowEndToEnd, SignInFillsTheOrderListAndThenTheDashboard)
{
    vantrell::testing::ServerProcess server({"--demo"});
    ASSERT_TRUE(server.started()) << server.log();

    FakeMessageBoxes boxes;
    boxes.answerNext(MessageAnswer::No); // no desktop shortcut
    TempUserData data;
    ProgramEndRecorder ender;
    registerAllHandlers();
    QStringList sent;
    ServerLink::instance().setRequestTap(
        [&sent](const QByteArray &payload) { sent << fromGbk(payload).section(QLatin1Char('|'), 0, 0); },
        false);

    {
        LoginWindow login;
        login.start();
        appState().serverHost = QStringLiteral("127.0.0.1");
        appState().serverPort = server.port();
        login.findChild<QLineEdit *>(QStringLiteral("编辑框_用户名"))->setText(QStringLiteral("supplier"));
        login.findChild<QLineEdit *>(QStringLiteral("编辑框_密码"))->setText(QStringLiteral("demo1234"));
        login.findChild<QAbstractButton *>(QStringLiteral("图形按钮_登录"))->click();

        ASSERT_TRUE(vantrell::test::waitFor([&] { return WindowRegistry::isLoaded(WindowId::Main); }, 10000));
        auto *main = WindowRegistry::as<MainWindow>(WindowId::Main);
        EXPECT_FALSE(login.isVisible());
        auto *orders = main->findChild<QTreeWidget *>(QStringLiteral("超级列表框_订单"));
        auto *waiting = main->findChild<QLabel *>(QStringLiteral("标签_发货_待发货"));
        ASSERT_TRUE(vantrell::test::waitFor([&] { return orders->topLevelItemCount() > 0; }, 10000));
        ASSERT_TRUE(vantrell::test::waitFor([&] { return waiting->text() != QStringLiteral("0"); }, 10000));

        const qsizetype list = sent.indexOf(QStringLiteral("基础通讯_查询订单"));
        const qsizetype figures = sent.indexOf(QStringLiteral("基础通讯_订单管理/获取实时数据"));
        ASSERT_GE(list, 0) << sent.join(QLatin1Char(' ')).toStdString();
        EXPECT_GT(figures, list);
        EXPECT_GE(waiting->text().toInt(), 1);
        EXPECT_FALSE(main->findChild<QLabel *>(QStringLiteral("标签_销售_今天"))->text().isEmpty());
        EXPECT_EQ(orders->headerItem()->text(2), QStringLiteral("订单号"));
        EXPECT_TRUE(boxes.shown().isEmpty() || boxes.shown().size() == 1) << boxes.last().text.toStdString();

        ServerLink::instance().setRequestTap({}, false);
        ServerLink::instance().disconnect();
        WindowRegistry::close(WindowId::Main);
        processPending();
    }
    EXPECT_TRUE(ender.codes().isEmpty());
}
