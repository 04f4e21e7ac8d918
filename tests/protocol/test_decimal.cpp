#include "protocol/decimal.h"

#include <gtest/gtest.h>

namespace vantrell::protocol {
namespace {

TEST(Decimal, ParsesTypedAmountsExactly)
{
    EXPECT_EQ(parseScaled("12.5", 2), 1250);
    EXPECT_EQ(parseScaled("0.01", 2), 1);
    EXPECT_EQ(parseScaled("7", 3), 7000);
    EXPECT_EQ(parseScaled("999999999999.99", 2), 99999999999999);
    for (const char *bad :
         {"", "1.2.3", "abc", "-1", "1.234", "12.", ".5", " 1", "1e3", "1,5", "1234567890123"})
        EXPECT_FALSE(parseScaled(bad, 2)) << bad;
    EXPECT_EQ(parseRounded("0.30000000000000004", 3), 300);
    EXPECT_EQ(parseRounded("0.0005", 3), 1);
    EXPECT_EQ(parseRounded("0.0004999", 3), 0);
    EXPECT_FALSE(parseRounded("1.", 3));
}

TEST(Decimal, WritesFixedAndTrimmedText)
{
    EXPECT_EQ(formatFixed(1250, 2), "12.50");
    EXPECT_EQ(formatFixed(-5, 2), "-0.05");
    EXPECT_EQ(formatFixed(0, 2), "0.00");
    EXPECT_EQ(formatFixed(42, 0), "42");
    EXPECT_EQ(formatTrimmed(1500, 3), "1.5");
    EXPECT_EQ(formatTrimmed(2000, 3), "2");
    EXPECT_EQ(formatTrimmed(1, 3), "0.001");
    for (long long value : {0LL, 1LL, 99LL, 100LL, 123456789LL})
        EXPECT_EQ(parseScaled(formatFixed(value, 2), 2), value);
}

} // namespace
} // namespace vantrell::protocol
