// The finance reconciliation window and the statement creation window: role captions,
// menus, the checks and questions, date snapping, the replies, and the export to CSV and
// Excel workbooks.

#include "client/core/appstate.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/common/clickguard.h"
#include "client/ui/common/spreadsheet.h"
#include "client/ui/finance/financepage.h"
#include "client/ui/finance/financewindow.h"
#include "client/ui/finance/statementcreation.h"
#include "client/ui/finance/statementexport.h"
#include "client/ui/orders/orderhooks.h"
#include "protocol/listreply.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

using namespace vantrell::client;
using namespace vantrell::test;
using vantrell::protocol::ListReplyBuilder;

namespace {

const QString kListReply = QStringLiteral("基础通讯_财务结算窗口/返回查询对账单列表|");
const QString kDetailsReply = QStringLiteral("基础通讯_财务结算窗口/返回结算明细|");

QString statementList(const QString &company = QStringLiteral("鲜达商贸有限公司"))
{
    ListReplyBuilder builder;
    builder.extra("公司", company.toStdString())
        .extra("姓名", "李鲜达")
        .extra("电话", "13900000002")
        .extra("当前位置", "全部记录")
        .extra("全部记录", "3")
        .extra("对账单金额", "1300.3")
        .extra("未结算金额", "275.05")
        .pages(1, 1)
        .column("ID", 0)
        .column("账单状态", 80, 1)
        .column("对账单号", 130)
        .column("起始日期", 90, 1)
        .column("结束日期", 90, 1)
        .column("商品金额", 90, 2)
        .column("运费金额", 80, 2)
        .column("结算总金额", 100, 2);
    builder.row(
        {"11", "待对账", "DZ202603040001", "2026-03-01", "2026-03-04", "1000.10", "25.15", "1025.25"});
    builder.row({"12", "已对账", "DZ202603060001", "2026-03-05", "2026-03-06", "200.00", "0.00", "200.00"});
    builder.row({"13", "已结算", "DZ202603080001", "2026-03-07", "2026-03-08", "70.00", "5.05", "75.05"});
    return kListReply + QString::fromStdString(builder.str());
}

struct DetailRow
{
    std::string id, state, number, merchant, pieces, goods, freight, total;
};

QString details(const std::string &position, const std::vector<DetailRow> &rows, int pages = 1, int page = 1)
{
    ListReplyBuilder builder;
    builder.extra("状态位置", position)
        .pages(pages, page)
        .column("ID", 0)
        .column("订单状态", 80, 1)
        .column("订单号", 120)
        .column("商家名称", 150)
        .column("商品件数", 70, 2)
        .column("商品金额", 90, 2)
        .column("运费金额", 80, 2)
        .column("结算总金额", 100, 2);
    for (const DetailRow &row : rows)
        builder.row(
            {row.id, row.state, row.number, row.merchant, row.pieces, row.goods, row.freight, row.total});
    return kDetailsReply + QString::fromStdString(builder.str());
}

class FinanceWindowsTest : public ::testing::Test
{
protected:
    void SetUp() override { registerAllHandlers(); }

    void TearDown() override
    {
        setOrderViewerOpener({});
        WindowRegistry::close(WindowId::StatementCreation);
        WindowRegistry::close(WindowId::FinanceReconciliation);
        WindowRegistry::close(WindowId::Main);
        processPending();
    }

    void signIn(bool supplier)
    {
        AppState &state = appState();
        state.appTitle = QStringLiteral("Vantrell供销通");
        state.currentUserName = supplier ? QStringLiteral("supplier") : QStringLiteral("buyer");
        state.profileType = supplier ? QStringLiteral("供应商") : QStringLiteral("采购商");
        main = new MainWindow;
        main->show();
        processPending();
        requests.clear();
    }

