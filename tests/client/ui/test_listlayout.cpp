// Remembered layouts and readable lists: column widths and order dragged by the user come
// back after a restart, per account; corrupt, foreign and outdated states are ignored and
// never break a list; no caption is cut by a drag; a resizable window keeps its size;
// cut cells show their whole text as a plain-text tool tip; the glyph pictures are drawn
// at the screen's pixel ratio. Screenshots of the main window's lists at 800 x 600 (run
// again with QT_SCALE_FACTOR=2 for the high-density ones).

#include "client/core/appstate.h"
#include "client/core/userdata.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/common/celltips.h"
#include "client/ui/common/glyphicons.h"
#include "client/ui/common/listlayout.h"
#include "client/ui/finance/financewindow.h"
#include "protocol/listreply.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QImage>
#include <QScreen>
#include <QSizeGrip>
#include <QTabWidget>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>
#include <QTreeWidget>

using namespace vantrell::client;
using namespace vantrell::test;
using vantrell::protocol::ListReplyBuilder;

namespace {

const QString kListKey = QStringLiteral("主窗口/超级列表框_订单");

QString orders(bool withRemark = false, int rows = 3)
{
    ListReplyBuilder builder;
    builder.pages(1, 1)
        .column("ID", 0)
        .column("订单状态", 80, 1)
        .column("订单号", 110)
        .column("商家名称", 140)
        .column("商品件数", 70, 2)
        .column("订单金额", 80, 2)
        .column("下单日期", 80, 1);
    if (withRemark)
        builder.column("备注", 80);
    const std::vector<std::vector<std::string>> all = {
        {"7", "待发货", "DD202603010007", "<b>华东</b>商贸有限公司华东商贸有限公司华东商贸", "3", "12.50",
         "2026-03-01"},
        {"8", "已发货", "DD202603010008", "鲜达商贸有限公司", "12", "1386.40", "2026-03-02"},
        {"9", "已关闭", "DD202603030009", "青禾食品有限公司", "1", "8.80", "2026-03-03"},
        {"10", "取消中", "DD202603040010", "南方连锁超市", "40", "320.00", "2026-03-04"},
        {"11", "待发货", "DD202603050011", "北方粮油批发部", "6", "96.60", "2026-03-05"}};
    for (int i = 0; i < rows; ++i) {
        std::vector<std::string> row = all[std::size_t(i) % all.size()];
        if (withRemark)
            row.push_back("加急");
        builder.row(row);
    }
    return QStringLiteral("基础通讯_返回订单列表|") + QString::fromStdString(builder.str());
}

struct Layout
{
    QList<int> widths;
    QList<int> order; // logical index at each visual place
    bool operator==(const Layout &) const = default;
};

Layout layoutOf(const QTreeWidget *list)
{
    Layout layout;
    for (int i = 0; i < list->columnCount(); ++i) {
        layout.widths << (list->isColumnHidden(i) ? 0 : list->columnWidth(i));
        layout.order << list->header()->logicalIndex(i);
    }
    return layout;
}

std::ostream &operator<<(std::ostream &out, const Layout &layout)
{
    for (const int width : layout.widths)
        out << width << ' ';
    out << "/ ";
    for (const int logical : layout.order)
        out << logical << ' ';
    return out;
}

class ListLayoutTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        AppState &state = appState();
        state.appTitle = QStringLiteral("Vantrell供销通");
        state.currentUserName = QStringLiteral("supplier");
        state.profileType = QStringLiteral("供应商");
        registerAllHandlers();
    }

    void TearDown() override
    {
        WindowRegistry::close(WindowId::FinanceReconciliation);
        WindowRegistry::close(WindowId::Main);
        processPending();
    }

    // A "start": a new main window on the same user-data file, its order list filled.
    QTreeWidget *start(const QString &reply = orders())
    {
        WindowRegistry::close(WindowId::Main);
        processPending();
        main = new MainWindow;
        main->show();
        processPending();
        deliver(reply);
        processPending();
        return child<QTreeWidget>(main, QStringLiteral("超级列表框_订单"));
    }

    void deliver(const QString &payload) { ServerLink::instance().deliver(gbkPayload(payload)); }

    // Drags the right edge of a column by `dx` pixels, as a user does.
    static void dragEdge(QTreeWidget *list, int logical, int dx)
    {
        QHeaderView *header = list->header();
        const int y = header->height() / 2;
        const QPoint edge(header->sectionViewportPosition(logical) + header->sectionSize(logical) - 1, y);
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, edge);
        QTest::mouseMove(header->viewport(), edge + QPoint(dx / 2, 0));
        QTest::mouseMove(header->viewport(), edge + QPoint(dx, 0));
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, edge + QPoint(dx, 0));
        processPending();
    }

    // Drags a column by its caption onto the place of another.
    static void dragColumn(QTreeWidget *list, int logical, int ontoLogical)
    {
        QHeaderView *header = list->header();
        const int y = header->height() / 2;
        const QPoint from(header->sectionViewportPosition(logical) + header->sectionSize(logical) / 2, y);
        const QPoint to(header->sectionViewportPosition(ontoLogical) + 4, y);
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, from);
        for (int step = 1; step <= 4; ++step)
            QTest::mouseMove(header->viewport(), from + (to - from) * step / 4);
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, to);
        processPending();
    }

    FakeMessageBoxes boxes;
    TempUserData data;
    RequestRecorder requests;
    ProgramEndRecorder ender;
    MainWindow *main = nullptr;
};

} // namespace

