#pragma once

// The order page as the server sends it, and the shipping note ("发货单") printed from
// it. The note is one QTextDocument, so the printout, the preview and the PDF are the
// same pages.

#include <QList>
#include <QString>

#include <memory>
#include <string_view>

class QPrinter;
class QTextDocument;
class QWidget;

namespace vantrell::client {

struct PageLine
{
    QString name, code, spec, unit, price, quantity, amount;
};

struct OrderPageData
{
    QString orderNumber, merchant, date;
    QString address, message; // unscrambled
    QString pieces, weight, goodsAmount, freight, total;
    QString state, shipMethod;
    bool hasLines = false; // the reply held "数据详情_" records
    QList<PageLine> lines;

    // From the full GBK field text of 返回发货订单页面; missing fields stay empty, an
    // address or message that is not a valid scrambling reads as empty.
    static OrderPageData fromReply(std::string_view gbkText);
};

// The user's own company followed by " - 发货单".
QString shippingNoteTitle(const QString &ownCompany);

// Title and one table: order header, column titles, the lines, totals, address and
// message. Every text of the order is escaped, so markup in it prints literally.
std::unique_ptr<QTextDocument> buildShippingNote(const OrderPageData &order, const QString &title);

// Prints the note on an already set-up printer (A4 portrait, 12 mm margins).
void printShippingNote(const QTextDocument &note, QPrinter *printer);
// The system print dialog; true when the user printed.
bool printShippingNoteWithDialog(const QTextDocument &note, QWidget *parent);
void previewShippingNote(const QTextDocument &note, QWidget *parent);
// Writes the note as a PDF file; false when the file could not be written.
bool saveShippingNotePdf(const QTextDocument &note, const QString &path);

} // namespace vantrell::client
