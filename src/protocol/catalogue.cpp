#include "protocol/catalogue.h"

#include "protocol/fieldtext.h"
#include "protocol/gbk.h"

#include <algorithm>
#include <stdexcept>

namespace vantrell::protocol {

namespace {

struct GbkRequest
{
    std::string name;
    std::vector<std::string> keys;
    std::string marker;
    std::vector<std::string> recordKeys;
};

const std::vector<GbkRequest> &gbkRequests()
{
    static const std::vector<GbkRequest> table = [] {
        std::vector<GbkRequest> rows;
        rows.reserve(kRequests.size());
        for (const RequestEntry &request : kRequests) {
            GbkRequest row;
            row.name = gbk(request.name);
            for (std::string_view key : words(request.keys))
                row.keys.push_back(gbk(key));
            const std::vector<std::string_view> record = words(request.records);
            if (!record.empty()) {
                row.marker = gbk(record.front());
                for (std::size_t i = 1; i < record.size(); ++i)
                    row.recordKeys.push_back(gbk(record[i]));
            }
            rows.push_back(std::move(row));
        }
        return rows;
    }();
    return table;
}

const GbkRequest &gbkRequest(Request id)
{
    return gbkRequests()[static_cast<std::size_t>(id)];
}

bool listHas(std::string_view list, std::string_view word)
{
    const std::vector<std::string_view> all = words(list);
    return std::find(all.begin(), all.end(), word) != all.end();
}

void writePairs(std::string &text, const std::vector<std::string> &keys,
                std::initializer_list<std::string_view> values, std::string_view what)
{
    if (values.size() != keys.size())
        throw std::logic_error("value count differs from the catalogue's keys for " + std::string(what));
    auto value = values.begin();
    for (const std::string &key : keys) {
        text += key;
        text += '[';
        text += *value++;
        text += ']';
    }
}

} // namespace

std::vector<std::string_view> words(std::string_view list)
{
    std::vector<std::string_view> result;
    while (!list.empty()) {
        const std::size_t space = list.find(' ');
        result.push_back(list.substr(0, space));
        if (space == std::string_view::npos)
            break;
        list.remove_prefix(space + 1);
    }
    return result;
}

const RequestEntry *findRequest(std::string_view name)
{
    for (const RequestEntry &request : kRequests) {
        if (request.name == name)
            return &request;
    }
    return nullptr;
}

const ReplyEntry *findReply(std::string_view name)
{
    for (const ReplyEntry &reply : kReplies) {
        if (reply.name == name)
            return &reply;
    }
    return nullptr;
}

bool requestHasKey(Request id, std::string_view key)
{
    const RequestEntry &request = entry(id);
    if (listHas(request.keys, key))
        return true;
    const std::vector<std::string_view> record = words(request.records);
    return record.size() > 1 && std::find(record.begin() + 1, record.end(), key) != record.end();
}

bool replyHasKey(Reply id, std::string_view key)
{
    const ReplyEntry &reply = entry(id);
    if (reply.shape == Shape::List && (key == "合计页数" || key == "当前页数" || key == "列信息"))
        return true;
    const std::vector<std::string_view> keys = words(reply.keys);
    const auto first = reply.shape == Shape::Records && !keys.empty() ? keys.begin() + 1 : keys.begin();
    return std::find(first, keys.end(), key) != keys.end();
}

const std::string &gbkName(Request id)
{
    return gbkRequest(id).name;
}

const std::vector<std::string> &gbkKeys(Request id)
{
    return gbkRequest(id).keys;
}

const std::string &gbkName(Reply id)
{
    return gbk(entry(id).name);
}

std::string requestFields(Request id, std::initializer_list<std::string_view> gbkValues)
{
    std::string text;
    writePairs(text, gbkRequest(id).keys, gbkValues, entry(id).ident);
    return text;
}

std::string requestRecord(Request id, std::initializer_list<std::string_view> gbkValues)
{
    const GbkRequest &request = gbkRequest(id);
    if (request.marker.empty())
        throw std::logic_error("request has no records: " + std::string(entry(id).ident));
    std::string text = request.marker;
    writePairs(text, request.recordKeys, gbkValues, entry(id).ident);
    return text;
}

} // namespace vantrell::protocol
