#pragma once

// Exact decimal amounts as integers: money in fen (2 decimals), weight in grams (3
// decimals of a kilogram). Typed and received texts are parsed digit by digit, never
// through a double, and written back the same way.

#include <optional>
#include <string>
#include <string_view>

namespace vantrell::protocol {

// A non-negative decimal with at most `decimals` fraction digits, scaled to an integer:
// parseScaled("12.5", 2) == 1250, parseScaled("0.25", 3) == 250. Digits only (no sign,
// spaces or exponent), at most 12 before the point; "12." and ".5" are refused.
std::optional<long long> parseScaled(std::string_view text, int decimals);

// As parseScaled, but any number of fraction digits, rounded half up at `decimals`:
// parseRounded("0.30000000000000004", 3) == 300.
std::optional<long long> parseRounded(std::string_view text, int decimals);

// Exactly `decimals` fraction digits: formatFixed(1250, 2) == "12.50", (-5, 2) == "-0.05".
std::string formatFixed(long long value, int decimals);
// Trailing zeros (and a bare point) dropped: formatTrimmed(1500, 3) == "1.5", (2000, 3) == "2".
std::string formatTrimmed(long long value, int decimals);

} // namespace vantrell::protocol
