#pragma once

// In-process harness for the domain handlers: a fresh in-memory database, the full
// handler table, a settable clock and helpers that call a handler like a session would.

#include "protocol/fieldtext.h"
#include "protocol/md5.h"
#include "server/clock.h"
#include "server/config.h"
#include "server/handlers.h"
#include "server/storage.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace vantrell::server::testing {

inline std::string digestOf(const std::string &password)
{
    return protocol::md5Hex(password);
}

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

    Replies call(SessionState &session, const std::string &name, const std::string &fields = {})
    {
        const Handler *handler = table.find(name);
        if (!handler) {
            ADD_FAILURE() << "no handler for " << name;
            return {};
        }
        Context context{session, *storage, config};
        return (*handler)(context, fields);
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

    std::unique_ptr<Storage> storage = openStorage("sqlite::memory:");
    Config config;
    HandlerTable table;
    TimePoint clockNow;
};

} // namespace vantrell::server::testing
