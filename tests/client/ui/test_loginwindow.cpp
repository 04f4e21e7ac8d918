// The login window: remembered account, input rules, Enter key, request, closing, and
// connecting to the server without holding up the window.

#include "client/core/appstate.h"
#include "client/core/text.h"
#include "client/core/userdata.h"
#include "client/core/windowregistry.h"
#include "client/net/serverlink.h"
#include "client/ui/account/exitquestion.h"
#include "client/ui/account/loginwindow.h"
#include "protocol/md5.h"
#include "protocol/scramble.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"
#include "support/net/loopbackpeers.h"
#include "vantrell_config.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

using namespace vantrell;
using client::LoginWindow;
using client::UserData;

namespace {

const QString kSection = QStringLiteral("账号信息");

class Login : public ::testing::Test
{
protected:
    void SetUp() override
    {
        client::appState().appTitle = QStringLiteral("供销通");
        client::appState().connected = true; // requests go to the recorder, no connect
        m_window = std::make_unique<LoginWindow>();
        m_window->setWindowTitle(QStringLiteral("供销通"));
        m_window->show();
    }
    void TearDown() override
    {
        m_window.reset();
        client::appState().connected = false;
    }
    QLineEdit *user() const
    {
        return test::child<QLineEdit>(m_window.get(), QStringLiteral("编辑框_用户名"));
    }
    // The server's refusal of a login that waits, with its box, as it comes.
    void answerLogin()
    {
        if (!m_window->isWaitingForLogin())
            return;
        client::ServerLink::instance().deliver(
            test::gbkPayload(QStringLiteral("提示信息_错误|内容[用户名或密码错误!]")));
        test::processPending();
        m_boxes.clear();
    }
    QLineEdit *password() const
    {
        return test::child<QLineEdit>(m_window.get(), QStringLiteral("编辑框_密码"));
    }
    QAbstractButton *remember() const
    {
        return test::child<QAbstractButton>(m_window.get(), QStringLiteral("图形按钮_记住密码"));
    }
    QString storedPassword() const { return UserData::read(kSection, QStringLiteral("密码")); }

    test::TempUserData m_data;
    test::FakeMessageBoxes m_boxes;
    test::RequestRecorder m_requests;
    test::ProgramEndRecorder m_ends;
    std::unique_ptr<LoginWindow> m_window;
};

} // namespace

TEST_F(Login, RememberedPasswordIsScrambledFreshlyAndRestoredWithCaretAtTheEnd)
{
    EXPECT_EQ(password()->echoMode(), QLineEdit::Password);
    user()->setText(QStringLiteral("张三"));
    password()->setText(QStringLiteral("密码abc"));
    remember()->setChecked(true);
    m_window->saveAccount();
    const QString first = storedPassword();
    m_window->saveAccount();
    const QString second = storedPassword();
    EXPECT_NE(first, second);
    EXPECT_FALSE(first.contains(QStringLiteral("abc")));
    const QByteArray raw = first.toLatin1();
    EXPECT_EQ(
        client::fromGbk(protocol::unscramble(std::string_view(raw.constData(), std::size_t(raw.size())))),
        QStringLiteral("密码abc"));
    EXPECT_EQ(UserData::read(kSection, QStringLiteral("存储密码")), QStringLiteral("是"));

    LoginWindow restarted;
    restarted.loadAccount();
    auto *restartedPassword = test::child<QLineEdit>(&restarted, QStringLiteral("编辑框_密码"));
    EXPECT_EQ(test::child<QLineEdit>(&restarted, QStringLiteral("编辑框_用户名"))->text(),
              QStringLiteral("张三"));
    EXPECT_EQ(restartedPassword->text(), QStringLiteral("密码abc"));
    EXPECT_TRUE(test::child<QAbstractButton>(&restarted, QStringLiteral("图形按钮_记住密码"))->isChecked());
    EXPECT_EQ(restarted.focusWidget(), restartedPassword);
    EXPECT_EQ(restartedPassword->cursorPosition(), restartedPassword->text().size());
}

