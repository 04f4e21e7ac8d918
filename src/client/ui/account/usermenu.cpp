#include "client/ui/account/usermenu.h"

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/core/windowregistry.h"
#include "client/net/request.h"
#include "client/net/serverlink.h"
#include "client/ui/account/changepassword.h"
#include "client/ui/account/personalcentre.h"
#include "client/ui/common/glyphicons.h"
#include "client/ui/common/keyboard.h"
#include "client/ui/common/pagecontrols.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantrell::client {

namespace {

qint64 g_autoClosedAt = -1;

std::function<bool(const QUrl &)> &addressOpener()
{
    static std::function<bool(const QUrl &)> opener;
    return opener;
}

} // namespace

void openAddress(const QString &address, const QString &caption)
{
    ServerLink &link = ServerLink::instance();
    const QUrl url(address.trimmed());
    if (address.trimmed().isEmpty() || !url.isValid()) {
        link.deferMessageBox(QStringLiteral("服务器没有提供该页面的地址,请联系管理员。"), StyleInformation,
                             caption);
        return;
    }
    const bool opened = addressOpener() ? addressOpener()(url) : QDesktopServices::openUrl(url);
    if (!opened)
        link.deferMessageBox(QStringLiteral("无法打开页面:") + url.toDisplayString() +
                                 QStringLiteral("\n请检查系统的默认浏览器。"),
                             StyleError, caption);
}

void setAddressOpener(std::function<bool(const QUrl &)> opener)
{
    addressOpener() = std::move(opener);
}

UserMenu::UserMenu(QWidget *mainWindow) : QWidget(mainWindow, Qt::Tool | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("用户菜单"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(188, 262);
    WindowRegistry::set(WindowId::UserMenu, this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("外形框_用户菜单"));
    layout->addWidget(panel);

    auto *column = new QVBoxLayout(panel);
    column->setContentsMargins(10, 12, 10, 10);
    column->setSpacing(4);
    auto *avatar = new QLabel(panel);
    avatar->setPixmap(glyphIcon(Glyph::User, QColor(0x2f, 0x6f, 0xde)).pixmap(32, 32));
    avatar->setAlignment(Qt::AlignCenter);
    column->addWidget(avatar);
    m_userName = new QLabel(appState().currentUserName, panel);
    m_userName->setTextFormat(Qt::PlainText);
    m_userName->setObjectName(QStringLiteral("透明标签_用户名"));
    m_userName->setAlignment(Qt::AlignCenter);
    column->addWidget(m_userName);
    column->addSpacing(6);

    const auto addItem = [&](const QString &name, const QString &caption) {
        QPushButton *button = makeButton(panel, name, caption);
        button->setProperty("role", QStringLiteral("menuItem"));
        column->addWidget(button);
        return button;
    };
    connect(addItem(QStringLiteral("超级按钮_基本设置"), QStringLiteral("基本设置")), &QPushButton::clicked,
            this, &UserMenu::openPersonalCentre);
    connect(addItem(QStringLiteral("超级按钮_修改密码"), QStringLiteral("修改密码")), &QPushButton::clicked,
            this, &UserMenu::openChangePassword);
    connect(addItem(QStringLiteral("超级按钮_关于我们"), QStringLiteral("关于我们")), &QPushButton::clicked,
            this, [this] {
                send<protocol::Request::AboutUs>();
                close();
            });
    connect(addItem(QStringLiteral("超级按钮_使用帮助"), QStringLiteral("使用帮助")), &QPushButton::clicked,
            this, [this] {
                send<protocol::Request::Help>();
                close();
            });
    connect(addItem(QStringLiteral("超级按钮_退出菜单"), QStringLiteral("退出菜单")), &QPushButton::clicked,
            this, &QWidget::close);
    pressButtonsOnEnter(this);
}

UserMenu::~UserMenu()
{
    if (WindowRegistry::get(WindowId::UserMenu) == this)
        WindowRegistry::set(WindowId::UserMenu, nullptr);
}

bool UserMenu::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        m_wasActive = true;
    else if (event->type() == QEvent::WindowDeactivate && m_wasActive && isVisible() && !m_closingByKey) {
        g_autoClosedAt = QDateTime::currentMSecsSinceEpoch();
        close();
    } else if (event->type() == QEvent::Close && WindowRegistry::get(WindowId::UserMenu) == this)
        WindowRegistry::set(WindowId::UserMenu, nullptr);
    return QWidget::event(event);
}

void UserMenu::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape: {
        // Not a close by a click elsewhere, which keeps the user button from opening the
        // menu again for a moment.
        m_closingByKey = true;
        QWidget *owner = parentWidget();
        close();
        if (owner)
            owner->activateWindow();
        return;
    }
    case Qt::Key_Down:
        focusNextChild();
        return;
    case Qt::Key_Up:
        focusPreviousChild();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

bool UserMenu::closedJustNow()
{
    return g_autoClosedAt >= 0 && QDateTime::currentMSecsSinceEpoch() - g_autoClosedAt < 300;
}

void UserMenu::openPersonalCentre()
{
    QWidget *owner = parentWidget();
    close();
    auto *window = new PersonalCentre(owner);
    window->show();
}

void UserMenu::openChangePassword()
{
    QWidget *owner = parentWidget();
    close();
    auto *window = new ChangePassword(owner);
    window->show();
}

} // namespace vantrell::client
