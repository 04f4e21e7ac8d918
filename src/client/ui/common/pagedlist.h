#pragma once

// A paged list: the list view, its page label and page box, the previous and next
// buttons and the query that fetches a page. Previous, next and Enter in the page box
// repeat the query with the box's page and the screen's other values as they are now.

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
    void fill(std::string_view gbkText);

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

    QPointer<QTreeWidget> m_list;
    QPointer<QLabel> m_label;
    QPointer<QLineEdit> m_pageBox;
    QPointer<QAbstractButton> m_previous;
    QPointer<QAbstractButton> m_next;
    Query m_query;
    PageBoxKeys m_keys = PageBoxKeys::Checked;
};

} // namespace vantrell::client
