#include "client/ui/common/pagedlist.h"

#include "client/ui/common/clickguard.h"
#include "client/ui/common/listexport.h"
#include "client/ui/common/listfiller.h"
#include "client/ui/common/listlayout.h"
#include "client/ui/common/pagecontrols.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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
    if (m_list)
        m_layout = new ListLayout(m_list);
    const QString exportName = controlName(QStringLiteral("导出"));
    if (!exportName.isEmpty() && m_previous->parentWidget()) {
        if (auto *button = m_previous->parentWidget()->findChild<QAbstractButton *>(exportName))
            attachExport(button);
    }
}

QString PagedList::controlName(const QString &word) const
{
    QString name = m_previous ? m_previous->objectName() : QString();
    const qsizetype at = name.lastIndexOf(QStringLiteral("上一页"));
    return at < 0 ? QString() : name.replace(at, 3, word);
}

void PagedList::attachExport(QAbstractButton *button)
{
    // The sheet is named after the list: 按钮_<stem>_上一页<suffix> gives <stem>.
    QString stem = m_previous->objectName();
    stem = stem.left(stem.lastIndexOf(QStringLiteral("_上一页")));
    if (stem.startsWith(QStringLiteral("按钮_")))
        stem = stem.mid(3);
    m_export = new ListExport(this, button, stem.isEmpty() ? QStringLiteral("列表") : stem);
}

namespace {

// The box layout under `layout` that holds `widget`.
QBoxLayout *boxHolding(QLayout *layout, QWidget *widget)
{
    if (!layout)
        return nullptr;
    auto *box = qobject_cast<QBoxLayout *>(layout);
    if (box && box->indexOf(widget) >= 0)
        return box;
    for (int i = 0; i < layout->count(); ++i) {
        if (QBoxLayout *found = boxHolding(layout->itemAt(i)->layout(), widget))
            return found;
    }
    return nullptr;
}

} // namespace

QAbstractButton *PagedList::addExportButton()
{
    if (m_export)
        return m_export->button();
    const QString name = controlName(QStringLiteral("导出"));
    if (name.isEmpty() || !m_previous->parentWidget())
        return nullptr;
    QWidget *parent = m_previous->parentWidget();
    auto *button = makeButton(parent, name, QStringLiteral("导出"));
    if (QBoxLayout *row = boxHolding(parent->layout(), m_previous))
        row->insertWidget(0, button);
    attachExport(button);
    return button;
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

bool PagedList::fill(std::string_view gbkText)
{
    if (m_export && m_export->take(gbkText))
        return false;
    fillList(m_list, gbkText, m_label, m_pageBox);
    if (m_layout)
        m_layout->afterFill();
    return true;
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
