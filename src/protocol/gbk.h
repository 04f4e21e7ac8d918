#pragma once

// GBK (code page 936) <-> UTF-8. The wire and the settings file carry GBK; the server
// stores UTF-8 and the client shows QString. Invalid input is reported, never guessed.

#include <optional>
#include <string>
#include <string_view>

namespace vantrell::protocol {

std::optional<std::string> gbkToUtf8(std::string_view gbk);
std::optional<std::string> utf8ToGbk(std::string_view utf8);
bool isValidGbk(std::string_view gbk);
// Byte length of a UTF-8 text once converted to GBK; -1 when it cannot be converted.
long long gbkLength(std::string_view utf8);

// Marker words and keys are written as UTF-8 literals in the code; these give their
// GBK bytes (converted once, cached).
const std::string &gbk(std::string_view utf8Literal);

} // namespace vantrell::protocol
