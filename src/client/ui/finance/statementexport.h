#pragma once

// A statement and its orders as a CSV file for spreadsheets: UTF-8 with a byte-order
// mark (so that Excel reads the Chinese texts), CRLF line ends. Amounts are integer fen
// from the server's texts to the file; totals are summed in fen.

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace vantrell::client {

// Fen of a server amount such as "12.50" or "-0.05"; nullopt for anything else.
std::optional<long long> parseFen(const QString &text);
// The amount with two decimals; a text that is not an amount is shown as it came.
QString fenText(const QString &serverText);

struct StatementSummary
{
    QString number, state, from, to, goods, freight, total;
};

struct StatementOrder
{
    QString number, state, merchant, pieces, goods, freight, total;
};

// The file's lines without line ends: the statement header and row, an empty line, the
// order header, one line per order and the "合计" line.
QStringList statementCsvLines(const StatementSummary &statement, const std::vector<StatementOrder> &orders);
// False when the file cannot be written.
bool writeStatementCsv(const QString &path, const StatementSummary &statement,
                       const std::vector<StatementOrder> &orders);

} // namespace vantrell::client
