#include "client/ui/account/mainwindow.h"

#include "client/core/appstate.h"
#include "client/core/windowregistry.h"
#include "client/ui/account/exitquestion.h"
#include "client/ui/account/mainwindowframe.h"
#include "client/ui/account/usermenu.h"
#include "client/ui/common/glyphicons.h"
#include "client/ui/common/keyboard.h"
#include "client/ui/common/pagedlist.h"
#include "client/ui/common/stalerows.h"
#include "client/ui/finance/financepage.h"
#include "client/ui/goods/goodspage.h"
#include "client/ui/goods/purchasergoodspage.h"
#include "client/ui/orders/orderpage.h"
#include "client/ui/partners/partnerpage.h"
#include "vantrell_config.h"

#include <QCloseEvent>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>

namespace vantrell::client {

namespace {

constexpr int kTitleHeight = 48;
constexpr int kNavWidth = 184;
constexpr int kBottomHeight = 26;
constexpr int kLastLoginWidth = 220;

const QKeySequence kRefreshKeys(Qt::Key_F5);
const QKeySequence kSearchKeys(Qt::CTRL | Qt::Key_F);
const QKeySequence kAddKeys(Qt::CTRL | Qt::Key_N);

const QColor kTitleGlyph(0xff, 0xff, 0xff);
const QColor kNavGlyph(0x47, 0x55, 0x69);
const QColor kNavGlyphActive(0x2f, 0x6f, 0xde);

// Right page shown by navigation buttons 1-4 of each column.
constexpr int kNavPages[2][4] = {{OrdersPage, SupplierGoodsPage, PartnersPage, FinancesPage},
                                 {OrdersPage, BuyerGoodsPage, PartnersPage, FinancesPage}};

QToolButton *titleButton(QWidget *parent, const QString &name, Glyph glyph, const QString &tip)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(glyphIcon(glyph, kTitleGlyph));
    button->setIconSize(QSize(18, 18));
    button->setToolTip(tip);
    button->setCursor(Qt::PointingHandCursor);
    button->setProperty("role", QStringLiteral("titleButton"));
    // Minimising, maximising and closing have the window system's own keys; of the title
    // bar only the user button, which leads to the account windows, is reached with Tab.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

MainWindow::MainWindow(QWidget *parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("主窗口"));
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumSize(kMinWidth, kMinHeight);
    resize(kMinWidth, kMinHeight);
    QFile sheet(QStringLiteral(":/skin/mainwindow.qss"));
    if (sheet.open(QIODevice::ReadOnly))
        setStyleSheet(QString::fromUtf8(sheet.readAll()));

    setWindowTitle(appState().appTitle);
    appState().regions =
        QStringLiteral(
            "上海，江苏省，浙江省，安徽省，江西省，北京，天津，山西省，山东省，河北省，内蒙古，湖南省，"
            "湖北省，河南省，广东省，广西，福建省，海南省，辽宁省，吉林省，黑龙江省，陕西省，新疆，"
            "甘肃省，宁夏，青海省，重庆，云南省，贵州省，西藏，四川省，香港，澳门，台湾")
            .split(QStringLiteral("，"));
    buildTitleBar();
    buildNavigation();
    buildPages();
    m_bottom = new QLabel(QString::fromUtf8(config::kBottomText), this);
    m_bottom->setObjectName(QStringLiteral("标签_底部文字"));
    m_bottom->setAlignment(Qt::AlignCenter);

    m_frame = new MainWindowFrame(this);
    WindowRegistry::set(WindowId::Main, this);

