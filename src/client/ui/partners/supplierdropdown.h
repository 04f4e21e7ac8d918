#pragma once

// The supplier drop-down: a small borderless list of the user's active partners that
// hangs below an arrow button of a main-window page. Picking a row hands the partner to
// the owner page and closes the list; so do losing the focus, a second arrow click and
// Esc, which gives the focus back to the arrow. The arrow keys move through the rows
// without picking; Enter picks the current one.

#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <memory>
#include <string_view>

class QLabel;
class QTreeWidget;

namespace Ui {
class SupplierDropDown;
}

namespace vantrell::client {

// Partner ID and company name; 0 and an empty name when nothing is picked.
using PartnerPicked = std::function<void(int partnerId, const QString &company)>;

class SupplierDropDown final : public QWidget
{
    Q_OBJECT
public:
    SupplierDropDown(QPushButton *arrow, PartnerPicked picked);
    ~SupplierDropDown() override;

    QTreeWidget *list() const;
    void search();
    // The partners, then "所有公司" (ID 0) on top.
    void fill(std::string_view gbkText);
    // Below the arrow, right edges aligned.
    void placeBesideArrow();

    // Toggles the drop-down for `arrow` (the click that just closed it by taking the
    // focus does not open it again).
    static void toggle(QPushButton *arrow, const PartnerPicked &picked);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void picked();

    std::unique_ptr<Ui::SupplierDropDown> m_ui;
    QPointer<QPushButton> m_arrow;
    PartnerPicked m_picked;
    bool m_wasActive = false;
    bool m_closing = false;
    bool m_browsing = false; // the arrow keys move the selection: no pick
};

// Binds an owner page's arrow button and the label beside it to the drop-down.
void attachSupplierDropDown(QPushButton *arrow, QLabel *label, PartnerPicked picked);

} // namespace vantrell::client
