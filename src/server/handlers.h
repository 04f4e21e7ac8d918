#pragma once

// Requests are handled by plain functions of (context, request fields) that return the
// replies to send. A table maps request names to handlers.
//
// Inside the server every text is UTF-8: the session converts the request from GBK
// (after screening the GBK bytes) and converts each reply back to GBK when it sends.

#include "server/config.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vantrell::server {

class Storage;

enum class Role { None = 0, Purchaser = 1, Supplier = 2 };

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

class HandlerTable
{
public:
    // Requests of the group "基础通讯" need a login; the session refuses them before.
    void add(std::string name, Handler handler);
    const Handler *find(std::string_view name) const;

private:
    std::unordered_map<std::string, Handler> m_handlers;
};

// Every domain registers its handlers here (accounts, personal centre, orders, ...).
void registerAllHandlers(HandlerTable &table);

} // namespace vantrell::server
