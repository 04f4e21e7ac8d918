#pragma once

// The order viewing window ("查看订单"): one order with its goods and totals, shipping
// for the supplier, cancelling for the purchaser and the supplier's answer to a
// cancellation. It works on the order it was opened for, whatever the main list shows
// meanwhile. Ctrl+P prints the shipping note, as the print button does.

#include "client/ui/common/framedwindow.h"
#include "client/ui/orders/shippingnote.h"

#include <memory>

class QTextDocument;

namespace Ui {
class OrderViewWindow;
}

namespace vantrell::client {

struct Reply;

class OrderViewWindow final : public FramedWindow
{
    Q_OBJECT
public:
    // Opens on the viewed order ID and asks the server for its page.
    explicit OrderViewWindow(QWidget *mainWindow);
    ~OrderViewWindow() override;

    QString orderId() const { return m_orderId; }
    const OrderPageData &order() const { return m_order; }
    // The shipping note of the last page that had goods lines; nullptr before one.
    const QTextDocument *shippingNote() const { return m_note.get(); }
    // The last balloon tip shown by a copy button.
    QString lastBalloonTip() const { return m_lastTip; }

    // Reply 返回发货订单页面; one for another order than this window's is ignored.
    void fillPage(const Reply &reply);
    // Reply 返回订单发货/获取物流名称列表; ignored unless this window asked for it.
    void fillCarriers(const Reply &reply);
    // The cancel replies for this window's order: its page is read again.
    void orderCancelled();

    void ship();
    void cancelOrder();
    void resolveCancel(bool agree);
    void print();
    void preview();
    void saveAsPdf();

private:
    void applyStateRules();
    void methodChanged(int index);
    void freightEdited();
    void showBalloon(const QString &text);
    void refreshMainList();

    std::unique_ptr<Ui::OrderViewWindow> m_ui;
    QString m_orderId;
    // The order number of m_orderId when known (from the main list, else the first page).
    QString m_orderNumber;
    OrderPageData m_order;
    std::unique_ptr<QTextDocument> m_note;
    QString m_lastTip;
    int m_carriersAsked = 0;
    bool m_refreshListOnPage = false;
    bool m_shippingEditable = false;
};

} // namespace vantrell::client
