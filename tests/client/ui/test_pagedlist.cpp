// The list filler, the column stretch, cells by caption, the page handlers, the
// click guard, the keyword box and the screening of typed text, on real widgets.

#include "client/core/appstate.h"
#include "client/core/text.h"
#include "client/ui/common/clickguard.h"
#include "client/ui/common/inputrules.h"
#include "client/ui/common/keywordbox.h"
#include "client/ui/common/listfiller.h"
#include "client/ui/common/pagedlist.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"

#include <QElapsedTimer>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace vantrell::client;

namespace {

std::string gbkText(const QString &text)
{
    return toGbkString(text);
}

struct PagedFixture : ::testing::Test
{
    QWidget host;
    QTreeWidget *list = new QTreeWidget(&host);
    QLabel *label = new QLabel(&host);
    QLineEdit *box = new QLineEdit(&host);
    QPushButton *previous = new QPushButton(&host);
    QPushButton *next = new QPushButton(&host);
    QStringList queries;
    PagedList *pager =
        new PagedList(list, label, box, previous, next, [this](const QString &page) { queries << page; });

    PagedFixture()
    {
        makeReportList(list);
        list->resize(600, 300);
    }
};

} // namespace

TEST_F(PagedFixture, FillsColumnsRowsAndPagesFromTheReply)
{
    // The hidden ID column still carries its values; keys of the second record come in
    // another order and the third lacks one.
    pager->fill(
        gbkText(QStringLiteral("合计页数[3]当前页数[2]"
                               "列标详情_列信息[ID_0_0]列标详情_列信息[状态_100_1]列标详情_列信息[名称_200_2]"
                               "数据详情_ID[7]状态[正常]名称[螺丝]"
                               "数据详情_名称[螺母]ID[8]状态[下架]"
                               "数据详情_ID[9]名称[垫片]")));

    EXPECT_EQ(label->text(), QStringLiteral("共 3 页"));
    EXPECT_EQ(box->text(), QStringLiteral("2"));
    EXPECT_EQ(box->cursorPosition(), 1);
    ASSERT_EQ(list->columnCount(), 3);
    EXPECT_TRUE(list->isColumnHidden(0));
    EXPECT_EQ(list->headerItem()->text(2), QStringLiteral("名称"));
    // Two visible columns share the width less the 26 px margin.
    EXPECT_EQ(list->columnWidth(1) + list->columnWidth(2), 600 - 26);
    EXPECT_EQ(list->columnWidth(2) - list->columnWidth(1), 100);

    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("7"));
    EXPECT_EQ(list->topLevelItem(1)->text(0), QStringLiteral("8"));
    EXPECT_EQ(list->topLevelItem(1)->text(1), QStringLiteral("下架"));
    EXPECT_EQ(list->topLevelItem(1)->text(2), QStringLiteral("螺母"));
    EXPECT_EQ(list->topLevelItem(2)->text(1), QString());
    EXPECT_EQ(list->topLevelItem(0)->textAlignment(2) & Qt::AlignRight, Qt::AlignRight);

    EXPECT_EQ(cellByTitle(list, QStringLiteral("名称"), list->topLevelItem(2)), QStringLiteral("垫片"));
    EXPECT_EQ(cellByTitle(list, QStringLiteral("ID"), list->topLevelItem(1)), QStringLiteral("8"));
    EXPECT_EQ(cellByTitle(list, QStringLiteral("库存"), list->topLevelItem(1)), QString());
}

