// Export of the paged lists: a list of three pages fetched page by page into a workbook
// and a CSV file that a spreadsheet reader gets back exactly (through openpyxl and
// Python's csv module), the list on the screen untouched meanwhile; cancelling, a page
// that never comes, an empty list, the columns' kinds, and the buttons and Ctrl+E of the
// main window's and the finance window's lists.

#include "client/core/appstate.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/common/listexport.h"
#include "client/ui/common/pagedlist.h"
#include "client/ui/finance/financewindow.h"
#include "client/ui/orders/orderpage.h"
#include "protocol/listreply.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>

#ifndef VANTRELL_PYTHON3
#define VANTRELL_PYTHON3 "/usr/bin/python3"
#endif

using namespace vantrell::client;
using namespace vantrell::test;
using vantrell::protocol::ListReplyBuilder;

namespace {

using Row = std::vector<std::string>;

// Three pages of orders as the server sends them: codes with leading zeros, markup and
// formula-like names, an empty name, amounts from 0.05 to 99999999.99.
const std::vector<std::vector<Row>> kPages = {
    {{"101", "待发货", "0012", "<b>华东</b>商贸", "3", "12.50", "2026-03-01"},
     {"102", "已发货", "DD202603010002", "=1+1 连锁", "10", "1000.00", "2026-03-01"},
     {"103", "已关闭", "DD202603010003", "南方 超市", "0", "0.05", "2026-03-02"}},
    {{"104", "取消中", "DD202603020004", "@青禾", "12", "120.12", "2026-03-02"},
     {"105", "待发货", "00105", "", "1", "0.00", "2026-03-03"},
     {"106", "已发货", "DD202603030006", "鲜达商贸有限公司", "250", "30000.30", "2026-03-03"}},
    {{"107", "待发货", "DD202603040007", "-北方", "5", "8.80", "2026-03-04"},
     {"108", "已关闭", "DD202603050008", "青禾食品有限公司", "7", "99999999.99", "2026-03-05"}}};

QString orderPage(int page)
{
    ListReplyBuilder builder;
    builder.pages(qsizetype(kPages.size()), page)
        .column("ID", 0)
        .column("订单状态", 80, 1)
        .column("订单号", 110)
        .column("商家名称", 140)
        .column("商品件数", 70, 2)
        .column("订单金额", 80, 2)
        .column("下单日期", 80, 1);
    for (const Row &row : kPages[std::size_t(page - 1)])
        builder.row(row);
    return QStringLiteral("基础通讯_返回订单列表|") + QString::fromStdString(builder.str());
}

// What the screen shows of a list: captions in their order, widths, cells, pager.
QStringList screenOf(const QTreeWidget *list, const QLabel *label, const QLineEdit *box)
{
    QStringList shown{label->text(), box->text()};
    const QHeaderView *header = list->header();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        shown << QStringLiteral("%1:%2:%3")
                     .arg(list->headerItem()->text(logical))
                     .arg(header->sectionSize(logical))
                     .arg(header->isSectionHidden(logical));
    }
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        for (int k = 0; k < list->columnCount(); ++k)
            shown << list->topLevelItem(i)->text(k);
    return shown;
}

class ListExportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        AppState &state = appState();
        state.appTitle = QStringLiteral("Vantrell供销通");
        state.currentUserName = QStringLiteral("supplier");
        state.profileType = QStringLiteral("供应商");
        registerAllHandlers();
        ListExport::setPathChooser([this](QWidget *, const QString &suggested) {
            suggestions << suggested;
            return chosenPath;
        });
        main = new MainWindow;
        main->show();
        processPending();
        list = child<QTreeWidget>(main, QStringLiteral("超级列表框_订单"));
        label = child<QLabel>(main, QStringLiteral("标签_订单_共"));
        box = child<QLineEdit>(main, QStringLiteral("编辑框_订单_页"));
        button = child<QPushButton>(main, QStringLiteral("按钮_订单_导出"));
    }

    void TearDown() override
    {
        ListExport::setPathChooser({});
        ListExport::setPageTimeout(15000);
        WindowRegistry::close(WindowId::FinanceReconciliation);
        WindowRegistry::close(WindowId::Main);
        processPending();
    }

    void deliver(const QString &payload) { ServerLink::instance().deliver(gbkPayload(payload)); }
    ListExport *exporter() const { return main->orderPage()->pager()->exporter(); }

    // The 待发货 tab, the keyword "DD", page 1 shown, 订单金额 moved before 订单号 and
    // 下单日期 hidden; returns the query of page 1 as sent.
    QString showFilteredList()
    {
        child<QTabWidget>(main, QStringLiteral("高级选择夹_订单管理"))->setCurrentIndex(1);
        child<QLineEdit>(main, QStringLiteral("编辑框_生产单_搜索"))->setText(QStringLiteral("DD"));
        requests.clear();
        child<QPushButton>(main, QStringLiteral("超级按钮_生产单_搜索"))->click();
        EXPECT_EQ(requests.texts().size(), 1);
        const QString query = requests.texts().value(0);
        EXPECT_TRUE(query.contains(QStringLiteral("订单类型[1]")) &&
                    query.contains(QStringLiteral("关键词[DD]")) &&
                    query.contains(QStringLiteral("查询页数[1]")))
            << query.toStdString();
        deliver(orderPage(1));
        QHeaderView *header = list->header();
        header->moveSection(header->visualIndex(5), header->visualIndex(2));
        list->setColumnHidden(6, true);
        processPending();
        return query;
    }

    // Exports into `path`, delivering each page the export asks for.
    void exportAllPages(const QString &path)
    {
        chosenPath = path;
        requests.clear();
        boxes.clear();
        button->click();
        ASSERT_TRUE(exporter()->isRunning());
        for (int page = 1; page <= int(kPages.size()); ++page) {
            ASSERT_EQ(requests.texts().size(), page);
            deliver(orderPage(page));
        }
        EXPECT_FALSE(exporter()->isRunning());
    }

    FakeMessageBoxes boxes;
    TempUserData data;
    RequestRecorder requests;
    ProgramEndRecorder ender;
    QTemporaryDir files;
    QString chosenPath;
    QStringList suggestions;
    MainWindow *main = nullptr;
    QTreeWidget *list = nullptr;
    QLabel *label = nullptr;
    QLineEdit *box = nullptr;
    QPushButton *button = nullptr;
};

} // namespace

TEST_F(ListExportTest, EveryPageOnceInShownColumnsReadBackBySpreadsheetReaders)
{
    const QString firstQuery = showFilteredList();
    const QStringList before = screenOf(list, label, box);
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(label->text(), QStringLiteral("共 3 页"));

    const QString xlsx = files.filePath(QStringLiteral("list.xlsx"));
    exportAllPages(xlsx);
    // The current query, tab and keyword included, for pages 1, 2 and 3, and nothing else
    // (no dashboard after an export's page).
    QStringList expectedQueries;
    for (const char *page : {"1", "2", "3"})
        expectedQueries << QString(firstQuery)
                               .replace(QStringLiteral("查询页数[1]"),
                                        QStringLiteral("查询页数[%1]").arg(QLatin1String(page)));
    EXPECT_EQ(requests.texts(), expectedQueries);
    EXPECT_EQ(screenOf(list, label, box), before);
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.last().text, QStringLiteral("列表已导出,共 8 行:\r\n") + xlsx);
    ASSERT_TRUE(suggestions.size() == 1 && suggestions[0].startsWith(QStringLiteral("订单_")) &&
                suggestions[0].endsWith(QStringLiteral(".xlsx")))
        << suggestions.join(QLatin1Char(' ')).toStdString();

    const QString csv = files.filePath(QStringLiteral("list.csv"));
    exportAllPages(csv);
    EXPECT_EQ(requests.texts(), expectedQueries);
    EXPECT_EQ(screenOf(list, label, box), before);
    ASSERT_TRUE(QFile::exists(xlsx) && QFile::exists(csv));

    // The columns shown, in their shown order; each row once, in the server's order.
    QJsonArray rows;
    for (const auto &page : kPages)
        for (const Row &row : page)
            rows.append(QJsonArray{QString::fromStdString(row[1]), QString::fromStdString(row[5]),
                                   QString::fromStdString(row[2]), QString::fromStdString(row[3]),
                                   QString::fromStdString(row[4])});
    const QJsonObject expected{
        {QStringLiteral("sheet"), QStringLiteral("订单")},
        {QStringLiteral("captions"),
         QJsonArray{QStringLiteral("订单状态"), QStringLiteral("订单金额"), QStringLiteral("订单号"),
                    QStringLiteral("商家名称"), QStringLiteral("商品件数")}},
        {QStringLiteral("kinds"),
         QJsonArray{QStringLiteral("text"), QStringLiteral("fen"), QStringLiteral("text"),
                    QStringLiteral("text"), QStringLiteral("integer")}},
        {QStringLiteral("rows"), rows}};
    QFile json(files.filePath(QStringLiteral("expected.json")));
    ASSERT_TRUE(json.open(QIODevice::WriteOnly));
    json.write(QJsonDocument(expected).toJson());
    json.close();

    const QString script = QString::fromStdString(
        (std::filesystem::path(__FILE__).parent_path() / "read_list_export.py").string());
    QProcess python;
    python.setProcessChannelMode(QProcess::MergedChannels);
    python.start(QStringLiteral(VANTRELL_PYTHON3), {script, files.path()});
    ASSERT_TRUE(python.waitForStarted(30000)) << python.errorString().toStdString();
    ASSERT_TRUE(python.waitForFinished(120000));
    const std::string output = python.readAll().toStdString();
    EXPECT_EQ(python.exitStatus(), QProcess::NormalExit) << output;
    EXPECT_EQ(python.exitCode(), 0) << output;
}