TEST_F(Login, RememberOffKeepsTheOldPasswordItemButNoLongerReadsIt)
{
    user()->setText(QStringLiteral("abcd"));
    password()->setText(QStringLiteral("secret"));
    remember()->setChecked(true);
    m_window->saveAccount();
    const QString kept = storedPassword();
    remember()->setChecked(false);
    m_window->saveAccount();
    EXPECT_EQ(UserData::read(kSection, QStringLiteral("存储密码")), QStringLiteral("否"));
    EXPECT_EQ(storedPassword(), kept);

    for (const QString &value : {QStringLiteral("否"), QStringLiteral("是的"), QStringLiteral("1")}) {
        UserData::write(kSection, QStringLiteral("存储密码"), value);
        LoginWindow restarted;
        restarted.loadAccount();
        EXPECT_EQ(test::child<QLineEdit>(&restarted, QStringLiteral("编辑框_密码"))->text(), QString())
            << value.toStdString();
        EXPECT_FALSE(
            test::child<QAbstractButton>(&restarted, QStringLiteral("图形按钮_记住密码"))->isChecked());
    }

    // No user name stored: the focus starts in the user-name box.
    UserData::write(kSection, QStringLiteral("用户名"), QString());
    LoginWindow empty;
    empty.loadAccount();
    EXPECT_EQ(empty.focusWidget(), test::child<QLineEdit>(&empty, QStringLiteral("编辑框_用户名")));
}

TEST_F(Login, EnterInEitherBoxFollowsTheFourCombinations)
{
    struct Case
    {
        const char *box;
        const char *userText;
        const char *passwordText;
        const char *focusAfter; // "" = unchanged
        bool sends;
    };
    const Case cases[] = {
        {"编辑框_用户名", "abcd", "pw12", "", true}, {"编辑框_用户名", "abcd", "", "编辑框_密码", false},
        {"编辑框_用户名", "", "pw12", "", false},    {"编辑框_用户名", "", "", "", false},
        {"编辑框_密码", "abcd", "pw12", "", true},   {"编辑框_密码", "", "pw12", "编辑框_用户名", false},
        {"编辑框_密码", "abcd", "", "", false},      {"编辑框_密码", "", "", "", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.box) + " user=" + c.userText + " password=" + c.passwordText);
        answerLogin();
        m_requests.clear();
        m_boxes.clear();
        user()->setText(QString::fromUtf8(c.userText));
        password()->setText(QString::fromUtf8(c.passwordText));
        auto *box = test::child<QLineEdit>(m_window.get(), QString::fromUtf8(c.box));
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_EQ(m_requests.texts().filter(QStringLiteral("登陆系统_用户登陆")).size(), c.sends ? 1 : 0);
        EXPECT_TRUE(m_boxes.shown().isEmpty());
        const QString expectedFocus =
            *c.focusAfter ? QString::fromUtf8(c.focusAfter) : QString::fromUtf8(c.box);
        ASSERT_TRUE(m_window->focusWidget());
        EXPECT_EQ(m_window->focusWidget()->objectName(), expectedFocus);
    }
}

TEST_F(Login, LoginSendsTheDigestAndStoresTheAttempt)
{
    user()->setText(QStringLiteral("张三"));
    password()->setText(QStringLiteral("密码1"));
    QTest::mouseClick(test::child<QPushButton>(m_window.get(), QStringLiteral("图形按钮_登录")),
                      Qt::LeftButton);
    ASSERT_EQ(m_requests.payloads().size(), 1);
    const std::string digest = protocol::md5Hex(client::toGbkString(QStringLiteral("密码1")));
    EXPECT_EQ(m_requests.texts().first(), QStringLiteral("登陆系统_用户登陆|用户名[张三]密码[") +
                                              QString::fromStdString(digest) + QLatin1Char(']'));
    EXPECT_EQ(client::appState().currentUserName, QStringLiteral("张三"));
    EXPECT_EQ(client::appState().currentPassword, QStringLiteral("密码1"));
    EXPECT_EQ(UserData::read(kSection, QStringLiteral("用户名")), QStringLiteral("张三"));
}

