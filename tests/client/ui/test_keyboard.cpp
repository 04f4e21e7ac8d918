// The windows without a mouse: Tab reaches every input of each secondary window in a
// sensible order, Esc closes (asking first when typed input would be lost), Enter
// submits or presses the focused button, and the page keys of the main window.

#include "client/core/appstate.h"
#include "client/core/messagebox.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/changepassword.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/account/personalcentre.h"
#include "client/ui/account/registrationwindow.h"
#include "client/ui/finance/financewindow.h"
#include "client/ui/finance/statementcreation.h"
#include "client/ui/freight/freightwindow.h"
#include "client/ui/goods/goodseditor.h"
#include "client/ui/goods/grantwindow.h"
#include "client/ui/goods/purchasergoodspage.h"
#include "client/ui/orders/goodschooserwindow.h"
#include "client/ui/orders/orderhooks.h"
#include "client/ui/orders/orderpage.h"
#include "client/ui/orders/orderplacingwindow.h"
#include "client/ui/orders/orderviewwindow.h"
#include "client/ui/partners/cooperationwindow.h"
#include "client/ui/partners/supplierdropdown.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

using namespace vantrell::client;
using namespace vantrell::test;

QT_BEGIN_NAMESPACE
// Readable failures: the names as text.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList &list, std::ostream *out)
{
    *out << '{' << list.join(QStringLiteral(" > ")).toStdString() << '}';
}
QT_END_NAMESPACE

namespace {

// What Tab visits from the window's first control, once round, by object name.
QStringList tabWalk(QWidget *window)
{
    window->activateWindow();
    QApplication::setActiveWindow(window);
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    QWidget *first = window->nextInFocusChain();
    while (first != window &&
           !((first->focusPolicy() & Qt::TabFocus) && first->isVisibleTo(window) && first->isEnabled()))
        first = first->nextInFocusChain();
    first->setFocus(Qt::TabFocusReason);
    QStringList seen;
    QWidget *last = nullptr;
    int stay = 0;
    for (int step = 0; step < 120; ++step) {
        QWidget *focus = QApplication::focusWidget();
        if (!focus)
            break;
        // Qt's own parts (a tab widget's bar) by their owner's name.
        QString name = focus->objectName();
        if (name.isEmpty() || name.startsWith(QStringLiteral("qt_")))
            name = focus->parentWidget()->objectName() + QLatin1Char('/') +
                   (name.isEmpty() ? QString::fromLatin1(focus->metaObject()->className()) : name);
        if (focus == last) {
            // A date box walks its sections first; a control that keeps Tab for good is a trap.
            if (++stay > 6) {
                seen << QStringLiteral("<trapped in %1>")
                            .arg(QString::fromLatin1(focus->metaObject()->className()));
                break;
            }
        } else {
            stay = 0;
            if (seen.contains(name))
                break;
            seen << name;
        }
        last = focus;
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    return seen;
}

// The controls a keyboard user must be able to reach: every visible, enabled input and
// button that takes the focus at all (the edit line inside a drop-down belongs to it).
QStringList inputsOf(QWidget *window)
{
    QStringList names;
    const auto widgets = window->findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        const bool input = qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w) ||
                           qobject_cast<QDateEdit *>(w) || qobject_cast<QTableWidget *>(w) ||
                           qobject_cast<QTreeWidget *>(w) || qobject_cast<QAbstractButton *>(w);
        if (!input || w->window() != window || !w->isVisibleTo(window) || !w->isEnabled() ||
            !(w->focusPolicy() & Qt::TabFocus) || qobject_cast<QComboBox *>(w->parentWidget()) ||
            qobject_cast<QAbstractSpinBox *>(w->parentWidget()) || w->objectName().isEmpty())
            continue;
        names << w->objectName();
    }
    return names;
}

// Every input reached, each once, in the order given.
void expectTabOrder(QWidget *window, const QStringList &order)
{
    const QStringList walk = tabWalk(window);
    EXPECT_EQ(walk, order) << window->objectName().toStdString();
    for (const QString &input : inputsOf(window))
        EXPECT_TRUE(walk.contains(input))
            << window->objectName().toStdString() << ": Tab never reaches " << input.toStdString();
}

class KeyboardTest : public ::testing::Test
{
protected:
    void signIn(bool supplier)
    {
        AppState &state = appState();
        state.appTitle = QStringLiteral("Vantrell供销通");
        state.currentUserName = supplier ? QStringLiteral("supplier") : QStringLiteral("buyer");
        state.profileType = supplier ? QStringLiteral("供应商") : QStringLiteral("采购商");
        registerAllHandlers();
        main = new MainWindow;
        main->show();
        processPending();
        requests.clear();
    }

