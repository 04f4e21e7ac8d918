#include "server/router.h"

#include "protocol/fieldtext.h"
#include "protocol/gbk.h"
#include "server/accounts/store.h"
#include "server/db/database.h"

#include <chrono>
#include <exception>

namespace vantrell::server {

namespace {

constexpr std::string_view kLoginGroupPrefix = "基础通讯_";

void refuse(Routed &routed, std::string_view reason, std::string_view text)
{
    routed.refusal = reason;
    if (auto payload = protocol::utf8ToGbk(notice(text)))
        routed.replies.push_back(std::move(*payload));
}

} // namespace

bool gbkFieldBytesClean(std::string_view gbk)
{
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        const auto c = static_cast<unsigned char>(gbk[i]);
        if (c == '|' || c == ',')
            return false;
        if (c >= 0x81 && c <= 0xFE && i + 1 < gbk.size()) {
            const auto trail = static_cast<unsigned char>(gbk[++i]);
            if (trail == '[' || trail == ']' || trail == '|')
                return false;
        }
    }
    return true;
}

Lane laneOf(std::string_view payload, const HandlerTable &handlers)
{
    const auto name = protocol::gbkToUtf8(protocol::splitPayload(payload).name);
    const Route *route = name ? handlers.find(*name) : nullptr;
    return route ? route->policy.lane : Lane::Io;
}

namespace {

// The refusal text when the session may not send a request of this policy.
std::string_view policyRefusal(const Policy &policy, const SessionState &state)
{
    if (policy.who != Who::Anyone && !state.loggedIn())
        return kNotLoggedInText;
    if (policy.who == Who::Supplier && state.role != Role::Supplier)
        return kSupplierOnlyText;
    if (policy.who == Who::Purchaser && state.role != Role::Purchaser)
        return kPurchaserOnlyText;
    return {};
}

Replies runHandler(const Route &route, SessionState &state, db::Database &db, const Config &config,
                   std::string_view fieldText)
{
    const Fields fields(fieldText, route.request);
    const auto inTransaction = [&](db::Tx &tx) {
        Context context{state, db, &tx, config};
        Replies replies = route.handler(context, fields);
        for (const std::string &payload : replies) {
            if (isRefusal(payload))
                tx.rollbackOnly();
        }
        return replies;
    };
    switch (route.policy.access) {
    case Access::Read:
        return db.read(inTransaction);
    case Access::Write:
        return db.write(inTransaction);
    case Access::None:
    case Access::Steps:
        break;
    }
    Context context{state, db, nullptr, config};
    return route.handler(context, fields);
}

// A logged-in session looks at the account's count of password changes at most once a
// period; within one process a change ends the other sessions at once anyway.
bool credentialsStillValid(SessionState &state, db::Database &db, const Config &config)
{
    const auto now = std::chrono::steady_clock::now();
    if (now - state.credentialsCheckedAt < config.credentialCheckPeriod)
        return true;
    const long long stored =
        db.read([&](db::Tx &tx) { return accounts::credentialVersion(tx, state.accountId); });
    state.credentialsCheckedAt = now;
    return stored == state.credentialVersion;
}

} // namespace

Routed routeRequest(std::string_view payload, SessionState &state, db::Database &db, const Config &config,
                    const HandlerTable &handlers)
{
    Routed routed;
    if (!protocol::isValidGbk(payload)) {
        refuse(routed, "invalid GBK", kBadEncodingText);
        return routed;
    }
    auto [nameBytes, fieldBytes] = protocol::splitPayload(payload);
    // The heartbeat answer is the bare name; tolerate it without its "|".
    if (nameBytes.empty() && fieldBytes == protocol::gbk("心跳包")) {
        nameBytes = fieldBytes;
        fieldBytes = {};
    }
    auto name = protocol::gbkToUtf8(nameBytes);
    if (!name) {
        refuse(routed, "invalid GBK", kBadEncodingText);
        return routed;
    }
    routed.name = std::move(*name);

    if (routed.name.starts_with(kLoginGroupPrefix) && !state.loggedIn()) {
        refuse(routed, "not logged in", kNotLoggedInText);
        return routed;
    }
    const Route *route = handlers.find(routed.name);
    if (route == nullptr) {
        refuse(routed, "unknown request", kUnknownRequestText);
        return routed;
    }
    if (const std::string_view refusal = policyRefusal(route->policy, state); !refusal.empty()) {
        refuse(routed, refusal == kNotLoggedInText ? "not logged in" : "wrong role", refusal);
        return routed;
    }
    if (state.loggedIn() && !credentialsStillValid(state, db, config)) {
        // The password was changed elsewhere, perhaps through another server process.
        state = SessionState{.peerAddress = std::move(state.peerAddress), .ended = true};
        routed.refusal = "password changed in another session";
        return routed;
    }
    if (!gbkFieldBytesClean(fieldBytes)) {
        refuse(routed, "forbidden characters", kForbiddenCharsText);
        return routed;
    }
    auto fields = protocol::gbkToUtf8(fieldBytes);
    if (!fields) {
        refuse(routed, "invalid GBK", kBadEncodingText);
        return routed;
    }

    Replies replies;
    try {
        replies = runHandler(*route, state, db, config, *fields);
    } catch (const std::exception &error) {
        routed.failed = true;
        routed.detail = error.what();
    } catch (...) {
        routed.failed = true;
    }
    if (!routed.failed) {
        routed.replies.reserve(replies.size());
        for (const std::string &text : replies) {
            auto bytes = protocol::utf8ToGbk(text);
            if (!bytes) {
                routed.failed = true;
                routed.detail = "reply not writable in GBK";
                break;
            }
            routed.replies.push_back(std::move(*bytes));
        }
    }
    if (routed.failed) {
        // Half of a reply sequence would leave the client's window in a state no reply describes.
        routed.replies.clear();
        refuse(routed, "handler failed", kInternalErrorText);
    }
    return routed;
}

} // namespace vantrell::server