    // The finance list with one partner row, that row selected, and the window opened.
    FinanceWindow *openPartner(bool supplier)
    {
        signIn(supplier);
        ListReplyBuilder partners;
        partners.pages(1, 1)
            .column(supplier ? "采购商ID" : "供应商ID", 0)
            .column("商家名称", 110)
            .column("姓名", 70)
            .column("电话", 90)
            .column("地址", 120)
            .column("已结算", 70)
            .column("未结算", 70);
        partners.row({"7", "鲜达商贸有限公司", "李鲜达", "13900000002", "上海", "75.05", "1225.25"});
        deliver(QStringLiteral("基础通讯_返回财务对账合作商列表|") + QString::fromStdString(partners.str()));
        QTreeWidget *list = main->financePage()->list();
        list->setCurrentItem(list->topLevelItem(0));
        child<QPushButton>(main->financePage(), QStringLiteral("超级按钮_财务对账_查看"))->click();
        auto *window = WindowRegistry::as<FinanceWindow>(WindowId::FinanceReconciliation);
        EXPECT_NE(window, nullptr);
        return window;
    }

    void deliver(const QString &payload) { ServerLink::instance().deliver(gbkPayload(payload)); }

    static void select(FinanceWindow *window, int row)
    {
        auto *list = child<QTreeWidget>(window, QStringLiteral("超级列表框1"));
        list->setCurrentItem(list->topLevelItem(row));
    }

    static QStringList visibleItems(QMenu *menu)
    {
        QStringList texts;
        for (QAction *action : menu->actions())
            if (action->isVisible())
                texts << action->text();
        return texts;
    }

    static QAction *item(QMenu *menu, const QString &text)
    {
        for (QAction *action : menu->actions())
            if (action->text() == text)
                return action;
        ADD_FAILURE() << "no menu item " << text.toStdString();
        return nullptr;
    }

    FakeMessageBoxes boxes;
    TempUserData data;
    RequestRecorder requests;
    ProgramEndRecorder ender;
    MainWindow *main = nullptr;
};

} // namespace

TEST_F(FinanceWindowsTest, FinancePageOpensOnlyASelectedPartner)
{
    signIn(true);
    child<QPushButton>(main->financePage(), QStringLiteral("超级按钮_财务对账_查看"))->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("请选中一个商家!"));
    EXPECT_EQ(boxes.last().caption, QStringLiteral("Vantrell供销通"));
    EXPECT_EQ(boxes.last().style, StyleInformation);
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::FinanceReconciliation));
    EXPECT_TRUE(requests.texts().isEmpty());
}

