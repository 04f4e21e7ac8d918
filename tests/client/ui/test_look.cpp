// What a new user sees: Qt's own texts in Chinese, the program's message boxes, menus and
// disabled items in the skin's colours, lists whose selected row stands out, whose state
// marks stay beside their texts and whose old rows grey while a new query is on its way,
// framed secondary windows, the registration window and the last sign-in in the title bar.

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/core/skin.h"
#include "client/core/translations.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/changepassword.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/account/mainwindowframe.h"
#include "client/ui/account/personalcentre.h"
#include "client/ui/account/registrationwindow.h"
#include "client/ui/common/listfiller.h"
#include "client/ui/common/stalerows.h"
#include "client/ui/finance/financepage.h"
#include "client/ui/finance/financewindow.h"
#include "client/ui/orders/orderpage.h"
#include "protocol/listreply.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace vantrell::client;
using namespace vantrell::test;
using vantrell::protocol::ListReplyBuilder;

namespace {

QString orders(int first, int count, int pages = 1)
{
    ListReplyBuilder list;
    list.pages(pages, 1)
        .column("ID", 0)
        .column("订单状态", 80, 1)
        .column("订单号", 120, 1)
        .column("商家名称", 120, 1)
        .column("订单金额", 80, 2);
    static const char *states[] = {"待发货", "已发货", "取消中", "已关闭"};
    for (int i = 0; i < count; ++i) {
        const std::string id = std::to_string(first + i);
        list.row({id, states[i % 4], "2026120800" + id, "华东采购有限公司", "120.50"});
    }
    return QStringLiteral("基础通讯_返回订单列表|") + QString::fromStdString(list.str());
}

// The colour of the list's viewport at the middle of `row`'s cell in `column`, a few
// pixels in from its left edge (where no text is drawn).
QColor rowColour(QTreeWidget *list, int row, int column)
{
    const QRect cell = list->visualItemRect(list->topLevelItem(row));
    const int x = list->header()->sectionViewportPosition(column) + 3;
    return list->viewport()->grab().toImage().pixelColor(x, cell.center().y());
}

// Widths the test sets stay as they are.
void keepColumnWidthsForTest(QTreeWidget *list)
{
    keepColumnWidths(list, true);
}

class LookTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        attachSkin(0, 0, 0, 0);
        registerAllHandlers();
    }

    void TearDown() override
    {
        WindowRegistry::close(WindowId::Main);
        processPending();
    }

    void signIn(bool supplier, const QString &lastLogin = {})
    {
        AppState &state = appState();
        state.appTitle = QStringLiteral("Vantrell供销通");
        state.currentUserName = supplier ? QStringLiteral("supplier") : QStringLiteral("buyer");
        state.profileType = supplier ? QStringLiteral("供应商") : QStringLiteral("采购商");
        state.lastLoginTime = lastLogin;
        main = new MainWindow;
        main->show();
        processPending();
        requests.clear();
    }

    void deliver(const QString &payload) { ServerLink::instance().deliver(gbkPayload(payload)); }

    FakeMessageBoxes boxes;
    TempUserData data;
    RequestRecorder requests;
    ProgramEndRecorder ender;
    MainWindow *main = nullptr;
};

} // namespace

TEST_F(LookTest, QtsOwnTextsAreChinese)
{
    ASSERT_TRUE(loadQtTranslations()) << "qtbase_zh_CN.qm is missing (qt6-translations-l10n)";
    EXPECT_TRUE(loadQtTranslations()); // once is enough; a second call changes nothing
    QLineEdit box;
    box.setText(QStringLiteral("上海"));
    std::unique_ptr<QMenu> menu(box.createStandardContextMenu());
    QStringList texts;
    for (const QAction *action : menu->actions()) {
        if (!action->isSeparator())
            texts << action->text();
    }
    EXPECT_TRUE(texts.join(QLatin1Char(' ')).contains(QStringLiteral("撤消")))
        << texts.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(texts.join(QLatin1Char(' ')).contains(QStringLiteral("粘贴")));
    EXPECT_FALSE(texts.join(QLatin1Char(' ')).contains(QStringLiteral("Paste")));
}

