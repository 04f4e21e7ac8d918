#include "client/ui/orders/shippingnote.h"

#include "client/core/text.h"
#include "protocol/fieldtext.h"
#include "protocol/gbk.h"
#include "protocol/scramble.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextDocument>

namespace vantrell::client {

namespace {

QString field(std::string_view text, const char *utf8Key)
{
    return fromGbk(protocol::valueOf(text, protocol::gbk(utf8Key)));
}

QString unscrambled(std::string_view text, const char *utf8Key)
{
    return fromGbk(protocol::unscramble(protocol::valueOf(text, protocol::gbk(utf8Key))));
}

// Widths of the eight columns, the same as the order viewing window's goods grid.
constexpr int kColumnWidths[8] = {45, 180, 95, 95, 55, 80, 65, 95};

QString cell(const QString &text, int span = 1, bool heading = false, int width = 0)
{
    QString html = QStringLiteral("<td align=\"center\"");
    if (width > 0)
        html += QStringLiteral(" width=\"%1\"").arg(width);
    if (span > 1)
        html += QStringLiteral(" colspan=\"%1\"").arg(span);
    html += QLatin1Char('>');
    const QString escaped = text.toHtmlEscaped();
    html += heading ? QStringLiteral("<b>") + escaped + QStringLiteral("</b>") : escaped;
    return html + QStringLiteral("</td>");
}

QString row(const QString &cells)
{
    return QStringLiteral("<tr>") + cells + QStringLiteral("</tr>");
}

void prepare(QPrinter *printer)
{
    printer->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                       QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
}

} // namespace

OrderPageData OrderPageData::fromReply(std::string_view gbkText)
{
    const std::string marker = protocol::gbk(protocol::kDataMarker);
    const std::size_t first = gbkText.find(marker);
    // Header fields come from before the first record, where "金额" cannot be a line's.
    const std::string_view head = gbkText.substr(0, first);
    OrderPageData data;
    data.orderNumber = field(head, "订单号");
    data.merchant = field(head, "商家名称");
    data.date = field(head, "下单日期");
    data.address = unscrambled(head, "收货地址");
    data.message = unscrambled(head, "供应商留言");
    data.pieces = field(head, "商品件数");
    data.weight = field(head, "总重量");
    data.goodsAmount = field(head, "商品金额");
    data.freight = field(head, "运费");
    data.total = field(head, "总金额");
    data.state = field(head, "订单状态");
    data.shipMethod = field(head, "发货类型");
    data.hasLines = first != std::string_view::npos;
    for (std::string_view record : protocol::splitRecords(gbkText, marker)) {
        data.lines.append(PageLine{field(record, "名称"), field(record, "编码"), field(record, "规格"),
                                   field(record, "单位"), field(record, "单价"), field(record, "数量"),
                                   field(record, "金额")});
    }
    return data;
}

QString shippingNoteTitle(const QString &ownCompany)
{
    return ownCompany + QStringLiteral(" - 发货单");
}

std::unique_ptr<QTextDocument> buildShippingNote(const OrderPageData &order, const QString &title)
{
    QString html = QStringLiteral("<html><body style=\"font-family:'微软雅黑'; font-size:10pt;\">");
    html += QStringLiteral("<p align=\"center\" style=\"font-family:'微软雅黑'; font-size:24pt;\">") +
            title.toHtmlEscaped() + QStringLiteral("</p>");
    html += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"5\" width=\"100%\" "
                           "style=\"border-collapse:collapse; border-color:#555;\">");
    html += row(cell(QStringLiteral("订单号：") + order.orderNumber, 2) +
                cell(QStringLiteral("商家名称：") + order.merchant, 3) +
                cell(QStringLiteral("下单日期：") + order.date, 3));
    // The column titles carry the widths: the one row where every column has its own cell.
    QString titles;
    int column = 0;
    for (const char *caption : {"序号", "名称", "编码", "规格", "单位", "单价", "数量", "金额"})
        titles += cell(QString::fromUtf8(caption), 1, true, kColumnWidths[column++]);
    html += row(titles);
    for (qsizetype i = 0; i < order.lines.size(); ++i) {
        const PageLine &line = order.lines.at(i);
        html += row(cell(QString::number(i + 1)) + cell(line.name) + cell(line.code) + cell(line.spec) +
                    cell(line.unit) + cell(line.price) + cell(line.quantity) + cell(line.amount));
    }
    html += row(cell(QStringLiteral("商品件数：") + order.pieces, 2) +
                cell(QStringLiteral("商品金额：") + order.goodsAmount, 2) +
                cell(QStringLiteral("运费：") + order.freight, 2) +
                cell(QStringLiteral("总金额：") + order.total, 2));
    html += row(cell(QStringLiteral("收货地址"), 2, true) + cell(order.address, 6));
    html += row(cell(QStringLiteral("商家留言"), 2, true) + cell(order.message, 6));
    html += QStringLiteral("</table></body></html>");

    auto document = std::make_unique<QTextDocument>();
    document->setDocumentMargin(0);
    document->setHtml(html);
    return document;
}

void printShippingNote(const QTextDocument &note, QPrinter *printer)
{
    // Printing lays the document out for the page; the window's copy stays as it is.
    std::unique_ptr<QTextDocument> copy(note.clone());
    copy->print(printer);
}

bool printShippingNoteWithDialog(const QTextDocument &note, QWidget *parent)
{
    QPrinter printer(QPrinter::HighResolution);
    prepare(&printer);
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("打印发货单"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    printShippingNote(note, &printer);
    return true;
}

void previewShippingNote(const QTextDocument &note, QWidget *parent)
{
    QPrinter printer(QPrinter::HighResolution);
    prepare(&printer);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("发货单预览"));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&note](QPrinter *target) { printShippingNote(note, target); });
    dialog.exec();
}

bool saveShippingNotePdf(const QTextDocument &note, const QString &path)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    prepare(&printer);
    printShippingNote(note, &printer);
    const QFileInfo written(path);
    return written.exists() && written.size() > 0;
}

} // namespace vantrell::client