TEST_F(FinanceWindowsTest, SupplierSettlesFromButtonAndMenuOnly)
{
    FinanceWindow *window = openPartner(true);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("财务对账"));
    EXPECT_TRUE(window->isModal());
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral(
                  "基础通讯_财务结算窗口/查询对账单列表|合作商ID[7]查询内容[]查询类型[0]查询页数[1]")});
    auto *action = child<QPushButton>(window, QStringLiteral("超级按钮_对账或结算"));
    auto *create = child<QPushButton>(window, QStringLiteral("超级按钮_结算"));
    EXPECT_EQ(action->text(), QStringLiteral("确认结算"));
    EXPECT_TRUE(create->isVisible());
    EXPECT_EQ(create->toolTip(), QStringLiteral("创建对账单点击这里!"));

    deliver(statementList());
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("标签_公司名称"))->text(),
              QStringLiteral("公司：鲜达商贸有限公司"));
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("标签_联系人"))->text(), QStringLiteral("姓名：李鲜达"));
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("标签_电话号码"))->text(),
              QStringLiteral("电话：13900000002"));
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("标签_当前位置"))->text(),
              QStringLiteral("当前位置：全部记录"));
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("标签_财务对账_全部记录"))->text(), QStringLiteral("3次"));
    // Amounts are shown with two decimals, however the server wrote them.
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("标签_财务对账_已结算"))->text(),
              QStringLiteral("1300.30元"));
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("标签_财务对账_未结算"))->text(),
              QStringLiteral("275.05元"));
    auto *list = child<QTreeWidget>(window, QStringLiteral("超级列表框1"));
    ASSERT_EQ(list->topLevelItemCount(), 3);
    for (int row = 0; row < 3; ++row)
        EXPECT_FALSE(list->topLevelItem(row)->icon(1).isNull()) << row;
    EXPECT_EQ(child<QTabWidget>(window, QStringLiteral("高级选择夹1"))->currentIndex(), 0);
    requests.clear();

    EXPECT_EQ(window->openContextMenu(QPoint(10, 10)), nullptr);
    action->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("请选中一个账单!"));
    EXPECT_EQ(boxes.last().caption, QStringLiteral("财务对账"));

    select(window, 1);
    QMenu *menu = window->openContextMenu(QPoint(10, 10));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->objectName(), QStringLiteral("结算订单_右键"));
    EXPECT_EQ(visibleItems(menu), (QStringList{QStringLiteral("查看明细"), QStringLiteral("确认结算")}));
    // The hidden item does nothing even when triggered.
    item(menu, QStringLiteral("确认对账"))->trigger();
    EXPECT_TRUE(requests.texts().isEmpty());
    menu->close();

    boxes.clear();
    boxes.answerNext(MessageAnswer::No);
    action->click();
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.last().text, QStringLiteral("对账单号:DZ202603060001\r\n对账单确认无误,确认结算?"));
    EXPECT_EQ(boxes.last().style, StyleYesNo);
    EXPECT_EQ(boxes.last().caption, QStringLiteral("财务对账"));
    EXPECT_TRUE(requests.texts().isEmpty());

    menu = window->openContextMenu(QPoint(10, 10));
    item(menu, QStringLiteral("确认结算"))->trigger();
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_财务结算窗口/对账结算|对账单ID[12]操作类型[2]")});
    requests.clear();

    // After the settlement the list is read again as it is shown.
    child<QLineEdit>(window, QStringLiteral("编辑框_财务对账_搜索"))->setText(QStringLiteral(" DZ2026 "));
    child<QLineEdit>(window, QStringLiteral("编辑框_财务对账_页"))->setText(QStringLiteral("2"));
    deliver(QStringLiteral("基础通讯_财务结算窗口/对账结算成功|"));
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral(
                  "基础通讯_财务结算窗口/查询对账单列表|合作商ID[7]查询内容[DZ2026]查询类型[0]查询页数[2]")});
}

TEST_F(FinanceWindowsTest, PurchaserReconcilesAndNeverSettles)
{
    FinanceWindow *window = openPartner(false);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->partnerId(), QStringLiteral("7"));
    auto *action = child<QPushButton>(window, QStringLiteral("超级按钮_对账或结算"));
    EXPECT_EQ(action->text(), QStringLiteral("确认对账"));
    EXPECT_FALSE(child<QPushButton>(window, QStringLiteral("超级按钮_结算"))->isVisible());
    // Another merchant's company name is never markup.
    deliver(statementList(QStringLiteral("<b>鲜达</b>")));
    for (const char *name :
         {"标签_公司名称", "标签_联系人", "标签_电话号码", "标签_当前位置", "标签_结算明细"})
        EXPECT_EQ(child<QLabel>(window, QString::fromUtf8(name))->textFormat(), Qt::PlainText) << name;
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("标签_公司名称"))->text(),
              QStringLiteral("公司：<b>鲜达</b>"));
    requests.clear();

    select(window, 0);
    QMenu *menu = window->openContextMenu(QPoint(10, 10));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(visibleItems(menu), (QStringList{QStringLiteral("查看明细"), QStringLiteral("确认对账")}));
    item(menu, QStringLiteral("确认结算"))->trigger();
    EXPECT_TRUE(boxes.shown().isEmpty());
    EXPECT_TRUE(requests.texts().isEmpty());
    menu->close();

    action->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("对账单号:DZ202603040001\r\n对账单确认无误,确认对账?"));
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_财务结算窗口/对账结算|对账单ID[11]操作类型[1]")});
    // A purchaser has no statement creation.
    window->openStatementCreation();
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::StatementCreation));
}

