#include "server/version.h"

#include "protocol/fieldtext.h"
#include "server/handlers.h"

#include <algorithm>
#include <vector>

namespace vantrell::server {

namespace {

constexpr std::size_t kMaxVersionLength = 40;

// Parts without their leading zeros; numbers of any length compare correctly.
std::optional<std::vector<std::string_view>> versionParts(std::string_view text)
{
    if (text.empty() || text.size() > kMaxVersionLength)
        return std::nullopt;
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t dot = text.find('.');
        std::string_view part = text.substr(0, dot);
        if (part.empty())
            return std::nullopt;
        for (char c : part) {
            if (c < '0' || c > '9')
                return std::nullopt;
        }
        while (part.size() > 1 && part.front() == '0')
            part.remove_prefix(1);
        parts.push_back(part);
        if (dot == std::string_view::npos)
            break;
        text.remove_prefix(dot + 1);
    }
    return parts;
}

int comparePart(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

Replies versionCheck(Context &context, const Fields &fields)
{
    const std::string version = fields.value("版本号");
    if (screened(version) && version.size() <= kMaxVersionLength)
        context.session.clientVersion = version;
    if (context.config.minimumVersion.empty())
        return {};
    // The check is advisory: an unreadable version is treated as outdated, so that
    // such a client is pointed at the download rather than left to fail later.
    const auto order = compareVersions(version, context.config.minimumVersion);
    if (order && *order >= 0)
        return {};
    return {reply(protocol::Reply::UpdateFound,
                  protocol::FieldWriter().add("下载地址", context.config.downloadAddress).str())};
}

} // namespace

std::optional<int> compareVersions(std::string_view a, std::string_view b)
{
    const auto left = versionParts(a);
    const auto right = versionParts(b);
    if (!left || !right)
        return std::nullopt;
    const std::size_t count = std::max(left->size(), right->size());
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view x = i < left->size() ? (*left)[i] : std::string_view("0");
        const std::string_view y = i < right->size() ? (*right)[i] : std::string_view("0");
        if (const int c = comparePart(x, y); c != 0)
            return c;
    }
    return 0;
}

void registerConnectionHandlers(HandlerTable &table)
{
    table.add(protocol::Request::VersionCheck, {Who::Anyone, Access::None}, versionCheck);
    // Any frame keeps a connection alive; the answer to a probe needs nothing more.
    table.add(protocol::Request::HeartbeatAnswer, {Who::Anyone, Access::None},
              [](Context &, const Fields &) { return Replies{}; });
}

} // namespace vantrell::server
