#pragma once

// The partner page: all partners or cooperating ones, keyword search, the cooperation
// actions and the paged partner list.

#include <QWidget>
#include <string_view>

class QLineEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace vantrell::client {

class PagedList;

class PartnerPage final : public QWidget
{
    Q_OBJECT
public:
    explicit PartnerPage(QWidget *parent = nullptr);

    PagedList *pager() const { return m_pager; }
    QTreeWidget *list() const { return m_list; }
    QTabWidget *tabs() const { return m_tabs; }
    QPushButton *firstButton() const { return m_first; }
    QPushButton *authoriseButton() const { return m_authorise; }

    // Queries with the keyword and the cooperation type (the tab index).
    void refresh(const QString &page);
    void fill(std::string_view gbkText);

    // 申请合作 (purchaser) or 同意合作 (supplier).
    void firstAction();
    // 取消合作, both roles.
    void cancelCooperation();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QTabWidget *m_tabs = nullptr;
    QLineEdit *m_keyword = nullptr;
    QPushButton *m_search = nullptr;
    QPushButton *m_first = nullptr;
    QPushButton *m_authorise = nullptr;
    QTreeWidget *m_list = nullptr;
    PagedList *m_pager = nullptr;
};

} // namespace vantrell::client
