// The registration window: byte limits, the five input rules, the request on the wire,
// and the connect it waits for.

#include "client/core/appstate.h"
#include "client/core/text.h"
#include "client/core/windowregistry.h"
#include "client/net/serverlink.h"
#include "client/ui/account/registrationwindow.h"
#include "protocol/md5.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"
#include "support/net/loopbackpeers.h"
#include "vantrell_config.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace vantrell;
using client::RegistrationWindow;

namespace {

class Registration : public ::testing::Test
{
protected:
    void SetUp() override
    {
        client::appState().connected = true;
        m_window = new RegistrationWindow;
        m_window->show();
    }
    void TearDown() override
    {
        delete m_window.data();
        client::appState().connected = false;
    }
    QLineEdit *edit(const char *name) const
    {
        return test::child<QLineEdit>(m_window, QString::fromUtf8(name));
    }
    void fill(const QString &user, const QString &password, const QString &repeat, const QString &company,
              int type)
    {
        edit("编辑框_用户名")->setText(user);
        edit("编辑框_密码")->setText(password);
        edit("编辑框_重复密码")->setText(repeat);
        edit("编辑框_手机号")->setText(QStringLiteral("13800000000"));
        edit("编辑框_公司")->setText(company);
        test::child<QComboBox>(m_window, QStringLiteral("组合框_类型"))->setCurrentIndex(type);
    }
    void submit()
    {
        QTest::mouseClick(test::child<QPushButton>(m_window, QStringLiteral("按钮2")), Qt::LeftButton);
    }

    test::FakeMessageBoxes m_boxes;
    test::RequestRecorder m_requests;
    QPointer<RegistrationWindow> m_window;
};

} // namespace