TEST_F(Login, TheButtonWaitsForTheAnswerAndSaysSo)
{
    auto *button = test::child<QPushButton>(m_window.get(), QStringLiteral("图形按钮_登录"));
    const QString idle = button->text();
    user()->setText(QStringLiteral("张三"));
    password()->setText(QStringLiteral("密码1"));
    password()->setFocus();
    QTest::keyClick(password(), Qt::Key_Return);
    ASSERT_EQ(m_requests.payloads().size(), 1);
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(button->text(), QStringLiteral("正在登录..."));
    EXPECT_TRUE(m_window->isWaitingForLogin());
    // Another Enter or click meanwhile sends nothing more.
    QTest::keyClick(password(), Qt::Key_Return);
    m_window->startLogin();
    EXPECT_EQ(m_requests.payloads().size(), 1);

    // The server refuses: the notice ends the wait.
    answerLogin();
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->text(), idle);
    EXPECT_FALSE(m_window->isWaitingForLogin());

    // A focused 登录 takes Enter as a press.
    m_requests.clear();
    button->setFocus(Qt::TabFocusReason);
    QTest::keyClick(button, Qt::Key_Return);
    EXPECT_EQ(m_requests.payloads().size(), 1);
    EXPECT_EQ(button->text(), QStringLiteral("正在登录..."));
    // The main window opening hides the login window: answered.
    m_window->hide();
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->text(), idle);
    m_window->show();

    // A silent server does not keep the button off for good.
    m_window->setLoginWait(200);
    m_window->startLogin();
    EXPECT_FALSE(button->isEnabled());
    ASSERT_TRUE(test::waitFor([&] { return button->isEnabled(); }, 3000));
    EXPECT_EQ(button->text(), idle);
    test::processPending();
    ASSERT_EQ(m_boxes.shown().size(), 1);
    EXPECT_EQ(m_boxes.last().text, QStringLiteral("服务器没有响应,请稍后再试。"));
}

TEST_F(Login, EmptyOrUnsafeInputIsRefusedWithNothingSent)
{
    m_window->startLogin();
    ASSERT_EQ(m_boxes.shown().size(), 1);
    EXPECT_EQ(m_boxes.last().text, QStringLiteral("请填写用户名。"));
    EXPECT_EQ(m_boxes.last().style, 64);
    EXPECT_EQ(m_boxes.last().caption, QStringLiteral("供销通"));
    EXPECT_EQ(m_window->focusWidget(), user());

    user()->setText(QStringLiteral("abcd"));
    m_window->startLogin();
    EXPECT_EQ(m_boxes.last().text, QStringLiteral("请填写密码。"));
    EXPECT_EQ(m_window->focusWidget(), password());

    password()->setText(QStringLiteral("a]b"));
    m_window->startLogin();
    EXPECT_EQ(m_boxes.last().style, 16);
    EXPECT_TRUE(m_requests.payloads().isEmpty());
    EXPECT_EQ(UserData::read(kSection, QStringLiteral("用户名")), QString()); // nothing saved either
}

TEST_F(Login, RecoveryNoticeCloseFadeAndExitQuestion)
{
    QTest::mouseClick(test::child<QPushButton>(m_window.get(), QStringLiteral("超级按钮_找回密码")),
                      Qt::LeftButton);
    EXPECT_EQ(m_boxes.last().style, 64);
    EXPECT_EQ(m_boxes.last().caption, QStringLiteral("供销通"));

    QTest::mouseClick(test::child<QPushButton>(m_window.get(), QStringLiteral("图形按钮_关闭")),
                      Qt::LeftButton);
    EXPECT_TRUE(m_ends.codes().isEmpty()); // fades first
    ASSERT_TRUE(test::waitFor([&] { return m_ends.codes() == QList<int>{0}; }, 3000));

    m_boxes.answerNext(client::MessageAnswer::No);
    EXPECT_FALSE(client::askExit(nullptr));
    EXPECT_EQ(m_boxes.last().text, QStringLiteral("是否退出供销通 ?"));
    EXPECT_EQ(m_boxes.last().style, 36);
    EXPECT_EQ(m_ends.codes().size(), 1);
    EXPECT_TRUE(client::askExit(nullptr));
    EXPECT_EQ(m_ends.codes(), (QList<int>{0, 0}));
}

