#include "protocol/gbk.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using namespace vantrell::protocol;

TEST(Gbk, ConvertsBothWaysWithTheWireBytes)
{
    struct Case
    {
        std::string utf8;
        std::string gbk;
    };
    const Case cases[] = {
        {"", ""},
        {"abc 123", "abc 123"},
        {"啊", "\xB0\xA1"},
        {"　", "\xA1\xA1"}, // full-width space
        {"，", "\xA3\xAC"},
        {"€", "\x80"}, // code page 936 has the euro sign at 0x80
        {"数据详情_", "\xCA\xFD\xBE\xDD\xCF\xEA\xC7\xE9_"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(utf8ToGbk(c.utf8), c.gbk) << c.utf8;
        EXPECT_EQ(gbkToUtf8(c.gbk), c.utf8) << c.utf8;
        EXPECT_TRUE(isValidGbk(c.gbk)) << c.utf8;
        EXPECT_EQ(gbkLength(c.utf8), static_cast<long long>(c.gbk.size())) << c.utf8;
    }
}

TEST(Gbk, ReportsInvalidInputInsteadOfGuessing)
{
    for (const std::string bad : {"\xFF", "\xB0", "ab\xB0", "\x81\x20", "\x80\x80\xFF"}) {
        EXPECT_FALSE(gbkToUtf8(bad).has_value()) << bad;
        EXPECT_FALSE(isValidGbk(bad)) << bad;
    }
    // Overlong, surrogate, cut off, stray continuation, and a character GBK lacks.
    for (const std::string bad : {"\xC0\x80", "\xED\xA0\x80", "\xE4\xB8", "\x80", "x\xF0\x9F\x98\x80"}) {
        EXPECT_FALSE(utf8ToGbk(bad).has_value()) << bad;
        EXPECT_EQ(gbkLength(bad), -1) << bad;
    }
}

TEST(Gbk, ConvertsLongTextsThatGrowOnTheWay)
{
    // Each euro sign grows from one byte to three, well past any first guess of the size.
    std::string gbkText;
    std::string utf8Text;
    for (int i = 0; i < 40000; ++i) {
        gbkText += "\x80\xB0\xA1z";
        utf8Text += "€啊z";
    }
    EXPECT_EQ(gbkToUtf8(gbkText), utf8Text);
    EXPECT_EQ(utf8ToGbk(utf8Text), gbkText);
}

TEST(Gbk, CachesLiteralsAndConvertsOnManyThreads)
{
    const std::string &first = gbk("列标详情_");
    EXPECT_EQ(&first, &gbk("列标详情_"));
    EXPECT_EQ(first, "\xC1\xD0\xB1\xEA\xCF\xEA\xC7\xE9_");
    EXPECT_EQ(gbk("😀"), ""); // cannot be written in GBK

    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 2000; ++i) {
                const std::string word = "合计页数" + std::to_string(i % 50);
                const std::string &cached = gbk(word);
                if (gbkToUtf8(cached) != word || utf8ToGbk(word) != cached) {
                    ++failures[static_cast<std::size_t>(t)];
                }
            }
        });
    }
    for (std::thread &thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

} // namespace
