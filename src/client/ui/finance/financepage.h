#pragma once

// The finance page: the partners the user settles with, searchable and paged.

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

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QLineEdit *m_keyword = nullptr;
    QPushButton *m_search = nullptr;
    QTreeWidget *m_list = nullptr;
    PagedList *m_pager = nullptr;
};

} // namespace vantrell::client
