// Against the real server process: registration, login of both merchant types, a
// refused login, and the return to the login window when the server goes away.

#include "client/core/appstate.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/loginwindow.h"
#include "client/ui/account/registrationwindow.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"
#include "support/server/launcher.h"
#include "vantrell_config.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>

using namespace vantrell;
using client::WindowId;
using client::WindowRegistry;

namespace {

class EndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.started()) << m_server.log();
        client::AppState &state = client::appState();
        state.appTitle = QString::fromUtf8(config::kAppTitle);
        state.programVersion = QString::fromUtf8(config::kProgramVersion);
        state.serverHost = QStringLiteral("127.0.0.1");
        state.serverPort = m_server.port();
        client::ReplyDispatcher::instance().setMainWindowOpener([this] {
            ++m_opened;
            m_main = new QWidget; // the reset deletes it
            WindowRegistry::set(WindowId::Main, m_main);
            WindowRegistry::get(WindowId::Login)->hide();
            m_main->show();
        });
        m_login = std::make_unique<client::LoginWindow>();
        m_login->setWindowTitle(client::appState().appTitle);
        m_login->show();
    }
    void TearDown() override
    {
        client::ServerLink::instance().disconnect();
        client::ReplyDispatcher::instance().setMainWindowOpener({});
        WindowRegistry::set(WindowId::Main, nullptr);
        delete m_main.data();
        m_login.reset();
        test::processPending();
    }

    void registerAccount(const QString &user, const QString &company, int type)
    {
        auto *window = new client::RegistrationWindow(m_login.get());
        window->show();
        const auto set = [window](const char *name, const QString &text) {
            test::child<QLineEdit>(window, QString::fromUtf8(name))->setText(text);
        };
        set("编辑框_用户名", user);
        set("编辑框_密码", QStringLiteral("pass1234"));
        set("编辑框_重复密码", QStringLiteral("pass1234"));
        set("编辑框_手机号", QStringLiteral("13900000000"));
        set("编辑框_公司", company);
        test::child<QComboBox>(window, QStringLiteral("组合框_类型"))->setCurrentIndex(type);
        m_boxes.clear();
        QTest::mouseClick(test::child<QPushButton>(window, QStringLiteral("按钮2")), Qt::LeftButton);
        ASSERT_TRUE(test::waitFor([&] { return !m_boxes.shown().isEmpty(); }, 10000));
        EXPECT_EQ(m_boxes.last().text, QStringLiteral("账号注册成功,请保管好账号信息!"));
        EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::Registration));
    }

    void logIn(const QString &user, const QString &password)
    {
        test::child<QLineEdit>(m_login.get(), QStringLiteral("编辑框_用户名"))->setText(user);
        test::child<QLineEdit>(m_login.get(), QStringLiteral("编辑框_密码"))->setText(password);
        QTest::mouseClick(test::child<QPushButton>(m_login.get(), QStringLiteral("图形按钮_登录")),
                          Qt::LeftButton);
    }

    void signOutLocally()
    {
        client::ServerLink::instance().disconnect();
        WindowRegistry::set(WindowId::Main, nullptr);
        delete m_main.data();
        m_login->show();
    }

    vantrell::testing::ServerProcess m_server;
    test::TempUserData m_data;
    test::FakeMessageBoxes m_boxes;
    test::ProgramEndRecorder m_ends;
    std::unique_ptr<client::LoginWindow> m_login;
    QPointer<QWidget> m_main;
    int m_opened = 0;
};

} // namespace

