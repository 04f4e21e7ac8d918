#include "client/ui/common/stalerows.h"

#include "client/core/text.h"
#include "protocol/fieldtext.h"

#include <QAbstractButton>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTabWidget>
#include <QTreeWidget>

namespace vantrell::client {

namespace {

// The keywords of the page as a query would send them; false when one would be refused.
bool keywordsClean(const QWidget *page)
{
    const auto boxes = page->findChildren<QLineEdit *>();
    for (const QLineEdit *box : boxes) {
        if (box->property("role").toString() == QStringLiteral("search") &&
            !protocol::isClean(toGbkString(box->text())))
            return false;
    }
    return true;
}

// Enter in a pager's page box: the pager takes the key itself, so no signal tells of it.
class PageBoxEnter final : public QObject
{
public:
    PageBoxEnter(QObject *parent, QWidget *page, QTreeWidget *list)
        : QObject(parent), m_page(page), m_list(list)
    {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_page && m_list && keywordsClean(m_page))
                greyRows(m_list);
        }
        return false;
    }

private:
    QPointer<QWidget> m_page;
    QPointer<QTreeWidget> m_list;
};

} // namespace

void greyRows(QTreeWidget *list)
{
    if (!list)
        return;
    list->clearSelection();
    list->setCurrentItem(nullptr);
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        list->topLevelItem(i)->setDisabled(true);
}

bool rowsGreyed(const QTreeWidget *list)
{
    if (!list || list->topLevelItemCount() == 0)
        return false;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (!list->topLevelItem(i)->isDisabled())
            return false;
    }
    return true;
}

void greyRowsOnNewQuery(QWidget *page, QTreeWidget *list)
{
    if (!page || !list)
        return;
    // Connected after the page's own handlers, so these run once the query has gone.
    const auto grey = [page = QPointer<QWidget>(page), list = QPointer<QTreeWidget>(list)] {
        if (page && list && keywordsClean(page))
            greyRows(list);
    };
    const auto tabs = page->findChildren<QTabWidget *>();
    for (QTabWidget *tabWidget : tabs) {
        if (tabWidget->property("role").toString() == QStringLiteral("subTabs"))
            QObject::connect(tabWidget, &QTabWidget::currentChanged, list, grey);
    }
    const auto boxes = page->findChildren<QLineEdit *>();
    for (QLineEdit *box : boxes) {
        const QString name = box->objectName();
        if (box->property("role").toString() == QStringLiteral("search"))
            QObject::connect(box, &QLineEdit::returnPressed, list, grey);
        else if (name.startsWith(QStringLiteral("编辑框_")) && name.contains(QStringLiteral("_页")))
            box->installEventFilter(new PageBoxEnter(box, page, list));
    }
    const auto buttons = page->findChildren<QAbstractButton *>();
    for (QAbstractButton *button : buttons) {
        const QString name = button->objectName();
        if (name.contains(QStringLiteral("_搜索")) || name.contains(QStringLiteral("_上一页")) ||
            name.contains(QStringLiteral("_下一页"))) {
            // The drop-down arrows of the partner selectors are named …_搜索 too; they ask
            // for partners, not for this list's rows.
            if (button->property("role").toString() == QStringLiteral("arrow"))
                continue;
            QObject::connect(button, &QAbstractButton::clicked, list, grey);
        }
    }
}

} // namespace vantrell::client