TEST_F(ListExportTest, CancelOrSilenceLeavesNoFileAndTheListAsItWas)
{
    showFilteredList();
    const QStringList before = screenOf(list, label, box);
    chosenPath = files.filePath(QStringLiteral("cancelled.xlsx"));
    requests.clear();
    boxes.clear();
    button->click();
    deliver(orderPage(1));
    ASSERT_EQ(requests.texts().size(), 2); // page 2 asked for
    QProgressDialog *progress = exporter()->progress();
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(button->isEnabled());
    QPushButton *cancel = progress->findChild<QPushButton *>();
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    EXPECT_FALSE(exporter()->isRunning());
    EXPECT_TRUE(button->isEnabled());
    EXPECT_TRUE(boxes.shown().isEmpty());
    EXPECT_FALSE(QFile::exists(chosenPath));

    // The page asked for before the cancel still comes, and is dropped; the next one is
    // the list's own again.
    deliver(orderPage(2));
    EXPECT_EQ(screenOf(list, label, box), before);
    EXPECT_EQ(requests.texts().size(), 2);
    deliver(orderPage(2));
    EXPECT_EQ(box->text(), QStringLiteral("2"));
    EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("104"));
    deliver(orderPage(1));
    const QStringList pageOne = screenOf(list, label, box);

    // A page that never comes: a message, no file, the list as it was.
    ListExport::setPageTimeout(100);
    chosenPath = files.filePath(QStringLiteral("silent.csv"));
    button->click();
    ASSERT_TRUE(exporter()->isRunning());
    ASSERT_TRUE(waitFor([this] { return !exporter()->isRunning(); }, 5000));
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_TRUE(boxes.last().text.startsWith(QStringLiteral("导出失败:第 1 页")))
        << boxes.last().text.toStdString();
    EXPECT_FALSE(QFile::exists(chosenPath));
    deliver(orderPage(1)); // the late page
    EXPECT_EQ(screenOf(list, label, box), pageOne);

    // A file that cannot be written: the failure message, nothing left behind.
    ListExport::setPageTimeout(15000);
    boxes.clear();
    chosenPath = files.filePath(QStringLiteral("missing/dir/list.xlsx"));
    button->click();
    for (int page = 1; page <= 3; ++page)
        deliver(orderPage(page));
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.last().text, QStringLiteral("导出失败,无法写入文件:\r\n") + chosenPath);
    EXPECT_EQ(screenOf(list, label, box), pageOne);
}

TEST_F(ListExportTest, EmptyListOrNoPathSendsNothing)
{
    requests.clear();
    button->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("列表中没有可导出的数据!"));
    EXPECT_TRUE(suggestions.isEmpty());
    deliver(orderPage(1));
    requests.clear();
    chosenPath.clear(); // the save dialog closed without a file
    button->click();
    EXPECT_EQ(suggestions.size(), 1);
    EXPECT_FALSE(exporter()->isRunning());
    EXPECT_TRUE(requests.texts().isEmpty());
}

