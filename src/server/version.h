#pragma once

#include <optional>
#include <string_view>

namespace vantrell::server {

// Compares dotted numeric versions part by part; missing parts count as 0, so "1.2"
// equals "1.2.0". Negative, zero or positive as a is below, equal to or above b;
// nullopt when either is not a dotted numeric version.
std::optional<int> compareVersions(std::string_view a, std::string_view b);

} // namespace vantrell::server
