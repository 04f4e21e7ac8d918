// The goods editing window in its three modes, the rules of its boxes and what a
// submit sends, and the goods page actions that open it.

#include "client/core/appstate.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/goods/goodseditor.h"
#include "client/ui/goods/goodspage.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace vantrell::client;
using namespace vantrell::test;

namespace {

const QString kGoodsInfo = QStringLiteral(
    "基础通讯_返回商品基本信息|商品分类名称[饮料]商品分类列表[3,饮料|5,零食|]商品名称[矿泉水550ml]"
    "商品编码[SP-001]商品规格[24瓶/箱]商品单价[36.5]商品重量[13.2]商品库存[120]库存单位[箱]");

class GoodsEditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        AppState &state = appState();
        state.appTitle = QStringLiteral("Vantrell供销通");
        state.currentUserName = QStringLiteral("supplier");
        state.profileType = QStringLiteral("供应商");
        registerAllHandlers();
        main = new MainWindow;
        main->show();
        processPending();
        requests.clear();
    }

    void TearDown() override
    {
        WindowRegistry::close(WindowId::GoodsEditing);
        WindowRegistry::close(WindowId::Main);
        processPending();
    }

    void deliver(const QString &payload) { ServerLink::instance().deliver(gbkPayload(payload)); }

    GoodsEditor *open(GoodsEditor::Mode mode, int id)
    {
        openGoodsEditor(main, mode, id);
        auto *editor = WindowRegistry::as<GoodsEditor>(WindowId::GoodsEditing);
        EXPECT_NE(editor, nullptr);
        return editor;
    }

    QLineEdit *box(GoodsEditor *editor, const char *name)
    {
        return child<QLineEdit>(editor, QString::fromUtf8(name));
    }
    QPushButton *action(GoodsEditor *editor)
    {
        return child<QPushButton>(editor, QStringLiteral("超级按钮_增加编辑商品"));
    }
    // Fills a valid add form; each case then spoils one field.
    void fillValid(GoodsEditor *editor)
    {
        box(editor, "编辑框_商品名称")->setText(QStringLiteral("苏打水"));
        box(editor, "编辑框_商品单价")->setText(QStringLiteral("12.5元"));
        box(editor, "编辑框_商品重量")->setText(QStringLiteral("1.5千克"));
        box(editor, "编辑框_商品库存")->setText(QStringLiteral("30"));
        box(editor, "编辑框_商品编码")->clear();
        child<QComboBox>(editor, QStringLiteral("组合框_单位"))->setEditText(QStringLiteral("个"));
    }

    FakeMessageBoxes boxes;
    TempUserData data;
    RequestRecorder requests;
    ProgramEndRecorder ender;
    MainWindow *main = nullptr;
};

} // namespace

TEST_F(GoodsEditorTest, AddModeAsksForCategoriesAndSendsExactDecimals)
{
    GoodsEditor *editor = open(GoodsEditor::Mode::Add, 0);
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_获取商品基本信息/分类列表|")});
    EXPECT_EQ(child<QLabel>(editor, QStringLiteral("透明标签8"))->text(), QStringLiteral("增加商品"));
    EXPECT_EQ(action(editor)->text(), QStringLiteral("提交"));
    EXPECT_EQ(box(editor, "编辑框_商品单价")->text(), QStringLiteral("0元"));
    EXPECT_EQ(box(editor, "编辑框_商品重量")->text(), QStringLiteral("0千克"));
    auto *unit = child<QComboBox>(editor, QStringLiteral("组合框_单位"));
    EXPECT_EQ(unit->currentText(), QStringLiteral("个"));
    EXPECT_EQ(unit->count(), 5);

    deliver(QStringLiteral("基础通讯_返回商品基本信息/分类列表|3,饮料|5,零食|,空名|"));
    auto *category = child<QComboBox>(editor, QStringLiteral("组合框_分类"));
    ASSERT_EQ(category->count(), 2); // an entry without its ID is left out
    EXPECT_EQ(category->itemData(1).toInt(), 5);
    EXPECT_EQ(category->currentText(), QStringLiteral("设置商品分类..."));
    requests.clear();

    fillValid(editor);
    action(editor)->click();
    // The placeholder sends no category; the price keeps both decimals, the weight none
    // beyond what was typed; adding sends an empty goods ID.
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_增加编辑商品|商品ID[]商品名称[苏打水]商品编码[]商品规格[]"
                                         "商品单价[12.50]商品重量[1.5]商品库存[30]商品单位[个]商品分类[]")});
    EXPECT_TRUE(boxes.shown().isEmpty());

    // A category typed by hand is sent as typed (a new one is created by the server).
    requests.clear();
    QTest::qWait(400); // the click guard
    category->setEditText(QStringLiteral(" 矿泉水 "));
    action(editor)->click();
    ASSERT_EQ(requests.texts().size(), 1);
    EXPECT_TRUE(requests.texts().first().endsWith(QStringLiteral("商品分类[矿泉水]")));

    deliver(QStringLiteral("基础通讯_增加商品成功|"));
    processPending();
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::GoodsEditing));
    EXPECT_EQ(boxes.last().text, QStringLiteral("商品增加成功!"));
    EXPECT_EQ(boxes.last().caption, QStringLiteral("提示"));
    EXPECT_TRUE(requests.texts().last().startsWith(
        QStringLiteral("基础通讯_供应商查询商品列表|关键词[]查询页数[1]")));
}

