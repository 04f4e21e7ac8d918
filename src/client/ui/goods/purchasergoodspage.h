#pragma once

// The purchaser's goods page: the goods of the supplier picked in the selector, read only.

#include <QWidget>
#include <string_view>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace vantrell::client {

class PagedList;

class PurchaserGoodsPage final : public QWidget
{
    Q_OBJECT
public:
    explicit PurchaserGoodsPage(QWidget *parent = nullptr);

    PagedList *pager() const { return m_pager; }
    QTreeWidget *list() const { return m_list; }
    QLabel *supplierLabel() const { return m_supplierLabel; }
    int chosenSupplier() const { return m_supplier; }

    // Queries with the chosen supplier, tab, keyword and the page box as it stands.
    void refresh();
    // A pick in the supplier drop-down (0 and an empty name: none); keeps the page.
    void chooseSupplier(int supplierId, const QString &company);
    void fill(std::string_view gbkText);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // 查看 and double click (which has no complaint of its own) on the selected row.
    void viewSelected(bool complain);

    QTabWidget *m_tabs = nullptr;
    QLabel *m_supplierLabel = nullptr;
    QLineEdit *m_keyword = nullptr;
    QPushButton *m_search = nullptr;
    QTreeWidget *m_list = nullptr;
    PagedList *m_pager = nullptr;
    int m_supplier = 0;
};

} // namespace vantrell::client
