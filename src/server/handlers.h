#pragma once

// Requests are handled by plain functions of (context, request fields) that return the
// replies to send. A table maps request names to handlers, and each row declares its
// policy: who may send the request, which transaction the router opens for it, and the
// lane it runs in. The router applies the policy, so handlers keep only business checks.
//
// Inside the server every text is UTF-8: the session converts the request from GBK
// (after screening the GBK bytes) and converts each reply back to GBK when it sends.

#include "protocol/catalogue.h"
#include "server/config.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vantrell::server {

namespace db {
class Database;
class Tx;
} // namespace db

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
    // The stock this session was last shown per goods item: a goods save applies the
    // change against it, so that orders placed meanwhile are not undone.
    std::unordered_map<std::int64_t, long long> shownStock;
    std::string peerAddress; // the client's IP address; never logged
    // Set by a handler: once the replies are out, every other session of this account
    // ends (a password change).
    bool endOtherSessions = false;
    // The account's count of password changes at login; a session finds out that the
    // password changed through another server process when the stored count differs.
    long long credentialVersion = 0;
    std::chrono::steady_clock::time_point credentialsCheckedAt{};
    // Set by the router: the session is over; it closes once this request is answered.
    bool ended = false;
    bool loggedIn() const { return accountId != 0; }
    bool supplier() const { return role == Role::Supplier; }
};

// Who may send a request.
enum class Who
{
    Anyone,
    LoggedIn,
    Supplier,
    Purchaser
};

// The transaction the router opens around the handler. A refusal (an error notice among
// the replies) rolls a Read or Write transaction back. Steps: the handler runs its own
// short transactions through context.db, for work that must not hold a transaction
// (the login's slow password hash) or whose refusal must leave a trace (a counted
// failed login).
enum class Access
{
    None,
    Read,
    Write,
    Steps
};

// Where the request runs: the account requests' password hashing takes tens of
// milliseconds of CPU and runs beside the io threads.
enum class Lane
{
    Io,
    Slow
};

struct Policy
{
    Who who = Who::LoggedIn;
    Access access = Access::Read;
    Lane lane = Lane::Io;
};

// Read access to a request's UTF-8 field text. When it belongs to a catalogue request,
// asking for a key the catalogue does not give that request is a programming error
// (std::logic_error), so a handler cannot drift from what the client writes.
class Fields
{
public:
    explicit Fields(std::string_view text, std::optional<protocol::Request> request = std::nullopt)
        : m_text(text), m_request(request)
    {}

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
    void checkKey(std::string_view key) const;

    std::string_view m_text;
    std::optional<protocol::Request> m_request;
};

struct Context
{
    SessionState &session;
    db::Database &db;
    db::Tx *transaction; // the request's transaction; null for Access::None and Access::Steps
    const Config &config;

    // The request's transaction; a logic_error when the policy opened none.
    db::Tx &tx() const;
};

// A reply payload in UTF-8: name + "|" + field text.
using Replies = std::vector<std::string>;

using Handler = std::function<Replies(Context &, const Fields &)>;

// Reply helpers.
std::string reply(protocol::Reply id, std::string_view fields = {});
std::string reply(std::string_view name, std::string_view fields = {});
// "提示信息_错误|内容[...]" (or 信息 / 询问).
std::string notice(std::string_view text, std::string_view kind = "错误");
// True when the payload is an error notice: the request was refused.
bool isRefusal(std::string_view payload);

// Texts of the refusals the router itself sends.
inline constexpr std::string_view kNotLoggedInText = "请先登陆!";
inline constexpr std::string_view kUnknownRequestText = "未知的请求!";
inline constexpr std::string_view kInternalErrorText = "服务器内部错误,请稍后再试!";
inline constexpr std::string_view kBadEncodingText = "请求包含无法识别的字符!";
inline constexpr std::string_view kForbiddenCharsText = "提交失败,不能包含特殊符号!";
inline constexpr std::string_view kSupplierOnlyText = "只有供应商可以进行此操作!";
inline constexpr std::string_view kPurchaserOnlyText = "只有采购商可以进行此操作!";

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

struct Route
{
    std::string name;
    std::optional<protocol::Request> request; // empty for a test's own request
    Policy policy;
    Handler handler;
};

class HandlerTable
{
public:
    void add(protocol::Request request, Policy policy, Handler handler);
    // A request outside the catalogue; only tests add such rows.
    void add(std::string name, Policy policy, Handler handler);
    const Route *find(std::string_view name) const;
    std::size_t size() const { return m_routes.size(); }

    // Throws std::logic_error naming the first mismatch between the table and the
    // catalogue: a request marked served without a row, or a row for a request the
    // catalogue does not mark served (or does not know).
    void verifyAgainstCatalogue() const;

private:
    std::unordered_map<std::string, Route> m_routes;
};

// Every request of the catalogue that the server serves, domain by domain.
void registerAllHandlers(HandlerTable &table);

// The connection's own requests: the version check and the heartbeat answer.
void registerConnectionHandlers(HandlerTable &table);

} // namespace vantrell::server