TEST_F(FinanceWindowsTest, DetailsKeepTheirQueryTypeAndDateRange)
{
    FinanceWindow *window = openPartner(true);
    ASSERT_NE(window, nullptr);
    deliver(statementList());
    requests.clear();

    auto *statements = child<QTreeWidget>(window, QStringLiteral("超级列表框1"));
    statements->setCurrentItem(statements->topLevelItem(0));
    emit statements->itemDoubleClicked(statements->topLevelItem(0), 0);
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_财务结算窗口/查询结算明细|合作商ID[7]查询类型[0]查询内容[]"
                                         "起始日期[2026-03-01]终止日期[2026-03-04]查询页数[1]")});
    requests.clear();

    deliver(details("结算明细 - > 2026-03-01 至 2026-03-04",
                    {{"501", "已发货", "DD202603020001", "鲜达商贸有限公司", "3", "30.03", "5.00", "35.03"}},
                    2));
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("标签_结算明细"))->text(),
              QStringLiteral("当前位置：结算明细 - > 2026-03-01 至 2026-03-04"));
    EXPECT_EQ(child<QTabWidget>(window, QStringLiteral("高级选择夹1"))->currentIndex(), 1);
    auto *orders = child<QTreeWidget>(window, QStringLiteral("超级列表框2"));
    ASSERT_EQ(orders->topLevelItemCount(), 1);
    EXPECT_FALSE(orders->topLevelItem(0)->icon(1).isNull());

    child<QPushButton>(window, QStringLiteral("按钮_结算明细_下一页"))->click();
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_财务结算窗口/查询结算明细|合作商ID[7]查询类型[0]查询内容[]"
                                         "起始日期[2026-03-01]终止日期[2026-03-04]查询页数[2]")});
    requests.clear();

    // A tile changes the query type but not the stored range, which paging sends again.
    QTest::qWait(kClickGuardMs + 50);
    child<QPushButton>(window, QStringLiteral("超级按钮_财务对账_未结算"))->click();
    EXPECT_EQ(window->queryType(), 2);
    child<QLineEdit>(window, QStringLiteral("编辑框_结算明细"))->setText(QStringLiteral("DD2026"));
    child<QPushButton>(window, QStringLiteral("超级按钮_结算明细_搜索"))->click();
    EXPECT_EQ(requests.texts(),
              (QStringList{
                  QStringLiteral("基础通讯_财务结算窗口/查询结算明细|合作商ID[7]查询类型[2]查询内容[]"
                                 "起始日期[]终止日期[]查询页数[1]"),
                  QStringLiteral("基础通讯_财务结算窗口/查询结算明细|合作商ID[7]查询类型[2]查询内容[DD2026]"
                                 "起始日期[2026-03-01]终止日期[2026-03-04]查询页数[1]")}));
    requests.clear();

    // 返回 goes back to all statements with the box's keyword and page; the tile sends neither.
    QTest::qWait(kClickGuardMs + 50);
    child<QLineEdit>(window, QStringLiteral("编辑框_财务对账_搜索"))->setText(QStringLiteral("DZ"));
    child<QPushButton>(window, QStringLiteral("超级按钮_返回"))->click();
    child<QPushButton>(window, QStringLiteral("超级按钮_财务对账_全部记录"))->click();
    EXPECT_EQ(window->queryType(), 0);
    EXPECT_EQ(requests.texts(),
              (QStringList{
                  QStringLiteral(
                      "基础通讯_财务结算窗口/查询对账单列表|合作商ID[7]查询内容[DZ]查询类型[0]查询页数[1]"),
                  QStringLiteral(
                      "基础通讯_财务结算窗口/查询对账单列表|合作商ID[7]查询内容[]查询类型[0]查询页数[1]")}));

    QString viewed;
    setOrderViewerOpener([&viewed](QWidget *) { viewed = viewedOrderId(); });
    emit orders->itemDoubleClicked(orders->topLevelItem(0), 2);
    EXPECT_EQ(viewed, QStringLiteral("501"));
}