TEST_F(GoodsEditorTest, SubmitRefusesShortNamesMissingAmountsAndGarbage)
{
    GoodsEditor *editor = open(GoodsEditor::Mode::Add, 0);
    requests.clear();
    struct Case
    {
        const char *field;
        QString text;
        QString message;
    };
    const QList<Case> cases = {
        {"编辑框_商品名称", QStringLiteral("abc"), QStringLiteral("商品名称长度必须超过4个字符!")},
        {"编辑框_商品单价", QStringLiteral("0元"), QStringLiteral("请填写商品单价!")},
        {"编辑框_商品单价", QStringLiteral("-1"), QStringLiteral("请填写商品单价!")},
        {"编辑框_商品单价", QString(), QStringLiteral("请填写商品单价!")},
        {"编辑框_商品单价", QStringLiteral("1.2.3"), QStringLiteral("商品单价必须是数字,例如 12.50!")},
        {"编辑框_商品单价", QStringLiteral("abc"), QStringLiteral("商品单价必须是数字,例如 12.50!")},
        {"编辑框_商品单价", QStringLiteral("1.234元"), QStringLiteral("商品单价最多两位小数!")},
        {"编辑框_商品库存", QStringLiteral("0"), QStringLiteral("请填写商品库存!")},
        {"编辑框_商品库存", QStringLiteral("1.5"), QStringLiteral("商品库存必须是整数!")},
        {"编辑框_商品库存", QStringLiteral("十"), QStringLiteral("商品库存必须是数字!")},
        {"编辑框_商品重量", QStringLiteral("1.2.3千克"),
         QStringLiteral("商品重量必须是不小于0的数字,最多三位小数!")},
        {"编辑框_商品重量", QStringLiteral("0.0001"),
         QStringLiteral("商品重量必须是不小于0的数字,最多三位小数!")},
    };
    for (const Case &c : cases) {
        fillValid(editor);
        QLineEdit *field = box(editor, c.field);
        field->setText(c.text);
        boxes.clear();
        action(editor)->click();
        EXPECT_EQ(boxes.last().text, c.message) << c.field << " " << c.text.toStdString();
        EXPECT_EQ(boxes.last().caption, QStringLiteral("增加商品"));
        EXPECT_EQ(editor->focusWidget(), field) << c.field;
    }
    fillValid(editor);
    child<QComboBox>(editor, QStringLiteral("组合框_单位"))->setEditText(QStringLiteral("x"));
    action(editor)->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("请填写单位!"));
    // Forbidden characters stop the submit as well.
    fillValid(editor);
    box(editor, "编辑框_商品编码")->setText(QStringLiteral("A|B"));
    action(editor)->click();
    EXPECT_TRUE(requests.texts().isEmpty()) << requests.texts().join(QLatin1Char('\n')).toStdString();

    // Two Chinese characters are four bytes and pass; so do four letters.
    for (const QString &name : {QStringLiteral("苏打"), QStringLiteral("abcd")}) {
        fillValid(editor);
        box(editor, "编辑框_商品名称")->setText(name);
        QTest::qWait(400);
        action(editor)->click();
    }
    EXPECT_EQ(requests.texts().size(), 2);
}

