#pragma once

// A paged list: the list view, its page label and page box, the previous and next
// buttons and the query that fetches a page. Previous, next and Enter in the page box
// repeat the query with the box's page and the screen's other values as they are now.
//
// Every paged list remembers its layout (client/ui/common/listlayout.h). A list with an
// export button (按钮_<stem>_导出<suffix> beside its previous button 按钮_<stem>_上一页<suffix>,
// as makePager makes it, or one added by addExportButton) exports its current query
// (client/ui/common/listexport.h); Ctrl+E presses the button of the list in view.

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QTreeWidget>
#include <functional>
#include <string_view>

namespace vantrell::client {

// Leading decimal integer of a text ("12页" -> 12); 0 when it has none.
int leadingInt(const QString &text);
// The page value a query sends: the text itself, or "1" when its value is 0 or less.
QString pageParam(const QString &pageText);

class ListExport;
class ListLayout;

class PagedList : public QObject
{
    Q_OBJECT
public:
    using Query = std::function<void(const QString &page)>;

    PagedList(QTreeWidget *list, QLabel *label, QLineEdit *pageBox, QAbstractButton *previous,
              QAbstractButton *next, Query query);

    QTreeWidget *list() const { return m_list; }
    QLineEdit *pageBox() const { return m_pageBox; }
    QString pageText() const;
    bool isEmpty() const;

    // Asks for a page with the screen's current values.
    void query(const QString &page);
    // Fills the list from a reply; false when an export took the reply instead (the list,
    // its label and page box are then as they were, and the caller leaves them so).
    bool fill(std::string_view gbkText);

    // The export of the list; nullptr when it has no export button.
    ListExport *exporter() const { return m_export; }
    // Adds the export button at the start of the pager's row (for pagers of a designed
    // window); the existing one when there is one.
    QAbstractButton *addExportButton();
    ListLayout *layout() const { return m_layout; }

    void previous();
    void next();

    // Two lists differ from the rule: one page box sends whatever it holds on Enter,
    // without the low-page check and without the guard; another ignores its keys and
    // pages only through the buttons.
    enum class PageBoxKeys
    {
        Checked,
        Unchecked,
        Ignored
    };
    void setPageBoxKeys(PageBoxKeys keys) { m_keys = keys; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void pageEdited();
    QString controlName(const QString &word) const;
    void attachExport(QAbstractButton *button);

    QPointer<QTreeWidget> m_list;
    QPointer<QLabel> m_label;
    QPointer<QLineEdit> m_pageBox;
    QPointer<QAbstractButton> m_previous;
    QPointer<QAbstractButton> m_next;
    Query m_query;
    PageBoxKeys m_keys = PageBoxKeys::Checked;
    ListExport *m_export = nullptr;
    ListLayout *m_layout = nullptr;
};

} // namespace vantrell::client