    void TearDown() override
    {
        for (WindowId id : {WindowId::GoodsChoosing, WindowId::OrderPlacing, WindowId::StatementCreation,
                            WindowId::FinanceReconciliation, WindowId::Main})
            WindowRegistry::close(id);
        processPending();
    }

    void deliver(const QString &payload) { ServerLink::instance().deliver(gbkPayload(payload)); }

    FakeMessageBoxes boxes;
    TempUserData data;
    RequestRecorder requests;
    ProgramEndRecorder ender;
    MainWindow *main = nullptr;
};

} // namespace

TEST_F(KeyboardTest, TabReachesEveryInputOfTheSupplierWindowsInOrder)
{
    signIn(true);
    const auto show = [](QWidget *window) {
        window->show();
        processPending();
        return window;
    };

    auto *password = show(new ChangePassword(main));
    expectTabOrder(password,
                   {QStringLiteral("编辑框_原密码"), QStringLiteral("编辑框_新密码"),
                    QStringLiteral("编辑框_新密码重复"), QStringLiteral("按钮2"), QStringLiteral("按钮1")});
    password->close();

    auto *centre = show(new PersonalCentre(main));
    deliver(QStringLiteral("基础通讯_返回个人中心基本资料|公司[远航贸易有限公司]联系人[张三]电话[13800000000]"
                           "邮箱[]地址[]"));
    expectTabOrder(centre, {QStringLiteral("编辑框_联系人"), QStringLiteral("编辑框_电话"),
                            QStringLiteral("编辑框_邮箱"), QStringLiteral("编辑框_地址"),
                            QStringLiteral("超级按钮_保存")});
    centre->close();

    openGoodsEditor(main, GoodsEditor::Mode::Add, 0);
    expectTabOrder(show(WindowRegistry::get(WindowId::GoodsEditing)),
                   {QStringLiteral("编辑框_商品名称"), QStringLiteral("编辑框_商品编码"),
                    QStringLiteral("编辑框_商品规格"), QStringLiteral("编辑框_商品单价"),
                    QStringLiteral("编辑框_商品重量"), QStringLiteral("编辑框_商品库存"),
                    QStringLiteral("组合框_单位"), QStringLiteral("组合框_分类"),
                    QStringLiteral("超级按钮_增加编辑商品")});
    WindowRegistry::close(WindowId::GoodsEditing);

    openGrantWindowOver(main);
    QWidget *grant = show(WindowRegistry::get(WindowId::GoodsAuthorisation));
    deliver(QStringLiteral("基础通讯_返回分销商列表/授权商品|合计页数[1]当前页数[1]列标详情_列信息[ID_0_0]"
                           "列标详情_列信息[公司名称_160_0]数据详情_ID[11]公司名称[华东商贸]"));
    auto *distributors = child<QTreeWidget>(grant, QStringLiteral("超级列表框_采购商"));
    distributors->setCurrentItem(distributors->topLevelItem(0));
    deliver(QStringLiteral("基础通讯_返回商品列表/授权商品|商品授权[2]采购商ID[11]合计页数[2]当前页数[1]"
                           "列标详情_列信息[ID_0_0]列标详情_列信息[商品名称_160_0]"
                           "数据详情_ID[1]商品名称[矿泉水]"));
    expectTabOrder(grant, {QStringLiteral("编辑框_分销商_搜索"), QStringLiteral("超级按钮_分销商_搜索"),
                           QStringLiteral("超级列表框_采购商"), QStringLiteral("单选框1"),
                           QStringLiteral("编辑框_授权商品_搜索"), QStringLiteral("超级按钮_授权商品_搜索"),
                           QStringLiteral("超级列表框_商品"), QStringLiteral("按钮_商品_上一页"),
                           QStringLiteral("编辑框_商品_页"), QStringLiteral("按钮_商品_下一页")});
    WindowRegistry::close(WindowId::GoodsAuthorisation);

    openFreightWindowOver(main);
    QWidget *freight = show(WindowRegistry::get(WindowId::FreightSettings));
    deliver(QStringLiteral("基础通讯_返回读取运费/运费方式|运费方式[1]计价方式[0]"));
    expectTabOrder(freight, {QStringLiteral("组合框1"), QStringLiteral("组合框2"), QStringLiteral("编辑框1"),
                             QStringLiteral("编辑框2"), QStringLiteral("编辑框3"), QStringLiteral("编辑框4"),
                             QStringLiteral("高级表格1")});
    WindowRegistry::close(WindowId::FreightSettings);

    openOrderViewer(main, QStringLiteral("5"));
    QWidget *view = show(WindowRegistry::get(WindowId::OrderViewing));
    deliver(QStringLiteral(
        "基础通讯_返回发货订单页面|订单号[DD1]商家名称[华东采购]下单日期[2026-12-08]订单状态[0]"
        "数据详情_名称[大米]编码[DM01]规格[5kg]单位[袋]单价[12.75]数量[2]金额[25.50]"));
    expectTabOrder(view,
                   {QStringLiteral("图形按钮_打印"), QStringLiteral("编辑框_收货地址"),
                    QStringLiteral("超级按钮2"), QStringLiteral("编辑框_商家留言"),
                    QStringLiteral("超级按钮1"), QStringLiteral("高级表格1"), QStringLiteral("高级表格2"),
                    QStringLiteral("组合框1"), QStringLiteral("组合框2"), QStringLiteral("组合框3"),
                    QStringLiteral("超级按钮_复制单号1"), QStringLiteral("超级按钮_订单管理_下单发货")});
    WindowRegistry::close(WindowId::OrderViewing);

    openFinanceWindow(main, QStringLiteral("5"));
    QWidget *finance = show(WindowRegistry::get(WindowId::FinanceReconciliation));
    for (const QString &input : inputsOf(finance))
        EXPECT_TRUE(tabWalk(finance).contains(input))
            << "finance window: Tab never reaches " << input.toStdString();
    auto *creation = show(new StatementCreation(finance, QStringLiteral("5")));
    expectTabOrder(creation, {QStringLiteral("日期框1"), QStringLiteral("超级按钮1"),
                              QStringLiteral("日期框2"), QStringLiteral("超级按钮_生成对账单")});
    creation->close();
    processPending();

    QPointer<RegistrationWindow> registration = new RegistrationWindow;
    show(registration);
    expectTabOrder(registration, {QStringLiteral("编辑框_用户名"), QStringLiteral("编辑框_密码"),
                                  QStringLiteral("编辑框_重复密码"), QStringLiteral("编辑框_手机号"),
                                  QStringLiteral("编辑框_公司"), QStringLiteral("组合框_类型"),
                                  QStringLiteral("按钮2"), QStringLiteral("按钮1")});
    registration->close();
}

