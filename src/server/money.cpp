#include "server/money.h"

#include "protocol/decimal.h"

namespace vantrell::server {

std::string formatFen(long long fen)
{
    return protocol::formatFixed(fen, 2);
}

std::string formatKilograms(long long grams)
{
    return protocol::formatTrimmed(grams, 3);
}

std::optional<long long> parseKilogramsRounded(std::string_view text)
{
    return protocol::parseRounded(text, 3);
}

} // namespace vantrell::server
