#include "protocol/scramble.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

namespace {

using namespace vantrell::protocol;

int indexIn(std::string_view alphabet, char c)
{
    return static_cast<int>(alphabet.find(c));
}

TEST(Scramble, KeyAlphabetHasSixtyTwoDistinctCharacters)
{
    const std::string_view alphabet = defaultKeyAlphabet();
    EXPECT_EQ(alphabet.size(), 62u);
    EXPECT_EQ(std::set<char>(alphabet.begin(), alphabet.end()).size(), 62u);
}

TEST(Scramble, EveryByteValueRoundTripsUnderEverySalt)
{
    // Enough draws per byte that all six salts occur with near certainty.
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        for (int i = 0; i < 60; ++i) {
            const std::string scrambled = scramble(one);
            ASSERT_EQ(scrambled.size(), 2u);
            ASSERT_EQ(unscramble(scrambled), one) << "byte " << b << " as " << scrambled;
        }
    }
}

TEST(Scramble, RandomTextsRoundTripWithTwoAlphabetCharactersPerByte)
{
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 200);
    const std::string_view alphabet = defaultKeyAlphabet();
    for (int round = 0; round < 300; ++round) {
        std::string text(static_cast<std::size_t>(length(random)), '\0');
        for (char &c : text) {
            c = static_cast<char>(byte(random));
        }
        const std::string scrambled = scramble(text);
        ASSERT_EQ(scrambled.size(), 2 * text.size());
        ASSERT_EQ(scrambled.find_first_not_of(alphabet), std::string::npos);
        ASSERT_EQ(unscramble(scrambled), text);
    }
}

TEST(Scramble, SaltsAreDrawnFromAllSixValues)
{
    const std::string_view alphabet = defaultKeyAlphabet();
    std::set<int> salts;
    for (int i = 0; i < 600; ++i) {
        const std::string scrambled = scramble("x");
        salts.insert(indexIn(alphabet, scrambled[1]) % 8);
    }
    EXPECT_EQ(salts, (std::set<int>{0, 1, 2, 3, 4, 5}));
}

TEST(Scramble, SameTextScramblesDifferentlyEachTime)
{
    const std::string text = "\xB1\xB1\xBE\xA9\xCA\xD0\xB3\xAF\xD1\xF4\xC7\xF8 88 ";
    EXPECT_NE(scramble(text), scramble(text));
}

TEST(Scramble, EmptyTextScramblesToEmpty)
{
    EXPECT_EQ(scramble(""), "");
    EXPECT_EQ(unscramble(""), "");
}

TEST(Scramble, RejectsTextsThatNoScramblingProduces)
{
    const std::string_view a = defaultKeyAlphabet();
    const auto pair = [&a](int i1, int i2) {
        return std::string{a[i1], a[i2]};
    };
    const std::string valid = scramble("ok");
    ASSERT_EQ(unscramble(valid), "ok");
    // The largest byte: i1 7, i2 4 * 8 + 0 gives 4 * 62 + 7 = 255.
    ASSERT_EQ(unscramble(pair(7, 32)), "\xFF");

    struct Case
    {
        const char *why;
        std::string text;
    };
    const Case cases[] = {
        {"odd length", valid.substr(0, 3)},
        {"one character", valid.substr(0, 1)},
        {"character outside the alphabet", valid.substr(0, 2) + "#" + valid.substr(3)},
        {"space", valid.substr(0, 2) + " " + valid.substr(3)},
        {"salt 6", pair(0, 6)},
        {"salt 7", pair(0, 15)},
        {"byte 256", pair(8, 32)},
        {"byte beyond 255", pair(0, 40)},
        {"bad pair after good ones", valid + pair(61, 61)},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(unscramble(c.text), "") << c.why;
    }
}

TEST(Scramble, WorksWithAnyUsableAlphabetAndRefusesUnusableOnes)
{
    const std::string own = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghijklmnopqrstuvwxyz";
    const std::string text = "\xCA\xD5\xBB\xF5\xB5\xD8\xD6\xB7 1-2";
    const std::string scrambled = scramble(text, own);
    EXPECT_EQ(scrambled.find_first_not_of(own), std::string::npos);
    EXPECT_EQ(unscramble(scrambled, own), text);

    // Too short to hold the second index, or ambiguous: nothing rather than reading past the end.
    for (const std::string &bad :
         {std::string(), std::string("abc"), own.substr(0, 45), own.substr(0, 61) + "A"}) {
        EXPECT_EQ(scramble(text, bad), "") << bad;
        EXPECT_EQ(unscramble(scrambled, bad), "") << bad;
    }
    EXPECT_EQ(unscramble(scramble(text, own.substr(0, 46)), own.substr(0, 46)), text);
}

} // namespace
