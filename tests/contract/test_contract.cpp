// The conversation as both sides implement it, checked against the catalogue: every
// request the client can send is served, every reply the server can send is routed, and
// every key the client writes is the key the server reads.

#include "client/net/dispatcher.h"
#include "protocol/catalogue.h"
#include "protocol/gbk.h"
#include "server/accounts/store.h"
#include "server/db/database.h"
#include "server/handlers.h"
#include "server/router.h"
#include "server/states.h"

#include <gtest/gtest.h>

#include <iostream>
#include <set>

namespace vantrell {
namespace {

using protocol::kReplies;
using protocol::kRequests;

server::HandlerTable serverTable()
{
    server::HandlerTable table;
    server::registerAllHandlers(table);
    return table;
}

TEST(Contract, EveryServedRequestHasExactlyItsServerRow)
{
    const server::HandlerTable table = serverTable();
    EXPECT_NO_THROW(table.verifyAgainstCatalogue());
    std::vector<std::string_view> open;
    for (const protocol::RequestEntry &request : kRequests) {
        if (request.served == protocol::Served::NotYet)
            open.push_back(request.name);
    }
    std::cout << open.size() << " of " << kRequests.size() << " requests not yet served";
    for (std::string_view name : open)
        std::cout << "\n  " << name;
    std::cout << std::endl;
}

// Replies the server sends whose client window is still being built. Shrinks to nothing;
// the test fails when an entry here is routed (take it out) or a reply is missing that
// is not here.
const std::set<std::string_view> kWindowsStillToCome = {};

TEST(Contract, EveryReplyTheServerMaySendIsKnownAndRoutedByTheClient)
{
    client::ReplyDispatcher dispatcher;
    client::registerAllHandlers(dispatcher);
    const std::vector<protocol::Reply> ignored = client::unroutedByDesign();

    std::set<std::string_view> sent = {"提示信息_信息", "提示信息_询问", "提示信息_错误", "心跳包"};
    for (const protocol::RequestEntry &request : kRequests) {
        if (request.served == protocol::Served::Yes) {
            for (std::string_view answer : protocol::words(request.answers))
                sent.insert(answer);
        }
    }
    for (std::string_view name : sent) {
        const protocol::ReplyEntry *reply = protocol::findReply(name);
        ASSERT_NE(reply, nullptr) << name << " is answered but not in the catalogue";
        const bool isIgnored = std::find(ignored.begin(), ignored.end(), reply->id) != ignored.end();
        const bool toCome = kWindowsStillToCome.contains(name);
        EXPECT_TRUE(dispatcher.routes(reply->id) || isIgnored || toCome)
            << name << " reaches no client handler";
        EXPECT_FALSE(dispatcher.routes(reply->id) && toCome)
            << name << " is routed now: take it off the list";
    }

    std::vector<std::string_view> unrouted;
    for (const protocol::ReplyEntry &reply : kReplies) {
        if (!dispatcher.routes(reply.id))
            unrouted.push_back(reply.name);
    }
    std::cout << unrouted.size() << " of " << kReplies.size() << " replies without a client handler";
    for (std::string_view name : unrouted)
        std::cout << "\n  " << name;
    std::cout << std::endl;
}

// The client writes each request's keys in GBK; the server reads them back in UTF-8 by
// the same keys. A key that another key ends with, placed after it, would read the wrong
// value here.
TEST(Contract, EveryRequestKeySurvivesTheClientWriterAndTheServerReader)
{
    for (const protocol::RequestEntry &request : kRequests) {
        const std::vector<std::string_view> keys = protocol::words(request.keys);
        std::vector<std::string> values;
        for (std::size_t i = 0; i < keys.size(); ++i)
            values.push_back("value" + std::to_string(i));
        // The text as the client's writer lays it out: the catalogue's GBK keys in order.
        const std::vector<std::string> &gbkKeys = protocol::gbkKeys(request.id);
        ASSERT_EQ(gbkKeys.size(), values.size()) << request.name;
        std::string gbkText;
        for (std::size_t i = 0; i < values.size(); ++i)
            gbkText += gbkKeys[i] + "[" + values[i] + "]";
        if (values.size() == 2) {
            EXPECT_EQ(gbkText, protocol::requestFields(request.id, {values[0], values[1]})) << request.name;
        }
        const std::string utf8 = *protocol::gbkToUtf8(gbkText);
        const server::Fields fields(utf8, request.id);
        for (std::size_t i = 0; i < keys.size(); ++i)
            EXPECT_EQ(fields.value(keys[i]), values[i]) << request.name << " key " << keys[i];
    }
    // The records of an order line.
    const std::string record =
        *protocol::gbkToUtf8(protocol::requestRecord(protocol::Request::PlaceOrder, {"7", "3"}));
    const server::Fields line(record, protocol::Request::PlaceOrder);
    EXPECT_EQ(line.value("商品ID"), "7");
    EXPECT_EQ(line.value("数量"), "3");
    EXPECT_THROW(line.value("数量X"), std::logic_error);
}

// Each row of the server's table, tried logged out, with the wrong role and the right one:
// the router refuses by the row's policy before any handler runs.
TEST(Contract, EveryRowEnforcesItsPolicy)
{
    const server::HandlerTable table = serverTable();
    auto database = server::db::Database::open("sqlite::memory:");
    const server::Config config;
    // Real accounts, so that a handler meets the data it expects of a logged-in merchant.
    const auto [supplierId, purchaserId] = database->write([](server::db::Tx &tx) {
        for (const auto &[name, type] : {std::pair{"supplier", server::kAccountSupplier},
                                         std::pair{"purchaser", server::kAccountPurchaser}}) {
            server::accounts::Account account;
            account.userName = name;
            account.company = std::string(name) + " company";
            account.passwordHash = "h";
            account.type = type;
            account.createdAt = "2026-03-10 10:00:00";
            server::accounts::create(tx, account);
        }
        return std::pair{server::accounts::byName(tx, "supplier")->id,
                         server::accounts::byName(tx, "purchaser")->id};
    });
    const auto notice = [](std::string_view text) {
        return *protocol::utf8ToGbk(server::notice(text));
    };
    const std::string notLoggedIn = notice(server::kNotLoggedInText);
    const std::string supplierOnly = notice(server::kSupplierOnlyText);
    const std::string purchaserOnly = notice(server::kPurchaserOnlyText);

    for (const protocol::RequestEntry &request : kRequests) {
        const server::Route *route = table.find(request.name);
        if (route == nullptr)
            continue;
        const std::string payload = *protocol::utf8ToGbk(std::string(request.name) + "|");
        // With no fields at all, no handler may fail.
        const auto first = [&](server::SessionState state) {
            const server::Routed routed = server::routeRequest(payload, state, *database, config, table);
            EXPECT_FALSE(routed.failed) << request.name << ": " << routed.detail;
            return routed.replies.empty() ? std::string() : routed.replies.front();
        };
        server::SessionState anonymous;
        server::SessionState supplier;
        supplier.accountId = supplierId;
        supplier.role = server::Role::Supplier;
        server::SessionState purchaser;
        purchaser.accountId = purchaserId;
        purchaser.role = server::Role::Purchaser;

        const server::Who who = route->policy.who;
        if (who != server::Who::Anyone) {
            EXPECT_EQ(first(anonymous), notLoggedIn) << request.name;
        }
        if (who == server::Who::Supplier) {
            EXPECT_EQ(first(purchaser), supplierOnly) << request.name;
            EXPECT_NE(first(supplier), supplierOnly) << request.name;
        }
        if (who == server::Who::Purchaser) {
            EXPECT_EQ(first(supplier), purchaserOnly) << request.name;
            EXPECT_NE(first(purchaser), purchaserOnly) << request.name;
        }
        if (who == server::Who::LoggedIn) {
            for (const server::SessionState &state : {supplier, purchaser}) {
                const std::string answer = first(state);
                EXPECT_TRUE(answer != notLoggedIn && answer != supplierOnly && answer != purchaserOnly)
                    << request.name;
            }
        }
    }
}

} // namespace
} // namespace vantrell
