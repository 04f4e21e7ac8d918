#include "server/clock.h"

#include <cstdio>
#include <ctime>
#include <mutex>

namespace vantrell::server {

namespace {

std::mutex clockMutex;
std::function<TimePoint()> clockFunction;

std::tm localParts(TimePoint at)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(at);
    std::tm parts{};
    localtime_r(&seconds, &parts);
    return parts;
}

} // namespace

TimePoint now()
{
    std::lock_guard lock(clockMutex);
    return clockFunction ? clockFunction() : std::chrono::system_clock::now();
}

void setClock(std::function<TimePoint()> clock)
{
    std::lock_guard lock(clockMutex);
    clockFunction = std::move(clock);
}

std::string isoTime(TimePoint at)
{
    const std::tm parts = localParts(at);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

std::string isoDate(TimePoint at)
{
    return isoTime(at).substr(0, 10);
}

std::optional<TimePoint> parseIsoTime(std::string_view text)
{
    if (text.size() != 19)
        return std::nullopt;
    std::tm parts{};
    const std::string copy(text);
    char tail = 0;
    if (std::sscanf(copy.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &parts.tm_year, &parts.tm_mon, &parts.tm_mday,
                    &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &tail) != 6)
        return std::nullopt;
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    parts.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&parts);
    if (seconds == static_cast<std::time_t>(-1))
        return std::nullopt;
    return std::chrono::system_clock::from_time_t(seconds);
}

} // namespace vantrell::server