TEST_F(Login, StartShowsTheTitleAndOffersTheShortcutOnce)
{
    m_boxes.answerNext(client::MessageAnswer::No);
    m_window->start();
    EXPECT_FALSE(client::ServerLink::instance().client().isRunning()); // no connection before a login
    EXPECT_EQ(m_window->windowTitle(), client::appState().appTitle);
    EXPECT_EQ(client::WindowRegistry::get(client::WindowId::Login), m_window.get());
    ASSERT_EQ(m_boxes.shown().size(), 1);
    EXPECT_EQ(m_boxes.last().text, QStringLiteral("是否创建桌面快捷方式?"));
    EXPECT_EQ(m_boxes.last().caption, m_window->windowTitle());
    LoginWindow second;
    second.start();
    EXPECT_EQ(m_boxes.shown().size(), 1);
    ASSERT_TRUE(test::waitFor([&] { return !second.isFading(); }, 3000));
    qApp->setStyleSheet(QString());
}

namespace {

// Not connected yet: 登录 connects to a loopback peer for real.
class LoginConnect : public ::testing::Test
{
protected:
    void SetUp() override
    {
        client::appState().appTitle = QStringLiteral("供销通");
        client::appState().programVersion = QStringLiteral("9.9.9");
        client::appState().serverHost = QStringLiteral("127.0.0.1");
        client::appState().connected = false;
        client::ServerLink::instance().setConnectTimeout(1500);
        m_window = std::make_unique<LoginWindow>();
        m_window->setWindowTitle(QStringLiteral("供销通"));
        m_window->show();
        user()->setText(QStringLiteral("张三"));
        password()->setText(QStringLiteral("密码1"));
    }
    void TearDown() override
    {
        m_window.reset();
        client::ServerLink::instance().disconnect();
        client::ServerLink::instance().setConnectTimeout(net::RequestClient::kConnectTimeoutMs);
        test::processPending();
    }
    QLineEdit *user() const
    {
        return test::child<QLineEdit>(m_window.get(), QStringLiteral("编辑框_用户名"));
    }
    QLineEdit *password() const
    {
        return test::child<QLineEdit>(m_window.get(), QStringLiteral("编辑框_密码"));
    }
    QPushButton *loginButton() const
    {
        return test::child<QPushButton>(m_window.get(), QStringLiteral("图形按钮_登录"));
    }
    void postKey(QWidget *to, char c)
    {
        const QString text(QLatin1Char{c});
        QCoreApplication::postEvent(
            to, new QKeyEvent(QEvent::KeyPress, Qt::Key_A + (c - 'a'), Qt::NoModifier, text));
        QCoreApplication::postEvent(
            to, new QKeyEvent(QEvent::KeyRelease, Qt::Key_A + (c - 'a'), Qt::NoModifier, text));
    }

    test::TempUserData m_data;
    test::FakeMessageBoxes m_boxes;
    test::ProgramEndRecorder m_ends;
    std::unique_ptr<LoginWindow> m_window;
};

} // namespace

