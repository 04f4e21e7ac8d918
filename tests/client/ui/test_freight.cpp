// The freight settings window: what its fills send (nothing), what the user's changes
// send (the row that was edited, as plain numbers), and what it refuses.

#include "client/core/appstate.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/freight/freightwindow.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"

#include <QAbstractItemDelegate>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

// Readable failures: texts printed as UTF-8.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

using namespace vantrell::client;
using namespace vantrell::test;

namespace {

const QString kModeRequest = QStringLiteral("基础通讯_读取运费/运费方式|");
const QString kTemplateRequest = QStringLiteral("基础通讯_读取运费模板|");

QString modes(const QString &freight, const QString &charge)
{
    return QStringLiteral("基础通讯_返回读取运费/运费方式|运费方式[%1]计价方式[%2]").arg(freight, charge);
}

QString templateRow(int region, const QString &first, const QString &firstFee, const QString &step,
                    const QString &stepFee)
{
    return QStringLiteral("列表详情_地区索引[%1]条件1[%2]首费[%3]条件2[%4]续费[%5]")
        .arg(region)
        .arg(first, firstFee, step, stepFee);
}

QString rowRequest(int region, const QString &values)
{
    return QStringLiteral("基础通讯_设置运费/运费模版|地区索引[%1]%2").arg(region).arg(values);
}

class FreightWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        appState().appTitle = QStringLiteral("Vantrell供销通");
        appState().profileType = QStringLiteral("供应商");
        registerAllHandlers();
        main = new MainWindow;
        main->show();
        processPending();
        requests.clear();
        child<QPushButton>(main, QStringLiteral("超级按钮_商品管理_授权"))->click();
        window = WindowRegistry::as<FreightWindow>(WindowId::FreightSettings);
        ASSERT_NE(window, nullptr);
        window->show();
        window->activateWindow();
        grid = child<QTableWidget>(window, QStringLiteral("高级表格1"));
    }

    void TearDown() override
    {
        WindowRegistry::close(WindowId::FreightSettings);
        WindowRegistry::close(WindowId::Main);
        processPending();
    }

    void deliver(const QString &payload) { ServerLink::instance().deliver(gbkPayload(payload)); }
    QLineEdit *box(int n) const { return child<QLineEdit>(window, QStringLiteral("编辑框%1").arg(n)); }
    QComboBox *combo(int n) const { return child<QComboBox>(window, QStringLiteral("组合框%1").arg(n)); }
    QString header(int column) const { return grid->horizontalHeaderItem(column)->text(); }
    QStringList rowTexts(int row) const
    {
        QStringList texts;
        for (int column = 0; column < grid->columnCount(); ++column)
            texts << grid->item(row, column)->text();
        return texts;
    }
    // Opens the cell's editor as a double click would and types into it; Enter commits.
    QLineEdit *typeInCell(int row, int column, const QString &text)
    {
        grid->setCurrentCell(row, column);
        grid->editItem(grid->item(row, column));
        auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        if (!editor)
            editor = grid->viewport()->findChild<QLineEdit *>();
        if (editor) {
            editor->selectAll();
            QTest::keyClicks(editor, text);
        }
        return editor;
    }
    void commit(QLineEdit *editor)
    {
        emit grid->itemDelegate()->commitData(editor);
        emit grid->itemDelegate()->closeEditor(editor);
        processPending();
    }
    // Mode reply and full template as the server sends them when the window opens.
    void openWith(const QString &freight, const QString &charge)
    {
        deliver(modes(freight, charge));
        deliver(QStringLiteral("基础通讯_返回运费模板|") +
                templateRow(0, QStringLiteral("1"), QStringLiteral("8"), QStringLiteral("1"),
                            QStringLiteral("2")) +
                templateRow(1, QStringLiteral("0.5"), QStringLiteral("6"), QStringLiteral("0.5"),
                            QStringLiteral("1.5")) +
                templateRow(34, QStringLiteral("2"), QStringLiteral("30"), QStringLiteral("1"),
                            QStringLiteral("15")));
        processPending();
    }

    FakeMessageBoxes boxes;
    TempUserData data;
    RequestRecorder requests;
    ProgramEndRecorder ender;
    MainWindow *main = nullptr;
    FreightWindow *window = nullptr;
    QTableWidget *grid = nullptr;
};

} // namespace