TEST_F(GoodsEditorTest, AmountBoxesNormaliseOnLeavingAndStep)
{
    GoodsEditor *editor = open(GoodsEditor::Mode::Add, 0);
    QLineEdit *price = box(editor, "编辑框_商品单价");
    QLineEdit *weight = box(editor, "编辑框_商品重量");
    QLineEdit *name = box(editor, "编辑框_商品名称");
    // The offscreen window is never active, so focus changes are delivered by hand.
    const auto focus = [](QLineEdit *field, QEvent::Type type) {
        QFocusEvent event(type, Qt::TabFocusReason);
        QCoreApplication::sendEvent(field, &event);
    };
    const auto typeAndLeave = [&](QLineEdit *field, const QString &text) {
        focus(field, QEvent::FocusIn);
        field->selectAll();
        typeText(field, text);
        focus(field, QEvent::FocusOut);
        return field->text();
    };
    focus(price, QEvent::FocusIn);
    EXPECT_EQ(price->text(), QStringLiteral("0")); // the unit goes while typing
    EXPECT_EQ(typeAndLeave(weight, QStringLiteral("-2")), QStringLiteral("0千克"));
    EXPECT_EQ(typeAndLeave(weight, QStringLiteral("1.23456")), QStringLiteral("1.235千克"));
    EXPECT_EQ(typeAndLeave(price, QStringLiteral("12.345")), QStringLiteral("12.35元"));
    // A text that is no number stays as typed, for the submit to refuse.
    EXPECT_EQ(typeAndLeave(price, QStringLiteral("1.2.3")), QStringLiteral("1.2.3元"));

    price->setText(QStringLiteral("12.35元"));
    child<QToolButton>(editor, QStringLiteral("按钮_商品单价_加"))->click();
    EXPECT_EQ(price->text(), QStringLiteral("13.35元"));
    price->setText(QStringLiteral("0.5元"));
    child<QToolButton>(editor, QStringLiteral("按钮_商品单价_减"))->click();
    EXPECT_EQ(price->text(), QStringLiteral("0元"));
    weight->setText(QStringLiteral("1.5千克"));
    child<QToolButton>(editor, QStringLiteral("按钮_商品重量_加"))->click();
    EXPECT_EQ(weight->text(), QStringLiteral("1.501千克"));
    EXPECT_EQ(weight->cursorPosition(), weight->text().size());

    // Enter moves through the fields in order.
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(editor->focusWidget(), box(editor, "编辑框_商品编码"));
    QTest::keyClick(box(editor, "编辑框_商品编码"), Qt::Key_Return);
    QTest::keyClick(box(editor, "编辑框_商品规格"), Qt::Key_Return);
    EXPECT_EQ(editor->focusWidget(), price);
}

