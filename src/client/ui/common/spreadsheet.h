#pragma once

// Tables written for spreadsheets, as CSV or as an Excel workbook (XLSX).
//
// A sheet is a title row and rows of cells; each cell is a text, an integer (pieces, counts)
// or an amount in integer fen. Amounts never pass through a double on the way to a CSV
// file; in a workbook they become number cells of fen / 100.0 with a "0.00" format, which
// every spreadsheet shows as the exact two-decimal value.
//
// CSV: UTF-8 with a byte-order mark (so that Excel reads Chinese texts), CRLF line ends,
// the sheets one after another with an empty line between them. A cell is quoted when it
// holds a comma, a quote or a line break; a text that a spreadsheet would take for a
// formula (leading = + - @) gets a leading apostrophe.
//
// XLSX: one worksheet per sheet, in order, named after the sheet (characters Excel refuses
// in a worksheet name become "_", names are cut to 31 characters and made unique). The
// title row is bold and frozen; columns are as wide as their longest text. Texts are plain
// string cells, never formulas, so they need no apostrophe. A number of 16 or more digits
// (amounts counted in fen), which a double no longer holds exactly, is written as its text
// instead. A text over Excel's 32767 characters fails the write rather than being cut.
//
// Both writers replace the target only once the whole file is written: a failed export
// leaves an existing file as it was and no partial file behind.

#include <QString>
#include <QStringList>
#include <vector>

namespace vantrell::client {

struct Cell
{
    enum class Kind
    {
        Text,
        Integer,
        Fen
    };
    Kind kind = Kind::Text;
    QString text;         // Kind::Text
    long long number = 0; // Kind::Integer, or the fen of Kind::Fen

    static Cell fromText(const QString &text) { return {Kind::Text, text, 0}; }
    static Cell integer(long long value) { return {Kind::Integer, QString(), value}; }
    static Cell fen(long long value) { return {Kind::Fen, QString(), value}; }
    // An integer cell when `text` is written as an integer is ("12", "-3", "0"); the text
    // as it came otherwise ("03", "1.5", " 2", "n/a"), so nothing is changed on the way.
    static Cell integerOrText(const QString &text);
};

struct Sheet
{
    QString name;
    QStringList header;
    std::vector<std::vector<Cell>> rows;
};

// A cell as CSV writes it (quoted and guarded as above, amounts as "12.50").
QString csvCell(const Cell &cell);
// The whole CSV file: byte-order mark, lines and line ends.
QByteArray csvBytes(const std::vector<Sheet> &sheets);

// False when the file cannot be written (the target then is as it was).
bool writeCsv(const QString &path, const std::vector<Sheet> &sheets);
bool writeXlsx(const QString &path, const std::vector<Sheet> &sheets);

// The save dialog's filters, Excel first, and the path a dialog answer stands for: a path
// that ends in .xlsx or .csv (any case) is kept, any other gets the chosen filter's suffix.
QString xlsxFilter();
QString csvFilter();
QString spreadsheetPath(const QString &chosenPath, const QString &chosenFilter);
// True for a path that ends in .xlsx (any case); such a path is written as a workbook.
bool isXlsxPath(const QString &path);

} // namespace vantrell::client
