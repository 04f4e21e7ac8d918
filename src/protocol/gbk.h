#pragma once

// GBK (code page 936) <-> UTF-8. The wire and the settings file carry GBK; the server
// stores UTF-8 and the client shows QString. Invalid input is reported, never guessed.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vantrell::protocol {

std::optional<std::string> gbkToUtf8(std::string_view gbk);
std::optional<std::string> utf8ToGbk(std::string_view utf8);
bool isValidGbk(std::string_view gbk);
// Byte length of a UTF-8 text once converted to GBK; -1 when it cannot be converted.
long long gbkLength(std::string_view utf8);

// The double-byte rule: a lead byte 81-FE and a trail byte 40-FE other than 7F. A trail
// byte may be an ASCII character such as "[", "]", "|" or "_".
constexpr bool isGbkLeadByte(unsigned char c)
{
    return c >= 0x81 && c <= 0xFE;
}
constexpr bool isGbkTrailByte(unsigned char c)
{
    return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

// Position of the first byte `ascii` that stands for itself rather than being the second
// byte of a double-byte character (any byte after a lead byte is taken as its second);
// npos when there is none.
std::size_t findGbkAscii(std::string_view gbk, char ascii);

// Marker words and keys are written as UTF-8 literals in the code; these give their
// GBK bytes (converted once, cached).
const std::string &gbk(std::string_view utf8Literal);

} // namespace vantrell::protocol