TEST_F(ListLayoutTest, DraggedLayoutComesBackAfterARestartForItsAccountOnly)
{
    QTreeWidget *list = start();
    const Layout fresh = layoutOf(list);
    dragEdge(list, 2, 60);
    dragColumn(list, 5, 2);
    const Layout dragged = layoutOf(list);
    ASSERT_EQ(dragged.widths[2], fresh.widths[2] + 60) << dragged;
    ASSERT_EQ(list->header()->visualIndex(5), 2) << dragged;
    EXPECT_TRUE(decodeListState(UserData::read(QStringLiteral("界面布局_supplier"), kListKey)).has_value());

    // The next fill, a window resize and a restart keep it; the filler does not stretch
    // it back.
    deliver(orders());
    EXPECT_EQ(layoutOf(list), dragged);
    main->resize(1000, 700);
    processPending();
    EXPECT_EQ(layoutOf(list), dragged);
    list = start();
    EXPECT_EQ(layoutOf(list), dragged);

    // Another account on the same computer has the lists as they come.
    appState().currentUserName = QStringLiteral("other");
    list = start();
    EXPECT_EQ(layoutOf(list), fresh);
    appState().currentUserName = QStringLiteral("supplier");

    // Columns the server changed (a new column) take the fill's widths; the columns the
    // layout was made for, when they come back, the layout again.
    list = start(orders(true));
    EXPECT_EQ(list->columnCount(), 8);
    for (int i = 1; i < 8; ++i)
        EXPECT_GE(list->columnWidth(i), list->header()->sectionSizeHint(i)) << i;
    EXPECT_EQ(list->header()->visualIndex(5), 5);
    deliver(orders());
    EXPECT_EQ(layoutOf(list), dragged);
}

