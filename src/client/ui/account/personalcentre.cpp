#include "client/ui/account/personalcentre.h"

#include "client/core/appstate.h"
#include "client/core/gbklimit.h"
#include "client/core/messagebox.h"
#include "client/core/text.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/request.h"
#include "client/ui/common/inputrules.h"
#include "ui_personalcentre.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>

namespace vantrell::client {

PersonalCentre::PersonalCentre(QWidget *mainWindow) : FramedWindow(mainWindow), m_ui(new Ui::PersonalCentre)
{
    m_ui->setupUi(this);
    adoptCloseButton(m_ui->图形按钮_关闭);
    setWindowModality(Qt::ApplicationModal);
    WindowRegistry::set(WindowId::PersonalCentre, this);

    const AppState &state = appState();
    m_ui->透明标签_用户名->setText(state.currentUserName);
    m_ui->透明标签_类型->setText(QStringLiteral("[") + state.profileType + QStringLiteral("]"));
    limitGbkBytes(m_ui->编辑框_联系人, 20);
    limitGbkBytes(m_ui->编辑框_电话, 11);
    limitGbkBytes(m_ui->编辑框_邮箱, 40);
    limitGbkBytes(m_ui->编辑框_地址, 95);
    connect(m_ui->超级按钮_保存, &QPushButton::clicked, this, &PersonalCentre::save);
    for (QLineEdit *box : {m_ui->编辑框_联系人, m_ui->编辑框_电话, m_ui->编辑框_邮箱, m_ui->编辑框_地址}) {
        connect(box, &QLineEdit::returnPressed, this, [this] {
            if (m_ui->超级按钮_保存->isEnabled())
                save();
        });
    }
    // Only the first page has anything on it: the tabs take no focus, Tab starts at the form.
    m_ui->高级选择夹1->setFocusPolicy(Qt::NoFocus);
    m_ui->高级选择夹1->tabBar()->setFocusPolicy(Qt::NoFocus);
    m_loaded = typed();

    centreOnOwner();
    send<protocol::Request::PersonalData>();
}

PersonalCentre::~PersonalCentre()
{
    if (WindowRegistry::get(WindowId::PersonalCentre) == this)
        WindowRegistry::set(WindowId::PersonalCentre, nullptr);
}

void PersonalCentre::fill(const Reply &reply)
{
    m_ui->透明标签_公司->setText(reply.value(QStringLiteral("公司")));
    m_ui->编辑框_联系人->setText(reply.value(QStringLiteral("联系人")));
    m_ui->编辑框_电话->setText(reply.value(QStringLiteral("电话")));
    m_ui->编辑框_邮箱->setText(reply.value(QStringLiteral("邮箱")));
    m_ui->编辑框_地址->setText(reply.value(QStringLiteral("地址")));
    m_ui->超级按钮_保存->setEnabled(true);
    m_loaded = typed();
    focusAtEnd(m_ui->编辑框_联系人);
}

QStringList PersonalCentre::typed() const
{
    return {m_ui->编辑框_联系人->text(), m_ui->编辑框_电话->text(), m_ui->编辑框_邮箱->text(),
            m_ui->编辑框_地址->text()};
}

bool PersonalCentre::hasUnsavedInput() const
{
    return typed() != m_loaded;
}

void PersonalCentre::save()
{
    if (!screenTyped({m_ui->编辑框_联系人->text(), m_ui->编辑框_电话->text(), m_ui->编辑框_邮箱->text(),
                      m_ui->编辑框_地址->text()}))
        return;
    const QString contact = trimSpaces(m_ui->编辑框_联系人->text());
    if (gbkLength(contact) < 4) {
        inform(this, QStringLiteral("请填写联系人姓名!"), windowTitle());
        focusAtEnd(m_ui->编辑框_联系人);
        return;
    }
    const QString phone = trimSpaces(m_ui->编辑框_电话->text());
    if (gbkLength(phone) < 11) {
        inform(this, QStringLiteral("请填写联系人电话!"), windowTitle());
        focusAtEnd(m_ui->编辑框_电话);
        return;
    }
    send<protocol::Request::SavePersonalData>(contact, phone, trimSpaces(m_ui->编辑框_邮箱->text()),
                                              trimSpaces(m_ui->编辑框_地址->text()));
}

} // namespace vantrell::client