TEST_F(PagedFixture, ReplyWithoutColumnsEmptiesTheListButStillSetsThePager)
{
    pager->fill(gbkText(QStringLiteral("合计页数[1]当前页数[1]列标详情_列信息[ID_0_0]数据详情_ID[1]")));
    ASSERT_EQ(list->topLevelItemCount(), 1);

    pager->fill(gbkText(QStringLiteral("合计页数[4]当前页数[4]数据详情_ID[1]")));
    EXPECT_EQ(list->columnCount(), 0);
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_EQ(label->text(), QStringLiteral("共 4 页"));
    EXPECT_EQ(box->text(), QStringLiteral("4"));

    // Missing page keys leave an empty count and an empty page box; next then moves
    // from the reset page 1 to page 2.
    pager->fill(gbkText(QStringLiteral("列标详情_列信息[名称_80_0]数据详情_名称[a]")));
    EXPECT_EQ(label->text(), QStringLiteral("共  页"));
    EXPECT_EQ(box->text(), QString());
    next->click();
    EXPECT_EQ(queries, QStringList{QStringLiteral("2")});
}

TEST_F(PagedFixture, PreviousAndNextStayAtOrAbovePageOneAndRepeatTheQuery)
{
    box->setText(QStringLiteral("1"));
    previous->click();
    EXPECT_EQ(box->text(), QStringLiteral("1"));
    EXPECT_FALSE(previous->isEnabled()); // guarded against a second click

    box->setText(QStringLiteral("5"));
    QTest::qWait(kClickGuardMs + 50);
    previous->click();
    EXPECT_EQ(box->text(), QStringLiteral("4"));

    for (const QString &odd : {QStringLiteral("0"), QStringLiteral("-3"), QStringLiteral("abc")}) {
        box->setText(odd);
        QTest::qWait(kClickGuardMs + 50);
        next->click();
        EXPECT_EQ(box->text(), QStringLiteral("2")) << odd.toStdString();
    }
    EXPECT_EQ(queries.join(QLatin1Char(',')), QStringLiteral("1,4,2,2,2"));
}

TEST_F(PagedFixture, TypingInThePageBoxResetsLowPagesAndEnterQueries)
{
    box->clear();
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("0"));
    EXPECT_EQ(box->text(), QStringLiteral("1"));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(queries, QStringList{QStringLiteral("1")});
    EXPECT_FALSE(box->isEnabled());

    QTest::qWait(kClickGuardMs + 50);
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("x"));
    EXPECT_EQ(box->text(), QStringLiteral("1"));
    box->setText(QStringLiteral("7"));
    QTest::keyClick(box, Qt::Key_Enter);
    EXPECT_EQ(queries.last(), QStringLiteral("7"));
}

TEST_F(PagedFixture, LenientAndKeylessPageBoxes)
{
    pager->setPageBoxKeys(PagedList::PageBoxKeys::Unchecked);
    box->setText(QStringLiteral("0"));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(queries, QStringList{QStringLiteral("0")});
    EXPECT_TRUE(box->isEnabled());

    pager->setPageBoxKeys(PagedList::PageBoxKeys::Ignored);
    box->setText(QStringLiteral("5"));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(queries.size(), 1);
    next->click(); // the buttons still page
    EXPECT_EQ(queries.last(), QStringLiteral("6"));
}

TEST(ClickGuard, DisablesWithoutBlockingAndEnablesAgain)
{
    QPushButton first, second;
    QElapsedTimer timer;
    timer.start();
    clickGuard({&first, nullptr, &second});
    EXPECT_LT(timer.elapsed(), 100); // no nested wait
    EXPECT_FALSE(first.isEnabled());
    EXPECT_FALSE(second.isEnabled());
    ASSERT_TRUE(vantrell::test::waitFor([&] { return first.isEnabled() && second.isEnabled(); }, 2000));
    EXPECT_GE(timer.elapsed(), kClickGuardMs);

    // A control deleted while guarded is not touched afterwards.
    auto *gone = new QPushButton;
    clickGuard({gone});
    delete gone;
    QTest::qWait(kClickGuardMs + 50);
}

TEST(PageParam, LowOrNonNumericPagesAreSentAsOne)
{
    EXPECT_EQ(pageParam(QStringLiteral("0")), QStringLiteral("1"));
    EXPECT_EQ(pageParam(QStringLiteral("-2")), QStringLiteral("1"));
    EXPECT_EQ(pageParam(QStringLiteral("页")), QStringLiteral("1"));
    EXPECT_EQ(pageParam(QString()), QStringLiteral("1"));
    EXPECT_EQ(pageParam(QStringLiteral("3")), QStringLiteral("3"));
    EXPECT_EQ(leadingInt(QStringLiteral("12页")), 12);
    EXPECT_EQ(leadingInt(QStringLiteral("99999999999")), INT_MAX);
}

