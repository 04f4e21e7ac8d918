#pragma once

// Money is kept in fen (hundredths of a yuan) and written with two decimals.

#include <optional>
#include <string>
#include <string_view>

namespace vantrell::server {

// 1250 -> "12.50", -5 -> "-0.05".
std::string formatFen(long long fen);
// Grams written as kilograms with up to three decimals, trailing zeros dropped: 1500 -> "1.5".
std::string formatKilograms(long long grams);

// A decimal text of kilograms to whole grams, rounding half up from the fourth decimal:
// "0.30000000000000004" -> 300. Digits only, at most 12 before the point; else nullopt.
std::optional<long long> parseKilogramsRounded(std::string_view text);

} // namespace vantrell::server