TEST_F(LookTest, TheRegistrationTypeListShowsEveryTypeWholeWithoutScrolling)
{
    RegistrationWindow registration;
    registration.show();
    auto *type = child<QComboBox>(&registration, QStringLiteral("组合框_类型"));
    type->showPopup();
    processPending();
    QAbstractItemView *view = type->view();
    ASSERT_TRUE(view->isVisible());
    for (int row = 0; row < type->count(); ++row) {
        const QRect item = view->visualRect(view->model()->index(row, 0));
        EXPECT_TRUE(view->viewport()->rect().contains(item)) << type->itemText(row).toStdString();
        EXPECT_GE(item.width(), view->fontMetrics().horizontalAdvance(type->itemText(row)))
            << type->itemText(row).toStdString();
    }
    // No scroll arrows (the menu kind of list has them as widgets of its own) and no bar.
    for (const QWidget *part : view->window()->findChildren<QWidget *>()) {
        if (QString::fromLatin1(part->metaObject()->className()).contains(QStringLiteral("Scroller"))) {
            EXPECT_FALSE(part->isVisible());
        }
    }
    EXPECT_EQ(view->verticalScrollBar()->maximum(), 0);
    type->hidePopup();
}

TEST_F(LookTest, MessageBoxesShowTheProgramsOwnSharpPicturesAndPlainTexts)
{
    for (const int style : {int(StyleInformation), int(StyleYesNo), int(StyleError)}) {
        const auto box =
            buildMessageBox(nullptr, QStringLiteral("<b>华东</b>采购"), style, QStringLiteral("标题"));
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon) << "a stock icon for style " << style;
        EXPECT_FALSE(box->iconPixmap().isNull());
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("标题"));
        const QList<QAbstractButton *> buttons = box->buttons();
        QStringList texts;
        for (const QAbstractButton *button : buttons)
            texts << button->text();
        texts.sort();
        EXPECT_EQ(texts, style == StyleYesNo
                             ? QStringList({QStringLiteral("否(&N)"), QStringLiteral("是(&Y)")})
                             : QStringList{QStringLiteral("确定")});
    }
    // Drawn for the pixel ratio rather than scaled up: at 200% a picture has twice the
    // pixels, and the three styles differ in colour.
    const QPixmap sharp = messagePicture(StyleError, 40, 2.0);
    EXPECT_EQ(sharp.size(), QSize(80, 80));
    EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
    const QImage error = sharp.toImage();
    const QImage info = messagePicture(StyleInformation, 40, 2.0).toImage();
    const QImage question = messagePicture(StyleQuestion, 40, 2.0).toImage();
    EXPECT_NE(error.pixelColor(12, 40), info.pixelColor(12, 40));
    EXPECT_NE(question.pixelColor(12, 40), info.pixelColor(12, 40));
    EXPECT_EQ(error.pixelColor(0, 0).alpha(), 0); // round, not a square
}

TEST_F(LookTest, ADisabledMenuItemLooksDisabled)
{
    signIn(true);
    deliver(orders(1, 3));
    QTreeWidget *list = main->orderPage()->list();
    list->setCurrentItem(list->topLevelItem(0));
    QMenu *menu = main->orderPage()->openContextMenu(main->mapToGlobal(QPoint(300, 300)));
    ASSERT_NE(menu, nullptr);
    processPending();
    const QImage picture = menu->grab().toImage();
    // The darkest pixel of an item's text: the text colour.
    const auto ink = [&picture, menu](const QString &text) {
        for (QAction *action : menu->actions()) {
            if (action->text() != text)
                continue;
            int darkest = 255;
            const QRect area = menu->actionGeometry(action);
            for (int y = area.top(); y <= area.bottom(); ++y) {
                for (int x = area.left(); x <= area.right(); ++x)
                    darkest = std::min(darkest, qGray(picture.pixel(x, y)));
            }
            return darkest;
        }
        ADD_FAILURE() << "no item " << text.toStdString();
        return 0;
    };
    const int enabled = ink(QStringLiteral("复制单号"));
    const int disabled = ink(QStringLiteral("取消订单"));
    EXPECT_LT(enabled, 90);
    EXPECT_GT(disabled, 140) << "the supplier's 取消订单 reads as usable";
    menu->close();
}

TEST_F(LookTest, TheSelectedRowStandsApartFromTheAlternateRows)
{
    signIn(true);
    deliver(orders(1, 4));
    QTreeWidget *list = main->orderPage()->list();
    list->setCurrentItem(list->topLevelItem(2));
    processPending();
    const QColor plain = rowColour(list, 0, 1);
    const QColor alternate = rowColour(list, 1, 1);
    const QColor selected = rowColour(list, 2, 1);
    const auto distance = [](const QColor &a, const QColor &b) {
        return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
    };
    EXPECT_NE(plain, alternate);
    EXPECT_GT(distance(selected, alternate), 3 * distance(plain, alternate));
    EXPECT_GT(distance(selected, alternate), 45);
}

