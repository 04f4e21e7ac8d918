#pragma once

// The purchaser's order form: one supplier, up to 50 goods lines with their quantities,
// the delivery address and a message, totals with the freight the server computes.
// Amounts are kept in fen and weights in grams from the received texts onwards.

#include "client/ui/common/framedwindow.h"

#include <QString>
#include <QVector>
#include <memory>
#include <string_view>

class QTreeWidgetItem;

namespace Ui {
class OrderPlacingWindow;
}

namespace vantrell::client {

struct Reply;

struct PlacingLine
{
    QString goodsId, name, code, spec, unit, price; // price: the text as received
    long long priceFen = 0;
    long long weightG = 0;
    long long stock = 0;
    long long quantity = 0;
};

struct PlacingTotals
{
    long long count = 0;
    long long weightG = 0;
    long long goodsFen = 0;
};

inline constexpr int kMaxOrderLines = 50;

class OrderPlacingWindow final : public FramedWindow
{
    Q_OBJECT
public:
    explicit OrderPlacingWindow(QWidget *owner);
    ~OrderPlacingWindow() override;

    int chosenSupplier() const { return m_supplier; }
    const QVector<PlacingLine> &lines() const { return m_lines; }
    PlacingTotals totals() const;

    // A goods row ticked in the goods choosing window: true when it is (or already was)
    // an order line, false after telling the user why it cannot be one.
    bool tickGoods(const PlacingLine &line);
    void untickGoods(const QString &goodsId);
    bool hasGoods(const QString &goodsId) const;

    // Replies.
    void fillSuppliers(std::string_view gbkText);
    void showFreight(const QString &freight);
    // The supplier's orderable goods asked for by a paste; false when no paste waits.
    bool completePaste(std::string_view gbkText);

    // The freight step: totals without freight for an empty address, else a freight
    // question to the server when there is something to weigh.
    void updateFreight();
    // 1-based index of the first region of the list that occurs in the address; 0 for none.
    static int regionIndex(const QString &address);

    void toggleSupplierPanel();
    bool supplierPanelOpen() const;
    void searchSuppliers();
    void pickSupplier(QTreeWidgetItem *row);
    void chooseGoods();
    // Order lines from the clipboard: goods code and quantity per row.
    void pasteLines();
    void pasteText(const QString &text);
    void submit();
    // Goods lines, an address or a message typed: Esc asks before they are dropped.
    bool hasUnsavedInput() const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void resetGrids();
    void rebuildGoodsGrid();
    void showTotals(const QString &freight, long long freightFen);
    void quantityEdited(int row, int column);
    void setSubmitLocked(bool locked);

    struct PastedRow
    {
        QString code;
        long long quantity = 0;
    };

    std::unique_ptr<Ui::OrderPlacingWindow> m_ui;
    int m_supplier = 0;
    QVector<PlacingLine> m_lines;
    QVector<PastedRow> m_pendingPaste;
};

} // namespace vantrell::client
