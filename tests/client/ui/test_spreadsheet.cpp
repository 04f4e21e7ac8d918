// The spreadsheet writer: CSV cells and bytes, the save dialog's suffixes, files that fail
// without leaving anything behind, and a statement read back as a spreadsheet user gets it
// (the workbook through openpyxl, the CSV through Python's csv module).

#include "client/ui/common/spreadsheet.h"
#include "client/ui/finance/statementexport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vantrell::client;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

std::vector<Sheet> smallSheet()
{
    return {{QStringLiteral("表"),
             {QStringLiteral("名称"), QStringLiteral("金额")},
             {{Cell::fromText(QStringLiteral("鲜达")), Cell::fen(1250)}}}};
}

using Writer = bool (*)(const QString &, const std::vector<Sheet> &);

} // namespace

TEST(SpreadsheetCsv, TextsAreQuotedAndGuardedNumbersExact)
{
    // Formula starts get an apostrophe, separators and quotes a quoted cell, in that order.
    EXPECT_EQ(csvCell(Cell::fromText(QStringLiteral("=HYPERLINK(\"x\")"))),
              QStringLiteral("\"'=HYPERLINK(\"\"x\"\")\""));
    for (const char *start : {"+86", "-1", "@SUM(A1)", "=1"})
        EXPECT_EQ(csvCell(Cell::fromText(QString::fromUtf8(start))),
                  QLatin1Char('\'') + QString::fromUtf8(start));
    EXPECT_EQ(csvCell(Cell::fromText(QStringLiteral("a,b"))), QStringLiteral("\"a,b\""));
    EXPECT_EQ(csvCell(Cell::fromText(QStringLiteral("两行\n文字"))), QStringLiteral("\"两行\n文字\""));
    EXPECT_EQ(csvCell(Cell::fromText(QStringLiteral("a\rb"))), QStringLiteral("\"a\rb\""));
    EXPECT_EQ(csvCell(Cell::fromText(QStringLiteral("鲜达 1=1"))), QStringLiteral("鲜达 1=1"));
    EXPECT_EQ(csvCell(Cell::fromText(QString())), QString());
    // Numbers are numbers: a minus is no formula there.
    EXPECT_EQ(csvCell(Cell::integer(-3)), QStringLiteral("-3"));
    EXPECT_EQ(csvCell(Cell::fen(-5)), QStringLiteral("-0.05"));
    EXPECT_EQ(csvCell(Cell::fen(1)), QStringLiteral("0.01"));
    EXPECT_EQ(csvCell(Cell::fen(30)), QStringLiteral("0.30"));
    EXPECT_EQ(csvCell(Cell::fen(0)), QStringLiteral("0.00"));
    EXPECT_EQ(csvCell(Cell::fen(9999999999999LL)), QStringLiteral("99999999999.99"));
    EXPECT_EQ(csvCell(Cell::fen(1000000000000000LL)), QStringLiteral("10000000000000.00"));
}

TEST(SpreadsheetCsv, SheetsFollowOneAnotherWithAnEmptyLine)
{
    std::vector<Sheet> sheets = smallSheet();
    sheets.push_back(
        {QStringLiteral("二"),
         {QStringLiteral("=列"), QStringLiteral("件数")},
         {{Cell::fromText(QStringLiteral("x,y")), Cell::integer(12)}, {Cell(), Cell::integer(0)}}});
    sheets.push_back({QStringLiteral("无表头"), {}, {{Cell::fen(-1)}}});
    EXPECT_EQ(csvBytes(sheets), QByteArray("\xEF\xBB\xBF") + QStringLiteral("名称,金额\r\n"
                                                                            "鲜达,12.50\r\n"
                                                                            "\r\n"
                                                                            "'=列,件数\r\n"
                                                                            "\"x,y\",12\r\n"
                                                                            ",0\r\n"
                                                                            "\r\n"
                                                                            "-0.01\r\n")
                                                                 .toUtf8());
    EXPECT_EQ(csvBytes({}), QByteArray("\xEF\xBB\xBF"));
}

TEST(SpreadsheetCells, IntegersOnlyFromTheirOwnSpelling)
{
    for (const char *integer : {"12", "-3", "0", "9223372036854775807"}) {
        const Cell cell = Cell::integerOrText(QString::fromUtf8(integer));
        EXPECT_EQ(cell.kind, Cell::Kind::Integer) << integer;
        EXPECT_EQ(csvCell(cell), QString::fromUtf8(integer));
    }
    for (const char *text : {"03", "+3", "-0", "1.5", " 2", "2 ", "", "1e3", "9223372036854775808", "十二"}) {
        const Cell cell = Cell::integerOrText(QString::fromUtf8(text));
        EXPECT_EQ(cell.kind, Cell::Kind::Text) << text;
        EXPECT_EQ(cell.text, QString::fromUtf8(text));
    }
}