TEST_F(LookTest, AStateMarkStaysBesideItsTextInAWideColumn)
{
    signIn(true);
    deliver(orders(1, 2));
    QTreeWidget *list = main->orderPage()->list();
    keepColumnWidthsForTest(list);
    list->setColumnWidth(1, 400);
    processPending();
    const QImage picture = list->viewport()->grab().toImage();
    const QRect row = list->visualItemRect(list->topLevelItem(0));
    const int left = list->header()->sectionViewportPosition(1);
    const QColor background = picture.pixelColor(left + 2, row.center().y());
    int first = -1;
    for (int x = left + 1; x < left + 400 && first < 0; ++x) {
        for (int y = row.top() + 2; y < row.bottom() - 1; ++y) {
            if (picture.pixelColor(x, y) != background) {
                first = x - left;
                break;
            }
        }
    }
    // Mark and text together are some 60 px wide, centred in 400.
    EXPECT_GT(first, 120) << "the mark sits at the cell's left edge";
    EXPECT_LT(first, 200);
}

TEST_F(LookTest, TheFinancePagesMarkLeavesThePhoneNumberWhole)
{
    signIn(true);
    main->navigate(NavColumn::Supplier, 4);
    ListReplyBuilder partners;
    partners.pages(1, 1)
        .column("采购商ID", 0)
        .column("商家名称", 110)
        .column("姓名", 70)
        .column("电话", 90)
        .column("地址", 120)
        .column("已结算", 70)
        .column("未结算", 70);
    partners.row({"7", "鲜达商贸有限公司", "李鲜达", "13900000002", "上海", "75.05", "1225.25"});
    deliver(QStringLiteral("基础通讯_返回财务对账合作商列表|") + QString::fromStdString(partners.str()));
    QTreeWidget *list = main->financePage()->list();
    const QTreeWidgetItem *row = list->topLevelItem(0);
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(row->icon(3).isNull());
    EXPECT_FALSE(row->icon(1).isNull());
    // Every cell that carries a mark has room for it and for its text.
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    for (int column = 1; column < list->columnCount(); ++column) {
        int need = list->fontMetrics().horizontalAdvance(row->text(column)) + 2 * margin;
        if (!row->icon(column).isNull())
            need += list->iconSize().width() + 2 * margin;
        EXPECT_GE(list->columnWidth(column), need) << row->text(column).toStdString();
    }
}

TEST_F(LookTest, OldRowsGreyOnceAnotherTabOrSearchIsAskedForUntilTheReply)
{
    signIn(true);
    deliver(orders(1, 3));
    QTreeWidget *list = main->orderPage()->list();
    list->setCurrentItem(list->topLevelItem(1));
    EXPECT_FALSE(rowsGreyed(list));

    child<QTabWidget>(main, QStringLiteral("高级选择夹_订单管理"))->setCurrentIndex(1);
    ASSERT_FALSE(requests.texts().isEmpty());
    EXPECT_TRUE(requests.texts().last().contains(QStringLiteral("订单类型[1]")));
    EXPECT_TRUE(rowsGreyed(list));
    EXPECT_TRUE(list->selectedItems().isEmpty());
    // A greyed row is not one to act on.
    EXPECT_FALSE(list->topLevelItem(0)->flags() & Qt::ItemIsSelectable &&
                 list->topLevelItem(0)->flags() & Qt::ItemIsEnabled);
    deliver(orders(11, 2));
    EXPECT_FALSE(rowsGreyed(list));
    EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("11"));

    // A keyword the screen refuses asks for nothing, so the rows stay as they are.
    auto *keyword = child<QLineEdit>(main, QStringLiteral("编辑框_生产单_搜索"));
    keyword->setText(QStringLiteral("a|b"));
    child<QPushButton>(main, QStringLiteral("超级按钮_生产单_搜索"))->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("提交失败,不能包含特殊符号! "));
    EXPECT_FALSE(rowsGreyed(list));
    keyword->setText(QStringLiteral("米"));
    QTest::keyClick(keyword, Qt::Key_Return);
    EXPECT_TRUE(rowsGreyed(list));
    deliver(orders(21, 2, 3));
    // Turning the page asks for other rows too.
    child<QPushButton>(main, QStringLiteral("按钮_订单_下一页"))->click();
    EXPECT_TRUE(rowsGreyed(list));
}

