#pragma once

// A statement and its orders for spreadsheets, as CSV or as an Excel workbook (see
// client/ui/common/spreadsheet.h for both formats). Amounts are integer fen from the
// server's texts to the file; totals are summed in fen.

#include "client/ui/common/spreadsheet.h"

#include <QString>
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

// Two sheets: "对账单" with the statement header and row, and "订单明细" with the order
// header, one row per order and the "合计" row. Amounts and pieces that the server sent in
// another form stay texts as they came, and an amount that is not one counts as 0 fen.
std::vector<Sheet> statementSheets(const StatementSummary &statement,
                                   const std::vector<StatementOrder> &orders);
// False when the file cannot be written; an existing file is then as it was.
bool writeStatementCsv(const QString &path, const StatementSummary &statement,
                       const std::vector<StatementOrder> &orders);
bool writeStatementXlsx(const QString &path, const StatementSummary &statement,
                        const std::vector<StatementOrder> &orders);
// A workbook for a path ending in .xlsx, CSV for any other.
bool writeStatementFile(const QString &path, const StatementSummary &statement,
                        const std::vector<StatementOrder> &orders);

} // namespace vantrell::client
