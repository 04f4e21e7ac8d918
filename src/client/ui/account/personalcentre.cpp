#include "client/ui/account/personalcentre.h"

#include "client/core/appstate.h"
#include "client/core/gbklimit.h"
#include "client/core/messagebox.h"
#include "client/core/text.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/request.h"
#include "client/net/serverlink.h"
#include "client/ui/common/inputrules.h"
#include "client/ui/common/pagecontrols.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vantrell::client {

namespace {

QLineEdit *contactEdit(QWidget *parent, const QString &name, int maxBytes)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    limitGbkBytes(edit, maxBytes);
    return edit;
}

} // namespace

PersonalCentre::PersonalCentre(QWidget *mainWindow)
    : FramedWindow(mainWindow, QStringLiteral("个人中心"), QStringLiteral("图形按钮_关闭"))
{
    setObjectName(QStringLiteral("个人中心窗口"));
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(460, 440);
    WindowRegistry::set(WindowId::PersonalCentre, this);

    auto *layout = new QVBoxLayout(body());
    layout->setContentsMargins(16, 12, 16, 16);
    auto *tabs = new QTabWidget(body());
    tabs->setObjectName(QStringLiteral("高级选择夹1"));
    auto *basics = new QWidget;
    tabs->addTab(basics, QStringLiteral("基础信息"));
    tabs->addTab(new QWidget, QStringLiteral("基础设置"));
    layout->addWidget(tabs);

    auto *form = new QFormLayout(basics);
    form->setContentsMargins(24, 18, 24, 12);
    form->setHorizontalSpacing(12);
    form->setVerticalSpacing(10);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const AppState &state = appState();
    auto *userName = new QLabel(state.currentUserName, basics);
    userName->setObjectName(QStringLiteral("透明标签_用户名"));
    auto *type = new QLabel(QStringLiteral("[") + state.profileType + QStringLiteral("]"), basics);
    type->setObjectName(QStringLiteral("透明标签_类型"));
    type->setProperty("role", QStringLiteral("muted"));
    auto *userRow = new QHBoxLayout;
    userRow->addWidget(userName);
    userRow->addWidget(type);
    userRow->addStretch(1);
    form->addRow(QStringLiteral("用户名："), userRow);
    m_company = new QLabel(basics);
    m_company->setObjectName(QStringLiteral("透明标签_公司"));
    form->addRow(QStringLiteral(" 公 司："), m_company);
    m_contact = contactEdit(basics, QStringLiteral("编辑框_联系人"), 20);
    form->addRow(QStringLiteral("联系人："), m_contact);
    m_phone = contactEdit(basics, QStringLiteral("编辑框_电话"), 11);
    form->addRow(QStringLiteral(" 电 话："), m_phone);
    m_email = contactEdit(basics, QStringLiteral("编辑框_邮箱"), 40);
    form->addRow(QStringLiteral(" 邮 箱："), m_email);
    m_address = contactEdit(basics, QStringLiteral("编辑框_地址"), 95);
    form->addRow(QStringLiteral(" 地 址："), m_address);

    m_save = makeButton(basics, QStringLiteral("超级按钮_保存"), QStringLiteral("保存"), true);
    m_save->setEnabled(false);
    m_save->setMinimumWidth(120);
    auto *saveRow = new QHBoxLayout;
    saveRow->addStretch(1);
    saveRow->addWidget(m_save);
    saveRow->addStretch(1);
    form->addRow(saveRow);
    connect(m_save, &QPushButton::clicked, this, &PersonalCentre::save);

    centreOnOwner();
    ServerLink::instance().sendRequest(QStringLiteral("基础通讯_获取个人中心基本资料"));
}

PersonalCentre::~PersonalCentre()
{
    if (WindowRegistry::get(WindowId::PersonalCentre) == this)
        WindowRegistry::set(WindowId::PersonalCentre, nullptr);
}

void PersonalCentre::fill(const Reply &reply)
{
    m_company->setText(reply.value(QStringLiteral("公司")));
    m_contact->setText(reply.value(QStringLiteral("联系人")));
    m_phone->setText(reply.value(QStringLiteral("电话")));
    m_email->setText(reply.value(QStringLiteral("邮箱")));
    m_address->setText(reply.value(QStringLiteral("地址")));
    m_save->setEnabled(true);
    focusAtEnd(m_contact);
}

void PersonalCentre::save()
{
    if (!screenTyped({m_contact->text(), m_phone->text(), m_email->text(), m_address->text()}))
        return;
    const QString contact = trimSpaces(m_contact->text());
    if (gbkLength(contact) < 4) {
        inform(this, QStringLiteral("请填写联系人姓名!"), windowTitle());
        focusAtEnd(m_contact);
        return;
    }
    const QString phone = trimSpaces(m_phone->text());
    if (gbkLength(phone) < 11) {
        inform(this, QStringLiteral("请填写联系人电话!"), windowTitle());
        focusAtEnd(m_phone);
        return;
    }
    RequestFields fields;
    fields.add(QStringLiteral("联系人"), contact)
        .add(QStringLiteral("电话"), phone)
        .add(QStringLiteral("邮箱"), trimSpaces(m_email->text()))
        .add(QStringLiteral("地址"), trimSpaces(m_address->text()));
    ServerLink::instance().sendRequest(QStringLiteral("基础通讯_保存个人中心基本资料"), fields.bytes());
}

} // namespace vantrell::client