TEST_F(FinanceWindowsTest, StatementCreationSnapsTheEndDateAndChecksTheAmount)
{
    FinanceWindow *window = openPartner(true);
    ASSERT_NE(window, nullptr);
    requests.clear();
    child<QPushButton>(window, QStringLiteral("超级按钮_结算"))->click();
    auto *creation = WindowRegistry::as<StatementCreation>(WindowId::StatementCreation);
    ASSERT_NE(creation, nullptr);
    EXPECT_EQ(creation->windowTitle(), QStringLiteral("创建对账单"));
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_财务结算窗口/对账单窗口默认日期段|采购商ID[7]")});
    EXPECT_EQ(child<QToolButton>(creation, QStringLiteral("超级按钮1"))->toolTip(),
              QStringLiteral("起始日期是固定的,终止日期是可以选择的!"));
    auto *start = child<QDateEdit>(creation, QStringLiteral("日期框1"));
    auto *end = child<QDateEdit>(creation, QStringLiteral("日期框2"));
    EXPECT_TRUE(start->isReadOnly());
    EXPECT_TRUE(end->calendarPopup());
    requests.clear();

    // The server's range is filled in without asking for its amount again.
    deliver(
        QStringLiteral("基础通讯_财务结算窗口/"
                       "返回对账单窗口默认日期段|总金额[1234.5]起始日期[2026-03-05]终止日期[2026-03-09]"));
    EXPECT_EQ(start->date(), QDate(2026, 3, 5));
    EXPECT_EQ(end->date(), QDate(2026, 3, 9));
    auto *amount = child<QLabel>(creation, QStringLiteral("标签_总金额"));
    EXPECT_EQ(amount->text(), QStringLiteral("1234.50元"));
    EXPECT_EQ(creation->amountFen(), 123450);
    EXPECT_TRUE(requests.texts().isEmpty());

    end->setDate(QDate(2026, 3, 7));
    end->setDate(QDate(2026, 3, 1));
    EXPECT_EQ(end->date(), QDate(2026, 3, 5));
    EXPECT_EQ(requests.texts(),
              (QStringList{
                  QStringLiteral("基础通讯_财务结算窗口/"
                                 "对账单窗口获取金额|采购商ID[7]起始日期[2026-03-05]终止日期[2026-03-07]"),
                  QStringLiteral("基础通讯_财务结算窗口/"
                                 "对账单窗口获取金额|采购商ID[7]起始日期[2026-03-05]终止日期[2026-03-05]")}));
    requests.clear();

    auto *generate = child<QPushButton>(creation, QStringLiteral("超级按钮_生成对账单"));
    for (const char *zero : {"0.00", "-3.00", "0.001", "abc"}) {
        boxes.clear();
        deliver(QStringLiteral("基础通讯_财务结算窗口/返回对账单窗口获取金额|总金额[%1]")
                    .arg(QString::fromUtf8(zero)));
        generate->click();
        ASSERT_EQ(boxes.shown().size(), 1) << zero;
        EXPECT_EQ(boxes.last().text, QStringLiteral("结算金额不能为0。")) << zero;
        EXPECT_EQ(boxes.last().caption, QStringLiteral("创建对账单"));
    }
    EXPECT_TRUE(requests.texts().isEmpty());

    deliver(QStringLiteral("基础通讯_财务结算窗口/返回对账单窗口获取金额|总金额[0.01]"));
    EXPECT_EQ(amount->text(), QStringLiteral("0.01元"));
    boxes.answerNext(MessageAnswer::No);
    generate->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("是否生成对账单?"));
    EXPECT_TRUE(requests.texts().isEmpty());
    QTest::qWait(kClickGuardMs + 50);
    generate->click();
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral(
                  "基础通讯_财务结算窗口/生成对账单|采购商ID[7]起始日期[2026-03-05]终止日期[2026-03-05]")});
    requests.clear();

    boxes.clear();
    deliver(QStringLiteral("基础通讯_生成对账单成功|"));
    processPending();
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::StatementCreation));
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral(
                  "基础通讯_财务结算窗口/查询对账单列表|合作商ID[7]查询内容[]查询类型[0]查询页数[1]")});
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.last().text, QStringLiteral("已生成对账单!"));
    EXPECT_EQ(boxes.last().caption, QStringLiteral("财务结算"));
    EXPECT_EQ(boxes.last().style, StyleInformation);
}

