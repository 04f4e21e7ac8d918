// The list filler reads its rows with a quick lookup of its own and converts GBK through
// a table; both must read every cell exactly as the field text's reader does. And at the
// sizes the main window allows, no column caption is cut.

#include "client/core/text.h"
#include "client/ui/common/listfiller.h"
#include "client/ui/common/stateicons.h"
#include "protocol/listreply.h"
#include "support/client/clienttestenv.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace vantrell::client;

namespace {

std::string gbk(const char *utf8)
{
    return toGbkString(QString::fromUtf8(utf8));
}

// Cell by cell, what the field text's reader finds, converted as one cell is converted.
void expectFilledAsRead(const std::string &reply, const char *name)
{
    QTreeWidget list;
    makeReportList(&list);
    list.resize(600, 300);
    fillList(&list, reply);
    const vantrell::protocol::ListReply read = vantrell::protocol::parseListReply(reply);
    ASSERT_EQ(list.columnCount(), int(read.columns.size())) << name;
    ASSERT_EQ(list.topLevelItemCount(), int(read.rows.size())) << name;
    for (int row = 0; row < list.topLevelItemCount(); ++row) {
        for (int column = 0; column < list.columnCount(); ++column) {
            EXPECT_EQ(list.topLevelItem(row)->text(column), fromGbk(read.rows[size_t(row)][size_t(column)]))
                << name << " row " << row << " column " << column;
        }
    }
}

} // namespace

TEST(ListFiller, ReadsEveryCellAsTheFieldTextReaderDoes)
{
    const std::string head = gbk("合计页数[1]当前页数[1]列标详情_列信息[ID_0_0]列标详情_列信息[名称_80_0]"
                                 "列标详情_列信息[商品名称_80_1]列标详情_列信息[单价_60_2]");
    const std::string lone = std::string("\xB0", 1);     // a lead byte without its second byte
    const std::string bracket = std::string("\xB0]", 2); // 癩: its second byte is "]"
    struct Case
    {
        const char *name;
        std::string reply;
    };
    const std::vector<Case> cases = {
        {"in order", head + gbk("数据详情_ID[1]名称[螺丝]商品名称[不锈钢螺丝]单价[0.50]")},
        // 名称 ends 商品名称: the first key that ends in 名称[ wins, wherever it stands.
        {"caption ending another", head + gbk("数据详情_商品名称[螺母]ID[2]名称[短]单价[1]")},
        {"missing and empty", head + gbk("数据详情_ID[3]单价[]数据详情_名称[垫片]")},
        {"key inside a value", head + gbk("数据详情_ID[4]名称[单价[9]单价[2.00]")},
        {"a second key before the bracket closes", head + gbk("数据详情_ID[5]名称[甲名称[乙]单价[1]")},
        {"unclosed last value", head + gbk("数据详情_ID[6]名称[甲]数据详情_ID[7]名称[未完")},
        {"second byte is a bracket", head + gbk("数据详情_ID[8]名称[") + bracket + gbk("子]单价[3]")},
        {"lone lead byte", head + gbk("数据详情_ID[9]名称[") + lone + gbk("]单价[") + "\x80" + "]"},
        // The head alone cannot tell these: the whole reply is read.
        {"page keys after the rows",
         gbk("列标详情_列信息[ID_0_0]列标详情_列信息[名称_80_0]数据详情_ID[1]名称[甲]"
             "合计页数[2]当前页数[2]")},
        {"column after the rows", head + gbk("数据详情_ID[1]名称[甲]列标详情_列信息[单位_40_0]单位[个]")},
        {"caption with a bracket",
         gbk("合计页数[1]当前页数[1]列标详情_列信息[ID_0_0]列标详情_列信息[a[b_80_0]"
             "数据详情_ID[1]b[y]a[b[x]")},
        {"repeated texts",
         head + gbk("数据详情_ID[1]名称[正常]数据详情_ID[2]名称[正常]数据详情_ID[3]名称[下架]"
                    "数据详情_ID[4]名称[正常]")},
    };
    for (const Case &c : cases)
        expectFilledAsRead(c.reply, c.name);
}

TEST(ListFiller, NarrowListsKeepEveryCaptionAndTheStatePictures)
{
    // Nine visible columns of the server's widths in a list 585 pixels wide, as the
    // purchaser's goods list is at 800 x 600.
    vantrell::protocol::ListReplyBuilder builder;
    builder.pages(1, 1)
        .column("ID", 0)
        .column("状态", 45, 1)
        .column("商品编码", 70)
        .column("商品分类", 70)
        .column("商品名称", 110)
        .column("商品规格", 70)
        .column("商品单价", 70, 2)
        .column("商品重量", 70, 2)
        .column("商品库存", 70, 2)
        .column("供应商", 120);
    builder.row({"1", "正常", "QH-1001", "粮油米面", "东北有机大米", "5kg/袋", "68.00", "5", "320",
                 "青禾食品有限公司"});
    QTreeWidget list;
    makeReportList(&list);
    list.resize(585, 300);
    fillList(&list, toGbkString(QString::fromStdString(builder.str())));
    setStateIcons(&list, 1, {QStringLiteral("正常")}, {dotIcon(Qt::green)});
    restretchColumns(&list);

    int sum = 0;
    for (int column = 1; column < list.columnCount(); ++column) {
        EXPECT_GE(list.columnWidth(column), list.header()->sectionSizeHint(column)) << column;
        sum += list.columnWidth(column);
    }
    EXPECT_LE(sum, 585 - 26);
    // The state keeps its picture and its text; the long texts give way first.
    const int state = list.columnWidth(1);
    const QFontMetrics metrics = list.fontMetrics();
    EXPECT_GE(state, metrics.horizontalAdvance(QStringLiteral("正常")) + list.iconSize().width());
    EXPECT_LT(list.columnWidth(9), 120);

    // Wide enough, every column gets the same share as before.
    list.resize(1200, 300);
    restretchColumns(&list);
    EXPECT_EQ(list.columnWidth(4) - list.columnWidth(2), 110 - 70);
}
