#include "server/money.h"

#include "server/handlers.h"

#include <cstdlib>

namespace vantrell::server {

std::string formatFen(long long fen)
{
    const bool negative = fen < 0;
    const unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(fen) : fen;
    std::string text = std::to_string(magnitude / 100);
    const unsigned long long cents = magnitude % 100;
    text += '.';
    text += static_cast<char>('0' + cents / 10);
    text += static_cast<char>('0' + cents % 10);
    return negative ? "-" + text : text;
}

std::optional<long long> parseFen(std::string_view text)
{
    return parseScaled(text, 2);
}

std::string formatKilograms(long long grams)
{
    const bool negative = grams < 0;
    const unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(grams) : grams;
    std::string text = std::to_string(magnitude / 1000);
    unsigned long long rest = magnitude % 1000;
    if (rest != 0) {
        std::string fraction = std::to_string(1000 + rest).substr(1);
        while (fraction.back() == '0')
            fraction.pop_back();
        text += '.' + fraction;
    }
    return negative ? "-" + text : text;
}

std::optional<long long> parseKilogramsRounded(std::string_view text)
{
    const std::size_t dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    const std::string_view fraction =
        dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
    if (whole.empty() || whole.size() > 12 || (dot != std::string_view::npos && fraction.empty()))
        return std::nullopt;
    long long grams = 0;
    for (char c : whole) {
        if (c < '0' || c > '9')
            return std::nullopt;
        grams = grams * 10 + (c - '0');
    }
    int digits = 0;
    bool roundUp = false;
    for (std::size_t i = 0; i < fraction.size(); ++i) {
        const char c = fraction[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        if (i < 3) {
            grams = grams * 10 + (c - '0');
            ++digits;
        } else if (i == 3) {
            roundUp = c >= '5';
        }
    }
    for (; digits < 3; ++digits)
        grams *= 10;
    return grams + (roundUp ? 1 : 0);
}

} // namespace vantrell::server
