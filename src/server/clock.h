#pragma once

// The server's notion of "now", replaceable so that tests can move time forward.
// Times are written as local time: dates "YYYY-MM-DD", times "YYYY-MM-DD HH:MM:SS".

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vantrell::server {

using TimePoint = std::chrono::system_clock::time_point;

TimePoint now();
// An empty function restores the system clock.
void setClock(std::function<TimePoint()> clock);

std::string isoTime(TimePoint at);
std::string isoDate(TimePoint at);
std::optional<TimePoint> parseIsoTime(std::string_view text);

} // namespace vantrell::server
