#pragma once

// The order page of the main window: the dashboard, the order tabs, the partner
// filter, the keyword search and the paged order list with its context menu.

#include <QWidget>
#include <string_view>

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace vantrell::client {

class Dashboard;
class PagedList;

class OrderPage final : public QWidget
{
    Q_OBJECT
public:
    explicit OrderPage(QWidget *parent = nullptr);

    Dashboard *dashboard() const { return m_dashboard; }
    PagedList *pager() const { return m_pager; }
    QTreeWidget *list() const { return m_list; }
    QLabel *partnerLabel() const { return m_partnerLabel; }
    QPushButton *actionButton() const { return m_action; }

    // Queries the list with the current tab, partner filter and keyword.
    void refresh(const QString &page);
    // The partner picked in the drop-down (0 = all); the list restarts at page 1.
    void setPartnerFilter(int partnerId);
    int partnerFilter() const { return m_partnerFilter; }

    // An order list reply: the list with its pager, then the state icons.
    // False when an export of the list took the reply (client/ui/common/pagedlist.h).
    bool fill(std::string_view gbkText);

    // Shows the list's context menu at `globalPos`; nullptr when no row is selected.
    QMenu *openContextMenu(const QPoint &globalPos);

    void copyOrderNumber();
    void viewSelectedOrder();
    void cancelSelectedOrder();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void search();
    void actionClicked();

    Dashboard *m_dashboard = nullptr;
    QTabWidget *m_tabs = nullptr;
    QLabel *m_partnerLabel = nullptr;
    QPushButton *m_partnerArrow = nullptr;
    QLineEdit *m_keyword = nullptr;
    QPushButton *m_search = nullptr;
    QPushButton *m_action = nullptr;
    QTreeWidget *m_list = nullptr;
    PagedList *m_pager = nullptr;
    int m_partnerFilter = 0;
};

} // namespace vantrell::client