TEST_F(KeyboardTest, TabReachesEveryInputOfThePurchaserWindowsAndTheMainWindow)
{
    signIn(false);
    openOrderPlacing(main);
    QWidget *placing = WindowRegistry::get(WindowId::OrderPlacing);
    ASSERT_NE(placing, nullptr);
    placing->show();
    const QStringList closed = {QStringLiteral("超级按钮_订单管理_供应商采购商列表_搜索"),
                                QStringLiteral("超级按钮_订单管理_下单发货1"),
                                QStringLiteral("高级表格1"),
                                QStringLiteral("高级选择夹2/qt_tabwidget_tabbar"),
                                QStringLiteral("编辑框_收货地址"),
                                QStringLiteral("超级按钮_订单管理_粘贴"),
                                QStringLiteral("超级按钮_订单管理_下单")};
    expectTabOrder(placing, closed);
    // With the supplier panel open its search and list come straight after the toggle.
    child<QToolButton>(placing, QStringLiteral("超级按钮_订单管理_供应商采购商列表_搜索"))->click();
    QStringList open = closed;
    open.insert(1, QStringLiteral("编辑框_供应商_搜索"));
    open.insert(2, QStringLiteral("超级按钮_供应商_搜索"));
    open.insert(3, QStringLiteral("超级列表框_供应商列表"));
    expectTabOrder(placing, open);
    WindowRegistry::close(WindowId::OrderPlacing);
    processPending();

    auto *cooperation = new CooperationWindow(main);
    cooperation->show();
    expectTabOrder(cooperation, {QStringLiteral("编辑框_申请合作_搜索"), QStringLiteral("超级按钮1"),
                                 QStringLiteral("超级列表框1"), QStringLiteral("超级按钮_保存")});
    cooperation->close();
    processPending();

    // The main window: the user button, the navigation, then the page shown.
    const QStringList walk = tabWalk(main);
    ASSERT_GE(walk.size(), 7);
    EXPECT_EQ(
        walk.mid(0, 6),
        (QStringList{QStringLiteral("图形按钮_用户中心"), QStringLiteral("图形按钮_商家_订单管理1"),
                     QStringLiteral("图形按钮_商家_商品管理1"), QStringLiteral("图形按钮_商家_商家管理1"),
                     QStringLiteral("图形按钮_商家_财务对账1"), QStringLiteral("图形按钮_商家_退出系统1")}));
    for (const QString &input : inputsOf(main))
        EXPECT_TRUE(walk.contains(input)) << "main window: Tab never reaches " << input.toStdString();
    for (const char *mouseOnly : {"图形按钮_最小化", "图形按钮_最大化", "图形按钮_关闭"})
        EXPECT_EQ(child<QToolButton>(main, QString::fromUtf8(mouseOnly))->focusPolicy(), Qt::NoFocus)
            << mouseOnly;
}

