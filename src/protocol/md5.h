#pragma once

#include <string>
#include <string_view>

namespace vantrell::protocol {

// MD5 (RFC 1321) of the bytes, as 32 lowercase hexadecimal digits.
std::string md5Hex(std::string_view bytes);

} // namespace vantrell::protocol
