#include "server/handlers.h"

#include "protocol/decimal.h"
#include "protocol/fieldtext.h"
#include "server/db/database.h"

#include <stdexcept>

namespace vantrell::server {

std::string reply(protocol::Reply id, std::string_view fields)
{
    return protocol::makePayload(protocol::entry(id).name, fields);
}

std::string reply(std::string_view name, std::string_view fields)
{
    return protocol::makePayload(name, fields);
}

bool isRefusal(std::string_view payload)
{
    return payload.starts_with("提示信息_错误|");
}

db::Tx &Context::tx() const
{
    if (transaction == nullptr)
        throw std::logic_error("the request's policy opens no transaction");
    return *transaction;
}

std::string notice(std::string_view text, std::string_view kind)
{
    std::string payload = "提示信息_";
    payload += kind;
    payload += "|内容[";
    payload += text;
    payload += ']';
    return payload;
}

bool screened(std::string_view text)
{
    if (!protocol::isClean(text))
        return false;
    for (std::string_view marker : {protocol::kColumnMarker, protocol::kDataMarker, protocol::kListMarker}) {
        if (text.find(marker) != std::string_view::npos)
            return false;
    }
    return true;
}

bool allScreened(std::initializer_list<std::string_view> texts)
{
    for (std::string_view text : texts) {
        if (!screened(text))
            return false;
    }
    return true;
}

std::optional<long long> parseCount(std::string_view text)
{
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<long long> parseScaled(std::string_view text, int decimals)
{
    return protocol::parseScaled(text, decimals);
}

namespace {

// UTF-8 spelling of the full-width space U+3000.
constexpr std::string_view kFullWidthSpace = "\xE3\x80\x80";

std::string_view trimUtf8(std::string_view text)
{
    for (;;) {
        if (!text.empty() && text.front() == ' ')
            text.remove_prefix(1);
        else if (text.starts_with(kFullWidthSpace))
            text.remove_prefix(kFullWidthSpace.size());
        else
            break;
    }
    for (;;) {
        if (!text.empty() && text.back() == ' ')
            text.remove_suffix(1);
        else if (text.ends_with(kFullWidthSpace))
            text.remove_suffix(kFullWidthSpace.size());
        else
            break;
    }
    return text;
}

} // namespace

void Fields::checkKey(std::string_view key) const
{
    if (m_request && !protocol::requestHasKey(*m_request, key))
        throw std::logic_error(std::string("key ") + std::string(key) + " is not a key of " +
                               std::string(protocol::entry(*m_request).ident));
}

std::string Fields::value(std::string_view key) const
{
    checkKey(key);
    return protocol::valueOf(m_text, key);
}

std::optional<std::string> Fields::clean(std::string_view key) const
{
    std::string text = value(key);
    if (!screened(text))
        return std::nullopt;
    return text;
}

std::optional<std::string> Fields::trimmed(std::string_view key) const
{
    const std::string text = value(key);
    if (!screened(text))
        return std::nullopt;
    return std::string(trimUtf8(text));
}

std::optional<long long> Fields::count(std::string_view key) const
{
    return parseCount(value(key));
}

std::optional<long long> Fields::scaled(std::string_view key, int decimals) const
{
    return parseScaled(value(key), decimals);
}

bool Fields::has(std::string_view key) const
{
    checkKey(key);
    if (key.empty())
        return false;
    std::string probe(key);
    probe += '[';
    return m_text.find(probe) != std::string_view::npos;
}

void HandlerTable::add(protocol::Request request, Policy policy, Handler handler)
{
    const std::string name(protocol::entry(request).name);
    if (!handler)
        throw std::invalid_argument("empty handler for " + name);
    if (!m_routes.emplace(name, Route{name, request, policy, std::move(handler)}).second)
        throw std::logic_error("handler registered twice: " + name);
}

void HandlerTable::add(std::string name, Policy policy, Handler handler)
{
    if (const protocol::RequestEntry *known = protocol::findRequest(name)) {
        add(known->id, policy, std::move(handler));
        return;
    }
    if (!handler)
        throw std::invalid_argument("empty handler for " + name);
    if (!m_routes.emplace(name, Route{name, std::nullopt, policy, std::move(handler)}).second)
        throw std::logic_error("handler registered twice: " + name);
}

const Route *HandlerTable::find(std::string_view name) const
{
    const auto it = m_routes.find(std::string(name));
    return it == m_routes.end() ? nullptr : &it->second;
}

void HandlerTable::verifyAgainstCatalogue() const
{
    for (const protocol::RequestEntry &request : protocol::kRequests) {
        const bool served = request.served == protocol::Served::Yes;
        const bool handled = find(request.name) != nullptr;
        if (served && !handled)
            throw std::logic_error("no handler for the served request " + std::string(request.name));
        if (!served && handled)
            throw std::logic_error("a handler for " + std::string(request.name) +
                                   ", which the catalogue does not mark served");
    }
    for (const auto &[name, route] : m_routes) {
        if (!route.request)
            throw std::logic_error("a handler for " + name + ", which is not in the catalogue");
    }
}

} // namespace vantrell::server
