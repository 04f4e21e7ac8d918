#pragma once

// The shell after login: own title bar, the navigation column of the user's role, the
// business pages on the right, the bottom text line; normal or maximised mode with
// the size kept in the user-data file.
//
// Keys of the pages, handled here for whichever page is shown: F5 asks for the current
// list again, Ctrl+F goes to the page's search box, Ctrl+N adds goods (the supplier's goods
// page) or places an order (the purchaser's order page).

#include <QWidget>

class QFrame;
class QLabel;
class QTabWidget;
class QToolButton;

namespace vantrell::client {

class FinancePage;
class GoodsPage;
class MainWindowFrame;
class OrderPage;
class PartnerPage;
class PurchaserGoodsPage;

enum class NavColumn
{
    Supplier = 0,
    Purchaser = 1
};

// Right-hand pages.
enum RightPage : int
{
    OrdersPage = 0,
    SupplierGoodsPage = 1,
    PartnersPage = 2,
    BuyerGoodsPage = 3,
    FinancesPage = 4
};

class MainWindow final : public QWidget
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    static constexpr int kMinWidth = 800;
    static constexpr int kMinHeight = 600;

    // Navigation button i (1-5) of a column; 5 asks the exit question.
    void navigate(NavColumn column, int index);
    QToolButton *navButton(NavColumn column, int index) const;
    int currentPage() const;

    void toggleUserMenu();
    QToolButton *userButton() const { return m_userButton; }

    bool isMaximisedMode() const;
    MainWindowFrame *frame() const { return m_frame; }

    OrderPage *orderPage() const { return m_orders; }
    GoodsPage *goodsPage() const { return m_goods; }
    PurchaserGoodsPage *purchaserGoodsPage() const { return m_purchaserGoods; }
    PartnerPage *partnerPage() const { return m_partners; }
    FinancePage *financePage() const { return m_finance; }

    // Places the controls for the current size (after every mode change).
    void relayout();
    // Sets the maximise button's picture and tool tip for the mode.
    void showModePicture(bool maximised);

    // The page keys.
    void refreshCurrentList();
    void focusSearchBox();
    void addForCurrentPage();

    // "上次登陆: 2026-12-08 09:30" for the time the login reply gave; empty for none.
    static QString lastLoginCaption(const QString &lastLoginTime);

protected:
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void buildTitleBar();
    void buildNavigation();
    void buildPages();
    void buildKeys();
    QWidget *currentPageWidget() const;
    void applyRole();
    void placeUserMenu();
    void followDropDown();
    void rightPageChanged();

    QFrame *m_titleBar = nullptr;
    QLabel *m_logo = nullptr;
    QLabel *m_appName = nullptr;
    QLabel *m_lastLogin = nullptr;
    QToolButton *m_userButton = nullptr;
    QToolButton *m_minimiseButton = nullptr;
    QToolButton *m_maximiseButton = nullptr;
    QToolButton *m_closeButton = nullptr;
    QTabWidget *m_left = nullptr;
    QFrame *m_navFrames[2] = {};
    QToolButton *m_nav[2][5] = {};
    QTabWidget *m_right = nullptr;
    QLabel *m_bottom = nullptr;

    OrderPage *m_orders = nullptr;
    GoodsPage *m_goods = nullptr;
    PartnerPage *m_partners = nullptr;
    PurchaserGoodsPage *m_purchaserGoods = nullptr;
    FinancePage *m_finance = nullptr;

    MainWindowFrame *m_frame = nullptr;
};

} // namespace vantrell::client
