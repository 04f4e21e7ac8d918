// The personal centre, the password change with the logout that follows it, and the
// user menu's address pages.

#include "client/core/appstate.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/changepassword.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/account/personalcentre.h"
#include "client/ui/account/usermenu.h"
#include "protocol/md5.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QUrl>

using namespace vantrell::client;
using namespace vantrell::test;

namespace {

class AccountWindowsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        AppState &state = appState();
        state.appTitle = QStringLiteral("Vantrell供销通");
        state.currentUserName = QStringLiteral("supplier");
        state.profileType = QStringLiteral("供应商");
        registerAllHandlers();
        main = new MainWindow;
        main->show();
        processPending();
        requests.clear();
    }

    void TearDown() override
    {
        WindowRegistry::close(WindowId::Main);
        processPending();
    }

    void deliver(const QString &payload) { ServerLink::instance().deliver(gbkPayload(payload)); }

    FakeMessageBoxes boxes;
    TempUserData data;
    RequestRecorder requests;
    ProgramEndRecorder ender;
    MainWindow *main = nullptr;
};

} // namespace

TEST_F(AccountWindowsTest, PersonalCentreSavesOnlyLoadedAndValidContactData)
{
    auto *window = new PersonalCentre(main);
    window->show();
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_获取个人中心基本资料|")});
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("透明标签_类型"))->text(), QStringLiteral("[供应商]"));
    auto *save = child<QPushButton>(window, QStringLiteral("超级按钮_保存"));
    EXPECT_FALSE(save->isEnabled());

    deliver(QStringLiteral(
        "基础通讯_返回个人中心基本资料|公司[远航贸易有限公司]联系人[张三]电话[13800000000]邮箱[]地址[]"));
    EXPECT_TRUE(save->isEnabled());
    auto *contact = child<QLineEdit>(window, QStringLiteral("编辑框_联系人"));
    auto *phone = child<QLineEdit>(window, QStringLiteral("编辑框_电话"));
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("透明标签_公司"))->text(),
              QStringLiteral("远航贸易有限公司"));
    EXPECT_EQ(contact->cursorPosition(), 2);
    // The server's texts are shown as they are, never as markup.
    for (const char *name : {"透明标签_公司", "透明标签_用户名", "透明标签_类型"})
        EXPECT_EQ(child<QLabel>(window, QString::fromUtf8(name))->textFormat(), Qt::PlainText) << name;
    requests.clear();

    // Three letters within spaces are too short; two Chinese characters are enough.
    contact->setText(QStringLiteral(" abc　"));
    save->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("请填写联系人姓名!"));
    EXPECT_EQ(boxes.last().caption, QStringLiteral("个人中心"));
    // Ten digits padded with full-width spaces are too short for a phone.
    contact->setText(QStringLiteral("　张三 "));
    phone->setText(QStringLiteral("1380000000　"));
    save->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("请填写联系人电话!"));
    EXPECT_EQ(phone->cursorPosition(), phone->text().size());
    EXPECT_TRUE(requests.texts().isEmpty());

    phone->setText(QStringLiteral(" 13800000000"));
    child<QLineEdit>(window, QStringLiteral("编辑框_地址"))->setText(QStringLiteral("　上海 "));
    save->click();
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral(
                  "基础通讯_保存个人中心基本资料|联系人[张三]电话[13800000000]邮箱[]地址[上海]")});

    // Limits are in GBK bytes: eleven digits, or ten Chinese characters for the contact.
    phone->setText(QString());
    phone->setFocus();
    typeText(phone, QStringLiteral("1380000000012"));
    EXPECT_EQ(phone->text(), QStringLiteral("13800000000"));
    contact->setText(QString());
    contact->setFocus();
    typeText(contact, QStringLiteral("一二三四五六七八九十壹"));
    EXPECT_EQ(contact->text(), QStringLiteral("一二三四五六七八九十"));

    deliver(QStringLiteral("基础通讯_保存个人中心基本资料成功|姓名[张三]"));
    processPending();
    EXPECT_EQ(appState().profileName, QStringLiteral("张三"));
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::PersonalCentre));
    EXPECT_EQ(boxes.last().text, QStringLiteral("保存成功!"));
    EXPECT_EQ(boxes.last().caption, QStringLiteral("基本资料"));
}

