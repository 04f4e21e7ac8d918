#pragma once

// The supplier's goods page: on-sale and off-the-shelf tabs, keyword search, the goods
// actions and the paged goods list.

#include <QWidget>
#include <string_view>

class QLineEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace vantrell::client {

class PagedList;

class GoodsPage final : public QWidget
{
    Q_OBJECT
public:
    explicit GoodsPage(QWidget *parent = nullptr);

    PagedList *pager() const { return m_pager; }
    QTreeWidget *list() const { return m_list; }

    // Queries the list with the current tab (status = tab + 1) and keyword.
    void refresh(const QString &page);
    void fill(std::string_view gbkText);
    // The page box as it stands, for a refresh that keeps the page.
    QString pageText() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // Edit (and double click, which has no complaint of its own) on the selected row.
    void editSelected(bool complain);
    void shelveSelected();

    QTabWidget *m_tabs = nullptr;
    QLineEdit *m_keyword = nullptr;
    QPushButton *m_search = nullptr;
    QPushButton *m_shelf = nullptr;
    QTreeWidget *m_list = nullptr;
    PagedList *m_pager = nullptr;
};

// Columns of a goods list before its first reply.
void setGoodsDesignColumns(QTreeWidget *list);
// Status pictures: 正常 and 下架 in column 1.
void setGoodsStatusIcons(QTreeWidget *list);

} // namespace vantrell::client
