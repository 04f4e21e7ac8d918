#pragma once

// One structured line per event on stderr:
//   2026-12-08T22:40:01.123Z warn refused conn=12 request="基础通讯_下单" reason="not logged in"
// Never pass secrets, addresses or message text: only names, ids and fixed reasons.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vantrell::server {

enum class LogLevel
{
    Debug,
    Info,
    Warn,
    Error
};

struct LogRecord
{
    LogLevel level = LogLevel::Info;
    std::string_view event;
    std::uint64_t connection = 0; // 0: not about one connection
    std::string_view request;     // request name, UTF-8; replaced when unprintable
    std::string_view reason;
};

void logEvent(const LogRecord &record);
void logEvent(LogLevel level, std::string_view event, std::uint64_t connection = 0,
              std::string_view request = {}, std::string_view reason = {});

// Lines below `level` are dropped (benchmarks and tests with many connections).
void setLogLevel(LogLevel level);
// Replaces stderr as the destination (tests); an empty sink restores stderr.
void setLogSink(std::function<void(std::string_view line)> sink);

// The line as logEvent writes it, without the time stamp.
std::string formatLogRecord(const LogRecord &record);

} // namespace vantrell::server
