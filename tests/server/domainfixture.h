#pragma once

// In-process harness for the domain handlers: a fresh in-memory database, the full
// handler table, a settable clock and helpers that call a handler like a session would.

#include "protocol/fieldtext.h"
#include "protocol/gbk.h"
#include "protocol/md5.h"
#include "server/accounts/store.h"
#include "server/clock.h"
#include "server/config.h"
#include "server/db/database.h"
#include "server/finance/store.h"
#include "server/handlers.h"
#include "server/orders/store.h"
#include "server/partners/store.h"
#include "server/router.h"
#include "support/server/pgcluster.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace vantrell::server::testing {

using namespace accounts;

inline std::string digestOf(const std::string &password)
{
    return protocol::md5Hex(password);
}

using accounts::Account;
using orders::NewOrder;
using NewOrderLine = orders::NewLine;

// The stores in one transaction per call, for setting up and checking what a test needs.
struct Stores
{
    db::Database &database;

    std::optional<Account> accountByName(const std::string &name)
    {
        return database.read([&](db::Tx &tx) { return accounts::byName(tx, name); });
    }
    void setContactData(std::int64_t id, const accounts::ContactData &data)
    {
        database.write([&](db::Tx &tx) { accounts::setContactData(tx, id, data); });
    }
    void setPasswordHash(std::int64_t id, const std::string &hash)
    {
        database.write([&](db::Tx &tx) { accounts::setPasswordHash(tx, id, hash); });
    }
    void setCooperationState(std::int64_t supplier, std::int64_t purchaser, int state, const std::string &at)
    {
        database.write(
            [&](db::Tx &tx) { partners::setCooperationState(tx, supplier, purchaser, state, at); });
    }
    std::int64_t insertOrder(const NewOrder &order)
    {
        return database.write([&](db::Tx &tx) { return orders::insert(tx, order); });
    }
    std::int64_t insertStatement(const std::string &no, std::int64_t supplier, std::int64_t purchaser,
                                 const std::string &from, const std::string &to, int state,
                                 const std::vector<std::int64_t> &orderIds, const std::string &at)
    {
        return database.write([&](db::Tx &tx) {
            return finance::insertStatement(tx, no, supplier, purchaser, from, to, state, orderIds, at);
        });
    }
};

class DomainFixture : public ::testing::Test
{
protected:
    DomainFixture()
    {
        registerAllHandlers(table);
        clockNow = *parseIsoTime("2026-03-10 10:00:00");
        setClock([this] { return clockNow; });
    }
    ~DomainFixture() override { setClock({}); }

    // Through the router, as a session would: policy, transaction, GBK on both sides.
    Replies call(SessionState &session, const std::string &name, const std::string &fields = {})
    {
        if (!table.find(name)) {
            ADD_FAILURE() << "no handler for " << name;
            return {};
        }
        const std::string payload = protocol::utf8ToGbk(name + "|" + fields).value_or(std::string());
        const Routed routed = routeRequest(payload, session, *database, config, table);
        EXPECT_FALSE(routed.failed) << name << ": " << routed.detail;
        Replies replies;
        for (const std::string &bytes : routed.replies)
            replies.push_back(protocol::gbkToUtf8(bytes).value_or(std::string()));
        return replies;
    }

    // The single reply of a request; a test failure when there is not exactly one.
    std::string one(SessionState &session, const std::string &name, const std::string &fields = {})
    {
        const Replies replies = call(session, name, fields);
        EXPECT_EQ(replies.size(), 1u) << name;
        return replies.empty() ? std::string() : replies.front();
    }

    std::string registerAccount(const std::string &user, const std::string &company, const std::string &type,
                                const std::string &password = "secret",
                                const std::string &phone = "13800001111")
    {
        SessionState anonymous;
        return one(anonymous, "登陆系统_注册账号",
                   "用户名[" + user + "]密码[" + digestOf(password) + "]手机号[" + phone + "]公司[" +
                       company + "]类型[" + type + "]");
    }

    std::string login(SessionState &session, const std::string &user, const std::string &password = "secret")
    {
        return one(session, "登陆系统_用户登陆", "用户名[" + user + "]密码[" + digestOf(password) + "]");
    }

    // Registers and logs in; the returned session belongs to the new account.
    SessionState merchant(const std::string &user, const std::string &company, bool supplier)
    {
        EXPECT_EQ(registerAccount(user, company, supplier ? "2" : "1"), "登陆系统_账号注册成功|");
        SessionState session;
        login(session, user);
        EXPECT_TRUE(session.loggedIn()) << user;
        return session;
    }

    static std::string value(const std::string &payload, const std::string &key)
    {
        return protocol::valueOf(payload, key);
    }
    static bool isNotice(const std::string &payload) { return payload.rfind("提示信息_错误|内容[", 0) == 0; }

    // In memory, or a fresh PostgreSQL database with VANTRELL_TEST_DB=postgres.
    std::unique_ptr<db::Database> database = db::Database::open(::vantrell::testing::testDatabaseUrl());
    Stores stores{*database};
    Config config;
    HandlerTable table;
    TimePoint clockNow;
};

} // namespace vantrell::server::testing
