#include "protocol/decimal.h"

namespace vantrell::protocol {

namespace {

constexpr std::size_t kMaxWholeDigits = 12;

struct Split
{
    std::string_view whole;
    std::string_view fraction;
    bool ok = false;
};

Split split(std::string_view text)
{
    Split parts;
    const std::size_t dot = text.find('.');
    parts.whole = text.substr(0, dot);
    parts.fraction = dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
    parts.ok = !parts.whole.empty() && parts.whole.size() <= kMaxWholeDigits &&
               (dot == std::string_view::npos || !parts.fraction.empty());
    for (std::string_view digits : {parts.whole, parts.fraction}) {
        for (char c : digits) {
            if (c < '0' || c > '9')
                parts.ok = false;
        }
    }
    return parts;
}

long long scaledDigits(const Split &parts, int decimals)
{
    long long value = 0;
    for (char c : parts.whole)
        value = value * 10 + (c - '0');
    for (int i = 0; i < decimals; ++i) {
        const std::size_t at = static_cast<std::size_t>(i);
        value = value * 10 + (at < parts.fraction.size() ? parts.fraction[at] - '0' : 0);
    }
    return value;
}

long long power10(int decimals)
{
    long long scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    return scale;
}

} // namespace

std::optional<long long> parseScaled(std::string_view text, int decimals)
{
    const Split parts = split(text);
    if (!parts.ok || parts.fraction.size() > static_cast<std::size_t>(decimals))
        return std::nullopt;
    return scaledDigits(parts, decimals);
}

std::optional<long long> parseRounded(std::string_view text, int decimals)
{
    const Split parts = split(text);
    if (!parts.ok)
        return std::nullopt;
    const std::size_t kept = static_cast<std::size_t>(decimals);
    const bool roundUp = parts.fraction.size() > kept && parts.fraction[kept] >= '5';
    return scaledDigits(parts, decimals) + (roundUp ? 1 : 0);
}

std::string formatFixed(long long value, int decimals)
{
    const bool negative = value < 0;
    const unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value) : value;
    const unsigned long long scale = static_cast<unsigned long long>(power10(decimals));
    std::string text = std::to_string(magnitude / scale);
    if (decimals > 0) {
        const std::string fraction = std::to_string(scale + magnitude % scale).substr(1);
        text += '.' + fraction;
    }
    return negative ? "-" + text : text;
}

std::string formatTrimmed(long long value, int decimals)
{
    std::string text = formatFixed(value, decimals);
    if (text.find('.') == std::string::npos)
        return text;
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.')
        text.pop_back();
    return text;
}

} // namespace vantrell::protocol