TEST_F(FinanceWindowsTest, ExportWritesEveryPageOfTheStatementToTheFen)
{
    FinanceWindow *window = openPartner(true);
    ASSERT_NE(window, nullptr);
    deliver(statementList());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("对账单.csv"));
    EXPECT_FALSE(window->exportStatement(path));
    EXPECT_EQ(boxes.last().text, QStringLiteral("请选中一个账单!"));
    requests.clear();

    select(window, 0);
    ASSERT_TRUE(window->exportStatement(path));
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_财务结算窗口/查询结算明细|合作商ID[7]查询类型[0]查询内容[]"
                                         "起始日期[2026-03-01]终止日期[2026-03-04]查询页数[1]")});
    requests.clear();
    deliver(details("结算明细 - > 2026-03-01 至 2026-03-04",
                    {{"501", "已发货", "DD202603020001", "鲜达商贸有限公司", "3", "300.03", "5", "305.03"},
                     {"502", "已发货", "DD202603030002", "=HYPERLINK(\"x\")", "1", "0.07", "0.15", "0.22"}},
                    2, 1));
    // The export's replies do not touch the details list.
    EXPECT_EQ(child<QTreeWidget>(window, QStringLiteral("超级列表框2"))->topLevelItemCount(), 0);
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_财务结算窗口/查询结算明细|合作商ID[7]查询类型[0]查询内容[]"
                                         "起始日期[2026-03-01]终止日期[2026-03-04]查询页数[2]")});
    EXPECT_TRUE(window->exportRunning());
    deliver(details(
        "结算明细 - > 2026-03-01 至 2026-03-04",
        {{"503", "已发货", "DD202603040003", "鲜达商贸有限公司", "12", "700.00", "20.00", "720.00"}}, 2, 2));
    EXPECT_FALSE(window->exportRunning());

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 9) << bytes.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("对账单号,账单状态,起始日期,结束日期,商品金额,运费金额,结算总金额"));
    EXPECT_EQ(lines[1], QStringLiteral("DZ202603040001,待对账,2026-03-01,2026-03-04,1000.10,25.15,1025.25"));
    EXPECT_TRUE(lines[2].isEmpty());
    EXPECT_EQ(lines[3], QStringLiteral("订单号,订单状态,商家名称,商品件数,商品金额,运费金额,结算总金额"));
    EXPECT_EQ(lines[4], QStringLiteral("DD202603020001,已发货,鲜达商贸有限公司,3,300.03,5.00,305.03"));
    // A name that a spreadsheet would run as a formula stays text, quoted as CSV wants.
    EXPECT_EQ(lines[5], QStringLiteral("DD202603030002,已发货,\"'=HYPERLINK(\"\"x\"\")\",1,0.07,0.15,0.22"));
    EXPECT_EQ(lines[6], QStringLiteral("DD202603040003,已发货,鲜达商贸有限公司,12,700.00,20.00,720.00"));
    // Sums in fen: 0.07 + 300.03 + 700.00 is exactly 1000.10, as in the statement.
    EXPECT_EQ(lines[7], QStringLiteral("合计,,,16,1000.10,25.15,1025.25"));
    EXPECT_TRUE(lines[8].isEmpty()); // the last line ends with CRLF too
    EXPECT_EQ(boxes.last().caption, QStringLiteral("财务对账"));
    EXPECT_TRUE(boxes.last().text.startsWith(QStringLiteral("对账单已导出")));
}

