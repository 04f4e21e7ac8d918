#include "client/ui/finance/statementexport.h"

#include "protocol/decimal.h"

namespace vantrell::client {

namespace {

Cell amountCell(const QString &serverText)
{
    const auto fen = parseFen(serverText);
    return fen ? Cell::fen(*fen) : Cell::fromText(serverText);
}

// Pieces are never negative: any other form the server sends ("-1", "03", "n/a") stays
// that text, guarded in CSV like every text.
Cell piecesCell(const QString &serverText)
{
    return serverText.startsWith(QLatin1Char('-')) ? Cell::fromText(serverText)
                                                   : Cell::integerOrText(serverText);
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
    return fen ? QString::fromStdString(protocol::formatFixed(*fen, 2)) : serverText;
}

std::vector<Sheet> statementSheets(const StatementSummary &statement,
                                   const std::vector<StatementOrder> &orders)
{
    const QStringList amounts = {QStringLiteral("商品金额"), QStringLiteral("运费金额"),
                                 QStringLiteral("结算总金额")};
    Sheet summary;
    summary.name = QStringLiteral("对账单");
    summary.header = QStringList{QStringLiteral("对账单号"), QStringLiteral("账单状态"),
                                 QStringLiteral("起始日期"), QStringLiteral("结束日期")} +
                     amounts;
    summary.rows.push_back({Cell::fromText(statement.number), Cell::fromText(statement.state),
                            Cell::fromText(statement.from), Cell::fromText(statement.to),
                            amountCell(statement.goods), amountCell(statement.freight),
                            amountCell(statement.total)});

    Sheet details;
    details.name = QStringLiteral("订单明细");
    details.header = QStringList{QStringLiteral("订单号"), QStringLiteral("订单状态"),
                                 QStringLiteral("商家名称"), QStringLiteral("商品件数")} +
                     amounts;
    long long pieces = 0, goods = 0, freight = 0, total = 0;
    for (const StatementOrder &order : orders) {
        details.rows.push_back({Cell::fromText(order.number), Cell::fromText(order.state),
                                Cell::fromText(order.merchant), piecesCell(order.pieces),
                                amountCell(order.goods), amountCell(order.freight), amountCell(order.total)});
        pieces += order.pieces.toLongLong();
        goods += parseFen(order.goods).value_or(0);
        freight += parseFen(order.freight).value_or(0);
        total += parseFen(order.total).value_or(0);
    }
    details.rows.push_back({Cell::fromText(QStringLiteral("合计")), Cell(), Cell(), Cell::integer(pieces),
                            Cell::fen(goods), Cell::fen(freight), Cell::fen(total)});
    return {summary, details};
}

bool writeStatementCsv(const QString &path, const StatementSummary &statement,
                       const std::vector<StatementOrder> &orders)
{
    return writeCsv(path, statementSheets(statement, orders));
}

bool writeStatementXlsx(const QString &path, const StatementSummary &statement,
                        const std::vector<StatementOrder> &orders)
{
    return writeXlsx(path, statementSheets(statement, orders));
}

bool writeStatementFile(const QString &path, const StatementSummary &statement,
                        const std::vector<StatementOrder> &orders)
{
    return isXlsxPath(path) ? writeStatementXlsx(path, statement, orders)
                            : writeStatementCsv(path, statement, orders);
}

} // namespace vantrell::client