TEST_F(LookTest, TheFinanceWindowsListsGreyForTheirOwnQueriesOnly)
{
    signIn(true);
    openFinanceWindow(main, QStringLiteral("7"));
    QWidget *window = WindowRegistry::get(WindowId::FinanceReconciliation);
    ASSERT_NE(window, nullptr);
    window->show();
    ListReplyBuilder statements;
    statements.extra("公司", "鲜达商贸有限公司")
        .pages(2, 1)
        .column("ID", 0)
        .column("账单状态", 80, 1)
        .column("对账单号", 130);
    statements.row({"11", "待对账", "DZ202603040001"}).row({"12", "已结算", "DZ202603060001"});
    const QString statementReply = QStringLiteral("基础通讯_财务结算窗口/返回查询对账单列表|") +
                                   QString::fromStdString(statements.str());
    deliver(statementReply);
    auto *list = child<QTreeWidget>(window, QStringLiteral("超级列表框1"));
    auto *details = child<QTreeWidget>(window, QStringLiteral("超级列表框2"));
    ListReplyBuilder orders;
    orders.extra("状态位置", "结算明细").pages(1, 1).column("ID", 0).column("订单号", 120);
    orders.row({"501", "DD202603020001"});
    deliver(QStringLiteral("基础通讯_财务结算窗口/返回结算明细|") + QString::fromStdString(orders.str()));
    deliver(statementReply);
    ASSERT_EQ(list->topLevelItemCount(), 2);
    ASSERT_EQ(details->topLevelItemCount(), 1);
    // The figure tiles keep room for their two lines under the skin.
    for (const char *tile :
         {"超级按钮_财务对账_全部记录", "超级按钮_财务对账_已结算", "超级按钮_财务对账_未结算"})
        EXPECT_GE(child<QPushButton>(window, QString::fromUtf8(tile))->height(), 60) << tile;

    // 已结算 asks for details: those grey, the statements do not.
    child<QPushButton>(window, QStringLiteral("超级按钮_财务对账_已结算"))->click();
    EXPECT_TRUE(rowsGreyed(details));
    EXPECT_FALSE(rowsGreyed(list));
    // The statements' next page greys the statements.
    child<QPushButton>(window, QStringLiteral("按钮_财务对账_下一页"))->click();
    EXPECT_TRUE(rowsGreyed(list));
    deliver(statementReply);
    EXPECT_FALSE(rowsGreyed(list));
    child<QPushButton>(window, QStringLiteral("超级按钮_财务对账_全部记录"))->click();
    EXPECT_TRUE(rowsGreyed(list));
    WindowRegistry::close(WindowId::FinanceReconciliation);
}