TEST_F(FreightWindowTest, OpeningReadsModesThenTemplateAndFillingSendsNothingElse)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("设置运费"));
    EXPECT_EQ(requests.texts(), QStringList{kModeRequest});
    requests.clear();

    openWith(QStringLiteral("1"), QStringLiteral("0"));
    EXPECT_EQ(requests.texts(), QStringList{kTemplateRequest});
    EXPECT_EQ(combo(1)->currentIndex(), 1);
    EXPECT_EQ(combo(2)->currentIndex(), 0);
    EXPECT_TRUE(combo(2)->isEnabled());
    EXPECT_TRUE(child<QTabWidget>(window, QStringLiteral("高级选择夹1"))->isEnabled());

    ASSERT_EQ(grid->rowCount(), 35);
    ASSERT_EQ(grid->columnCount(), 5);
    EXPECT_EQ(header(0), QStringLiteral("运送到"));
    EXPECT_EQ(header(1), QStringLiteral("首重量(kg)"));
    EXPECT_EQ(header(3), QStringLiteral("续重量(kg)"));
    EXPECT_EQ(rowTexts(1), (QStringList{QStringLiteral("上海"), QStringLiteral("0.5"), QStringLiteral("6"),
                                        QStringLiteral("0.5"), QStringLiteral("1.5")}));
    EXPECT_EQ(rowTexts(34).front(), QStringLiteral("台湾"));
    EXPECT_EQ(rowTexts(34)[2], QStringLiteral("30"));
    // The default row fills the four boxes, never grid row 0.
    EXPECT_EQ(box(1)->text(), QStringLiteral("1"));
    EXPECT_EQ(box(2)->text(), QStringLiteral("8"));
    EXPECT_EQ(box(4)->text(), QStringLiteral("2"));
    EXPECT_NE(grid->item(0, 2)->text(), QStringLiteral("8"));
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("标签4"))->text(), QStringLiteral("kg内"));
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("标签3"))->text(), QStringLiteral("kg，增加运费"));
    for (int column = 0; column < 5; ++column)
        EXPECT_EQ(grid->item(5, column)->textAlignment(), int(Qt::AlignCenter));

    // A reply without records changes nothing; an unknown region index is skipped.
    requests.clear();
    deliver(QStringLiteral("基础通讯_返回运费模板|"));
    deliver(QStringLiteral("基础通讯_返回运费模板|") + templateRow(35, QStringLiteral("9"),
                                                                   QStringLiteral("9"), QStringLiteral("9"),
                                                                   QStringLiteral("9")));
    EXPECT_EQ(rowTexts(34)[2], QStringLiteral("30"));
    EXPECT_EQ(requests.texts(), QStringList());
}

TEST_F(FreightWindowTest, ManualModeDisablesTheTemplateButStillShowsIt)
{
    requests.clear();
    openWith(QStringLiteral("0"), QStringLiteral("1"));
    EXPECT_EQ(requests.texts(), QStringList{kTemplateRequest});
    EXPECT_FALSE(combo(2)->isEnabled());
    EXPECT_FALSE(child<QTabWidget>(window, QStringLiteral("高级选择夹1"))->isEnabled());
    EXPECT_FALSE(child<QTabWidget>(window, QStringLiteral("高级选择夹2"))->isEnabled());
    EXPECT_EQ(header(1), QStringLiteral("首件数(件)"));
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("标签4"))->text(), QStringLiteral("件内"));
    EXPECT_EQ(rowTexts(1)[1], QStringLiteral("0.5"));

    // A mode the window does not know falls back to the first item.
    deliver(modes(QStringLiteral("7"), QStringLiteral("x")));
    EXPECT_EQ(combo(1)->currentIndex(), 0);
    EXPECT_EQ(combo(2)->currentIndex(), 0);
}

TEST_F(FreightWindowTest, ChangingAModeReReadsTheTemplateAndStoresBothModes)
{
    openWith(QStringLiteral("1"), QStringLiteral("0"));
    requests.clear();
    combo(2)->setCurrentIndex(1);
    EXPECT_EQ(
        requests.texts(),
        (QStringList{kTemplateRequest, QStringLiteral("基础通讯_设置运费/运费方式|运费方式[1]计价方式[1]")}));
    EXPECT_EQ(header(1), QStringLiteral("首件数(件)"));
    EXPECT_EQ(header(3), QStringLiteral("续件数(件)"));
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("标签3"))->text(), QStringLiteral("件，增加运费"));
    // The stored numbers are not converted by the switch.
    EXPECT_EQ(rowTexts(1)[1], QStringLiteral("0.5"));

    requests.clear();
    combo(1)->setCurrentIndex(0);
    EXPECT_EQ(
        requests.texts(),
        (QStringList{kTemplateRequest, QStringLiteral("基础通讯_设置运费/运费方式|运费方式[0]计价方式[1]")}));
    EXPECT_FALSE(combo(2)->isEnabled());
}

