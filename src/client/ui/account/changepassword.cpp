#include "client/ui/account/changepassword.h"

#include "client/core/gbklimit.h"
#include "client/core/messagebox.h"
#include "client/core/text.h"
#include "client/core/windowregistry.h"
#include "client/net/request.h"
#include "client/net/serverlink.h"
#include "client/ui/common/inputrules.h"
#include "client/ui/common/pagecontrols.h"
#include "protocol/md5.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantrell::client {

namespace {

QLineEdit *passwordEdit(QWidget *parent, const QString &name)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setEchoMode(QLineEdit::Password);
    limitGbkBytes(edit, 40);
    return edit;
}

QString digest(const QString &password)
{
    return QString::fromLatin1(protocol::md5Hex(toGbkString(password)));
}

} // namespace

ChangePassword::ChangePassword(QWidget *mainWindow)
    : FramedWindow(mainWindow, QStringLiteral("修改密码"), QStringLiteral("图形按钮_关闭"))
{
    setObjectName(QStringLiteral("修改密码窗口"));
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(380, 300);
    WindowRegistry::set(WindowId::ChangePassword, this);

    auto *form = new QFormLayout(body());
    form->setContentsMargins(40, 28, 40, 20);
    form->setHorizontalSpacing(12);
    form->setVerticalSpacing(12);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_old = passwordEdit(body(), QStringLiteral("编辑框_原密码"));
    m_new = passwordEdit(body(), QStringLiteral("编辑框_新密码"));
    m_repeat = passwordEdit(body(), QStringLiteral("编辑框_新密码重复"));
    form->addRow(QStringLiteral("原密码："), m_old);
    form->addRow(QStringLiteral("新密码："), m_new);
    form->addRow(QStringLiteral(" 重 复："), m_repeat);

    QPushButton *save = makeButton(body(), QStringLiteral("按钮2"), QStringLiteral("保存"), true);
    QPushButton *cancel = makeButton(body(), QStringLiteral("按钮1"), QStringLiteral("取消"));
    save->setMinimumWidth(96);
    cancel->setMinimumWidth(96);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(save);
    buttons->addSpacing(12);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    form->addItem(new QSpacerItem(0, 8));
    form->addRow(buttons);
    connect(save, &QPushButton::clicked, this, &ChangePassword::submit);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);

    centreOnOwner();
    m_old->setFocus();
}

ChangePassword::~ChangePassword()
{
    if (WindowRegistry::get(WindowId::ChangePassword) == this)
        WindowRegistry::set(WindowId::ChangePassword, nullptr);
}

void ChangePassword::submit()
{
    if (m_old->text().isEmpty()) {
        inform(this, QStringLiteral("请输入原密码!"), windowTitle());
        focusAtEnd(m_old);
        return;
    }
    if (m_new->text().isEmpty()) {
        inform(this, QStringLiteral("请输入新密码!"), windowTitle());
        focusAtEnd(m_new);
        return;
    }
    if (m_new->text() != m_repeat->text()) {
        inform(this, QStringLiteral("两次输入的密码不一致!"), windowTitle());
        return;
    }
    if (!screenTyped({m_old->text(), m_new->text()}))
        return;
    RequestFields fields;
    fields.add(QStringLiteral("原密码"), digest(m_old->text()))
        .add(QStringLiteral("新密码"), digest(m_new->text()));
    ServerLink::instance().sendRequest(QStringLiteral("登陆系统_修改密码"), fields.bytes());
}

void logoutAfterPasswordChange()
{
    messageBoxes().show(WindowRegistry::get(WindowId::ChangePassword),
                        QStringLiteral("密码修改成功,请重新登陆!"), StyleInformation,
                        QStringLiteral("修改密码"));
    ServerLink &link = ServerLink::instance();
    link.disconnect();
    link.connectionLostReset();
}

} // namespace vantrell::client