TEST_F(GoodsEditorTest, EditModeWaitsForTheGoodsAndSendsItsId)
{
    GoodsEditor *editor = open(GoodsEditor::Mode::Edit, 42);
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_获取商品基本信息|商品ID[42]")});
    EXPECT_EQ(child<QLabel>(editor, QStringLiteral("透明标签8"))->text(), QStringLiteral("编辑商品"));
    EXPECT_EQ(action(editor)->text(), QStringLiteral("保存"));
    EXPECT_FALSE(action(editor)->isEnabled());
    requests.clear();

    deliver(kGoodsInfo);
    EXPECT_TRUE(action(editor)->isEnabled());
    EXPECT_EQ(box(editor, "编辑框_商品单价")->text(), QStringLiteral("36.5元"));
    EXPECT_EQ(box(editor, "编辑框_商品重量")->text(), QStringLiteral("13.2千克"));
    EXPECT_EQ(child<QComboBox>(editor, QStringLiteral("组合框_单位"))->currentText(), QStringLiteral("箱"));
    auto *category = child<QComboBox>(editor, QStringLiteral("组合框_分类"));
    EXPECT_EQ(category->count(), 2);
    EXPECT_EQ(category->currentText(), QStringLiteral("饮料"));
    QLineEdit *name = box(editor, "编辑框_商品名称");
    EXPECT_EQ(name->cursorPosition(), name->text().size());
    EXPECT_TRUE(requests.texts().isEmpty()); // filling sends nothing

    action(editor)->click();
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral(
                  "基础通讯_增加编辑商品|商品ID[42]商品名称[矿泉水550ml]商品编码[SP-001]商品规格[24瓶/箱]"
                  "商品单价[36.50]商品重量[13.2]商品库存[120]商品单位[箱]商品分类[饮料]")});

    // Edited goods keep the list on its page.
    main->findChild<QLineEdit *>(QStringLiteral("编辑框_商品_页"))->setText(QStringLiteral("3"));
    requests.clear();
    deliver(QStringLiteral("基础通讯_编辑商品成功|"));
    processPending();
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::GoodsEditing));
    EXPECT_EQ(boxes.last().text, QStringLiteral("商品编辑成功!"));
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_供应商查询商品列表|关键词[]查询页数[3]商品状态[1]")});
}

TEST_F(GoodsEditorTest, ViewModeIsReadOnlyAndItsButtonCloses)
{
    GoodsEditor *editor = open(GoodsEditor::Mode::View, 7);
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_获取商品基本信息|商品ID[7]")});
    EXPECT_EQ(child<QLabel>(editor, QStringLiteral("透明标签8"))->text(), QStringLiteral("查看"));
    EXPECT_TRUE(action(editor)->isEnabled());
    deliver(kGoodsInfo);
    for (const char *name : {"编辑框_商品名称", "编辑框_商品单价", "编辑框_商品库存"})
        EXPECT_FALSE(box(editor, name)->isEnabled()) << name;
    EXPECT_FALSE(child<QComboBox>(editor, QStringLiteral("组合框_分类"))->isEnabled());
    requests.clear();
    action(editor)->click();
    processPending();
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::GoodsEditing));
    EXPECT_TRUE(requests.texts().isEmpty());
    // A reply for a window that is gone does nothing.
    deliver(kGoodsInfo);
}

TEST_F(GoodsEditorTest, GoodsPageActionsNeedASelectedRow)
{
    main->navigate(NavColumn::Supplier, 2);
    processPending();
    deliver(QStringLiteral("基础通讯_返回供应商查询商品列表|合计页数[1]当前页数[1]列标详情_列信息[ID_0_0]"
                           "列标详情_列信息[状态_50_1]"
                           "列标详情_列信息[商品名称_140_0]数据详情_ID[9]状态[正常]商品名称[矿泉水]"));
    auto *list = main->findChild<QTreeWidget *>(QStringLiteral("超级列表框_商品"));
    ASSERT_EQ(list->topLevelItemCount(), 1);
    requests.clear();

    for (const char *button : {"超级按钮_商品管理_编辑", "超级按钮_商品管理_下架上架"}) {
        boxes.clear();
        main->findChild<QPushButton *>(QString::fromUtf8(button))->click();
        EXPECT_EQ(boxes.last().text, QStringLiteral("请先选中一个商品!")) << button;
        EXPECT_EQ(boxes.last().caption, QStringLiteral("Vantrell供销通"));
    }
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::GoodsEditing));
    EXPECT_TRUE(requests.texts().isEmpty());

    list->setCurrentItem(list->topLevelItem(0));
    main->findChild<QPushButton *>(QStringLiteral("超级按钮_商品管理_下架上架"))->click();
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_商品上架下架|商品ID[9]类型[下架]")});
    requests.clear();
    deliver(QStringLiteral("基础通讯_商品上架下架成功|"));
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_供应商查询商品列表|关键词[]查询页数[1]商品状态[1]")});

    requests.clear();
    main->findChild<QPushButton *>(QStringLiteral("超级按钮_商品管理_编辑"))->click();
    auto *editor = WindowRegistry::as<GoodsEditor>(WindowId::GoodsEditing);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->mode(), GoodsEditor::Mode::Edit);
    EXPECT_EQ(editor->goodsId(), 9);
}