TEST_F(ListExportTest, ColumnsKeepTheirKinds)
{
    const QStringList captions{QStringLiteral("商品编码"), QStringLiteral("商品单价"),
                               QStringLiteral("运费"),     QStringLiteral("商品库存"),
                               QStringLiteral("商品件数"), QStringLiteral("订单号"),
                               QStringLiteral("商品重量")};
    const std::vector<QStringList> rows = {
        {QStringLiteral("0012"), QStringLiteral("12.50"), QStringLiteral("3"), QStringLiteral("40"),
         QStringLiteral("03"), QStringLiteral("20260101000007"), QStringLiteral("1.250")},
        {QStringLiteral("13"), QString(), QStringLiteral("12.505"), QStringLiteral("-2"), QStringLiteral("1"),
         QStringLiteral("7"), QStringLiteral("2")}};
    const Sheet sheet = listSheet(QStringLiteral("商品"), captions, rows);
    ASSERT_EQ(sheet.rows.size(), 2U);
    using Kind = Cell::Kind;
    const auto kinds = [&](std::size_t row) {
        std::vector<Kind> all;
        for (const Cell &cell : sheet.rows[row])
            all.push_back(cell.kind);
        return all;
    };
    // Codes, order numbers and weights stay texts; a price column of amounts becomes
    // fen, one with a third decimal stays text; a count column is integer unless one of
    // its cells is not written as an integer ("03").
    EXPECT_EQ(kinds(0), (std::vector<Kind>{Kind::Text, Kind::Fen, Kind::Text, Kind::Integer, Kind::Text,
                                           Kind::Text, Kind::Text}));
    EXPECT_EQ(sheet.rows[0][1].number, 1250);
    EXPECT_EQ(sheet.rows[1][1].kind, Kind::Text); // empty
    EXPECT_TRUE(sheet.rows[1][1].text.isEmpty());
    EXPECT_EQ(sheet.rows[1][3].number, -2);
    EXPECT_EQ(sheet.rows[0][0].text, QStringLiteral("0012"));
    EXPECT_EQ(sheet.rows[1][2].text, QStringLiteral("12.505"));
    EXPECT_TRUE(namesMoney(QStringLiteral("已结算")) && namesMoney(QStringLiteral("结算总金额")));
    EXPECT_FALSE(namesMoney(QStringLiteral("商品件数")) || namesCount(QStringLiteral("订单号")));
}

TEST_F(ListExportTest, EveryPagedListHasItsButtonAndCtrlEExportsTheListInView)
{
    for (const char *name :
         {"按钮_订单_导出", "按钮_商品_导出", "按钮_商品_导出1", "按钮_商家_导出", "按钮_财务_导出"}) {
        auto *exportButton = child<QPushButton>(main, QString::fromUtf8(name));
        ASSERT_NE(exportButton, nullptr);
        EXPECT_EQ(exportButton->toolTip(), QStringLiteral("导出 (Ctrl+E)"));
        EXPECT_EQ(exportButton->text(), QStringLiteral("导出"));
    }
    deliver(orderPage(1));
    QApplication::setActiveWindow(main);
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    QTest::keyClick(main, Qt::Key_E, Qt::ControlModifier);
    // The button's shortcut clicks it a moment later, as a click shows.
    ASSERT_TRUE(waitFor([this] { return !suggestions.isEmpty(); }, 2000));
    ASSERT_EQ(suggestions.size(), 1);
    EXPECT_TRUE(suggestions[0].startsWith(QStringLiteral("订单_")));
    // On another page it is that page's list (empty here) that Ctrl+E exports.
    main->navigate(NavColumn::Supplier, 3);
    QTest::keyClick(main, Qt::Key_E, Qt::ControlModifier);
    ASSERT_TRUE(waitFor([this] { return !boxes.shown().isEmpty(); }, 2000));
    EXPECT_EQ(boxes.last().text, QStringLiteral("列表中没有可导出的数据!"));
    EXPECT_EQ(suggestions.size(), 1);

    // The finance window: its statements and details lists each have one.
    openFinanceWindow(main, QStringLiteral("5"));
    auto *finance = WindowRegistry::as<FinanceWindow>(WindowId::FinanceReconciliation);
    ASSERT_NE(finance, nullptr);
    for (const char *name : {"按钮_财务对账_导出", "按钮_结算明细_导出"}) {
        auto *exportButton = child<QPushButton>(finance, QString::fromUtf8(name));
        ASSERT_NE(exportButton, nullptr);
        EXPECT_EQ(exportButton->toolTip(), QStringLiteral("导出 (Ctrl+E)"));
    }
    ListReplyBuilder statements;
    statements.pages(1, 1).column("ID", 0).column("账单状态", 80, 1).column("对账单号", 130);
    statements.row({"11", "待对账", "DZ202603040001"});
    deliver(QStringLiteral("基础通讯_财务结算窗口/返回查询对账单列表|") +
            QString::fromStdString(statements.str()));
    QApplication::setActiveWindow(finance);
    ASSERT_TRUE(QTest::qWaitForWindowActive(finance));
    QTest::keyClick(finance, Qt::Key_E, Qt::ControlModifier);
    ASSERT_TRUE(waitFor([this] { return suggestions.size() == 2; }, 2000));
    EXPECT_TRUE(suggestions[1].startsWith(QStringLiteral("财务对账_")));
    boxes.clear();
    child<QTabWidget>(finance, QStringLiteral("高级选择夹1"))->setCurrentIndex(1);
    QTest::keyClick(finance, Qt::Key_E, Qt::ControlModifier);
    ASSERT_TRUE(waitFor([this] { return !boxes.shown().isEmpty(); }, 2000));
    EXPECT_EQ(boxes.last().text, QStringLiteral("列表中没有可导出的数据!")); // the details, still empty
}