TEST_F(ListLayoutTest, CorruptForeignOrOutdatedStatesAreIgnored)
{
    const Layout fresh = layoutOf(start());
    const QString section = QStringLiteral("界面布局_supplier");
    QByteArray header;
    {
        // A real state, of a list with one column more than the order list.
        QTreeWidget other;
        other.setColumnCount(8);
        other.header()->moveSection(1, 6);
        header = other.header()->saveState();
    }
    const QStringList captions{QStringLiteral("ID"),       QStringLiteral("订单状态"),
                               QStringLiteral("订单号"),   QStringLiteral("商家名称"),
                               QStringLiteral("商品件数"), QStringLiteral("订单金额"),
                               QStringLiteral("下单日期")};
    const QStringList states = {
        QStringLiteral("garbage"),
        QStringLiteral("1:%%%not base64%%%"),
        QStringLiteral("1:") + QString::fromLatin1(QByteArray("short").toBase64()),
        // The right captions over a header state that is no state at all.
        encodeListState({captions, QByteArray("\x00\x00\x00\xff not a header", 20)}),
        // The right captions over another list's header (8 sections, not 7).
        encodeListState({captions, header}),
        // Another list's captions.
        encodeListState({captions.mid(0, 6) << QStringLiteral("发货日期"), header}),
    };
    for (const QString &state : states) {
        ASSERT_TRUE(UserData::write(section, kListKey, state));
        QTreeWidget *list = start();
        EXPECT_EQ(layoutOf(list), fresh) << state.toStdString();
        EXPECT_EQ(list->topLevelItemCount(), 3);
        EXPECT_TRUE(list->isColumnHidden(0));
    }
    EXPECT_FALSE(decodeListState(QStringLiteral("1:")).has_value());
    const auto back = decodeListState(encodeListState({captions, header}));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->captions, captions);
    EXPECT_EQ(back->header, header);
}

TEST_F(ListLayoutTest, NoDragCutsACaption)
{
    QTreeWidget *list = start();
    for (const int column : {1, 4, 6}) {
        dragEdge(list, column, -200);
        EXPECT_GE(list->columnWidth(column), list->header()->sectionSizeHint(column)) << column;
    }
    // Nor does a state written when captions were narrower.
    list = start();
    for (const int column : {1, 4, 6})
        EXPECT_GE(list->columnWidth(column), list->header()->sectionSizeHint(column)) << column;
}

TEST_F(ListLayoutTest, ResizableWindowKeepsItsSizeFixedOnesAreLeftAlone)
{
    start();
    openFinanceWindow(main, QStringLiteral("5"));
    auto *finance = WindowRegistry::as<FinanceWindow>(WindowId::FinanceReconciliation);
    ASSERT_NE(finance, nullptr);
    const auto *grip = finance->findChild<QSizeGrip *>(QStringLiteral("窗口大小"));
    ASSERT_NE(grip, nullptr);
    EXPECT_TRUE(grip->isVisible());
    EXPECT_EQ(grip->geometry().bottomRight(), finance->rect().bottomRight());
    finance->resize(950, 660);
    finance->close();
    processPending();
    EXPECT_EQ(UserData::read(QStringLiteral("界面布局_supplier"), QStringLiteral("窗口_财务对账窗口")),
              QStringLiteral("950,660"));
    openFinanceWindow(main, QStringLiteral("5"));
    finance = WindowRegistry::as<FinanceWindow>(WindowId::FinanceReconciliation);
    ASSERT_NE(finance, nullptr);
    // Within the screen, never below the window's minimum.
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
    EXPECT_EQ(finance->size(), QSize(950, 660).boundedTo(screen).expandedTo(finance->minimumSize()));

    QWidget window;
    window.setObjectName(QStringLiteral("测试窗口"));
    window.setMinimumSize(300, 200);
    for (const char *stored : {"abc", "10,10", "-5,400", "400", ""}) {
        window.resize(350, 250);
        UserData::write(QStringLiteral("界面布局_supplier"), QStringLiteral("窗口_测试窗口"),
                        QString::fromUtf8(stored));
        restoreWindowSize(&window);
        EXPECT_GE(window.width(), 300) << stored;
        EXPECT_GE(window.height(), 200) << stored;
    }
    window.resize(420, 310);
    saveWindowSize(&window);
    window.resize(300, 200);
    restoreWindowSize(&window);
    EXPECT_EQ(window.size(), QSize(420, 310));
    window.setFixedSize(300, 200);
    UserData::write(QStringLiteral("界面布局_supplier"), QStringLiteral("窗口_测试窗口"),
                    QStringLiteral("500,400"));
    restoreWindowSize(&window);
    EXPECT_EQ(window.size(), QSize(300, 200));
}

