#include "protocol/listreply.h"

#include "protocol/gbk.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace vantrell::protocol;

ListReply parseUtf8(std::string_view utf8)
{
    const auto wire = utf8ToGbk(utf8);
    EXPECT_TRUE(wire.has_value());
    return parseListReply(wire.value_or(std::string()));
}

std::string toUtf8(const std::string &gbkText)
{
    return gbkToUtf8(gbkText).value_or("<invalid>");
}

TEST(ListReply, FillsColumnsAndCellsByCaptionIncludingHiddenOnes)
{
    const ListReply reply = parseUtf8("合计页数[3]当前页数[2]"
                                      "列标详情_列信息[商品名称_200_0]"
                                      "列标详情_列信息[ID_0_0]"
                                      "列标详情_列信息[单价_80_2]"
                                      "数据详情_商品名称[苹果]ID[17]单价[3.50]"
                                      "数据详情_单价[1.00]ID[18]商品名称[梨]" // keys in another order
                                      "数据详情_ID[19]");                     // cells it lacks stay empty
    EXPECT_EQ(reply.pageCount, "3");
    EXPECT_EQ(reply.currentPage, "2");
    ASSERT_TRUE(reply.hasColumns);
    ASSERT_EQ(reply.columns.size(), 3u);
    EXPECT_EQ(toUtf8(reply.columns[0].caption), "商品名称");
    EXPECT_EQ(reply.columns[0].width, 200);
    EXPECT_EQ(reply.columns[1].width, 0);
    EXPECT_EQ(reply.columns[2].alignment, 2);
    ASSERT_EQ(reply.rows.size(), 3u);
    EXPECT_EQ(toUtf8(reply.rows[0][0]), "苹果");
    EXPECT_EQ(reply.rows[0][1], "17");
    EXPECT_EQ(toUtf8(reply.rows[1][0]), "梨");
    EXPECT_EQ(reply.rows[1][1], "18");
    EXPECT_EQ(reply.rows[1][2], "1.00");
    EXPECT_EQ(reply.rows[2], (std::vector<std::string>{"", "19", ""}));
}

TEST(ListReply, CaptionThatEndsAnotherFindsTheFirstMatchingKey)
{
    const ListReply reply = parseUtf8("列标详情_列信息[名称_100_0]数据详情_商品名称[苹果]名称[果品]");
    ASSERT_EQ(reply.rows.size(), 1u);
    EXPECT_EQ(toUtf8(reply.rows[0][0]), "苹果");
}

TEST(ListReply, MissingPartsLeaveTheirPartsEmpty)
{
    ListReply reply = parseUtf8("当前页数[1]数据详情_ID[1]");
    EXPECT_FALSE(reply.hasColumns);
    EXPECT_TRUE(reply.columns.empty());
    EXPECT_TRUE(reply.rows.empty()); // rows are read only under columns
    EXPECT_EQ(reply.pageCount, "");
    EXPECT_EQ(reply.currentPage, "1");

    reply = parseUtf8("列标详情_列信息[ID_0]列标详情_列信息[]");
    ASSERT_TRUE(reply.hasColumns);
    ASSERT_EQ(reply.columns.size(), 2u);
    EXPECT_EQ(reply.columns[1].caption, "");
    EXPECT_TRUE(reply.rows.empty());
    EXPECT_EQ(reply.pageCount, "");

    // Page keys are found anywhere, even behind the records.
    reply = parseUtf8("列标详情_列信息[ID_10_1]数据详情_ID[4]合计页数[9]");
    EXPECT_EQ(reply.pageCount, "9");
    EXPECT_EQ(reply.rows.at(0).at(0), "4");

    EXPECT_FALSE(parseListReply("").hasColumns);
}

TEST(ListReply, WidthAndAlignmentAreReadAsLenientIntegers)
{
    struct Case
    {
        const char *text;
        int width;
        int alignment;
    };
    const Case cases[] = {
        {"120_1", 120, 1},           {"_", 0, 0},     {"abc_def", 0, 0},         {"120px_2x", 120, 2},
        {" 80_ 1", 80, 1},           {"1.9_0", 1, 0}, {"+7_+2", 7, 2},           {"-5_-1", 0, 0},
        {"99999999999_3", 32767, 0}, {"", 0, 0},      {"60_99999999999", 60, 0},
    };
    for (const Case &c : cases) {
        const ListReply reply = parseUtf8(std::string("列标详情_列信息[名称_") + c.text + "]");
        ASSERT_EQ(reply.columns.size(), 1u) << c.text;
        EXPECT_EQ(reply.columns[0].width, c.width) << c.text;
        EXPECT_EQ(reply.columns[0].alignment, c.alignment) << c.text;
    }
}

TEST(ListReply, BuilderWritesTheReplyTheParserReads)
{
    ListReplyBuilder builder;
    builder.pages(3, 2).extra("合作类型", "1").column("订单号", 120).column("ID", 0).column("金额", 80, 2);
    builder.row({"D001", "5", "12.50"}).row({"D002"});
    const std::string text = builder.str();
    EXPECT_EQ(text, "合计页数[3]当前页数[2]合作类型[1]"
                    "列标详情_列信息[订单号_120_0]列标详情_列信息[ID_0_0]列标详情_列信息[金额_80_2]"
                    "数据详情_订单号[D001]ID[5]金额[12.50]数据详情_订单号[D002]ID[]金额[]");

    const ListReply reply = parseUtf8(text);
    EXPECT_EQ(reply.pageCount, "3");
    EXPECT_EQ(reply.currentPage, "2");
    ASSERT_EQ(reply.columns.size(), 3u);
    EXPECT_EQ(toUtf8(reply.columns[0].caption), "订单号");
    EXPECT_EQ(reply.columns[0].width, 120);
    EXPECT_EQ(reply.columns[2].alignment, 2);
    ASSERT_EQ(reply.rows.size(), 2u);
    EXPECT_EQ(reply.rows[0], (std::vector<std::string>{"D001", "5", "12.50"}));
    EXPECT_EQ(reply.rows[1], (std::vector<std::string>{"D002", "", ""}));
}

TEST(ListReply, ReadsALongReplyCompletely)
{
    ListReplyBuilder builder;
    builder.pages(40, 1).column("商品名称", 200).column("ID", 0).column("库存", 60, 2);
    for (int i = 0; i < 800; ++i) {
        builder.row({"商品" + std::to_string(i), std::to_string(1000 + i), std::to_string(i * 3)});
    }
    const auto wire = utf8ToGbk(builder.str());
    ASSERT_TRUE(wire.has_value());
    ASSERT_GT(wire->size(), 30000u);
    const ListReply reply = parseListReply(*wire);
    ASSERT_EQ(reply.rows.size(), 800u);
    EXPECT_EQ(toUtf8(reply.rows[799][0]), "商品799");
    EXPECT_EQ(reply.rows[799][1], "1799");
    EXPECT_EQ(reply.rows[250][2], "750");
}

} // namespace