TEST_F(Registration, EditBoxesRefuseBytesBeyondTheirLimits)
{
    struct Limit
    {
        const char *name;
        int bytes;
    };
    for (const Limit limit :
         {Limit{"编辑框_用户名", 20}, Limit{"编辑框_密码", 20}, Limit{"编辑框_重复密码", 20},
          Limit{"编辑框_手机号", 11}, Limit{"编辑框_公司", 25}}) {
        QLineEdit *box = edit(limit.name);
        test::typeText(box, QString(30, QChar(0x5F20))); // 张 x 30
        EXPECT_EQ(client::gbkLength(box->text()), limit.bytes / 2 * 2) << limit.name;
        if (limit.bytes % 2) {
            test::typeText(box, QStringLiteral("9"));
            EXPECT_EQ(client::gbkLength(box->text()), limit.bytes) << limit.name;
        }
    }
    EXPECT_EQ(edit("编辑框_密码")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(edit("编辑框_重复密码")->echoMode(), QLineEdit::Password);
}

TEST_F(Registration, RulesRefuseInOrderAndPutTheCaretInTheOffendingBox)
{
    struct Case
    {
        QString user, password, repeat, company;
        int type;
        QString message;
        const char *focus;
    };
    const Case cases[] = {
        {QStringLiteral("张a"), QStringLiteral("pass"), QStringLiteral("pass"), QStringLiteral("四个汉字"), 1,
         QStringLiteral("用户名长度必须超过4个字符!"), "编辑框_用户名"},
        {QStringLiteral("张三"), QStringLiteral("abc"), QStringLiteral("abc"), QStringLiteral("四个汉字"), 1,
         QStringLiteral("密码长度必须超过4个字符!"), "编辑框_密码"},
        {QStringLiteral("张三"), QStringLiteral("abcd"), QStringLiteral("abce"), QStringLiteral("四个汉字"),
         1, QStringLiteral("两次密码输入不一致,请重新输入!"), "编辑框_重复密码"},
        {QStringLiteral("张三"), QStringLiteral("abcd"), QStringLiteral("abcd"), QStringLiteral("sevenab"), 1,
         QStringLiteral("公司名称长度必须超过8个字符,公司名称一旦设置无法更改,请认真填写。"), "编辑框_公司"},
        {QStringLiteral("张三"), QStringLiteral("abcd"), QStringLiteral("abcd"), QStringLiteral("四个汉字"),
         0, QStringLiteral("请选择商家类型!"), "组合框_类型"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        m_boxes.clear();
        fill(c.user, c.password, c.repeat, c.company, c.type);
        submit();
        ASSERT_EQ(m_boxes.shown().size(), 1);
        EXPECT_EQ(m_boxes.last().text, c.message);
        EXPECT_EQ(m_boxes.last().style, 64);
        EXPECT_EQ(m_boxes.last().caption, QStringLiteral("注册账号"));
        ASSERT_TRUE(m_window->focusWidget());
        EXPECT_EQ(m_window->focusWidget()->objectName(), QString::fromUtf8(c.focus));
        if (auto *box = qobject_cast<QLineEdit *>(m_window->focusWidget())) {
            EXPECT_EQ(box->cursorPosition(), box->text().size());
        }
    }
    EXPECT_TRUE(m_requests.payloads().isEmpty());

    fill(QStringLiteral("张三"), QStringLiteral("abcd"), QStringLiteral("abcd"), QStringLiteral("公司,名称"),
         1);
    submit();
    EXPECT_EQ(m_boxes.last().style, 16);
    EXPECT_TRUE(m_requests.payloads().isEmpty());
}

TEST_F(Registration, TypeIndexAndDigestTravelOnTheWire)
{
    const std::string digest = protocol::md5Hex(client::toGbkString(QStringLiteral("密码")));
    fill(QStringLiteral("张三"), QStringLiteral("密码"), QStringLiteral("密码"), QStringLiteral("四个汉字"),
         1);
    submit();
    fill(QStringLiteral("abcd"), QStringLiteral("密码"), QStringLiteral("密码"), QStringLiteral("华东供应链"),
         2);
    submit();
    EXPECT_TRUE(m_boxes.shown().isEmpty());
    const QString head = QStringLiteral("登陆系统_注册账号|用户名[");
    EXPECT_EQ(m_requests.texts(),
              (QStringList{head + QStringLiteral("张三]密码[") + QString::fromStdString(digest) +
                               QStringLiteral("]手机号[13800000000]公司[四个汉字]类型[1]"),
                           head + QStringLiteral("abcd]密码[") + QString::fromStdString(digest) +
                               QStringLiteral("]手机号[13800000000]公司[华东供应链]类型[2]")}));
}

TEST_F(Registration, CancelAndCloseLeaveAndUnregister)
{
    EXPECT_EQ(client::WindowRegistry::get(client::WindowId::Registration), m_window.data());
    QTest::mouseClick(test::child<QPushButton>(m_window, QStringLiteral("按钮1")), Qt::LeftButton);
    test::processPending();
    EXPECT_TRUE(m_window.isNull());
    EXPECT_FALSE(client::WindowRegistry::isLoaded(client::WindowId::Registration));

    m_window = new RegistrationWindow;
    m_window->show();
    QTest::mouseClick(test::child<QAbstractButton>(m_window, QStringLiteral("图形按钮_关闭")),
                      Qt::LeftButton);
    test::processPending();
    EXPECT_TRUE(m_window.isNull());
}

TEST(RegistrationConnect, SubmitWaitsForTheConnectWithoutHoldingTheWindowAndSurvivesClosing)
{
    test::StalledListener stalled;
    ASSERT_TRUE(stalled.stalled());
    test::FakeMessageBoxes boxes;
    test::RequestRecorder requests(false);
    client::AppState &state = client::appState();
    state.appTitle = QStringLiteral("供销通");
    state.serverHost = QStringLiteral("127.0.0.1");
    state.serverPort = stalled.port();
    state.connected = false;
    client::ServerLink &link = client::ServerLink::instance();
    link.setConnectTimeout(600);

    const auto fillAndSubmit = [](RegistrationWindow *window) {
        const auto set = [window](const char *name, const QString &text) {
            test::child<QLineEdit>(window, QString::fromUtf8(name))->setText(text);
        };
        set("编辑框_用户名", QStringLiteral("张三"));
        set("编辑框_密码", QStringLiteral("abcd"));
        set("编辑框_重复密码", QStringLiteral("abcd"));
        set("编辑框_公司", QStringLiteral("四个汉字"));
        test::child<QComboBox>(window, QStringLiteral("组合框_类型"))->setCurrentIndex(1);
        QTest::mouseClick(test::child<QPushButton>(window, QStringLiteral("按钮2")), Qt::LeftButton);
    };

    QPointer<RegistrationWindow> window = new RegistrationWindow;
    window->show();
    auto *submit = test::child<QPushButton>(window, QStringLiteral("按钮2"));
    const QString idleText = submit->text();
    QElapsedTimer clock;
    clock.start();
    fillAndSubmit(window);
    EXPECT_LT(clock.elapsed(), 300);
    EXPECT_FALSE(submit->isEnabled());
    EXPECT_EQ(submit->text(), QStringLiteral("正在连接服务器..."));
    QTest::mouseClick(submit, Qt::LeftButton); // starts nothing more
    ASSERT_TRUE(test::waitFor([&] { return !boxes.shown().isEmpty(); }, 5000));
    test::processPending();
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.last().text, QString::fromUtf8(config::kConnectErrorText));
    EXPECT_EQ(boxes.last().style, 16);
    EXPECT_EQ(boxes.last().caption, QStringLiteral("供销通"));
    EXPECT_TRUE(submit->isEnabled());
    EXPECT_EQ(submit->text(), idleText);
    EXPECT_TRUE(requests.payloads().isEmpty());

    // Closed while connecting: the late result finds no window and the box still comes.
    boxes.clear();
    fillAndSubmit(window);
    ASSERT_TRUE(link.isConnecting());
    window->reject();
    test::processPending();
    EXPECT_TRUE(window.isNull());
    ASSERT_TRUE(test::waitFor([&] { return !link.isConnecting(); }, 5000));
    test::processPending();
    EXPECT_EQ(boxes.shown().size(), 1);
    EXPECT_TRUE(requests.payloads().isEmpty());

    link.setConnectTimeout(net::RequestClient::kConnectTimeoutMs);
    link.disconnect();
}
