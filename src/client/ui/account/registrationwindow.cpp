#include "client/ui/account/registrationwindow.h"

#include "client/core/appstate.h"
#include "client/core/gbklimit.h"
#include "client/core/messagebox.h"
#include "client/core/text.h"
#include "client/core/windowdrag.h"
#include "client/core/windowregistry.h"
#include "client/net/request.h"
#include "client/net/serverlink.h"
#include "client/ui/common/glyphicons.h"
#include "client/ui/common/inputrules.h"
#include "client/ui/common/keyboard.h"
#include "protocol/md5.h"
#include "ui_registrationwindow.h"

#include <QPointer>
#include <QToolButton>

namespace vantrell::client {

RegistrationWindow::RegistrationWindow(QWidget *parent) : QDialog(parent), m_ui(new Ui::RegistrationWindow)
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_StyledBackground);
    m_ui->图形按钮_关闭->setIcon(glyphIcon(Glyph::Close, Qt::white));
    new WindowDragger(this);

    limitGbkBytes(m_ui->编辑框_用户名, 20);
    limitGbkBytes(m_ui->编辑框_密码, 20);
    limitGbkBytes(m_ui->编辑框_重复密码, 20);
    limitGbkBytes(m_ui->编辑框_手机号, 11);
    limitGbkBytes(m_ui->编辑框_公司, 25);

    connect(m_ui->按钮2, &QPushButton::clicked, this, &RegistrationWindow::submit);
    connect(m_ui->按钮1, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->图形按钮_关闭, &QToolButton::clicked, this, &QDialog::reject);

    // Enter in the form registers, as in any dialog; Enter on 取消 cancels.
    m_ui->按钮2->setDefault(true);
    pressButtonsOnEnter(this);
    WindowRegistry::set(WindowId::Registration, this);
}

RegistrationWindow::~RegistrationWindow()
{
    if (WindowRegistry::get(WindowId::Registration) == this)
        WindowRegistry::set(WindowId::Registration, nullptr);
    delete m_ui;
}

bool RegistrationWindow::refuse(const QString &message, QWidget *focus)
{
    inform(this, message, windowTitle());
    focus->setFocus();
    if (auto *edit = qobject_cast<QLineEdit *>(focus))
        edit->end(false);
    return false;
}

void RegistrationWindow::submit()
{
    if (!m_ui->按钮2->isEnabled())
        return;
    const QString userName = m_ui->编辑框_用户名->text();
    const QString password = m_ui->编辑框_密码->text();
    const QString phone = m_ui->编辑框_手机号->text();
    const QString company = m_ui->编辑框_公司->text();
    const int type = m_ui->组合框_类型->currentIndex();

    if (gbkLength(userName) < 4) {
        refuse(QStringLiteral("用户名长度必须超过4个字符!"), m_ui->编辑框_用户名);
        return;
    }
    if (gbkLength(password) < 4) {
        refuse(QStringLiteral("密码长度必须超过4个字符!"), m_ui->编辑框_密码);
        return;
    }
    if (m_ui->编辑框_重复密码->text() != password) {
        refuse(QStringLiteral("两次密码输入不一致,请重新输入!"), m_ui->编辑框_重复密码);
        return;
    }
    if (gbkLength(company) < 8) {
        refuse(QStringLiteral("公司名称长度必须超过8个字符,公司名称一旦设置无法更改,请认真填写。"),
               m_ui->编辑框_公司);
        return;
    }
    if (type <= 0) {
        refuse(QStringLiteral("请选择商家类型!"), m_ui->组合框_类型);
        return;
    }
    if (!screenTyped({userName, password, phone, company}, this))
        return;

    showConnecting(true);
    // The connect runs off the GUI thread; the request goes once it has been announced.
    // Closing the window meanwhile drops it.
    ServerLink::instance().connectAndAnnounce(
        [window = QPointer(this), userName, password, phone, company, type](bool connected) {
            if (!window)
                return;
            if (connected) {
                ServerLink::instance().sendRequest(
                    QStringLiteral("登陆系统_注册账号"),
                    RequestFields()
                        .add(QStringLiteral("用户名"), userName)
                        .add(QStringLiteral("密码"),
                             QString::fromStdString(protocol::md5Hex(toGbkString(password))))
                        .add(QStringLiteral("手机号"), phone)
                        .add(QStringLiteral("公司"), company)
                        .add(QStringLiteral("类型"), type)
                        .bytes());
            }
            window->showConnecting(false);
        });
}

void RegistrationWindow::showConnecting(bool on)
{
    QPushButton *button = m_ui->按钮2;
    if (on && button->isEnabled())
        m_submitText = button->text();
    button->setEnabled(!on);
    button->setText(on ? QStringLiteral("正在连接服务器...") : m_submitText);
}

} // namespace vantrell::client