TEST_F(LoginConnect, AServerThatNeverAcceptsLeavesTheWindowWorkingThenSaysSo)
{
    test::StalledListener stalled;
    ASSERT_TRUE(stalled.stalled());
    client::appState().serverPort = stalled.port();
    const QString idleText = loginButton()->text();
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);

    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(loginButton(), Qt::LeftButton);
    EXPECT_LT(clock.elapsed(), 300) << "the click waited for the network";
    EXPECT_FALSE(loginButton()->isEnabled());
    EXPECT_EQ(loginButton()->text(), QStringLiteral("正在连接服务器..."));
    EXPECT_TRUE(client::ServerLink::instance().isConnecting());

    // A second try, by click or Enter, starts nothing.
    QTest::mouseClick(loginButton(), Qt::LeftButton);
    password()->setFocus();
    QTest::keyClick(password(), Qt::Key_Return);
    m_window->startLogin();

    // Keys typed meanwhile go through the event loop into the box.
    user()->setFocus();
    user()->end(false);
    for (char c : {'x', 'y', 'z'})
        postKey(user(), c);
    ASSERT_TRUE(test::waitFor([&] { return user()->text() == QStringLiteral("张三xyz"); }, 1000));
    EXPECT_TRUE(m_boxes.shown().isEmpty());
    EXPECT_FALSE(loginButton()->isEnabled());

    ASSERT_TRUE(test::waitFor([&] { return !m_boxes.shown().isEmpty(); }, 6000));
    EXPECT_GE(clock.elapsed(), 1400);
    EXPECT_GE(ticks, 20);
    test::processPending();
    ASSERT_EQ(m_boxes.shown().size(), 1);
    EXPECT_EQ(m_boxes.last().text, QString::fromUtf8(config::kConnectErrorText));
    EXPECT_EQ(m_boxes.last().style, 16);
    EXPECT_EQ(m_boxes.last().caption, QStringLiteral("供销通"));
    EXPECT_TRUE(loginButton()->isEnabled());
    EXPECT_EQ(loginButton()->text(), idleText);
    EXPECT_FALSE(client::appState().connected);
    EXPECT_FALSE(client::ServerLink::instance().isConnecting());
}

TEST_F(LoginConnect, ANormalConnectSendsTheVersionCheckThenTheLogin)
{
    // Waits a while for a third message that never comes, then hangs up.
    test::RecordingPeer peer(3, 1500);
    client::appState().serverPort = peer.port();
    const QString idleText = loginButton()->text();
    QTest::mouseClick(loginButton(), Qt::LeftButton);
    EXPECT_FALSE(loginButton()->isEnabled());
    EXPECT_EQ(loginButton()->text(), QStringLiteral("正在连接服务器..."));
    // Connected and the login sent: it waits for the answer, then the peer hangs up, and a
    // lost connection ends the wait too.
    ASSERT_TRUE(test::waitFor([&] { return loginButton()->text() == QStringLiteral("正在登录..."); }, 5000));
    EXPECT_FALSE(loginButton()->isEnabled());
    ASSERT_TRUE(test::waitFor([&] { return loginButton()->isEnabled(); }, 5000));
    EXPECT_EQ(loginButton()->text(), idleText);
    peer.join();
    const auto messages = peer.messages();
    ASSERT_EQ(messages.size(), 2u);
    const std::string digest = protocol::md5Hex(client::toGbkString(QStringLiteral("密码1")));
    EXPECT_EQ(messages[0].payload, test::gbkPayload(QStringLiteral("版本验证_验证|版本号[9.9.9]")));
    EXPECT_EQ(messages[1].payload, test::gbkPayload(QStringLiteral("登陆系统_用户登陆|用户名[张三]密码[") +
                                                    QString::fromStdString(digest) + QLatin1Char(']')));
    const int first = std::stoi(messages[0].number);
    EXPECT_EQ(messages[1].number, protocol::messageNumberText(first == 9999 ? 10 : first + 1));
    EXPECT_TRUE(m_boxes.shown().isEmpty());
}

TEST_F(LoginConnect, ClosingTheWindowWhileConnectingIsHarmless)
{
    test::StalledListener stalled;
    ASSERT_TRUE(stalled.stalled());
    client::appState().serverPort = stalled.port();
    client::ServerLink::instance().setConnectTimeout(400);
    QTest::mouseClick(loginButton(), Qt::LeftButton);
    ASSERT_TRUE(client::ServerLink::instance().isConnecting());
    m_window->close();
    m_window.reset();
    ASSERT_TRUE(test::waitFor([] { return !client::ServerLink::instance().isConnecting(); }, 5000));
    test::processPending();
    EXPECT_EQ(m_boxes.shown().size(), 1);
    EXPECT_EQ(m_ends.codes(), QList<int>{0});
}