    applyRole();
    buildKeys();
    // The keyboard starts on the navigation, at the page that is shown.
    m_nav[m_left->currentIndex()][0]->setFocus(Qt::OtherFocusReason);
    m_frame->restoreMode();
    relayout();
    m_orders->refresh(QStringLiteral("1"));
}

MainWindow::~MainWindow()
{
    WindowRegistry::close(WindowId::UserMenu);
    if (WindowRegistry::get(WindowId::Main) == this)
        WindowRegistry::set(WindowId::Main, nullptr);
}

void MainWindow::buildTitleBar()
{
    m_titleBar = new QFrame(this);
    m_titleBar->setObjectName(QStringLiteral("外形框_顶部"));
    m_logo = new QLabel(QStringLiteral("V"), m_titleBar);
    m_logo->setObjectName(QStringLiteral("logo"));
    m_logo->setAlignment(Qt::AlignCenter);
    m_logo->setGeometry(30, 10, 28, 28);
    m_appName = new QLabel(appState().appTitle, m_titleBar);
    m_appName->setObjectName(QStringLiteral("标签_软件名称"));
    m_appName->setGeometry(73, 0, 240, kTitleHeight);
    m_lastLogin = new QLabel(lastLoginCaption(appState().lastLoginTime), m_titleBar);
    m_lastLogin->setObjectName(QStringLiteral("标签_上次登陆"));
    m_lastLogin->setTextFormat(Qt::PlainText);
    m_lastLogin->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_lastLogin->setVisible(!m_lastLogin->text().isEmpty());

    m_userButton =
        titleButton(m_titleBar, QStringLiteral("图形按钮_用户中心"), Glyph::User, QStringLiteral("个人中心"));
    m_minimiseButton =
        titleButton(m_titleBar, QStringLiteral("图形按钮_最小化"), Glyph::Minimise, QStringLiteral("最小化"));
    m_maximiseButton = titleButton(m_titleBar, QStringLiteral("图形按钮_最大化"), Glyph::Maximise, {});
    m_closeButton =
        titleButton(m_titleBar, QStringLiteral("图形按钮_关闭"), Glyph::Close, QStringLiteral("关闭窗口"));
    m_closeButton->setProperty("role", QStringLiteral("titleClose"));
    m_userButton->setFocusPolicy(Qt::TabFocus);

    connect(m_userButton, &QToolButton::clicked, this, &MainWindow::toggleUserMenu);
    connect(m_minimiseButton, &QToolButton::clicked, this, &QWidget::showMinimized);
    connect(m_maximiseButton, &QToolButton::clicked, this, [this] { m_frame->toggleMode(); });
    connect(m_closeButton, &QToolButton::clicked, this, [this] { askExit(this); });
}

void MainWindow::buildNavigation()
{
    static const QString captions[5] = {QStringLiteral("订单管理"), QStringLiteral("商品管理"),
                                        QStringLiteral("商家管理"), QStringLiteral("财务对账"),
                                        QStringLiteral("退出系统")};
    static const Glyph glyphs[5] = {Glyph::Orders, Glyph::Goods, Glyph::Partners, Glyph::Finance,
                                    Glyph::Exit};
    static const QString names[5] = {QStringLiteral("订单管理"), QStringLiteral("商品管理"),
                                     QStringLiteral("商家管理"), QStringLiteral("财务对账"),
                                     QStringLiteral("退出系统")};

    m_left = new QTabWidget(this);
    m_left->setObjectName(QStringLiteral("高级选择夹_左侧"));
    m_left->tabBar()->hide();
    m_left->setFocusPolicy(Qt::NoFocus); // with its bar hidden it would swallow Tab
    m_left->setDocumentMode(true);
    for (int column = 0; column < 2; ++column) {
        auto *frame = new QFrame;
        frame->setObjectName(column == 0 ? QStringLiteral("外形框_左侧") : QStringLiteral("外形框_左侧2"));
        frame->setProperty("role", QStringLiteral("navColumn"));
        m_navFrames[column] = frame;
        for (int i = 0; i < 5; ++i) {
            auto *button = new QToolButton(frame);
            button->setObjectName(QStringLiteral("图形按钮_商家_") + names[i] +
                                  (column == 1 ? QStringLiteral("1") : QString()));
            button->setText(captions[i]);
            button->setIcon(glyphIcon(glyphs[i], kNavGlyph, kNavGlyphActive));
            button->setIconSize(QSize(20, 20));
            button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
            button->setCheckable(true);
            button->setCursor(Qt::PointingHandCursor);
            button->setProperty("role", QStringLiteral("nav"));
            // The pages are reached with Tab and Space or Enter; the sheet shows the focus.
            button->setFocusPolicy(Qt::TabFocus);
            button->setGeometry(0, i * 48, kNavWidth, 48);
            connect(button, &QToolButton::clicked, this,
                    [this, column, i] { navigate(NavColumn(column), i + 1); });
            m_nav[column][i] = button;
        }
        m_nav[column][0]->setChecked(true);
        m_left->addTab(frame, column == 0 ? QStringLiteral("供货方") : QStringLiteral("采购方"));
    }
}

void MainWindow::buildPages()
{
    m_right = new QTabWidget(this);
    m_right->setObjectName(QStringLiteral("高级选择夹_右侧"));
    m_right->tabBar()->hide();
    m_right->setFocusPolicy(Qt::NoFocus);
    m_right->setDocumentMode(true);
    m_orders = new OrderPage;
    m_goods = new GoodsPage;
    m_partners = new PartnerPage;
    m_purchaserGoods = new PurchaserGoodsPage;
    m_finance = new FinancePage;
    m_right->addTab(m_orders, QStringLiteral("订单管理"));
    m_right->addTab(m_goods, QStringLiteral("商品管理"));
    m_right->addTab(m_partners, QStringLiteral("商家管理"));
    m_right->addTab(m_purchaserGoods, QStringLiteral("商品管理2"));
    m_right->addTab(m_finance, QStringLiteral("财务对账"));
    connect(m_right, &QTabWidget::currentChanged, this, &MainWindow::rightPageChanged);
}

void MainWindow::buildKeys()
{
    // Window shortcuts: the secondary windows are windows of their own, so these keys
    // act only while the main window is the active one.
    const auto add = [this](const QKeySequence &keys, void (MainWindow::*routine)()) {
        auto *shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, routine);
    };
    add(kRefreshKeys, &MainWindow::refreshCurrentList);
    add(kSearchKeys, &MainWindow::focusSearchBox);
    add(kAddKeys, &MainWindow::addForCurrentPage);