namespace {

void activate(QWidget *window)
{
    window->show();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
}

const QString kDiscard = QStringLiteral("放弃未保存的内容并关闭窗口?");

} // namespace

TEST_F(KeyboardTest, EscClosesAtOnceWithoutTypedInputAndAsksWithIt)
{
    signIn(true);
    // Nothing typed: closed, no question.
    QPointer<ChangePassword> password = new ChangePassword(main);
    activate(password);
    QTest::keyClick(child<QLineEdit>(password, QStringLiteral("编辑框_原密码")), Qt::Key_Escape);
    processPending();
    EXPECT_TRUE(password.isNull());
    EXPECT_TRUE(boxes.shown().isEmpty());

    // Typed: asked; No keeps the window and what was typed, Yes closes it.
    password = new ChangePassword(main);
    activate(password);
    auto *old = child<QLineEdit>(password, QStringLiteral("编辑框_原密码"));
    QTest::keyClicks(old, QStringLiteral("demo"));
    boxes.answerNext(MessageAnswer::No);
    QTest::keyClick(old, Qt::Key_Escape);
    processPending();
    ASSERT_FALSE(password.isNull());
    EXPECT_EQ(boxes.last().text, kDiscard);
    EXPECT_EQ(boxes.last().style, int(StyleYesNo));
    EXPECT_EQ(old->text(), QStringLiteral("demo"));
    boxes.answerNext(MessageAnswer::Yes);
    QTest::keyClick(old, Qt::Key_Escape);
    processPending();
    EXPECT_TRUE(password.isNull());
    EXPECT_EQ(boxes.shown().size(), 2);
    EXPECT_TRUE(requests.texts().isEmpty());

    // The personal centre: what the server gave is no typed input, a change is.
    boxes.clear();
    QPointer<PersonalCentre> centre = new PersonalCentre(main);
    activate(centre);
    deliver(QStringLiteral("基础通讯_返回个人中心基本资料|公司[远航贸易有限公司]联系人[张三]电话[13800000000]"
                           "邮箱[]地址[]"));
    EXPECT_FALSE(centre->hasUnsavedInput());
    auto *phone = child<QLineEdit>(centre, QStringLiteral("编辑框_电话"));
    phone->setText(QStringLiteral("13900000000"));
    EXPECT_TRUE(centre->hasUnsavedInput());
    phone->setText(QStringLiteral("13800000000"));
    QTest::keyClick(phone, Qt::Key_Escape);
    processPending();
    EXPECT_TRUE(centre.isNull());
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST_F(KeyboardTest, EscAsksOnlyWhereTheGoodsEditorOrderFormOrStatementHoldChanges)
{
    signIn(true);
    const auto esc = [](QWidget *window) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window, Qt::Key_Escape);
        processPending();
    };

    // Adding: the window as it opened is nothing to lose; a typed name is.
    openGoodsEditor(main, GoodsEditor::Mode::Add, 0);
    QPointer<GoodsEditor> editor = WindowRegistry::as<GoodsEditor>(WindowId::GoodsEditing);
    activate(editor);
    deliver(QStringLiteral("基础通讯_返回商品基本信息/分类列表|3,饮料|5,零食|"));
    EXPECT_FALSE(editor->hasUnsavedInput());
    // Entering and leaving the price box drops and restores its unit: still no change.
    auto *price = child<QLineEdit>(editor, QStringLiteral("编辑框_商品单价"));
    price->setFocus();
    EXPECT_FALSE(editor->hasUnsavedInput());
    child<QLineEdit>(editor, QStringLiteral("编辑框_商品名称"))->setFocus();
    EXPECT_FALSE(editor->hasUnsavedInput());
    typeText(QApplication::focusWidget(), QStringLiteral("矿泉水"));
    boxes.answerNext(MessageAnswer::No);
    esc(editor);
    ASSERT_FALSE(editor.isNull());
    EXPECT_EQ(boxes.last().text, kDiscard);
    boxes.answerNext(MessageAnswer::Yes);
    esc(editor);
    EXPECT_TRUE(editor.isNull());

    // Editing: the goods as the server gave them are no change; viewing never asks.
    boxes.clear();
    const QString info =
        QStringLiteral("基础通讯_返回商品基本信息|商品分类名称[饮料]商品分类列表[3,饮料|]商品名称["
                       "矿泉水550ml]商品编码[SP-001]"
                       "商品规格[24瓶/箱]商品单价[36.5]商品重量[13.2]商品库存[120]库存单位[箱]");
    openGoodsEditor(main, GoodsEditor::Mode::Edit, 42);
    editor = WindowRegistry::as<GoodsEditor>(WindowId::GoodsEditing);
    activate(editor);
    deliver(info);
    EXPECT_FALSE(editor->hasUnsavedInput());
    child<QComboBox>(editor, QStringLiteral("组合框_单位"))->setEditText(QStringLiteral("袋"));
    EXPECT_TRUE(editor->hasUnsavedInput());
    WindowRegistry::close(WindowId::GoodsEditing);
    processPending();
    openGoodsEditor(main, GoodsEditor::Mode::View, 42);
    editor = WindowRegistry::as<GoodsEditor>(WindowId::GoodsEditing);
    activate(editor);
    deliver(info);
    esc(editor);
    EXPECT_TRUE(editor.isNull());
    EXPECT_TRUE(boxes.shown().isEmpty());

    // The statement: the end date the server offered is no change, another one is.
    openFinanceWindow(main, QStringLiteral("5"));
    QPointer<StatementCreation> creation =
        new StatementCreation(WindowRegistry::get(WindowId::FinanceReconciliation), QStringLiteral("5"));
    activate(creation);
    deliver(QStringLiteral("基础通讯_财务结算窗口/返回对账单窗口默认日期段|总金额[1234.5]起始日期[2026-03-05]"
                           "终止日期[2026-03-09]"));
    EXPECT_FALSE(creation->hasUnsavedInput());
    auto *end = child<QDateEdit>(creation, QStringLiteral("日期框2"));
    end->setDate(QDate(2026, 3, 8));
    boxes.answerNext(MessageAnswer::No);
    esc(creation);
    ASSERT_FALSE(creation.isNull());
    EXPECT_EQ(boxes.last().text, kDiscard);
    end->setDate(QDate(2026, 3, 9));
    esc(creation);
    EXPECT_TRUE(creation.isNull());
    EXPECT_EQ(boxes.shown().size(), 1);
}