TEST_F(FreightWindowTest, AGridEditSavesItsOwnRowAsPlainNumbers)
{
    openWith(QStringLiteral("1"), QStringLiteral("0"));
    requests.clear();

    QLineEdit *editor = typeInCell(34, 2, QStringLiteral("12.50"));
    ASSERT_NE(editor, nullptr);
    commit(editor);
    EXPECT_EQ(requests.texts(),
              QStringList{rowRequest(34, QStringLiteral("条件1[2]首费[12.5]条件2[1]续费[15]"))});
    EXPECT_EQ(grid->item(34, 2)->text(), QStringLiteral("12.50"));

    // Letters cannot even be typed; a lone point is refused with a notice and the cell
    // keeps its value.
    requests.clear();
    editor = typeInCell(1, 1, QStringLiteral("abc"));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("0.5"));
    editor->clear();
    QTest::keyClicks(editor, QStringLiteral("."));
    commit(editor);
    EXPECT_TRUE(requests.texts().isEmpty());
    EXPECT_EQ(grid->item(1, 1)->text(), QStringLiteral("0.5"));
    ASSERT_FALSE(boxes.shown().isEmpty());
    EXPECT_EQ(boxes.last().text, QStringLiteral("运费条件必须是0到1000000之间的数!"));

    // More than a million is refused as well.
    boxes.clear();
    editor = typeInCell(1, 4, QStringLiteral("1000000.01"));
    commit(editor);
    EXPECT_TRUE(requests.texts().isEmpty());
    EXPECT_EQ(boxes.shown().size(), 1);

    // An empty cell is a zero; weights keep their grams.
    editor = typeInCell(2, 1, QStringLiteral("0.125"));
    commit(editor);
    EXPECT_EQ(requests.texts(),
              QStringList{rowRequest(2, QStringLiteral("条件1[0.125]首费[0]条件2[0]续费[0]"))});

    // The save goes to the row of the changed cell, not the row the cursor is on.
    requests.clear();
    grid->setCurrentCell(3, 1);
    grid->item(7, 2)->setText(QStringLiteral("4"));
    EXPECT_EQ(requests.texts(), QStringList{rowRequest(7, QStringLiteral("条件1[0]首费[4]条件2[0]续费[0]"))});
}

TEST_F(FreightWindowTest, ByPieceTheQuantityCellsTakeWholeNumbers)
{
    openWith(QStringLiteral("1"), QStringLiteral("1"));
    requests.clear();
    QLineEdit *editor = typeInCell(5, 1, QStringLiteral("3.5"));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("35"));
    commit(editor);
    EXPECT_EQ(requests.texts(),
              QStringList{rowRequest(5, QStringLiteral("条件1[35]首费[0]条件2[0]续费[0]"))});
    // A row holding a weight from before the switch is still saved as it stands.
    requests.clear();
    editor = typeInCell(1, 2, QStringLiteral("7"));
    commit(editor);
    EXPECT_EQ(requests.texts(),
              QStringList{rowRequest(1, QStringLiteral("条件1[0.5]首费[7]条件2[0.5]续费[1.5]"))});
}

TEST_F(FreightWindowTest, LeavingADefaultBoxReformatsItAndSavesTheWholeRow)
{
    openWith(QStringLiteral("1"), QStringLiteral("0"));
    requests.clear();

    box(2)->setFocus();
    box(2)->selectAll();
    QTest::keyClicks(box(2), QStringLiteral("3"));
    box(3)->setFocus(); // leaves 编辑框2
    processPending();
    EXPECT_EQ(box(2)->text(), QStringLiteral("3.00"));
    EXPECT_EQ(requests.texts(), QStringList{rowRequest(0, QStringLiteral("条件1[1]首费[3]条件2[1]续费[2]"))});

    // Weights are shown with one decimal, rounded; at most five characters are typed.
    box(1)->setFocus();
    requests.clear();
    box(1)->selectAll();
    QTest::keyClicks(box(1), QStringLiteral("2.26789"));
    EXPECT_EQ(box(1)->text(), QStringLiteral("2.267"));
    QTest::keyClick(box(1), Qt::Key_Return); // Enter moves on, which leaves the box
    processPending();
    EXPECT_EQ(box(1)->text(), QStringLiteral("2.3"));
    EXPECT_EQ(requests.texts(),
              QStringList{rowRequest(0, QStringLiteral("条件1[2.3]首费[3]条件2[1]续费[2]"))});

    // Leaving without a change saves again; letters never reach the box.
    box(4)->setFocus();
    requests.clear();
    QTest::keyClicks(box(4), QStringLiteral("x"));
    box(1)->setFocus();
    processPending();
    EXPECT_EQ(box(4)->text(), QStringLiteral("2.00"));
    EXPECT_EQ(requests.texts().size(), 1);

    // Closing while a box is being typed in keeps what was typed.
    box(3)->setFocus();
    requests.clear();
    box(3)->selectAll();
    QTest::keyClicks(box(3), QStringLiteral("5"));
    window->close();
    processPending();
    EXPECT_EQ(requests.texts(),
              QStringList{rowRequest(0, QStringLiteral("条件1[2.3]首费[3]条件2[5]续费[2]"))});
    EXPECT_EQ(WindowRegistry::get(WindowId::FreightSettings), nullptr);
}