TEST_F(FinanceWindowsTest, ExportDialogOffersExcelFirstAndAddsTheFilterSuffix)
{
    FinanceWindow *window = openPartner(true);
    ASSERT_NE(window, nullptr);
    deliver(statementList());
    select(window, 2);
    requests.clear();
    QTemporaryDir dir;
    QStringList filters;
    QString initialFilter, initialName;
    bool answered = false;
    // The dialog runs its own loop: it is read and answered from inside it.
    std::function<void()> answer = [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            QTimer::singleShot(20, answer);
            return;
        }
        filters = dialog->nameFilters();
        initialFilter = dialog->selectedNameFilter();
        initialName = QFileInfo(dialog->selectedFiles().value(0)).fileName();
        // The user picks CSV, goes to the folder and types a name without a suffix.
        dialog->selectNameFilter(csvFilter());
        dialog->setDirectory(dir.path());
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setFocus();
        name->setText(QStringLiteral("三月"));
        answered = true;
        QMetaObject::invokeMethod(dialog, "accept"); // as the save button does
    };
    QTimer::singleShot(0, answer);
    child<QPushButton>(window, QStringLiteral("按钮_导出"))->click();
    ASSERT_TRUE(answered);
    EXPECT_EQ(filters, (QStringList{QStringLiteral("Excel 工作簿 (*.xlsx)"),
                                    QStringLiteral("CSV (逗号分隔) (*.csv)")}));
    EXPECT_EQ(initialFilter, QStringLiteral("Excel 工作簿 (*.xlsx)"));
    EXPECT_EQ(initialName, QStringLiteral("对账单_DZ202603080001.xlsx"));
    ASSERT_TRUE(window->exportRunning());
    deliver(
        details("结算明细 - > 2026-03-07 至 2026-03-08",
                {{"601", "已发货", "DD202603070001", "鲜达商贸有限公司", "7", "70.00", "5.05", "75.05"}}));
    const QString path = dir.filePath(QStringLiteral("三月.csv"));
    EXPECT_EQ(boxes.last().text, QStringLiteral("对账单已导出:\r\n") + path)
        << boxes.last().text.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().endsWith(QStringLiteral("合计,,,7,70.00,5.05,75.05\r\n").toUtf8()));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("三月.csv")});
}

TEST_F(FinanceWindowsTest, ExportToAnXlsxPathWritesAWorkbookAndAFailureSaysSo)
{
    FinanceWindow *window = openPartner(true);
    ASSERT_NE(window, nullptr);
    deliver(statementList());
    select(window, 2);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("对账单.XLSX"));
    QList<std::pair<bool, QString>> finished;
    QObject::connect(window, &FinanceWindow::exportFinished, window,
                     [&finished](bool written, const QString &file) {
                         finished.append({written, file});
                     });
    const QString reply =
        details("结算明细 - > 2026-03-07 至 2026-03-08",
                {{"601", "已发货", "DD202603070001", "鲜达商贸有限公司", "7", "70.00", "5.05", "75.05"}});
    ASSERT_TRUE(window->exportStatement(path));
    deliver(reply);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("PK\x03\x04")); // a zip container, not CSV text
    EXPECT_EQ(boxes.last().text, QStringLiteral("对账单已导出:\r\n") + path);

    // A folder that is not there: the failure message, and nothing written.
    const QString missing = dir.filePath(QStringLiteral("不存在/对账单.xlsx"));
    ASSERT_TRUE(window->exportStatement(missing));
    deliver(reply);
    EXPECT_EQ(boxes.last().text, QStringLiteral("导出失败,无法写入文件:\r\n") + missing);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("不存在"))));
    EXPECT_EQ(finished, (QList<std::pair<bool, QString>>{{true, path}, {false, missing}}));
    EXPECT_TRUE(child<QPushButton>(window, QStringLiteral("按钮_导出"))->isEnabled());
}

