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

} // namespace vantrell::server
