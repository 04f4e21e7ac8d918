#pragma once

// Requests are handled by plain functions of (context, request fields) that return the
// replies to send. A table maps request names to handlers.
//
// Inside the server every text is UTF-8: the session converts the request from GBK
// (after screening the GBK bytes) and converts each reply back to GBK when it sends.

#include "server/config.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vantrell::server {

class Storage;

enum class Role
{
    None = 0,
    Purchaser = 1,
    Supplier = 2
};

// Per-connection state.
struct SessionState
{
    std::int64_t accountId = 0; // 0: not logged in
    Role role = Role::None;
    std::string userName;
    std::string clientVersion;
    std::int64_t currentDistributor = 0; // chosen in the goods authorisation list
    bool loggedIn() const { return accountId != 0; }
};

struct Context
{
    SessionState &session;
    Storage &storage;
    const Config &config;
};

// A reply payload in UTF-8: name + "|" + field text.
using Replies = std::vector<std::string>;

// `fields` is the UTF-8 field text of the request.
using Handler = std::function<Replies(Context &, std::string_view fields)>;

// Reply helpers.
std::string reply(std::string_view name, std::string_view fields = {});
// "提示信息_错误|内容[...]" (or 信息 / 询问).
std::string notice(std::string_view text, std::string_view kind = "错误");

// Texts of the refusals the session itself sends.
inline constexpr std::string_view kNotLoggedInText = "请先登陆!";
inline constexpr std::string_view kUnknownRequestText = "未知的请求!";
inline constexpr std::string_view kInternalErrorText = "服务器内部错误,请稍后再试!";
inline constexpr std::string_view kBadEncodingText = "请求包含无法识别的字符!";
inline constexpr std::string_view kForbiddenCharsText = "提交失败,不能包含特殊符号!";

// True when `text` may be stored or echoed: none of "[", "]", "|", "," and none of the
// marker words. Full-width punctuation passes.
bool screened(std::string_view text);
bool allScreened(std::initializer_list<std::string_view> texts);

// Strict decimal parsing of request values: digits only (no sign, spaces or exponent),
// at most 18 of them. Anything else is nullopt, never zero.
std::optional<long long> parseCount(std::string_view text);
// A non-negative decimal with at most `decimals` fraction digits, scaled to an integer:
// parseScaled("12.5", 2) == 1250 (fen), parseScaled("0.25", 3) == 250 (grams).
std::optional<long long> parseScaled(std::string_view text, int decimals);

// Read access to a request's UTF-8 field text.
class Fields
{
public:
    explicit Fields(std::string_view text) : m_text(text) {}

    // Value lookup: the first key + "[" wins; empty when absent.
    std::string value(std::string_view key) const;
    // The value when it passes screened(), else nullopt.
    std::optional<std::string> clean(std::string_view key) const;
    // The value trimmed (ASCII and full-width spaces), when it passes screened().
    std::optional<std::string> trimmed(std::string_view key) const;
    std::optional<long long> count(std::string_view key) const;
    std::optional<long long> scaled(std::string_view key, int decimals) const;
    bool has(std::string_view key) const;
    std::string_view text() const { return m_text; }

private:
    std::string_view m_text;
};

class HandlerTable
{
public:
    // Requests of the group "基础通讯" need a login; the session refuses them before.
    void add(std::string name, Handler handler);
    const Handler *find(std::string_view name) const;
    std::size_t size() const { return m_handlers.size(); }

private:
    std::unordered_map<std::string, Handler> m_handlers;
};

// Every domain registers its handlers here (accounts, personal centre, orders, ...).
void registerAllHandlers(HandlerTable &table);

// The connection's own requests: the version check and the heartbeat answer.
void registerConnectionHandlers(HandlerTable &table);

} // namespace vantrell::server