// Pieces and amounts that the server sends in another form are written as they came, and
// the totals count only what is an amount.
TEST(StatementExport, TextsInOtherFormsStayAsTheyCame)
{
    const StatementSummary statement{QStringLiteral("DZ1"),        QStringLiteral("待对账"),
                                     QStringLiteral("2026-03-01"), QStringLiteral("2026-03-04"),
                                     QStringLiteral("n/a"),        QStringLiteral("=1"),
                                     QStringLiteral("1.005")};
    const std::vector<StatementOrder> orders = {
        {QStringLiteral("DD1"), QStringLiteral("已发货"), QStringLiteral("甲"), QStringLiteral("03"),
         QStringLiteral("1.5"), QStringLiteral("-"), QStringLiteral("1.50")},
        {QStringLiteral("DD2"), QStringLiteral("已发货"), QStringLiteral("乙"), QStringLiteral("-1"),
         QStringLiteral("-0.5"), QStringLiteral("+1"), QStringLiteral("-0.50")},
    };
    EXPECT_EQ(csvBytes(statementSheets(statement, orders)),
              QStringLiteral("\xFEFF对账单号,账单状态,起始日期,结束日期,商品金额,运费金额,结算总金额\r\n"
                             "DZ1,待对账,2026-03-01,2026-03-04,n/a,'=1,1.005\r\n"
                             "\r\n"
                             "订单号,订单状态,商家名称,商品件数,商品金额,运费金额,结算总金额\r\n"
                             "DD1,已发货,甲,03,1.50,'-,1.50\r\n"
                             "DD2,已发货,乙,'-1,-0.50,'+1,-0.50\r\n"
                             "合计,,,2,1.00,0.00,1.00\r\n")
                  .toUtf8());
}

TEST(StatementExport, AmountsAreExactFen)
{
    EXPECT_EQ(parseFen(QStringLiteral("0.1")), 10);
    EXPECT_EQ(parseFen(QStringLiteral("-0.05")), -5);
    EXPECT_EQ(parseFen(QStringLiteral("99999999999.99")), 9999999999999LL);
    EXPECT_EQ(parseFen(QStringLiteral("1.005")), std::nullopt);
    EXPECT_EQ(parseFen(QStringLiteral("1e3")), std::nullopt);
    EXPECT_EQ(fenText(QStringLiteral("12")), QStringLiteral("12.00"));
    EXPECT_EQ(fenText(QStringLiteral("n/a")), QStringLiteral("n/a"));
}

// Not a check: writes the pictures of docs/screenshots when run with
// --gtest_also_run_disabled_tests and VANTRELL_SCREENSHOTS set to the target directory.
TEST_F(FinanceWindowsTest, DISABLED_Screenshots)
{
    const QString target = qEnvironmentVariable("VANTRELL_SCREENSHOTS");
    ASSERT_FALSE(target.isEmpty());
    auto save = [&target](QWidget *widget, const char *name) {
        processPending();
        EXPECT_TRUE(widget->grab().save(target + QLatin1Char('/') + QString::fromUtf8(name)));
    };
    {
        FinanceWindow *window = openPartner(true);
        ASSERT_NE(window, nullptr);
        deliver(statementList());
        select(window, 1);
        save(window, "finance-statements-supplier.png");
        child<QPushButton>(window, QStringLiteral("超级按钮_结算"))->click();
        auto *creation = WindowRegistry::as<StatementCreation>(WindowId::StatementCreation);
        ASSERT_NE(creation, nullptr);
        deliver(QStringLiteral(
            "基础通讯_财务结算窗口/"
            "返回对账单窗口默认日期段|总金额[1386.40]起始日期[2026-03-09]终止日期[2026-03-12]"));
        save(creation, "statement-creation-supplier.png");
        TearDown();
    }
    FinanceWindow *window = openPartner(false);
    ASSERT_NE(window, nullptr);
    deliver(statementList(QStringLiteral("青禾食品有限公司")));
    deliver(
        details("结算明细 - > 2026-03-01 至 2026-03-04",
                {{"501", "已发货", "DD202603020001", "青禾食品有限公司", "30", "300.30", "12.00", "312.30"},
                 {"502", "已发货", "DD202603020002", "青禾食品有限公司", "12", "120.12", "8.50", "128.62"},
                 {"503", "已发货", "DD202603030001", "青禾食品有限公司", "50", "500.50", "0.00", "500.50"},
                 {"504", "已发货", "DD202603040001", "青禾食品有限公司", "8", "79.18", "4.65", "83.83"}}));
    save(window, "finance-details-purchaser.png");
}