TEST_F(KeyboardTest, EscInTheOrderFormAsksOnceSomethingIsTypedAndAnOpenListTakesItFirst)
{
    signIn(false);
    openOrderPlacing(main);
    QPointer<OrderPlacingWindow> placing = WindowRegistry::as<OrderPlacingWindow>(WindowId::OrderPlacing);
    activate(placing);
    EXPECT_FALSE(placing->hasUnsavedInput());
    auto *address = child<QLineEdit>(placing, QStringLiteral("编辑框_收货地址"));
    address->setFocus();
    typeText(address, QStringLiteral("上海"));
    boxes.answerNext(MessageAnswer::No);
    QTest::keyClick(address, Qt::Key_Escape);
    processPending();
    ASSERT_FALSE(placing.isNull());
    EXPECT_EQ(boxes.last().text, kDiscard);
    EXPECT_EQ(address->text(), QStringLiteral("上海"));
    address->clear();
    EXPECT_FALSE(placing->hasUnsavedInput());
    QTest::keyClick(address, Qt::Key_Escape);
    processPending();
    EXPECT_TRUE(placing.isNull());

    // Esc in an open drop-down list closes the list, not the window.
    boxes.clear();
    QPointer<RegistrationWindow> registration = new RegistrationWindow;
    activate(registration);
    auto *type = child<QComboBox>(registration, QStringLiteral("组合框_类型"));
    type->setFocus();
    type->showPopup();
    processPending();
    ASSERT_TRUE(type->view()->isVisible());
    QTest::keyClick(type->view(), Qt::Key_Escape);
    processPending();
    EXPECT_FALSE(type->view()->isVisible());
    ASSERT_FALSE(registration.isNull());
    EXPECT_TRUE(registration->isVisible());
    QTest::keyClick(type, Qt::Key_Escape);
    processPending();
    EXPECT_TRUE(registration.isNull());
}