TEST(SpreadsheetPaths, SuffixFollowsTheChosenFilter)
{
    EXPECT_EQ(spreadsheetPath(QStringLiteral("/d/对账单"), xlsxFilter()), QStringLiteral("/d/对账单.xlsx"));
    EXPECT_EQ(spreadsheetPath(QStringLiteral("/d/对账单"), csvFilter()), QStringLiteral("/d/对账单.csv"));
    // A typed suffix of either format wins over the filter.
    EXPECT_EQ(spreadsheetPath(QStringLiteral("/d/a.CSV"), xlsxFilter()), QStringLiteral("/d/a.CSV"));
    EXPECT_EQ(spreadsheetPath(QStringLiteral("/d/a.Xlsx"), csvFilter()), QStringLiteral("/d/a.Xlsx"));
    // Any other suffix is part of the name.
    EXPECT_EQ(spreadsheetPath(QStringLiteral("/d/3.15"), xlsxFilter()), QStringLiteral("/d/3.15.xlsx"));
    EXPECT_EQ(spreadsheetPath(QStringLiteral("/d/a.txt"), csvFilter()), QStringLiteral("/d/a.txt.csv"));
    EXPECT_EQ(spreadsheetPath(QString(), xlsxFilter()), QString());
    EXPECT_TRUE(isXlsxPath(QStringLiteral("a.XLSX")));
    EXPECT_FALSE(isXlsxPath(QStringLiteral("a.xlsx.csv")));
}

TEST(SpreadsheetFiles, FailedWritesLeaveNothingBehind)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("plain")), "not a folder"));
    for (const Writer write : {Writer(&writeCsv), Writer(&writeXlsx)}) {
        // No folder there, or a file where the folder should be.
        EXPECT_FALSE(write(dir.filePath(QStringLiteral("missing/a.xlsx")), smallSheet()));
        EXPECT_FALSE(write(dir.filePath(QStringLiteral("plain/a.xlsx")), smallSheet()));
        EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("plain")});
        EXPECT_EQ(readAll(dir.filePath(QStringLiteral("plain"))), QByteArray("not a folder"));
    }

    // A folder the system keeps read-only (root may write anywhere, so only where it holds).
    const QString locked = dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkdir(locked));
    ASSERT_TRUE(writeFile(locked + QStringLiteral("/old.xlsx"), "old"));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    QFile probe(locked + QStringLiteral("/probe"));
    const bool enforced = !probe.open(QIODevice::WriteOnly);
    probe.remove();
    if (enforced) {
        for (const Writer write : {Writer(&writeCsv), Writer(&writeXlsx)}) {
            EXPECT_FALSE(write(locked + QStringLiteral("/old.xlsx"), smallSheet()));
            EXPECT_FALSE(write(locked + QStringLiteral("/new.xlsx"), smallSheet()));
        }
        EXPECT_EQ(entries(locked), QStringList{QStringLiteral("old.xlsx")});
        EXPECT_EQ(readAll(locked + QStringLiteral("/old.xlsx")), QByteArray("old"));
    }
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // libxlsxwriter refuses a cell over Excel's 32767 characters: the old file stays.
    const QString existing = dir.filePath(QStringLiteral("对账单.xlsx"));
    ASSERT_TRUE(writeFile(existing, "the export of last week"));
    std::vector<Sheet> tooLong = smallSheet();
    tooLong[0].rows.push_back({Cell::fromText(QString(40000, QLatin1Char('x')))});
    EXPECT_FALSE(writeXlsx(existing, tooLong));
    EXPECT_EQ(readAll(existing), QByteArray("the export of last week"));
    EXPECT_EQ(entries(dir.path()), (QStringList{QStringLiteral("locked"), QStringLiteral("plain"),
                                                QStringLiteral("对账单.xlsx")}));

    // And a write that works replaces the file without anything left next to it.
    ASSERT_TRUE(writeXlsx(existing, smallSheet()));
    EXPECT_TRUE(readAll(existing).startsWith("PK\x03\x04"));
    ASSERT_TRUE(writeCsv(dir.filePath(QStringLiteral("locked/old.xlsx")), smallSheet()));
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("locked/old.xlsx"))), csvBytes(smallSheet()));
    EXPECT_EQ(entries(dir.path()), (QStringList{QStringLiteral("locked"), QStringLiteral("plain"),
                                                QStringLiteral("对账单.xlsx")}));
    EXPECT_EQ(entries(locked), QStringList{QStringLiteral("old.xlsx")});
}

