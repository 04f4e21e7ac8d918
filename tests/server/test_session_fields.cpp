// What handlers get from the request: value lookup, screening, strict numbers, and
// the refusal texts' shape on the wire.

#include "server/handlers.h"
#include "server/log.h"

#include <gtest/gtest.h>

using namespace vantrell::server;

namespace {

TEST(Screening, RefusesDelimitersAndMarkerWordsOnly)
{
    for (const char *bad : {"a[b", "a]b", "a|b", "a,b", "x列标详情_y", "数据详情_", "前列表详情_"})
        EXPECT_FALSE(screened(bad)) << bad;
    for (const char *good : {"", "上海市，浦东新区", "全角［］｜", "详情_", "列表详情", "a_b-c.d@e"})
        EXPECT_TRUE(screened(good)) << good;
    EXPECT_TRUE(allScreened({"甲", "乙"}));
    EXPECT_FALSE(allScreened({"甲", "乙,丙"}));
}

TEST(StrictNumbers, AnythingButPlainDigitsIsRefused)
{
    EXPECT_EQ(parseCount("0"), 0);
    EXPECT_EQ(parseCount("007"), 7);
    EXPECT_EQ(parseCount("999999999999999999"), 999999999999999999LL);
    for (const char *bad : {"", "-1", "+1", " 1", "1 ", "1.0", "1e3", "0x10", "１", "9999999999999999999"})
        EXPECT_FALSE(parseCount(bad).has_value()) << bad;
}

TEST(StrictNumbers, ScaledDecimalsKeepEveryFraction)
{
    struct Case
    {
        const char *text;
        int decimals;
        std::optional<long long> expected;
    };
    const Case cases[] = {{"12.50", 2, 1250},
                          {"12.5", 2, 1250},
                          {"12", 2, 1200},
                          {"0.01", 2, 1},
                          {"0.125", 3, 125},
                          {"3", 3, 3000},
                          {"0", 2, 0},
                          {"12.505", 2, std::nullopt},
                          {"12.", 2, std::nullopt},
                          {".5", 2, std::nullopt},
                          {"-1.00", 2, std::nullopt},
                          {"1,00", 2, std::nullopt},
                          {"1.2.3", 2, std::nullopt},
                          {"1.a", 2, std::nullopt},
                          {"", 2, std::nullopt},
                          {"9999999999999", 2, std::nullopt},
                          {"999999999999.99", 2, 99999999999999}};
    for (const Case &c : cases)
        EXPECT_EQ(parseScaled(c.text, c.decimals), c.expected) << c.text;
}

TEST(FieldAccess, LooksUpScreensAndTrims)
{
    const Fields fields("供应商ID[5]商品ID[7]关键词[　 鲜花 　]地址[a,b]数量[3]空[]");
    EXPECT_EQ(fields.value("ID"), "5"); // the first match wins, as the client reads it
    EXPECT_EQ(fields.count("商品ID"), 7);
    EXPECT_EQ(fields.count("数量"), 3);
    EXPECT_FALSE(fields.count("空").has_value());
    EXPECT_FALSE(fields.count("缺少").has_value());
    EXPECT_EQ(fields.trimmed("关键词"), "鲜花");
    EXPECT_FALSE(fields.clean("地址").has_value());
    EXPECT_FALSE(fields.trimmed("地址").has_value());
    EXPECT_TRUE(fields.has("空"));
    EXPECT_FALSE(fields.has("缺少"));
    EXPECT_EQ(fields.clean("空"), "");
}

TEST(Replies, NoticeAndReplyPayloads)
{
    EXPECT_EQ(notice("请先登陆!"), "提示信息_错误|内容[请先登陆!]");
    EXPECT_EQ(notice("已提交", "信息"), "提示信息_信息|内容[已提交]");
    EXPECT_EQ(reply("发现版本", "下载地址[x]"), "发现版本|下载地址[x]");
    EXPECT_EQ(reply("登陆系统_账号注册成功"), "登陆系统_账号注册成功|");
    // The texts the session sends must survive as values themselves.
    for (std::string_view text :
         {kNotLoggedInText, kUnknownRequestText, kInternalErrorText, kBadEncodingText, kForbiddenCharsText})
        EXPECT_EQ(text.find_first_of("[]|"), std::string_view::npos) << text;
}

TEST(HandlerTableRules, DuplicatesAndEmptyHandlersAreProgrammingErrors)
{
    HandlerTable table;
    table.add("登陆系统_用户登陆", {}, [](Context &, const Fields &) { return Replies{}; });
    EXPECT_THROW(table.add(vantrell::protocol::Request::Login, {},
                           [](Context &, const Fields &) { return Replies{}; }),
                 std::logic_error);
    EXPECT_THROW(table.add("登陆系统_修改密码", {}, Handler{}), std::invalid_argument);
    EXPECT_NE(table.find("登陆系统_用户登陆"), nullptr);
    EXPECT_EQ(table.find("登陆系统_用户"), nullptr);
}

TEST(LogLines, RequestNamesCannotForgeLines)
{
    const std::string line =
        formatLogRecord({LogLevel::Warn, "refused", 7, "a\nwarn forged", "unknown request"});
    EXPECT_EQ(line, "warn refused conn=7 request=\"(unreadable)\" reason=\"unknown request\"");
    EXPECT_EQ(formatLogRecord({LogLevel::Info, "connected", 3, {}, {}}), "info connected conn=3");
    EXPECT_NE(formatLogRecord({LogLevel::Warn, "refused", 1, std::string(200, 'x'), {}}).find("(unreadable)"),
              std::string::npos);
}

} // namespace