TEST_F(KeyboardTest, EnterSubmitsThePasswordChangeAndPressesTheFocusedButton)
{
    signIn(true);
    QPointer<ChangePassword> password = new ChangePassword(main);
    activate(password);
    auto *old = child<QLineEdit>(password, QStringLiteral("编辑框_原密码"));
    QTest::keyClicks(old, QStringLiteral("demo1234"));
    QTest::keyClick(old, Qt::Key_Return);
    EXPECT_EQ(boxes.last().text, QStringLiteral("请输入新密码!"));
    EXPECT_TRUE(requests.texts().isEmpty());
    child<QLineEdit>(password, QStringLiteral("编辑框_新密码"))->setText(QStringLiteral("abcd5678"));
    auto *repeat = child<QLineEdit>(password, QStringLiteral("编辑框_新密码重复"));
    repeat->setText(QStringLiteral("abcd5678"));
    repeat->setFocus();
    QTest::keyClick(repeat, Qt::Key_Enter); // the keypad's Enter too
    ASSERT_EQ(requests.texts().size(), 1);
    EXPECT_TRUE(requests.texts().first().startsWith(QStringLiteral("登陆系统_修改密码|原密码[")));

    // Enter on a button reached with Tab presses it: 取消 closes without asking, as a
    // click does.
    boxes.clear();
    auto *cancel = child<QPushButton>(password, QStringLiteral("按钮1"));
    cancel->setFocus(Qt::TabFocusReason);
    QTest::keyClick(cancel, Qt::Key_Return);
    processPending();
    EXPECT_TRUE(password.isNull());
    EXPECT_TRUE(boxes.shown().isEmpty());

    // Enter in the registration form registers, as in any dialog: here it is refused.
    boxes.clear();
    QPointer<RegistrationWindow> registration = new RegistrationWindow;
    activate(registration);
    auto *name = child<QLineEdit>(registration, QStringLiteral("编辑框_用户名"));
    name->setFocus();
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(boxes.last().text, QStringLiteral("用户名长度必须超过4个字符!"));
    registration->close();
    processPending();
    boxes.clear();

    // The goods editor walks its boxes with Enter; the last Enter reaches 提交 without
    // pressing it, the next one presses it.
    openGoodsEditor(main, GoodsEditor::Mode::Add, 0);
    auto *editor = WindowRegistry::as<GoodsEditor>(WindowId::GoodsEditing);
    activate(editor);
    auto *category = child<QComboBox>(editor, QStringLiteral("组合框_分类"));
    category->lineEdit()->setFocus();
    QTest::keyClick(category->lineEdit(), Qt::Key_Return);
    auto *submit = child<QPushButton>(editor, QStringLiteral("超级按钮_增加编辑商品"));
    EXPECT_EQ(QApplication::focusWidget(), submit);
    EXPECT_TRUE(boxes.shown().isEmpty());
    QTest::keyClick(submit, Qt::Key_Return);
    EXPECT_EQ(boxes.last().text, QStringLiteral("商品名称长度必须超过4个字符!"));
}

TEST_F(KeyboardTest, PageKeysActOnTheShownPageAndNameThemselvesInToolTips)
{
    signIn(true);
    activate(main);
    const auto keys = [this](QKeyCombination combination) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : main, combination.key(),
                        combination.keyboardModifiers());
        processPending();
    };

    // F5 asks for the order list again with its page box as it stands.
    child<QLineEdit>(main, QStringLiteral("编辑框_订单_页"))->setText(QStringLiteral("3"));
    keys(Qt::Key_F5);
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_查询订单|订单类型[0]合作商ID[0]关键词[]查询页数[3]")});
    EXPECT_TRUE(
        child<QLineEdit>(main, QStringLiteral("编辑框_订单_页"))->toolTip().contains(QStringLiteral("F5")));

    // Ctrl+F goes to the search box of the page shown, its text selected for retyping.
    auto *keyword = child<QLineEdit>(main, QStringLiteral("编辑框_生产单_搜索"));
    keyword->setText(QStringLiteral("螺丝"));
    keys(Qt::CTRL | Qt::Key_F);
    EXPECT_EQ(QApplication::focusWidget(), keyword);
    EXPECT_EQ(keyword->selectedText(), QStringLiteral("螺丝"));
    EXPECT_TRUE(keyword->toolTip().contains(QStringLiteral("Ctrl+F")));

    // Ctrl+N does nothing on the supplier's order page; on the goods page it adds goods.
    requests.clear();
    keys(Qt::CTRL | Qt::Key_N);
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::GoodsEditing));
    main->navigate(NavColumn::Supplier, 2);
    processPending();
    requests.clear();
    keys(Qt::Key_F5);
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_供应商查询商品列表|关键词[]查询页数[1]商品状态[1]")});
    keys(Qt::CTRL | Qt::Key_F);
    EXPECT_EQ(QApplication::focusWidget(), child<QLineEdit>(main, QStringLiteral("编辑框_商品管理_搜索")));
    keys(Qt::CTRL | Qt::Key_N);
    auto *editor = WindowRegistry::as<GoodsEditor>(WindowId::GoodsEditing);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->mode(), GoodsEditor::Mode::Add);
    EXPECT_TRUE(child<QPushButton>(main, QStringLiteral("超级按钮_商品管理_新增"))
                    ->toolTip()
                    .contains(QStringLiteral("Ctrl+N")));
    // The keys belong to the main window: with the editor in front they do nothing there.
    activate(editor);
    requests.clear();
    QTest::keyClick(editor, Qt::Key_F5);
    EXPECT_TRUE(requests.texts().isEmpty());
    WindowRegistry::close(WindowId::GoodsEditing);
}