TEST_F(EndToEnd, RegisterLogInBothTypesRefuseAndSurviveTheServerGoingAway)
{
    registerAccount(QStringLiteral("供应甲"), QStringLiteral("甲方供应链公司"), 2);
    registerAccount(QStringLiteral("buyer01"), QStringLiteral("乙方商贸有限公司"), 1);

    logIn(QStringLiteral("供应甲"), QStringLiteral("pass1234"));
    ASSERT_TRUE(test::waitFor([&] { return m_opened == 1; }, 10000));
    EXPECT_TRUE(client::appState().isSupplier());
    EXPECT_EQ(client::appState().profileCompany, QStringLiteral("甲方供应链公司"));
    EXPECT_FALSE(m_login->isVisible());

    signOutLocally();
    m_boxes.clear();
    logIn(QStringLiteral("buyer01"), QStringLiteral("wrong-password"));
    ASSERT_TRUE(test::waitFor([&] { return !m_boxes.shown().isEmpty(); }, 10000));
    EXPECT_EQ(m_boxes.last().style, 16);
    EXPECT_EQ(m_boxes.last().caption, client::appState().appTitle);
    EXPECT_FALSE(m_boxes.last().text.isEmpty());
    EXPECT_EQ(m_opened, 1);

    logIn(QStringLiteral("buyer01"), QStringLiteral("pass1234"));
    ASSERT_TRUE(test::waitFor([&] { return m_opened == 2; }, 10000));
    EXPECT_TRUE(client::appState().isPurchaser());
    EXPECT_EQ(client::appState().profileCompany, QStringLiteral("乙方商贸有限公司"));

    m_boxes.clear();
    m_server.signal(SIGKILL);
    ASSERT_TRUE(test::waitFor([&] { return !WindowRegistry::isLoaded(WindowId::Main); }, 10000));
    ASSERT_FALSE(m_boxes.shown().isEmpty());
    EXPECT_EQ(m_boxes.last().text, QString::fromUtf8(config::kConnectionLostText));
    EXPECT_TRUE(m_login->isVisible());
    EXPECT_FALSE(client::appState().connected);
    EXPECT_TRUE(client::appState().isPurchaser()); // the last profile stays readable
    EXPECT_EQ(client::appState().profileCompany, QStringLiteral("乙方商贸有限公司"));

    // The next attempt cannot connect and says so.
    m_boxes.clear();
    logIn(QStringLiteral("buyer01"), QStringLiteral("pass1234"));
    ASSERT_TRUE(test::waitFor([&] { return !m_boxes.shown().isEmpty(); }, 10000));
    test::processPending();
    ASSERT_EQ(m_boxes.shown().size(), 1);
    EXPECT_EQ(m_boxes.last().text, QString::fromUtf8(config::kConnectErrorText));
    EXPECT_TRUE(test::child<QPushButton>(m_login.get(), QStringLiteral("图形按钮_登录"))->isEnabled());
}

TEST(EndToEndMainWindow, DemoSupplierReachesTheRealMainWindowAndReturnsOnLoss)
{
    vantrell::testing::ServerProcess server({"--demo"});
    ASSERT_TRUE(server.started()) << server.log();
    test::TempUserData data;
    test::FakeMessageBoxes boxes;
    test::ProgramEndRecorder ends;
    client::AppState &state = client::appState();
    state.appTitle = QString::fromUtf8(config::kAppTitle);
    state.serverHost = QStringLiteral("127.0.0.1");
    state.serverPort = server.port();
    client::registerAllHandlers();

    client::LoginWindow login;
    login.setWindowTitle(state.appTitle);
    login.show();
    test::child<QLineEdit>(&login, QStringLiteral("编辑框_用户名"))->setText(QStringLiteral("supplier"));
    test::child<QLineEdit>(&login, QStringLiteral("编辑框_密码"))->setText(QStringLiteral("demo1234"));
    login.startLogin();
    ASSERT_TRUE(test::waitFor([&] { return WindowRegistry::isLoaded(WindowId::Main); }, 10000));
    QPointer<QWidget> main = WindowRegistry::get(WindowId::Main);
    EXPECT_TRUE(main->isVisible());
    EXPECT_FALSE(login.isVisible());
    EXPECT_TRUE(state.isSupplier());

    server.signal(SIGKILL);
    ASSERT_TRUE(test::waitFor([&] { return !WindowRegistry::isLoaded(WindowId::Main); }, 10000));
    test::processPending();
    EXPECT_TRUE(main.isNull());
    EXPECT_TRUE(login.isVisible());
    EXPECT_TRUE(ends.codes().isEmpty());
    client::ServerLink::instance().disconnect();
    client::ReplyDispatcher::instance().setMainWindowOpener({});
    client::ReplyDispatcher::instance().setPasswordChangedRoutine({});
}
