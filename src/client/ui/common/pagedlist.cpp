#include "client/ui/common/pagedlist.h"

#include "client/ui/common/clickguard.h"
#include "client/ui/common/listfiller.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

namespace vantrell::client {

int leadingInt(const QString &text)
{
    const QString trimmed = text.trimmed();
    qsizetype end = 0;
    if (end < trimmed.size() && (trimmed[end] == QLatin1Char('-') || trimmed[end] == QLatin1Char('+')))
        ++end;
    const qsizetype digitsFrom = end;
    while (end < trimmed.size() && trimmed[end].isDigit() && trimmed[end].unicode() < 128)
        ++end;
    if (end == digitsFrom)
        return 0;
    bool ok = false;
    const long long value = trimmed.left(end).toLongLong(&ok);
    if (!ok)
        return 0;
    return int(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

QString pageParam(const QString &pageText)
{
    return leadingInt(pageText) <= 0 ? QStringLiteral("1") : pageText;
}

PagedList::PagedList(QTreeWidget *list, QLabel *label, QLineEdit *pageBox, QAbstractButton *previous,
                     QAbstractButton *next, Query query)
    : QObject(list), m_list(list), m_label(label), m_pageBox(pageBox), m_previous(previous), m_next(next),
      m_query(std::move(query))
{
    if (m_label)
        m_label->setText(QStringLiteral("共 1 页"));
    if (m_pageBox) {
        m_pageBox->setText(QStringLiteral("1"));
        m_pageBox->installEventFilter(this);
        connect(m_pageBox, &QLineEdit::textEdited, this, &PagedList::pageEdited);
    }
    if (m_previous)
        connect(m_previous, &QAbstractButton::clicked, this, &PagedList::previous);
    if (m_next)
        connect(m_next, &QAbstractButton::clicked, this, &PagedList::next);
}

QString PagedList::pageText() const
{
    return m_pageBox ? m_pageBox->text() : QStringLiteral("1");
}

bool PagedList::isEmpty() const
{
    return !m_list || m_list->topLevelItemCount() == 0;
}

void PagedList::query(const QString &page)
{
    if (m_query)
        m_query(page);
}

void PagedList::fill(std::string_view gbkText)
{
    fillList(m_list, gbkText, m_label, m_pageBox);
}

void PagedList::previous()
{
    if (!m_pageBox)
        return;
    const int page = leadingInt(m_pageBox->text());
    m_pageBox->setText(page >= 2 ? QString::number(page - 1) : QStringLiteral("1"));
    query(m_pageBox->text());
    clickGuard({m_previous});
}

void PagedList::next()
{
    if (!m_pageBox)
        return;
    int page = leadingInt(m_pageBox->text());
    if (page < 1) {
        m_pageBox->setText(QStringLiteral("1"));
        page = 1;
    }
    m_pageBox->setText(QString::number(page == INT_MAX ? page : page + 1));
    query(m_pageBox->text());
    clickGuard({m_next});
}

void PagedList::pageEdited()
{
    // A page below 1 becomes "1", selected so that the next digit typed replaces it.
    if (m_keys == PageBoxKeys::Checked && leadingInt(m_pageBox->text()) < 1) {
        m_pageBox->setText(QStringLiteral("1"));
        m_pageBox->selectAll();
    }
}

bool PagedList::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_pageBox && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && m_keys != PageBoxKeys::Ignored) {
            if (m_keys == PageBoxKeys::Checked) {
                if (leadingInt(m_pageBox->text()) < 1)
                    m_pageBox->setText(QStringLiteral("1"));
                query(m_pageBox->text());
                clickGuard({m_pageBox});
            } else {
                query(m_pageBox->text());
            }
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vantrell::client