TEST_F(KeyboardTest, CtrlNPlacesAnOrderForAPurchaserAndCtrlPPrintsTheShippingNote)
{
    signIn(false);
    activate(main);
    EXPECT_TRUE(main->orderPage()->actionButton()->toolTip().contains(QStringLiteral("Ctrl+N")));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::ControlModifier);
    processPending();
    EXPECT_TRUE(WindowRegistry::isLoaded(WindowId::OrderPlacing));
    WindowRegistry::close(WindowId::OrderPlacing);
    WindowRegistry::close(WindowId::Main);
    processPending();

    signIn(true);
    openOrderViewer(main, QStringLiteral("5"));
    QWidget *view = WindowRegistry::get(WindowId::OrderViewing);
    activate(view);
    deliver(QStringLiteral(
        "基础通讯_返回发货订单页面|订单号[DD1]商家名称[华东采购]下单日期[2026-12-08]订单状态[0]"
        "数据详情_名称[大米]编码[DM01]规格[5kg]单位[袋]单价[12.75]数量[2]金额[25.50]"));
    auto *print = child<QToolButton>(view, QStringLiteral("图形按钮_打印"));
    EXPECT_TRUE(print->toolTip().contains(QStringLiteral("Ctrl+P")));
    // The print dialog is modal: it is read and cancelled from inside its own loop.
    QString dialogTitle;
    QTimer::singleShot(200, [&dialogTitle] {
        if (QWidget *dialog = QApplication::activeModalWidget()) {
            dialogTitle = dialog->windowTitle();
            dialog->close();
        }
    });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::ControlModifier);
    processPending();
    EXPECT_EQ(dialogTitle, QStringLiteral("打印发货单"));
    WindowRegistry::close(WindowId::OrderViewing);
}

TEST_F(KeyboardTest, EnterInASearchOrPageBoxLeavesTheCaretThere)
{
    signIn(true);
    activate(main);
    main->navigate(NavColumn::Supplier, 2);
    auto *keyword = child<QLineEdit>(main, QStringLiteral("编辑框_商品管理_搜索"));
    keyword->setFocus();
    typeText(keyword, QStringLiteral("水"));
    requests.clear();
    QTest::keyClick(keyword, Qt::Key_Return);
    EXPECT_EQ(requests.texts().size(), 1);
    EXPECT_FALSE(keyword->isEnabled()); // the guard against a second search
    ASSERT_TRUE(waitFor([keyword] { return keyword->isEnabled(); }, 2000));
    processPending();
    EXPECT_EQ(QApplication::focusWidget(), keyword);
    typeText(keyword, QStringLiteral("果"));
    EXPECT_EQ(keyword->text(), QStringLiteral("水果"));

    auto *page = child<QLineEdit>(main, QStringLiteral("编辑框_商品_页"));
    page->setFocus();
    page->selectAll();
    QTest::keyClicks(page, QStringLiteral("2"));
    QTest::keyClick(page, Qt::Key_Return);
    ASSERT_TRUE(waitFor([page] { return page->isEnabled(); }, 2000));
    processPending();
    EXPECT_EQ(QApplication::focusWidget(), page);

    // Gone elsewhere meanwhile: the focus is not taken back.
    QTest::keyClick(keyword, Qt::Key_Return);
    auto *next = child<QPushButton>(main, QStringLiteral("按钮_商品_下一页"));
    next->setFocus();
    ASSERT_TRUE(waitFor([keyword] { return keyword->isEnabled(); }, 2000));
    processPending();
    EXPECT_EQ(QApplication::focusWidget(), next);
}