// Writes a statement with awkward amounts and names as a workbook and as CSV, plus a
// workbook at the limits of a double and of worksheet names, and lets Python read them.
TEST(SpreadsheetFiles, StatementReadsBackExactly)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    struct Order
    {
        const char *number, *state, *merchant, *pieces, *goods, *freight, *total;
        int piecesValue;
        long long goodsFen, freightFen, totalFen;
    };
    // The server's texts with the fen a reader must see; "0.1" and "0" come in short forms.
    const std::vector<Order> table = {
        {"DD202603010001", "已发货", "鲜达商贸有限公司", "1", "0.01", "0.10", "0.11", 1, 1, 10, 11},
        {"DD202603010002", "已发货", "=HYPERLINK(\"http://x\",\"点我\")", "2", "0.30", "0", "0.30", 2, 30, 0,
         30},
        {"DD202603020003", "已签收", "青禾食品（上海）有限公司", "12", "99999999999.99", "0.30",
         "100000000000.29", 12, 9999999999999LL, 30, 10000000000029LL},
        {"DD202603030004", "已退款", "-退款 商家", "1", "-0.05", "0.00", "-0.05", 1, -5, 0, -5},
        {"DD202603040005", "已发货", "+86 商家, \"引号\"", "3", "0.1", "0.20", "0.3", 3, 10, 20, 30},
    };
    long long goods = 0, freight = 0, total = 0;
    std::vector<StatementOrder> orders;
    QJsonArray expectedOrders;
    for (const Order &order : table) {
        const auto text = [](const char *utf8) {
            return QString::fromUtf8(utf8);
        };
        orders.push_back({text(order.number), text(order.state), text(order.merchant), text(order.pieces),
                          text(order.goods), text(order.freight), text(order.total)});
        goods += order.goodsFen;
        freight += order.freightFen;
        total += order.totalFen;
        expectedOrders.append(QJsonObject{{QStringLiteral("number"), text(order.number)},
                                          {QStringLiteral("state"), text(order.state)},
                                          {QStringLiteral("merchant"), text(order.merchant)},
                                          {QStringLiteral("pieces"), order.piecesValue},
                                          {QStringLiteral("goods"), QString::number(order.goodsFen)},
                                          {QStringLiteral("freight"), QString::number(order.freightFen)},
                                          {QStringLiteral("total"), QString::number(order.totalFen)}});
    }
    const StatementSummary statement{QStringLiteral("DZ202603040001"),  QStringLiteral("待对账"),
                                     QStringLiteral("2026-03-01"),      QStringLiteral("2026-03-04"),
                                     QStringLiteral("100000000000.35"), QStringLiteral("0.60"),
                                     QStringLiteral("100000000000.95")};
    ASSERT_EQ(goods, 10000000000035LL);
    ASSERT_EQ(freight, 60);
    ASSERT_EQ(total, 10000000000095LL);
    const QJsonObject expected{
        {QStringLiteral("statement"), QJsonObject{{QStringLiteral("number"), statement.number},
                                                  {QStringLiteral("state"), statement.state},
                                                  {QStringLiteral("from"), statement.from},
                                                  {QStringLiteral("to"), statement.to},
                                                  {QStringLiteral("goods"), QString::number(goods)},
                                                  {QStringLiteral("freight"), QString::number(freight)},
                                                  {QStringLiteral("total"), QString::number(total)}}},
        {QStringLiteral("orders"), expectedOrders}};
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("expected.json")), QJsonDocument(expected).toJson()));
    ASSERT_TRUE(writeStatementXlsx(dir.filePath(QStringLiteral("statement.xlsx")), statement, orders));
    ASSERT_TRUE(writeStatementCsv(dir.filePath(QStringLiteral("statement.csv")), statement, orders));

    const QString longName = QStringLiteral("a/b:c*d?[e]\\f 这是一个名字很长很长很长很长的工作表名称");
    const std::vector<Sheet> limits = {
        {longName,
         {QStringLiteral("15位"), QStringLiteral("负15位"), QStringLiteral("16位"), QStringLiteral("整数"),
          QStringLiteral("等号"), QStringLiteral("at"), QStringLiteral("两行"), QStringLiteral("空")},
         {{Cell::fen(999999999999999LL), Cell::fen(-999999999999999LL), Cell::fen(1000000000000000LL),
           Cell::integer(123456789012LL), Cell::fromText(QStringLiteral("=1+1")),
           Cell::fromText(QStringLiteral("@SUM(A1:A2)")), Cell::fromText(QStringLiteral("第一行\n第二行")),
           Cell::fromText(QString())}}},
        {QStringLiteral("''"), {}, {}},
        {longName, {}, {}},
    };
    ASSERT_TRUE(writeXlsx(dir.filePath(QStringLiteral("limits.xlsx")), limits));

    QProcess python;
    python.setProcessChannelMode(QProcess::MergedChannels);
    python.start(QStringLiteral(VANTRELL_PYTHON3),
                 {QStringLiteral(VANTRELL_READ_STATEMENT_XLSX), dir.path()});
    ASSERT_TRUE(python.waitForStarted(30000))
        << VANTRELL_PYTHON3 " did not start: " << python.errorString().toStdString();
    ASSERT_TRUE(python.waitForFinished(120000));
    const std::string output = python.readAll().toStdString();
    EXPECT_EQ(python.exitStatus(), QProcess::NormalExit) << output;
    EXPECT_EQ(python.exitCode(), 0) << output;
}
