#include "client/ui/common/spreadsheet.h"

#include "protocol/decimal.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QTemporaryDir>
#include <xlsxwriter.h>

#include <algorithm>

namespace vantrell::client {

namespace {

// Fen from this many on have more digits than a double holds exactly.
constexpr long long kLargestExactFen = 999'999'999'999'999LL;

QString fixedText(long long fen)
{
    return QString::fromStdString(protocol::formatFixed(fen, 2));
}

bool fitsDouble(long long fen)
{
    return fen >= -kLargestExactFen && fen <= kLargestExactFen;
}

// The cell's text as a spreadsheet shows it, without CSV quoting.
QString shownText(const Cell &cell)
{
    switch (cell.kind) {
    case Cell::Kind::Integer:
        return QString::number(cell.number);
    case Cell::Kind::Fen:
        return fixedText(cell.number);
    case Cell::Kind::Text:
        break;
    }
    return cell.text;
}

// Quotes a text when it holds a separator, a quote or a line break. A text that a
// spreadsheet would take for a formula gets a leading apostrophe.
QString csvText(QString text)
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

// East Asian wide and full-width characters take about two digit widths.
bool isWide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

// The widest line of the text in Excel's column units (digit widths).
double textWidth(const QString &text)
{
    double widest = 0, line = 0;
    for (const char32_t c : text.toUcs4()) {
        if (c == U'\n') {
            widest = std::max(widest, line);
            line = 0;
            continue;
        }
        line += isWide(c) ? 2.0 : 1.0;
    }
    return std::max(widest, line);
}

// Excel refuses []:*?/\ in worksheet names, a leading or trailing apostrophe, names over
// 31 characters and names that differ from another only in case.
QString worksheetName(const QString &wanted, int index, QSet<QString> &taken)
{
    QString base = wanted;
    for (QChar &c : base)
        if (QStringLiteral("[]:*?/\\").contains(c) || c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    while (base.startsWith(QLatin1Char('\'')))
        base.remove(0, 1);
    while (base.endsWith(QLatin1Char('\'')))
        base.chop(1);
    if (base.trimmed().isEmpty())
        base = QStringLiteral("Sheet%1").arg(index + 1);
    auto cut = [](const QString &text, qsizetype chars) {
        const QList<uint> points = text.toUcs4();
        if (points.size() <= chars)
            return text;
        return QString::fromUcs4(reinterpret_cast<const char32_t *>(points.constData()), chars);
    };
    QString name = cut(base, 31);
    for (int n = 2; taken.contains(name.toCaseFolded()); ++n) {
        const QString tail = QStringLiteral(" (%1)").arg(n);
        name = cut(base, 31 - tail.size()) + tail;
    }
    taken.insert(name.toCaseFolded());
    return name;
}

// Writes the workbook to `file`; false on the first error libxlsxwriter reports.
bool buildWorkbook(const QString &file, const QString &tempDir, const std::vector<Sheet> &sheets)
{
    QByteArray tmpdir = QFile::encodeName(tempDir);
    lxw_workbook_options options{};
    options.tmpdir = tmpdir.data();
    lxw_workbook *workbook = workbook_new_opt(QFile::encodeName(file).constData(), &options);
    if (!workbook)
        return false;
    bool ok = true;
    lxw_format *bold = workbook_add_format(workbook);
    lxw_format *amount = workbook_add_format(workbook);
    if (bold && amount) {
        format_set_bold(bold);
        format_set_num_format(amount, "0.00");
    } else {
        ok = false;
    }
    QSet<QString> taken;
    for (std::size_t s = 0; ok && s < sheets.size(); ++s) {
        const Sheet &sheet = sheets[s];
        const QByteArray name = worksheetName(sheet.name, int(s), taken).toUtf8();
        lxw_worksheet *worksheet = workbook_add_worksheet(workbook, name.constData());
        if (!worksheet) {
            ok = false;
            break;
        }
        std::vector<double> widths;
        auto measure = [&widths](std::size_t column, double width) {
            if (widths.size() <= column)
                widths.resize(column + 1, 0.0);
            widths[column] = std::max(widths[column], width);
        };
        lxw_row_t row = 0;
        if (!sheet.header.isEmpty()) {
            for (qsizetype c = 0; ok && c < sheet.header.size(); ++c) {
                const QString &caption = sheet.header[c];
                ok = worksheet_write_string(worksheet, row, lxw_col_t(c), caption.toUtf8().constData(),
                                            bold) == LXW_NO_ERROR;
                measure(std::size_t(c), textWidth(caption) * 1.1); // bold is a little wider
            }
            worksheet_freeze_panes(worksheet, 1, 0);
            ++row;
        }
        for (const auto &cells : sheet.rows) {
            for (std::size_t c = 0; ok && c < cells.size(); ++c) {
                const Cell &cell = cells[c];
                lxw_error error = LXW_NO_ERROR;
                if (cell.kind == Cell::Kind::Integer && fitsDouble(cell.number))
                    error =
                        worksheet_write_number(worksheet, row, lxw_col_t(c), double(cell.number), nullptr);
                else if (cell.kind == Cell::Kind::Fen && fitsDouble(cell.number))
                    error = worksheet_write_number(worksheet, row, lxw_col_t(c), double(cell.number) / 100.0,
                                                   amount);
                else if (const QString text = shownText(cell); !text.isEmpty())
                    error = worksheet_write_string(worksheet, row, lxw_col_t(c), text.toUtf8().constData(),
                                                   nullptr);
                ok = error == LXW_NO_ERROR;
                measure(c, textWidth(shownText(cell)));
            }
            if (!ok)
                break;
            ++row;
        }
        for (std::size_t c = 0; ok && c < widths.size(); ++c)
            ok = worksheet_set_column(worksheet, lxw_col_t(c), lxw_col_t(c),
                                      std::clamp(widths[c] + 2.0, 6.0, 60.0), nullptr) == LXW_NO_ERROR;
    }
    // Closing also frees the workbook, so it happens after an error too.
    const lxw_error closed = workbook_close(workbook);
    return ok && closed == LXW_NO_ERROR;
}

} // namespace

Cell Cell::integerOrText(const QString &text)
{
    bool ok = false;
    const long long value = text.toLongLong(&ok);
    if (ok && QString::number(value) == text)
        return integer(value);
    return fromText(text);
}

QString csvCell(const Cell &cell)
{
    return cell.kind == Cell::Kind::Text ? csvText(cell.text) : shownText(cell);
}

QByteArray csvBytes(const std::vector<Sheet> &sheets)
{
    QByteArray bytes("\xEF\xBB\xBF");
    auto line = [&bytes](const QStringList &cells) {
        bytes += cells.join(QLatin1Char(',')).toUtf8() + "\r\n";
    };
    for (std::size_t s = 0; s < sheets.size(); ++s) {
        if (s > 0)
            bytes += "\r\n";
        const Sheet &sheet = sheets[s];
        if (!sheet.header.isEmpty()) {
            QStringList captions;
            for (const QString &caption : sheet.header)
                captions << csvText(caption);
            line(captions);
        }
        for (const auto &cells : sheet.rows) {
            QStringList texts;
            for (const Cell &cell : cells)
                texts << csvCell(cell);
            line(texts);
        }
    }
    return bytes;
}

bool writeCsv(const QString &path, const std::vector<Sheet> &sheets)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(csvBytes(sheets));
    return file.commit();
}

bool writeXlsx(const QString &path, const std::vector<Sheet> &sheets)
{
    // The target is replaced through a save file in its folder; libxlsxwriter, which wants
    // a file name of its own, writes into a private folder first.
    QSaveFile target(path);
    if (!target.open(QIODevice::WriteOnly))
        return false;
    QTemporaryDir work;
    if (!work.isValid()) {
        target.cancelWriting();
        return false;
    }
    const QString built = work.filePath(QStringLiteral("book.xlsx"));
    QFile book(built);
    if (!buildWorkbook(built, work.path(), sheets) || !book.open(QIODevice::ReadOnly)) {
        target.cancelWriting();
        return false;
    }
    while (!book.atEnd()) {
        const QByteArray chunk = book.read(1 << 16);
        if (chunk.isEmpty() || target.write(chunk) != chunk.size()) {
            target.cancelWriting();
            return false;
        }
    }
    return target.commit();
}

QString xlsxFilter()
{
    return QStringLiteral("Excel 工作簿 (*.xlsx)");
}

QString csvFilter()
{
    return QStringLiteral("CSV (逗号分隔) (*.csv)");
}

bool isXlsxPath(const QString &path)
{
    return path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive);
}

QString spreadsheetPath(const QString &chosenPath, const QString &chosenFilter)
{
    if (chosenPath.isEmpty() || isXlsxPath(chosenPath) ||
        chosenPath.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
        return chosenPath;
    return chosenPath + (chosenFilter == csvFilter() ? QStringLiteral(".csv") : QStringLiteral(".xlsx"));
}

} // namespace vantrell::client