TEST_F(LookTest, SecondaryWindowsHaveAFrameAndTheRegistrationTitleBarIsTheOthers)
{
    signIn(true);
    auto *password = new ChangePassword(main);
    password->show();
    processPending();
    const QImage picture = password->grab().toImage();
    const int middle = picture.height() / 2;
    const QColor frame = picture.pixelColor(0, middle);
    EXPECT_EQ(frame, picture.pixelColor(picture.width() - 1, middle));
    EXPECT_EQ(frame, picture.pixelColor(picture.width() / 2, picture.height() - 1));
    EXPECT_LT(qGray(frame.rgb()), 180) << "the frame vanishes against a white page";
    EXPECT_EQ(picture.pixelColor(1, middle), QColor(Qt::white));

    RegistrationWindow registration;
    registration.show();
    processPending();
    auto *bar = child<QFrame>(&registration, QStringLiteral("titleBar"));
    auto *otherBar = child<QFrame>(password, QStringLiteral("titleBar"));
    EXPECT_EQ(bar->height(), otherBar->height());
    EXPECT_EQ(child<QLabel>(&registration, QStringLiteral("windowTitle"))->text(),
              QStringLiteral("注册账号"));
    auto *close = child<QToolButton>(&registration, QStringLiteral("图形按钮_关闭"));
    EXPECT_EQ(close->property("role").toString(), QStringLiteral("titleClose"));
    EXPECT_EQ(close->focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(close->icon().isNull());
    const QImage ours = registration.grab().toImage();
    EXPECT_EQ(ours.pixelColor(ours.width() / 2, 20), picture.pixelColor(picture.width() / 2, 20))
        << "the title bars differ in colour";
    EXPECT_LT(qGray(ours.pixelColor(0, ours.height() / 2).rgb()), 180);
    password->close();
}

TEST_F(LookTest, TheTitleBarTellsTheLastSignIn)
{
    EXPECT_EQ(MainWindow::lastLoginCaption(QStringLiteral("2026-12-08 09:30:12")),
              QStringLiteral("上次登陆: 2026-12-08 09:30"));
    EXPECT_EQ(MainWindow::lastLoginCaption(QString()), QString());
    EXPECT_EQ(MainWindow::lastLoginCaption(QStringLiteral("昨天")), QStringLiteral("上次登陆: 昨天"));

    signIn(true, QStringLiteral("2026-12-08 09:30:12"));
    auto *label = child<QLabel>(main, QStringLiteral("标签_上次登陆"));
    EXPECT_EQ(label->text(), QStringLiteral("上次登陆: 2026-12-08 09:30"));
    EXPECT_TRUE(label->isVisible());
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    // Clear of the user button at the smallest size.
    EXPECT_LE(label->geometry().right(), main->userButton()->geometry().left());
    EXPECT_GE(label->geometry().left(), child<QLabel>(main, QStringLiteral("标签_软件名称"))->x() + 100);
    WindowRegistry::close(WindowId::Main);
    processPending();

    // The first sign-in of an account has none.
    signIn(true);
    EXPECT_FALSE(child<QLabel>(main, QStringLiteral("标签_上次登陆"))->isVisible());
}

// Pictures for a person to look at: run with --gtest_also_run_disabled_tests and
// VANTRELL_SCREENSHOTS set to the target directory.
TEST_F(LookTest, DISABLED_Screenshots)
{
    const QString target = qEnvironmentVariable("VANTRELL_SCREENSHOTS");
    ASSERT_FALSE(target.isEmpty());
    const auto save = [&target](QWidget *widget, const char *name) {
        processPending();
        EXPECT_TRUE(widget->grab().save(target + QLatin1Char('/') + QString::fromUtf8(name)));
    };
    loadQtTranslations();
    {
        RegistrationWindow registration;
        registration.show();
        save(&registration, "look-registration.png");
        auto *type = child<QComboBox>(&registration, QStringLiteral("组合框_类型"));
        type->showPopup();
        processPending();
        QWidget *popup = type->view()->window();
        save(popup, "look-registration-popup.png");
        std::printf("popup %dx%d combo %dx%d\n", popup->width(), popup->height(), type->width(),
                    type->height());
        type->hidePopup();
    }
    for (const int style : {int(StyleInformation), int(StyleYesNo), int(StyleError)}) {
        auto box = buildMessageBox(nullptr, QStringLiteral("订单号[2026120800017]已复制到剪辑版!"), style,
                                   QStringLiteral("Vantrell供销通"));
        box->show();
        save(box.get(), QStringLiteral("look-box-%1.png").arg(style).toUtf8().constData());
    }
    signIn(true, QStringLiteral("2026-12-08 09:30:12"));
    deliver(orders(1, 9));
    QTreeWidget *list = main->orderPage()->list();
    list->setCurrentItem(list->topLevelItem(2));
    save(main, "look-main-orders.png");
    QMenu *menu = main->orderPage()->openContextMenu(main->mapToGlobal(QPoint(300, 300)));
    ASSERT_NE(menu, nullptr);
    save(menu, "look-order-menu.png");
    menu->close();
    main->frame()->toggleMode();
    processPending();
    save(main, "look-main-maximised.png");
    main->frame()->toggleMode();
    child<QTabWidget>(main, QStringLiteral("高级选择夹_订单管理"))->setCurrentIndex(1);
    save(main, "look-main-stale.png");
    auto *password = new ChangePassword(main);
    password->show();
    save(password, "look-changepassword.png");
    password->close();
    processPending();
    main->activateWindow();
    QApplication::setActiveWindow(main);
    main->navButton(NavColumn::Supplier, 2)->setFocus(Qt::TabFocusReason);
    save(main, "look-main-navfocus.png");
    {
        openFinanceWindow(main, QStringLiteral("7"));
        QWidget *finance = WindowRegistry::get(WindowId::FinanceReconciliation);
        finance->show();
        finance->activateWindow();
        QApplication::setActiveWindow(finance);
        processPending();
        child<QTabWidget>(finance, QStringLiteral("高级选择夹1"))->tabBar()->setFocus(Qt::TabFocusReason);
        save(finance, "look-finance-tabfocus.png");
        WindowRegistry::close(WindowId::FinanceReconciliation);
        processPending();
        main->activateWindow();
        QApplication::setActiveWindow(main);
    }
    main->navigate(NavColumn::Supplier, 4);
    ListReplyBuilder partners;
    partners.pages(1, 1)
        .column("采购商ID", 0)
        .column("商家名称", 110)
        .column("姓名", 70)
        .column("电话", 90)
        .column("地址", 120)
        .column("已结算", 70)
        .column("未结算", 70);
    partners.row({"7", "鲜达商贸有限公司", "李鲜达", "13900000002", "上海", "75.05", "1225.25"});
    deliver(QStringLiteral("基础通讯_返回财务对账合作商列表|") + QString::fromStdString(partners.str()));
    save(main, "look-main-finance.png");
}