    const QList<QWidget *> pages = {m_orders, m_goods, m_partners, m_purchaserGoods, m_finance};
    for (QWidget *page : pages) {
        const auto boxes = page->findChildren<QLineEdit *>();
        for (QLineEdit *box : boxes) {
            if (box->property("role").toString() == QStringLiteral("search"))
                box->setToolTip(withKeys(QStringLiteral("输入关键词,回车搜索"), kSearchKeys));
        }
    }
    const QList<PagedList *> pagers = {m_orders->pager(), m_goods->pager(), m_partners->pager(),
                                       m_purchaserGoods->pager(), m_finance->pager()};
    for (PagedList *pager : pagers) {
        if (pager->pageBox())
            pager->pageBox()->setToolTip(
                withKeys(QStringLiteral("页码,回车转到该页;刷新当前页"), kRefreshKeys));
    }
    if (auto *newGoods = m_goods->findChild<QPushButton *>(QStringLiteral("超级按钮_商品管理_新增")))
        newGoods->setToolTip(withKeys(QStringLiteral("新增商品"), kAddKeys));
    if (appState().isPurchaser())
        m_orders->actionButton()->setToolTip(withKeys(QStringLiteral("下单"), kAddKeys));

    for (QTreeWidget *list : {m_orders->list(), m_goods->list(), m_purchaserGoods->list(), m_finance->list()})
        enterOpensRows(list);
    greyRowsOnNewQuery(m_orders, m_orders->list());
    greyRowsOnNewQuery(m_goods, m_goods->list());
    greyRowsOnNewQuery(m_partners, m_partners->pager()->list());
    greyRowsOnNewQuery(m_purchaserGoods, m_purchaserGoods->list());
    greyRowsOnNewQuery(m_finance, m_finance->pager()->list());
    pressButtonsOnEnter(this);
}

QWidget *MainWindow::currentPageWidget() const
{
    return m_right->currentWidget();
}

void MainWindow::refreshCurrentList()
{
    PagedList *pager = nullptr;
    switch (currentPage()) {
    case OrdersPage:
        pager = m_orders->pager();
        break;
    case SupplierGoodsPage:
        pager = m_goods->pager();
        break;
    case PartnersPage:
        pager = m_partners->pager();
        break;
    case BuyerGoodsPage:
        pager = m_purchaserGoods->pager();
        break;
    case FinancesPage:
        pager = m_finance->pager();
        break;
    default:
        return;
    }
    pager->query(pager->pageText());
}

void MainWindow::focusSearchBox()
{
    const auto boxes = currentPageWidget()->findChildren<QLineEdit *>();
    for (QLineEdit *box : boxes) {
        if (box->property("role").toString() == QStringLiteral("search") && box->isVisible() &&
            box->isEnabled()) {
            box->setFocus(Qt::ShortcutFocusReason);
            box->selectAll();
            return;
        }
    }
}

void MainWindow::addForCurrentPage()
{
    QPushButton *button = nullptr;
    if (currentPage() == SupplierGoodsPage && appState().isSupplier())
        button = m_goods->findChild<QPushButton *>(QStringLiteral("超级按钮_商品管理_新增"));
    else if (currentPage() == OrdersPage && appState().isPurchaser())
        button = m_orders->actionButton();
    if (button && button->isEnabled())
        button->click();
}

QString MainWindow::lastLoginCaption(const QString &lastLoginTime)
{
    const QString time = lastLoginTime.trimmed();
    if (time.isEmpty())
        return {};
    // The server's "yyyy-MM-dd hh:mm:ss" to the minute; anything else as it came.
    static const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}"));
    const QRegularExpressionMatch match = stamp.match(time);
    return QStringLiteral("上次登陆: ") + (match.hasMatch() ? match.captured(0) : time);
}

void MainWindow::applyRole()
{
    const AppState &state = appState();
    const bool purchaser = state.isPurchaser();
    if (!purchaser && !state.isSupplier())
        return;
    m_left->setCurrentIndex(purchaser ? 1 : 0);
    m_partners->tabs()->setTabText(0, purchaser ? QStringLiteral("所有供应商") : QStringLiteral("所有商家"));
    m_partners->tabs()->setTabText(1, purchaser ? QStringLiteral("合作供应商") : QStringLiteral("合作商家"));
    m_partners->firstButton()->setText(purchaser ? QStringLiteral("申请合作") : QStringLiteral("同意合作"));
    m_partners->authoriseButton()->setVisible(!purchaser);
    m_orders->actionButton()->setText(purchaser ? QStringLiteral("下单") : QStringLiteral("发货"));
    m_orders->partnerLabel()->setText(purchaser ? QStringLiteral("请选择供应商...")
                                                : QStringLiteral("请选择商家..."));
}

