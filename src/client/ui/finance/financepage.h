#pragma once

// The finance page: the partners the user settles with, searchable and paged; a partner
// opens in the finance reconciliation window.

#include <QWidget>
#include <string_view>

class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace vantrell::client {

class PagedList;

class FinancePage final : public QWidget
{
    Q_OBJECT
public:
    explicit FinancePage(QWidget *parent = nullptr);

    PagedList *pager() const { return m_pager; }
    QTreeWidget *list() const { return m_list; }

    void refresh(const QString &page);
    void fill(std::string_view gbkText);
    // Opens the finance reconciliation window for the selected row; nothing without one.
    void openSelectedPartner();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QLineEdit *m_keyword = nullptr;
    QPushButton *m_search = nullptr;
    QPushButton *m_open = nullptr;
    QTreeWidget *m_list = nullptr;
    PagedList *m_pager = nullptr;
};

} // namespace vantrell::client