TEST_F(FreightWindowTest, ALateTemplateDoesNotOverwriteWhatIsBeingTyped)
{
    openWith(QStringLiteral("1"), QStringLiteral("0"));
    box(2)->setFocus();
    box(2)->selectAll();
    QTest::keyClicks(box(2), QStringLiteral("9.5"));
    openWith(QStringLiteral("1"), QStringLiteral("0")); // the re-read after a mode change
    EXPECT_EQ(box(2)->text(), QStringLiteral("9.5"));
    EXPECT_EQ(box(1)->text(), QStringLiteral("1"));
    requests.clear();
    box(3)->setFocus();
    processPending();
    EXPECT_EQ(requests.texts(),
              QStringList{rowRequest(0, QStringLiteral("条件1[1]首费[9.5]条件2[1]续费[2]"))});
}

TEST_F(FreightWindowTest, ByPieceTheDefaultQuantitiesAreWholeNumbers)
{
    openWith(QStringLiteral("1"), QStringLiteral("1"));
    requests.clear();
    box(3)->setFocus();
    box(3)->selectAll();
    QTest::keyClicks(box(3), QStringLiteral("2.6"));
    box(4)->setFocus();
    processPending();
    EXPECT_EQ(box(3)->text(), QStringLiteral("3"));
    EXPECT_EQ(requests.texts(), QStringList{rowRequest(0, QStringLiteral("条件1[1]首费[8]条件2[3]续费[2]"))});
}

TEST_F(FreightWindowTest, RepliesAfterClosingAreIgnored)
{
    window->close();
    processPending();
    openWith(QStringLiteral("1"), QStringLiteral("1"));
    EXPECT_TRUE(boxes.shown().isEmpty());
    EXPECT_EQ(WindowRegistry::get(WindowId::FreightSettings), nullptr);
}

// Not a check: writes the pictures of docs/screenshots when run with
// --gtest_also_run_disabled_tests and VANTRELL_SCREENSHOTS set to the target directory.
TEST_F(FreightWindowTest, DISABLED_Screenshots)
{
    const QString target = qEnvironmentVariable("VANTRELL_SCREENSHOTS");
    ASSERT_FALSE(target.isEmpty());
    deliver(modes(QStringLiteral("1"), QStringLiteral("0")));
    // As the server sends it: every row, the nearby provinces cheaper, the far ones dearer.
    QString rows =
        templateRow(0, QStringLiteral("1"), QStringLiteral("10"), QStringLiteral("1"), QStringLiteral("5"));
    for (int region = 1; region <= 34; ++region) {
        const bool near = region <= 5;
        const bool far = region == 23 || region == 30 || region >= 32;
        rows += near  ? templateRow(region, QStringLiteral("1"), QStringLiteral("6"), QStringLiteral("1"),
                                    QStringLiteral("2"))
                : far ? templateRow(region, QStringLiteral("1"), QStringLiteral("20"), QStringLiteral("0.5"),
                                    QStringLiteral("12.5"))
                      : templateRow(region, QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
                                    QStringLiteral("0"));
    }
    deliver(QStringLiteral("基础通讯_返回运费模板|") + rows);
    processPending();
    EXPECT_TRUE(window->grab().save(target + QStringLiteral("/freight-settings-by-weight.png")));
    combo(2)->setCurrentIndex(1);
    deliver(QStringLiteral("基础通讯_返回运费模板|") + rows);
    grid->scrollToBottom();
    processPending();
    EXPECT_TRUE(window->grab().save(target + QStringLiteral("/freight-settings-by-piece.png")));
    combo(1)->setCurrentIndex(0);
    processPending();
    EXPECT_TRUE(window->grab().save(target + QStringLiteral("/freight-settings-manual.png")));
}