TEST_F(AccountWindowsTest, PasswordChangeChecksItsBoxesAndSendsDigests)
{
    auto *window = new ChangePassword(main);
    window->show();
    auto *oldBox = child<QLineEdit>(window, QStringLiteral("编辑框_原密码"));
    auto *newBox = child<QLineEdit>(window, QStringLiteral("编辑框_新密码"));
    auto *save = child<QPushButton>(window, QStringLiteral("按钮2"));
    EXPECT_EQ(oldBox->echoMode(), QLineEdit::Password);

    save->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("请输入原密码!"));
    oldBox->setText(QStringLiteral("demo1234"));
    save->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("请输入新密码!"));
    newBox->setText(QStringLiteral("新密码1"));
    save->click(); // the repetition is empty
    EXPECT_EQ(boxes.last().text, QStringLiteral("两次输入的密码不一致!"));
    EXPECT_EQ(boxes.last().caption, QStringLiteral("修改密码"));
    EXPECT_TRUE(requests.texts().isEmpty());

    child<QLineEdit>(window, QStringLiteral("编辑框_新密码重复"))->setText(QStringLiteral("新密码1"));
    save->click();
    const QString expected =
        QStringLiteral("登陆系统_修改密码|原密码[%1]新密码[%2]")
            .arg(QString::fromStdString(vantrell::protocol::md5Hex("demo1234")),
                 QString::fromStdString(vantrell::protocol::md5Hex(gbkPayload(QStringLiteral("新密码1")))));
    EXPECT_EQ(requests.texts(), QStringList{expected});

    child<QPushButton>(window, QStringLiteral("按钮1"))->click();
    processPending();
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::ChangePassword));
}

TEST_F(AccountWindowsTest, PasswordChangedEndsAtTheLoginWindow)
{
    QWidget login;
    login.setWindowTitle(QStringLiteral("登录"));
    WindowRegistry::set(WindowId::Login, &login);

    // Without an open change-password window the reply is ignored.
    deliver(QStringLiteral("登陆系统_密码修改成功|"));
    processPending();
    EXPECT_TRUE(WindowRegistry::isLoaded(WindowId::Main));

    (new ChangePassword(main))->show();
    (new PersonalCentre(main))->show();
    deliver(QStringLiteral("登陆系统_密码修改成功|"));
    processPending();

    // The user's own logout: the one box says so; no connection-lost error follows.
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.shown().at(0).text, QStringLiteral("密码修改成功,请重新登陆!"));
    EXPECT_EQ(boxes.shown().at(0).style, int(StyleInformation));
    EXPECT_EQ(boxes.shown().at(0).caption, QStringLiteral("修改密码"));
    EXPECT_FALSE(appState().connected);
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::Main));
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::ChangePassword));
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::PersonalCentre));
    EXPECT_TRUE(login.isVisible());
    EXPECT_TRUE(ender.codes().isEmpty());
    WindowRegistry::set(WindowId::Login, nullptr);
}

TEST_F(AccountWindowsTest, UserMenuTogglesAndOpensTheServersPages)
{
    QList<QUrl> opened;
    setAddressOpener([&opened](const QUrl &url) {
        opened << url;
        return url.scheme() != QStringLiteral("nowhere");
    });

    main->toggleUserMenu();
    QWidget *menu = WindowRegistry::get(WindowId::UserMenu);
    ASSERT_TRUE(menu);
    EXPECT_EQ(child<QLabel>(menu, QStringLiteral("透明标签_用户名"))->text(), QStringLiteral("supplier"));
    // Hangs below the user button with its right edge lined up.
    const QToolButton *button = main->userButton();
    EXPECT_EQ(menu->x() + menu->width(), main->x() + button->x() + button->width());
    EXPECT_EQ(menu->y(), main->y() + button->y() + button->height());

    child<QPushButton>(menu, QStringLiteral("超级按钮_关于我们"))->click();
    processPending();
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::UserMenu));
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_个人中心/关于我们|")});

    boxes.clear();
    deliver(QStringLiteral("基础通讯_个人中心/返回关于我们|网址[https://example.com/about]"));
    deliver(QStringLiteral("基础通讯_个人中心/返回使用帮助|网址[file:///srv/docs/help.html]"));
    processPending();
    EXPECT_EQ(opened, (QList<QUrl>{QUrl(QStringLiteral("https://example.com/about")),
                                   QUrl::fromLocalFile(QStringLiteral("/srv/docs/help.html"))}));
    EXPECT_TRUE(boxes.shown().isEmpty());

    // A server given no address, and a page the system cannot open, are said, not ignored.
    deliver(QStringLiteral("基础通讯_个人中心/返回使用帮助|网址[]"));
    processPending();
    EXPECT_EQ(opened.size(), 2);
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.last().text, QStringLiteral("服务器没有提供该页面的地址,请联系管理员。"));
    EXPECT_EQ(boxes.last().caption, QStringLiteral("使用帮助"));
    deliver(QStringLiteral("基础通讯_个人中心/返回关于我们|网址[nowhere://page]"));
    processPending();
    EXPECT_EQ(opened.size(), 3);
    ASSERT_EQ(boxes.shown().size(), 2);
    EXPECT_EQ(boxes.last().style, int(StyleError));
    EXPECT_TRUE(boxes.last().text.startsWith(QStringLiteral("无法打开页面:nowhere://page")));

    main->toggleUserMenu();
    ASSERT_TRUE(WindowRegistry::isLoaded(WindowId::UserMenu));
    main->toggleUserMenu();
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::UserMenu));
    setAddressOpener({});
}
