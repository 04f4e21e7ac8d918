#include "protocol/fieldtext.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using namespace vantrell::protocol;

// The lookup spelled out step by step, joined texts and all.
std::string referenceValueOf(const std::string &text, const std::string &key)
{
    if (key.empty()) {
        return {};
    }
    const std::string pattern = key + "[";
    const std::string joined = text + "[" + pattern + pattern;
    const std::size_t first = joined.find(pattern);
    const std::size_t second = joined.find(pattern, first + pattern.size());
    const std::string piece = joined.substr(first + pattern.size(), second - first - pattern.size()) + "]]";
    return piece.substr(0, piece.find(']'));
}

std::vector<std::string> referenceSplit(const std::string &text, const std::string &separator)
{
    std::vector<std::string> pieces;
    std::size_t pos = 0;
    for (std::size_t found; (found = text.find(separator, pos)) != std::string::npos;
         pos = found + separator.size()) {
        pieces.push_back(text.substr(pos, found - pos));
    }
    pieces.push_back(text.substr(pos));
    return pieces;
}

std::string referenceFieldPick(const std::string &text, const std::string &sep, int n, const std::string &end)
{
    const auto pieces = referenceSplit(text + sep + sep + sep + sep + sep, sep);
    if (n < 1 || n > static_cast<int>(pieces.size())) {
        return {};
    }
    const std::string piece = pieces[static_cast<std::size_t>(n - 1)];
    return end.empty() ? piece : referenceSplit(piece + end + end, end).front();
}

std::string randomText(std::mt19937 &random, std::string_view letters, int maxLength)
{
    std::uniform_int_distribution<int> length(0, maxLength);
    std::uniform_int_distribution<std::size_t> letter(0, letters.size() - 1);
    std::string text(static_cast<std::size_t>(length(random)), ' ');
    for (char &c : text) {
        c = letters[letter(random)];
    }
    return text;
}

TEST(ValueOf, ReadsValuesTheWayTheListsAndRepliesNeed)
{
    struct Case
    {
        const char *text;
        const char *key;
        const char *expected;
    };
    const Case cases[] = {
        {"商品ID[7]数量[3]", "数量", "3"},
        {"供应商ID[5]商品ID[7]", "ID", "5"}, // the first match wins, whichever key it ends
        {"供应商ID[5]商品ID[7]", "商品ID", "7"},
        {"商品ID[7]数量[3]", "单价", ""},
        {"商品ID[]数量[3]", "商品ID", ""},
        {"商品ID[7]", "", ""},
        {"", "商品ID", ""},
        {"备注[北京，上海]", "备注", "北京，上海"},
        {"用户名[abc]密码[0cc175b9]", "密码", "0cc175b9"},
        {"数量 [3]数量[4]", "数量", "4"}, // the bracket must follow the key directly
        {"a[1]b[2", "b", "2["},           // an unclosed last value runs into the appended tail
        {"ID[ab ID[c]", "ID", "ab "},     // a second key ends the value before any "]"
        {"xyzID", "ID", ""},              // the key at the very end with no bracket
        {"ID[abID", "ID", "ab"},          // the key straddling the end of the text
    };
    for (const Case &c : cases) {
        EXPECT_EQ(valueOf(c.text, c.key), c.expected) << c.text << " / " << c.key;
    }
}

TEST(ValueOf, AgreesWithTheStepByStepLookupOnArbitraryTexts)
{
    std::mt19937 random(7);
    const std::vector<std::string> keys = {"a", "ab", "ba", "a[", "[", "]", "a]", "aa", "abab", "[a"};
    for (int round = 0; round < 20000; ++round) {
        const std::string text = randomText(random, "ab[]", 14);
        const std::string &key = keys[static_cast<std::size_t>(round) % keys.size()];
        ASSERT_EQ(valueOf(text, key), referenceValueOf(text, key)) << text << " / " << key;
    }
}