TEST_F(ListLayoutTest, CutCellShowsItsWholeTextAsPlainText)
{
    QTreeWidget *list = start();
    const auto tipAt = [list](int row, int column) {
        QToolTip::hideText();
        EXPECT_TRUE(waitFor([] { return !QToolTip::isVisible(); }, 3000));
        const QRect cell = list->visualRect(list->model()->index(row, column));
        const QPoint at = cell.center();
        QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    const QString name = list->topLevelItem(0)->text(3);
    ASSERT_TRUE(name.startsWith(QStringLiteral("<b>华东</b>")));
    ASSERT_LT(list->columnWidth(3), list->fontMetrics().horizontalAdvance(name));
    const QString tip = tipAt(0, 3);
    EXPECT_EQ(tip, plainToolTip(name));
    // As QToolTip shows it: the markup as the characters it is, not bold text.
    QTextDocument shown;
    shown.setHtml(tip);
    EXPECT_EQ(shown.toPlainText(), name);
    EXPECT_TRUE(tipAt(1, 3).isEmpty()); // 鲜达商贸有限公司 fits
    EXPECT_TRUE(tipAt(0, 1).isEmpty());
    QTextDocument lines;
    lines.setHtml(plainToolTip(QStringLiteral("a  b\n<i>c</i> & d")));
    EXPECT_EQ(lines.toPlainText(), QStringLiteral("a  b\n<i>c</i> & d"));
}

TEST_F(ListLayoutTest, GlyphsAreDrawnAtTheScreensPixelRatio)
{
    // The navigation (20 px) and title bar (18 px) pictures at 100% to 200%: each one a
    // picture drawn at that very pixel size, none scaled from a larger one.
    const QIcon icon = glyphIcon(Glyph::Orders, Qt::black, Qt::blue);
    const QList<QSize> drawn = icon.availableSizes();
    for (const qreal ratio : {1.0, 1.25, 1.5, 2.0}) {
        for (const int side : {18, 20}) {
            const QSize pixels(qRound(side * ratio), qRound(side * ratio));
            EXPECT_TRUE(drawn.contains(pixels)) << ratio << " " << side;
            const QPixmap pixmap = icon.pixmap(QSize(side, side), ratio);
            EXPECT_EQ(pixmap.size(), pixels);
            EXPECT_DOUBLE_EQ(pixmap.devicePixelRatio(), ratio);
        }
    }
}

TEST_F(ListLayoutTest, DISABLED_Screenshots)
{
    const QString target = qEnvironmentVariable("VANTRELL_SCREENSHOTS");
    ASSERT_FALSE(target.isEmpty());
    const qreal ratio = qApp->devicePixelRatio();
    const QString suffix = ratio > 1.0 ? QStringLiteral("@%1x").arg(ratio) : QString();
    auto save = [&](QWidget *widget, const QString &name) {
        processPending();
        EXPECT_TRUE(widget->grab().save(target + QLatin1Char('/') + name + suffix + QStringLiteral(".png")));
    };
    start(orders(false, 5));
    main->resize(800, 600);
    processPending();
    save(main, QStringLiteral("lists-orders-800x600"));

    main->navigate(NavColumn::Supplier, 2);
    ListReplyBuilder goods;
    goods.pages(3, 1)
        .column("ID", 0)
        .column("状态", 45, 1)
        .column("商品编码", 70)
        .column("商品分类", 70)
        .column("商品名称", 110)
        .column("商品规格", 70)
        .column("商品单价", 70, 2)
        .column("商品重量", 70, 2)
        .column("商品库存", 70, 2);
    goods.row(
        {"1", "正常", "0012", "饮料", "农夫山泉天然饮用水550ml整箱装", "24瓶/箱", "36.00", "13.200", "120"});
    goods.row({"2", "正常", "A0002", "零食", "薯片", "袋", "6.50", "0.075", "2400"});
    goods.row({"3", "下架", "B1003", "粮油", "东北大米", "10kg/袋", "59.90", "10", "35"});
    deliver(QStringLiteral("基础通讯_返回供应商查询商品列表|") + QString::fromStdString(goods.str()));
    save(main, QStringLiteral("lists-goods-800x600"));

    main->navigate(NavColumn::Supplier, 3);
    ListReplyBuilder partners;
    partners.pages(1, 1).column("ID", 0).column("状态", 70, 1).column("商家名称", 170).column("姓名", 80);
    partners.column("电话", 100, 1).column("地址", 140);
    partners.row({"21", "正常", "鲜达商贸有限公司", "李鲜达", "13900000002", "上海市浦东新区张江路88号"});
    partners.row({"22", "审核中", "<b>华东</b>连锁", "王五", "13900000003", "江苏省南京市"});
    deliver(QStringLiteral("基础通讯_返回申请合作列表|") + QString::fromStdString(partners.str()));
    save(main, QStringLiteral("lists-partners-800x600"));

    main->navigate(NavColumn::Supplier, 4);
    ListReplyBuilder finance;
    finance.pages(1, 1)
        .column("采购商ID", 0)
        .column("商家名称", 150)
        .column("姓名", 70)
        .column("电话", 100, 1);
    finance.column("地址", 100).column("已结算", 70, 2).column("未结算", 70, 2);
    finance.row(
        {"5", "鲜达商贸有限公司", "李鲜达", "13900000002", "上海市浦东新区张江路88号", "1386.40", "275.05"});
    finance.row({"6", "青禾食品有限公司", "赵六", "13900000004", "浙江省杭州市", "0.00", "12000.00"});
    deliver(QStringLiteral("基础通讯_返回财务对账合作商列表|") + QString::fromStdString(finance.str()));
    save(main, QStringLiteral("lists-finance-800x600"));

    // The finance window's statements, with the export beside their pager.
    openFinanceWindow(main, QStringLiteral("5"));
    QWidget *window = WindowRegistry::get(WindowId::FinanceReconciliation);
    ASSERT_NE(window, nullptr);
    ListReplyBuilder statements;
    statements.extra("公司", "鲜达商贸有限公司").extra("姓名", "李鲜达").extra("电话", "13900000002");
    statements.pages(2, 1).column("ID", 0).column("账单状态", 80, 1).column("对账单号", 130);
    statements.column("起始日期", 90, 1).column("结束日期", 90, 1).column("商品金额", 90, 2);
    statements.column("运费金额", 80, 2).column("结算总金额", 100, 2);
    statements.row(
        {"11", "待对账", "DZ202603040001", "2026-03-01", "2026-03-04", "1000.10", "25.15", "1025.25"});
    statements.row(
        {"12", "已对账", "DZ202603060001", "2026-03-05", "2026-03-06", "200.00", "0.00", "200.00"});
    deliver(QStringLiteral("基础通讯_财务结算窗口/返回查询对账单列表|") +
            QString::fromStdString(statements.str()));
    save(window, QStringLiteral("lists-finance-window"));
    WindowRegistry::close(WindowId::FinanceReconciliation);
    processPending();

    // A cut cell's tool tip over the order list.
    main->navigate(NavColumn::Supplier, 1);
    auto *list = child<QTreeWidget>(main, QStringLiteral("超级列表框_订单"));
    const QRect cell = list->visualRect(list->model()->index(0, 3));
    QHelpEvent help(QEvent::ToolTip, cell.center(), list->viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(list->viewport(), &help);
    processPending();
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->inherits("QTipLabel") && top->isVisible())
            save(top, QStringLiteral("lists-cell-tooltip"));
    }
}
