#include "client/ui/finance/statementexport.h"

#include "protocol/decimal.h"

#include <QSaveFile>

namespace vantrell::client {

namespace {

// Quotes a cell when it holds a separator, a quote or a line break. Texts typed by the
// other merchant that a spreadsheet would take for a formula get a leading apostrophe.
QString textCell(QString text)
{
    if (!text.isEmpty() && QStringLiteral("=+-@").contains(text.front()))
        text.prepend(QLatin1Char('\''));
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
        text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))) {
        text.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        text = QLatin1Char('"') + text + QLatin1Char('"');
    }
    return text;
}

QString amountCell(const QString &serverText)
{
    return parseFen(serverText) ? fenText(serverText) : textCell(serverText);
}

QString fixed(long long fen)
{
    return QString::fromStdString(protocol::formatFixed(fen, 2));
}

} // namespace

std::optional<long long> parseFen(const QString &text)
{
    const QString trimmed = text.trimmed();
    const bool negative = trimmed.startsWith(QLatin1Char('-'));
    const auto fen = protocol::parseScaled((negative ? trimmed.mid(1) : trimmed).toStdString(), 2);
    if (!fen)
        return std::nullopt;
    return negative ? -*fen : *fen;
}

QString fenText(const QString &serverText)
{
    const auto fen = parseFen(serverText);
    return fen ? fixed(*fen) : serverText;
}

QStringList statementCsvLines(const StatementSummary &statement, const std::vector<StatementOrder> &orders)
{
    const QString amounts = QStringLiteral("商品金额,运费金额,结算总金额");
    QStringList lines;
    lines << QStringLiteral("对账单号,账单状态,起始日期,结束日期,") + amounts;
    lines << QStringList{textCell(statement.number),  textCell(statement.state),
                         textCell(statement.from),    textCell(statement.to),
                         amountCell(statement.goods), amountCell(statement.freight),
                         amountCell(statement.total)}
                 .join(QLatin1Char(','));
    lines << QString();
    lines << QStringLiteral("订单号,订单状态,商家名称,商品件数,") + amounts;
    long long pieces = 0, goods = 0, freight = 0, total = 0;
    for (const StatementOrder &order : orders) {
        lines << QStringList{textCell(order.number), textCell(order.state),   textCell(order.merchant),
                             textCell(order.pieces), amountCell(order.goods), amountCell(order.freight),
                             amountCell(order.total)}
                     .join(QLatin1Char(','));
        pieces += order.pieces.toLongLong();
        goods += parseFen(order.goods).value_or(0);
        freight += parseFen(order.freight).value_or(0);
        total += parseFen(order.total).value_or(0);
    }
    lines << QStringLiteral("合计,,,%1,%2,%3,%4").arg(pieces).arg(fixed(goods), fixed(freight), fixed(total));
    return lines;
}

bool writeStatementCsv(const QString &path, const StatementSummary &statement,
                       const std::vector<StatementOrder> &orders)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray bytes("\xEF\xBB\xBF");
    for (const QString &line : statementCsvLines(statement, orders))
        bytes += line.toUtf8() + "\r\n";
    file.write(bytes);
    return file.commit();
}

} // namespace vantrell::client