TEST(FieldPick, PicksPiecesLikeTheColumnDescription)
{
    struct Case
    {
        const char *text;
        const char *separator;
        int n;
        const char *end;
        const char *expected;
    };
    const Case cases[] = {
        {"名称_120", "_", 1, "", "名称"}, {"名称_120", "_", 2, "", "120"},
        {"名称_120", "_", 3, "", ""},     {"名称_120_2", "_", 3, "", "2"},
        {"名称_120", "_", 6, "", ""}, // the five appended separators give piece 6 too
        {"名称_120", "_", 7, "", ""},     {"名称_120", "_", 0, "", ""},
        {"名称_120", "_", -3, "", ""},    {"", "_", 1, "", ""},
        {"a__b", "_", 3, "", "b"},        {"k=v;x=y", ";", 2, "=", "x"},
        {"k=v;x=y", ";", 2, "", "x=y"},   {"ab--cd--ef", "--", 3, "", "ef"},
        {"whole", "", 1, "", "whole"},    {"whole", "", 2, "", ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(fieldPick(c.text, c.separator, c.n, c.end), c.expected)
            << c.text << " / " << c.separator << " / " << c.n;
    }
}

TEST(FieldPick, AgreesWithTheStepByStepPickOnArbitraryTexts)
{
    std::mt19937 random(11);
    const std::vector<std::string> separators = {"_", "a", "aa", "ab", "aba"};
    const std::vector<std::string> ends = {"", "a", "b", "aa", "ba"};
    for (int round = 0; round < 20000; ++round) {
        const std::string text = randomText(random, "ab_", 12);
        const std::string &sep = separators[static_cast<std::size_t>(round) % separators.size()];
        const std::string &end = ends[static_cast<std::size_t>(round / 5) % ends.size()];
        const int n = round % 9 - 1;
        ASSERT_EQ(fieldPick(text, sep, n, end), referenceFieldPick(text, sep, n, end))
            << text << " / " << sep << " / " << n << " / " << end;
    }
}

TEST(Screening, RefusesOnlyTheCharactersThatBreakAFieldText)
{
    EXPECT_TRUE(isClean("北京，上海"));
    EXPECT_FALSE(isClean("北京,上海"));
    EXPECT_TRUE(isClean("【备注】｜全角"));
    for (const char *bad : {"a[b", "a]b", "a|b", "a,b", "[", "]"}) {
        EXPECT_FALSE(isClean(bad)) << bad;
    }
    // A GBK character whose second byte is "[" is refused on its bytes.
    EXPECT_FALSE(isClean("\x81\x5B"));
    EXPECT_TRUE(isClean(""));

    EXPECT_TRUE(allClean({"张三", "13800000000", "", "北京市"}));
    EXPECT_FALSE(allClean({"张三", "138", "", "", "", "", "", "", "", "朝阳区,"}));
}

TEST(SplitRecords, DropsTheHeadAndKeepsEveryRecord)
{
    const std::string text = "合计页数[1]数据详情_ID[1]数据详情_数据详情_ID[3]";
    const auto records = splitRecords(text, "数据详情_");
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0], "ID[1]");
    EXPECT_EQ(records[1], "");
    EXPECT_EQ(records[2], "ID[3]");

    EXPECT_TRUE(splitRecords("合计页数[1]", "数据详情_").empty());
    EXPECT_TRUE(splitRecords(text, "").empty());
    EXPECT_EQ(splitRecords("数据详情_", "数据详情_"), std::vector<std::string_view>{""});
}

TEST(TrimText, RemovesWholeSpacesOnlyFromBothEnds)
{
    struct Case
    {
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"  abc  ", "abc"},
        {"   ", ""},
        {"", ""},
        {"a b", "a b"},
        {"\xA1\xA1"
         "abc\xA1\xA1",
         "abc"},
        {" \xA1\xA1 \xB0\xA1 \xA1\xA1 ", "\xB0\xA1"},
        {"\xA1\xA1\xA1\xA1", ""},
        {"abc\xA1", "abc\xA1"},                           // a lone A1 is no full-width space
        {"\xB0\xA1\xA1\xA1", "\xB0\xA1"},                 // 啊 then a full-width space
        {"\xB0\xA1\xA1", "\xB0\xA1\xA1"},                 // 啊 then a lone A1
        {"x\xA1\xA1\xA1", "x\xA1\xA1\xA1"},               // space then lone A1: the end is no space
        {"\xC4\xA1\xA1\xA1\xA1", "\xC4\xA1\xA1\xA1\xA1"}, // C4 A1, a space, then a lone A1
        {"\t x \t", "\t x \t"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(trimText(c.text), c.expected) << c.text;
    }
}

TEST(FieldWriter, WritesPairsAndRecordsThatReadBack)
{
    FieldWriter writer;
    writer.add("供应商ID", 5).add("收货地址", "abc").add("余额", -12);
    writer.record("数据详情_").add("商品ID", 7).add("数量", 3);
    writer.record("数据详情_").add("商品ID", 9).add("数量", 1);
    const std::string text = writer.str();
    EXPECT_EQ(text, "供应商ID[5]收货地址[abc]余额[-12]数据详情_商品ID[7]数量[3]数据详情_商品ID[9]数量[1]");
    EXPECT_EQ(valueOf(text, "余额"), "-12");
    const auto lines = splitRecords(text, "数据详情_");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(valueOf(lines[1], "商品ID"), "9");
    EXPECT_EQ(FieldWriter().raw("心跳").add("n", 0).str(), "心跳n[0]");
}

TEST(Payload, SplitsAtTheFirstBar)
{
    const std::string payload = makePayload("登陆系统_用户登陆", "用户名[abc]");
    EXPECT_EQ(payload, "登陆系统_用户登陆|用户名[abc]");
    Payload split = splitPayload(payload);
    EXPECT_EQ(split.name, "登陆系统_用户登陆");
    EXPECT_EQ(split.fields, "用户名[abc]");

    const std::string heartbeat = makePayload("心跳包", "");
    split = splitPayload(heartbeat);
    EXPECT_EQ(split.name, "心跳包");
    EXPECT_EQ(split.fields, "");

    split = splitPayload("a|b|c");
    EXPECT_EQ(split.name, "a");
    EXPECT_EQ(split.fields, "b|c");

    split = splitPayload("no bar[1]");
    EXPECT_EQ(split.name, "");
    EXPECT_EQ(split.fields, "no bar[1]");
}

} // namespace