TEST_F(KeyboardTest, TheUserMenuGoesWithEscAndItsItemsWithTheArrowsAndEnter)
{
    signIn(true);
    activate(main);
    main->toggleUserMenu();
    QWidget *menu = WindowRegistry::get(WindowId::UserMenu);
    ASSERT_NE(menu, nullptr);
    activate(menu);
    auto *first = child<QPushButton>(menu, QStringLiteral("超级按钮_基本设置"));
    first->setFocus();
    QTest::keyClick(first, Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), child<QPushButton>(menu, QStringLiteral("超级按钮_修改密码")));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    EXPECT_EQ(QApplication::focusWidget(), first);
    QTest::keyClick(first, Qt::Key_Escape);
    processPending();
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::UserMenu));

    // Enter on an item picks it.
    main->toggleUserMenu();
    menu = WindowRegistry::get(WindowId::UserMenu);
    ASSERT_NE(menu, nullptr);
    activate(menu);
    auto *password = child<QPushButton>(menu, QStringLiteral("超级按钮_修改密码"));
    password->setFocus();
    QTest::keyClick(password, Qt::Key_Return);
    processPending();
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::UserMenu));
    EXPECT_TRUE(WindowRegistry::isLoaded(WindowId::ChangePassword));
    WindowRegistry::close(WindowId::ChangePassword);
}

TEST_F(KeyboardTest, TheSupplierDropDownIsBrowsedWithTheArrowsPickedWithEnterAndLeftWithEsc)
{
    signIn(false);
    activate(main);
    main->navigate(NavColumn::Purchaser, 2);
    processPending();
    auto *arrow = child<QPushButton>(main, QStringLiteral("超级按钮_供应商列表_搜索"));
    auto *label = child<QLabel>(main, QStringLiteral("透明标签_供应商列表"));
    const QString none = label->text();
    const QString partners = QStringLiteral(
        "基础通讯_返回合作商列表/下拉菜单|合计页数[1]当前页数[1]列标详情_列信息[ID_0_0]"
        "列标详情_列信息[公司名称_180_0]数据详情_ID[5]公司名称[远航贸易]数据详情_ID[6]公司名称[东方食品]");

    arrow->click();
    auto *dropDown = WindowRegistry::as<SupplierDropDown>(WindowId::SupplierDropDown);
    ASSERT_NE(dropDown, nullptr);
    activate(dropDown);
    deliver(partners);
    QTreeWidget *list = dropDown->list();
    list->setFocus();
    requests.clear();
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(list, Qt::Key_Down);
    processPending();
    ASSERT_TRUE(WindowRegistry::isLoaded(WindowId::SupplierDropDown)) << "an arrow key picked a row";
    EXPECT_EQ(list->currentItem()->text(1), QStringLiteral("东方食品"));
    QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Return);
    processPending();
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::SupplierDropDown));
    EXPECT_EQ(label->text(), QStringLiteral("远航贸易"));
    EXPECT_EQ(main->purchaserGoodsPage()->chosenSupplier(), 5);
    EXPECT_EQ(requests.texts().size(), 1); // one pick, one query

    // Esc leaves without a pick and hands the focus back to the arrow.
    arrow->click();
    dropDown = WindowRegistry::as<SupplierDropDown>(WindowId::SupplierDropDown);
    ASSERT_NE(dropDown, nullptr);
    activate(dropDown);
    deliver(partners);
    requests.clear();
    QTest::keyClick(child<QLineEdit>(dropDown, QStringLiteral("编辑框_供应商_搜索")), Qt::Key_Escape);
    processPending();
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::SupplierDropDown));
    EXPECT_EQ(label->text(), QStringLiteral("远航贸易"));
    EXPECT_TRUE(requests.texts().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), arrow);
    EXPECT_NE(none, label->text());
}

TEST_F(KeyboardTest, EnterOnAListRowOpensItAsADoubleClickDoes)
{
    signIn(true);
    activate(main);
    QList<QString> viewed;
    setOrderViewerOpener([&viewed](QWidget *) { viewed << viewedOrderId(); });
    deliver(
        QStringLiteral("基础通讯_返回订单列表|合计页数[1]当前页数[1]列标详情_列信息[ID_0_0]"
                       "列标详情_列信息[订单状态_80_1]列标详情_列信息[订单号_120_1]"
                       "数据详情_ID[7]订单状态[待发货]订单号[DD7]数据详情_ID[8]订单状态[已发货]订单号[DD8]"));
    QTreeWidget *list = main->orderPage()->list();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down); // the first row
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(viewed, QList<QString>{QStringLiteral("8")});

    // Greyed rows wait for a new reply: nothing to open.
    child<QTabWidget>(main, QStringLiteral("高级选择夹_订单管理"))->setCurrentIndex(1);
    list->setCurrentItem(list->topLevelItem(0));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(viewed.size(), 1);
    setOrderViewerOpener({});
}