TEST_F(PagedFixture, TwoThousandRowsFillWithinASecond)
{
    // A fill costs one lookup per cell in its own record; a reply ten pages long must
    // not take noticeably longer per row than a short one.
    QString reply = QStringLiteral("合计页数[100]当前页数[1]");
    const QStringList captions{QStringLiteral("ID"),   QStringLiteral("状态"), QStringLiteral("订单号"),
                               QStringLiteral("商家"), QStringLiteral("件数"), QStringLiteral("金额"),
                               QStringLiteral("日期"), QStringLiteral("备注")};
    for (const QString &caption : captions)
        reply += QStringLiteral("列标详情_列信息[%1_80_1]").arg(caption);
    for (int row = 0; row < 2000; ++row) {
        reply += QStringLiteral("数据详情_");
        for (const QString &caption : captions)
            reply += QStringLiteral("%1[%2-%3]").arg(caption).arg(row).arg(caption);
    }
    const std::string bytes = gbkText(reply);
    QElapsedTimer timer;
    timer.start();
    pager->fill(bytes);
    const qint64 elapsed = timer.elapsed();
    ASSERT_EQ(list->topLevelItemCount(), 2000);
    EXPECT_EQ(list->topLevelItem(1999)->text(7), QStringLiteral("1999-备注"));
    EXPECT_LT(elapsed, 1000);
    std::printf("filled 2000 rows x 8 columns (%zu bytes) in %lld ms\n", bytes.size(),
                static_cast<long long>(elapsed));
}

TEST(KeywordBox, ShowsThePlaceholderWhileEmptyAndSendsNothingForIt)
{
    QLineEdit box;
    setKeywordPlaceholder(&box);
    EXPECT_EQ(box.placeholderText(), QStringLiteral("请输入关键词"));
    EXPECT_EQ(keywordValue(box.text()), QString());

    // Leaving a box that holds only spaces brings the placeholder back.
    box.setText(QStringLiteral("  　"));
    QFocusEvent out(QEvent::FocusOut);
    QCoreApplication::sendEvent(&box, &out);
    EXPECT_TRUE(box.text().isEmpty());

    // A box given the placeholder itself as text is emptied when entered.
    box.setText(QStringLiteral("请输入关键词"));
    EXPECT_EQ(keywordValue(box.text()), QString());
    QFocusEvent in(QEvent::FocusIn);
    QCoreApplication::sendEvent(&box, &in);
    EXPECT_TRUE(box.text().isEmpty());

    box.setText(QStringLiteral(" 螺丝 "));
    QCoreApplication::sendEvent(&box, &out);
    EXPECT_EQ(keywordValue(box.text()), QStringLiteral("螺丝"));
}

TEST(InputRules, ScreeningRefusesSeparatorsButNotFullWidthPunctuation)
{
    vantrell::test::FakeMessageBoxes boxes;
    appState().appTitle = QStringLiteral("标题");
    EXPECT_TRUE(screenTyped({QStringLiteral("北京，上海"), QStringLiteral("【注】")}));
    EXPECT_TRUE(boxes.shown().isEmpty());
    for (const char *bad : {"北京,上海", "a[b", "a]b", "a|b"}) {
        boxes.clear();
        EXPECT_FALSE(screenTyped({QStringLiteral("ok"), QString::fromUtf8(bad)})) << bad;
        ASSERT_EQ(boxes.shown().size(), 1);
        EXPECT_EQ(boxes.last().text, QStringLiteral("提交失败,不能包含特殊符号! "));
        EXPECT_EQ(boxes.last().style, 16);
        EXPECT_EQ(boxes.last().caption, QStringLiteral("标题"));
    }
}
