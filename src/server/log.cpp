#include "server/log.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace vantrell::server {

namespace {

std::mutex g_mutex;
std::function<void(std::string_view)> g_sink;
std::atomic<int> g_level{static_cast<int>(LogLevel::Info)};

std::string_view levelName(LogLevel level)
{
    switch (level) {
    case LogLevel::Debug:
        return "debug";
    case LogLevel::Info:
        return "info";
    case LogLevel::Warn:
        return "warn";
    case LogLevel::Error:
        return "error";
    }
    return "info";
}

// Request names come off the wire: a peer must not be able to forge log lines or
// smuggle long texts through them.
bool printable(std::string_view text)
{
    if (text.size() > 80)
        return false;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F || c == '"' || c == '\\')
            return false;
    }
    return true;
}

void appendQuoted(std::string &line, std::string_view key, std::string_view value)
{
    line += ' ';
    line += key;
    line += "=\"";
    line += value;
    line += '"';
}

std::string timeStamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(millis));
    return text;
}

} // namespace

std::string formatLogRecord(const LogRecord &record)
{
    std::string line(levelName(record.level));
    line += ' ';
    line += record.event;
    if (record.connection != 0) {
        line += " conn=";
        line += std::to_string(record.connection);
    }
    if (!record.request.empty())
        appendQuoted(line, "request", printable(record.request) ? record.request : "(unreadable)");
    if (!record.reason.empty())
        appendQuoted(line, "reason", printable(record.reason) ? record.reason : "(unreadable)");
    return line;
}

void logEvent(const LogRecord &record)
{
    if (static_cast<int>(record.level) < g_level.load(std::memory_order_relaxed))
        return;
    std::string line = timeStamp();
    line += ' ';
    line += formatLogRecord(record);
    std::lock_guard lock(g_mutex);
    if (g_sink) {
        g_sink(line);
        return;
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

void logEvent(LogLevel level, std::string_view event, std::uint64_t connection, std::string_view request,
              std::string_view reason)
{
    logEvent(LogRecord{level, event, connection, request, reason});
}

void setLogLevel(LogLevel level)
{
    g_level.store(static_cast<int>(level), std::memory_order_relaxed);
}

void setLogSink(std::function<void(std::string_view line)> sink)
{
    std::lock_guard lock(g_mutex);
    g_sink = std::move(sink);
}

} // namespace vantrell::server
