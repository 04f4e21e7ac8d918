#include "client/ui/finance/statementcreation.h"

#include "client/core/messagebox.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/request.h"
#include "client/ui/common/clickguard.h"
#include "client/ui/finance/statementexport.h"
#include "ui_statementcreation.h"

#include <QCursor>
#include <QSignalBlocker>
#include <QToolTip>

namespace vantrell::client {

namespace {

const QString kDateHint = QStringLiteral("起始日期是固定的,终止日期是可以选择的!");

QDate replyDate(const QString &text)
{
    return QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
}

} // namespace

QString requestDate(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

StatementCreation::StatementCreation(QWidget *owner, const QString &purchaserId)
    : FramedWindow(owner), m_ui(new Ui::StatementCreation), m_purchaserId(purchaserId)
{
    m_ui->setupUi(this);
    adoptCloseButton(m_ui->图形按钮_关闭1);
    setWindowModality(Qt::ApplicationModal);
    WindowRegistry::set(WindowId::StatementCreation, this);

    // Until the server's range arrives, both dates read today.
    {
        const QSignalBlocker blockStart(m_ui->日期框1);
        const QSignalBlocker blockEnd(m_ui->日期框2);
        m_ui->日期框1->setDate(QDate::currentDate());
        m_ui->日期框2->setDate(QDate::currentDate());
    }
    m_offeredEnd = m_ui->日期框2->date();
    m_ui->超级按钮1->setToolTip(kDateHint);
    connect(m_ui->日期框2, &QDateEdit::dateChanged, this, &StatementCreation::endDateChanged);
    connect(m_ui->超级按钮_生成对账单, &QPushButton::clicked, this, &StatementCreation::create);
    connect(m_ui->超级按钮1, &QToolButton::clicked, this, &StatementCreation::showHint);

    centreOnOwner();
    send<protocol::Request::StatementDefaults>(m_purchaserId);
}

StatementCreation::~StatementCreation()
{
    if (WindowRegistry::get(WindowId::StatementCreation) == this)
        WindowRegistry::set(WindowId::StatementCreation, nullptr);
}

void StatementCreation::setAmount(const QString &serverText)
{
    const auto fen = parseFen(serverText);
    m_amountFen = fen.value_or(0);
    m_ui->标签_总金额->setText(fenText(serverText) + QStringLiteral("元"));
}

void StatementCreation::fillDefaults(const Reply &reply)
{
    setAmount(reply.value(QStringLiteral("总金额")));
    const QSignalBlocker blockStart(m_ui->日期框1);
    const QSignalBlocker blockEnd(m_ui->日期框2);
    const QDate start = replyDate(reply.value(QStringLiteral("起始日期")));
    const QDate end = replyDate(reply.value(QStringLiteral("终止日期")));
    if (start.isValid())
        m_ui->日期框1->setDate(start);
    if (end.isValid())
        m_ui->日期框2->setDate(end);
    m_offeredEnd = m_ui->日期框2->date();
}

bool StatementCreation::hasUnsavedInput() const
{
    return m_ui->日期框2->date() != m_offeredEnd;
}

void StatementCreation::fillAmount(const Reply &reply)
{
    setAmount(reply.value(QStringLiteral("总金额")));
}

void StatementCreation::endDateChanged()
{
    const QDate start = m_ui->日期框1->date();
    if (m_ui->日期框2->date() < start) {
        const QSignalBlocker block(m_ui->日期框2);
        m_ui->日期框2->setDate(start);
    }
    send<protocol::Request::StatementAmount>(m_purchaserId, requestDate(start),
                                             requestDate(m_ui->日期框2->date()));
}

void StatementCreation::create()
{
    if (m_amountFen <= 0) {
        inform(this, QStringLiteral("结算金额不能为0。"), windowTitle());
        return;
    }
    if (!askYesNo(this, QStringLiteral("是否生成对账单?"), windowTitle()))
        return;
    send<protocol::Request::CreateStatement>(m_purchaserId, requestDate(m_ui->日期框1->date()),
                                             requestDate(m_ui->日期框2->date()));
    clickGuard({m_ui->超级按钮_生成对账单});
}

void StatementCreation::showHint()
{
    QToolTip::showText(QCursor::pos(), kDateHint, m_ui->超级按钮1);
}

} // namespace vantrell::client