void MainWindow::navigate(NavColumn column, int index)
{
    const int c = int(column);
    if (index < 1 || index > 5)
        return;
    if (index == 5) {
        m_nav[c][4]->setChecked(false);
        askExit(this);
        return;
    }
    for (QToolButton *button : m_nav[c])
        button->setChecked(false);
    m_nav[c][index - 1]->setChecked(true);
    const int page = kNavPages[c][index - 1];
    m_right->setCurrentIndex(page);

    switch (page) {
    case SupplierGoodsPage:
        if (m_goods->pager()->isEmpty())
            m_goods->refresh(QStringLiteral("1"));
        break;
    case BuyerGoodsPage:
        if (m_purchaserGoods->pager()->isEmpty())
            m_purchaserGoods->refresh();
        break;
    case PartnersPage:
        if (m_partners->pager()->isEmpty())
            m_partners->refresh(QStringLiteral("1"));
        break;
    case FinancesPage:
        if (m_finance->pager()->isEmpty())
            m_finance->refresh(QStringLiteral("1"));
        break;
    default:
        break;
    }
}

QToolButton *MainWindow::navButton(NavColumn column, int index) const
{
    return index >= 1 && index <= 5 ? m_nav[int(column)][index - 1] : nullptr;
}

int MainWindow::currentPage() const
{
    return m_right->currentIndex();
}

bool MainWindow::isMaximisedMode() const
{
    return m_frame && m_frame->isMaximised();
}

void MainWindow::showModePicture(bool maximised)
{
    m_maximiseButton->setIcon(glyphIcon(maximised ? Glyph::Restore : Glyph::Maximise, kTitleGlyph));
    m_maximiseButton->setToolTip(maximised ? QStringLiteral("还原") : QStringLiteral("最大化"));
}

void MainWindow::toggleUserMenu()
{
    if (WindowRegistry::isLoaded(WindowId::UserMenu)) {
        WindowRegistry::close(WindowId::UserMenu);
        return;
    }
    if (UserMenu::closedJustNow())
        return;
    auto *menu = new UserMenu(this);
    menu->show();
    placeUserMenu();
    menu->activateWindow();
}

void MainWindow::placeUserMenu()
{
    QWidget *menu = WindowRegistry::get(WindowId::UserMenu);
    if (!menu)
        return;
    const QPoint corner = m_userButton->mapTo(this, QPoint(m_userButton->width(), m_userButton->height()));
    menu->move(pos() + QPoint(corner.x() - menu->width(), corner.y()));
}

void MainWindow::relayout()
{
    const int w = width();
    const int h = height();
    m_titleBar->setGeometry(0, 0, w, kTitleHeight);
    m_userButton->setGeometry(w - 135, 11, 24, 24);
    m_lastLogin->setGeometry(w - 143 - kLastLoginWidth, 0, kLastLoginWidth, kTitleHeight);
    m_minimiseButton->setGeometry(w - 104, 11, 24, 24);
    m_maximiseButton->setGeometry(w - 73, 11, 24, 24);
    m_closeButton->setGeometry(w - 41, 11, 24, 24);
    m_left->setGeometry(0, kTitleHeight, kNavWidth, h - kTitleHeight);
    m_right->setGeometry(kNavWidth, kTitleHeight, w - 188, h - kTitleHeight - kBottomHeight);
    m_bottom->setGeometry(200, h - 32, w - 210, kBottomHeight);
    if (m_frame)
        m_frame->placeGrips();
    placeUserMenu();
    followDropDown();
}

void MainWindow::followDropDown()
{
    QWidget *dropDown = WindowRegistry::get(WindowId::SupplierDropDown);
    if (!dropDown || isMaximisedMode())
        return;
    if (currentPage() == OrdersPage)
        dropDown->move(x() + width() - 403, y() + 230);
    else if (currentPage() == BuyerGoodsPage)
        dropDown->move(x() + width() - 405, y() + 116);
}

void MainWindow::rightPageChanged()
{
    WindowRegistry::close(WindowId::SupplierDropDown);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    askExit(this);
}

void MainWindow::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (isMinimized() || !m_frame)
        return;
    m_frame->windowMoved();
    followDropDown();
    placeUserMenu();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    relayout();
    if (m_frame)
        m_frame->resized();
}

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    m_frame->pressed(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    m_frame->moved(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent *)
{
    m_frame->released();
}

} // namespace vantrell::client
