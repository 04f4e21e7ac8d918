#include "client/ui/account/changepassword.h"

#include "client/core/gbklimit.h"
#include "client/core/messagebox.h"
#include "client/core/text.h"
#include "client/core/windowregistry.h"
#include "client/net/request.h"
#include "client/net/serverlink.h"
#include "client/ui/common/inputrules.h"
#include "protocol/md5.h"
#include "ui_changepassword.h"

#include <QLineEdit>
#include <QPushButton>

namespace vantrell::client {

namespace {

QString digest(const QString &password)
{
    return QString::fromLatin1(protocol::md5Hex(toGbkString(password)));
}

} // namespace

ChangePassword::ChangePassword(QWidget *mainWindow) : FramedWindow(mainWindow), m_ui(new Ui::ChangePassword)
{
    m_ui->setupUi(this);
    adoptCloseButton(m_ui->图形按钮_关闭);
    setWindowModality(Qt::ApplicationModal);
    WindowRegistry::set(WindowId::ChangePassword, this);

    for (QLineEdit *edit : {m_ui->编辑框_原密码, m_ui->编辑框_新密码, m_ui->编辑框_新密码重复}) {
        limitGbkBytes(edit, 40);
        connect(edit, &QLineEdit::returnPressed, this, &ChangePassword::submit);
    }
    connect(m_ui->按钮2, &QPushButton::clicked, this, &ChangePassword::submit);
    connect(m_ui->按钮1, &QPushButton::clicked, this, &QWidget::close);

    centreOnOwner();
    m_ui->编辑框_原密码->setFocus();
}

ChangePassword::~ChangePassword()
{
    if (WindowRegistry::get(WindowId::ChangePassword) == this)
        WindowRegistry::set(WindowId::ChangePassword, nullptr);
}

bool ChangePassword::hasUnsavedInput() const
{
    return !m_ui->编辑框_原密码->text().isEmpty() || !m_ui->编辑框_新密码->text().isEmpty() ||
           !m_ui->编辑框_新密码重复->text().isEmpty();
}

void ChangePassword::submit()
{
    if (m_ui->编辑框_原密码->text().isEmpty()) {
        inform(this, QStringLiteral("请输入原密码!"), windowTitle());
        focusAtEnd(m_ui->编辑框_原密码);
        return;
    }
    if (m_ui->编辑框_新密码->text().isEmpty()) {
        inform(this, QStringLiteral("请输入新密码!"), windowTitle());
        focusAtEnd(m_ui->编辑框_新密码);
        return;
    }
    if (m_ui->编辑框_新密码->text() != m_ui->编辑框_新密码重复->text()) {
        inform(this, QStringLiteral("两次输入的密码不一致!"), windowTitle());
        return;
    }
    if (!screenTyped({m_ui->编辑框_原密码->text(), m_ui->编辑框_新密码->text()}))
        return;
    send<protocol::Request::ChangePassword>(digest(m_ui->编辑框_原密码->text()),
                                            digest(m_ui->编辑框_新密码->text()));
}

void logoutAfterPasswordChange()
{
    // The server keeps this session and ends the account's others; the client ends this
    // one itself. No loss to report: the box says what happened, then the login window.
    ServerLink &link = ServerLink::instance();
    link.dropConnection();
    messageBoxes().show(WindowRegistry::get(WindowId::ChangePassword),
                        QStringLiteral("密码修改成功,请重新登陆!"), StyleInformation,
                        QStringLiteral("修改密码"));
    link.logOut();
}

} // namespace vantrell::client
