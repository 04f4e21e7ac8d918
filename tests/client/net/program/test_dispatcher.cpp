// Routing of replies: groups in their order, business replies by their catalogue entry,
// one handler per reply, account results.

#include "client/core/appstate.h"
#include "client/core/text.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "protocol/gbk.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"

#include <QApplication>
#include <QPointer>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

using namespace vantrell;
using client::ReplyDispatcher;
using client::WindowId;
using client::WindowRegistry;
using protocol::Reply;

namespace {

class Dispatcher : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dispatcher.on(Reply::OrderListReply, [this](const client::Reply &reply) {
            m_calls.append(reply.action + QLatin1Char(':') + reply.value(QStringLiteral("页")));
            m_full = reply.fullText;
        });
    }
    void TearDown() override
    {
        for (int i = 0; i < int(WindowId::Count); ++i)
            WindowRegistry::set(WindowId(i), nullptr);
        test::processPending();
    }
    ReplyDispatcher &dispatcher() { return m_dispatcher; }
    void handle(const QString &payload) { m_dispatcher.handle(test::gbkPayload(payload)); }

    ReplyDispatcher m_dispatcher;
    QStringList m_calls;
    std::string m_full;
};

} // namespace

TEST_F(Dispatcher, BusinessRepliesNeedTheMainWindow)
{
    handle(QStringLiteral("基础通讯_返回订单列表|页[1]"));
    EXPECT_TRUE(m_calls.isEmpty());

    QWidget main;
    WindowRegistry::set(WindowId::Main, &main);
    handle(QStringLiteral("基础通讯_返回订单列表|页[2]"));
    EXPECT_EQ(m_calls, QStringList{QStringLiteral("返回订单列表:2")});

    // Unknown action, other group, no "|" at all, a catalogue reply nobody registered: dropped.
    handle(QStringLiteral("基础通讯_返回不存在|页[3]"));
    handle(QStringLiteral("其他通讯_返回订单列表|页[4]"));
    handle(QStringLiteral("基础通讯_返回订单列表"));
    handle(QStringLiteral("基础通讯_返回商品基本信息|页[5]"));
    EXPECT_EQ(m_calls.size(), 1);

    // Only group and action count: what follows a second "_" is not part of the match.
    handle(QStringLiteral("基础通讯_返回订单列表_附加|页[6]"));
    EXPECT_EQ(m_calls.last(), QStringLiteral("返回订单列表:6"));
}

TEST_F(Dispatcher, ShortTextEndsAtByte20000AndFullTextKeepsEverything)
{
    QWidget main;
    WindowRegistry::set(WindowId::Main, &main);
    const QString filler(20000, QLatin1Char('x'));
    handle(QStringLiteral("基础通讯_返回订单列表|") + filler + QStringLiteral("页[9]"));
    EXPECT_EQ(m_calls, QStringList{QStringLiteral("返回订单列表:")});
    EXPECT_EQ(m_full.size(), 20000 + client::gbkLength(QStringLiteral("页[9]")));

    handle(QStringLiteral("基础通讯_返回订单列表|页[7]") + filler);
    EXPECT_EQ(m_calls.last(), QStringLiteral("返回订单列表:7"));
}

TEST_F(Dispatcher, NamesAreSplitOnCharactersNotOnBytes)
{
    // A character whose second GBK byte is "|" must not end the reply name: the field
    // text starts after the real "|", so the second 页 is the one read.
    QString tricky;
    for (char16_t c = 0x4E00; c < 0x9FA5 && tricky.isEmpty(); ++c) {
        const QByteArray bytes = client::toGbk(QString(QChar(c)));
        if (bytes.size() == 2 && bytes.at(1) == '|')
            tricky = QString(QChar(c));
    }
    ASSERT_FALSE(tricky.isEmpty());
    QWidget main;
    WindowRegistry::set(WindowId::Main, &main);
    handle(QStringLiteral("基础通讯_返回订单列表_") + tricky + QStringLiteral("页[name]|页[fields]"));
    EXPECT_EQ(m_calls, QStringList{QStringLiteral("返回订单列表:fields")});
}

TEST_F(Dispatcher, EachReplyTakesOneHandlerAndOwnRoutesTakeNone)
{
    EXPECT_THROW(dispatcher().on(Reply::OrderListReply, [](const client::Reply &) {}), std::logic_error);
    EXPECT_THROW(dispatcher().on(Reply::NoticeInfo, [](const client::Reply &) {}), std::logic_error);
    EXPECT_THROW(dispatcher().on(Reply::LoginSucceeded, [](const client::Reply &) {}), std::logic_error);

    EXPECT_TRUE(dispatcher().routes(Reply::OrderListReply));
    EXPECT_FALSE(dispatcher().routes(Reply::GoodsInfoReply));
    for (Reply own : {Reply::UpdateFound, Reply::HeartbeatProbe, Reply::NoticeInfo, Reply::NoticeQuestion,
                      Reply::NoticeError, Reply::LoginSucceeded, Reply::Registered})
        EXPECT_TRUE(dispatcher().routes(own)) << protocol::entry(own).ident;
    // The password change is completed by the account windows' routine.
    EXPECT_FALSE(dispatcher().routes(Reply::PasswordChanged));
    dispatcher().setPasswordChangedRoutine([] {});
    EXPECT_TRUE(dispatcher().routes(Reply::PasswordChanged));

    dispatcher().clear();
    EXPECT_FALSE(dispatcher().routes(Reply::OrderListReply));
    EXPECT_FALSE(dispatcher().routes(Reply::PasswordChanged));
}

TEST(DispatcherRegistration, EveryDomainRegistersWithoutOpeningAWindow)
{
    const qsizetype before = QApplication::topLevelWidgets().size();
    ReplyDispatcher fresh;
    client::registerAllHandlers(fresh);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), before);
    for (Reply reply :
         {Reply::OrderListReply, Reply::OrderClosed, Reply::OrderCancelling, Reply::DashboardReply,
          Reply::SupplierGoodsListReply, Reply::PurchaserGoodsListReply, Reply::PartnerListReply,
          Reply::FinancePartnersReply, Reply::PersonalDataReply, Reply::PersonalDataSaved,
          Reply::AboutUsReply, Reply::HelpReply, Reply::PasswordChanged})
        EXPECT_TRUE(fresh.routes(reply)) << protocol::entry(reply).ident;

    // Registering twice on one dispatcher is a programming error; on the program's
    // dispatcher it starts over.
    EXPECT_THROW(client::registerAllHandlers(fresh), std::logic_error);
    client::registerAllHandlers();
    EXPECT_NO_THROW(client::registerAllHandlers());
    EXPECT_TRUE(ReplyDispatcher::instance().routes(Reply::OrderListReply));
    ReplyDispatcher::instance().clear();
}

TEST_F(Dispatcher, LoginSuccessStoresTheProfileAndOpensTheMainWindowOnce)
{
    int opened = 0;
    QWidget main;
    dispatcher().setMainWindowOpener([&opened, &main] {
        ++opened;
        WindowRegistry::set(WindowId::Main, &main);
    });
    handle(QStringLiteral(
        "登陆系统_登陆成功|姓名[王五]公司[华东供应链有限公司]类型[供应商]上次登陆时间[2026-12-08 09:00:00]"));
    handle(QStringLiteral(
        "登陆系统_登陆成功|姓名[王六]公司[华东供应链有限公司]类型[供应商]上次登陆时间[2026-12-08 10:00:00]"));
    EXPECT_EQ(opened, 0); // deferred: not while the reply is being handled
    test::processPending();
    EXPECT_EQ(opened, 1);

    const client::AppState &state = client::appState();
    EXPECT_EQ(state.profileName, QStringLiteral("王六"));
    EXPECT_EQ(state.profileCompany, QStringLiteral("华东供应链有限公司"));
    EXPECT_TRUE(state.isSupplier());
    EXPECT_EQ(state.lastLoginTime, QStringLiteral("2026-12-08 10:00:00"));

    handle(QStringLiteral("登陆系统_登陆成功|姓名[赵七]类型[采购商]"));
    test::processPending();
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(client::appState().isPurchaser());
}

TEST_F(Dispatcher, RegistrationSuccessClosesTheWindowAndConfirms)
{
    test::FakeMessageBoxes boxes;
    auto *registration = new QWidget;
    QPointer<QWidget> guard(registration);
    WindowRegistry::set(WindowId::Registration, registration);
    handle(QStringLiteral("登陆系统_账号注册成功|"));
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::Registration));
    test::processPending();
    EXPECT_TRUE(guard.isNull());
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.last().text, QStringLiteral("账号注册成功,请保管好账号信息!"));
    EXPECT_EQ(boxes.last().style, 64);
    EXPECT_EQ(boxes.last().caption, QStringLiteral("注册账号"));

    // Unknown account results do nothing.
    handle(QStringLiteral("登陆系统_其他结果|"));
    test::processPending();
    EXPECT_EQ(boxes.shown().size(), 1);
}

TEST_F(Dispatcher, PasswordChangedRunsOnlyWithItsWindowOpen)
{
    int ran = 0;
    dispatcher().setPasswordChangedRoutine([&ran] { ++ran; });
    handle(QStringLiteral("登陆系统_密码修改成功|"));
    test::processPending();
    EXPECT_EQ(ran, 0);

    QWidget window;
    WindowRegistry::set(WindowId::ChangePassword, &window);
    handle(QStringLiteral("登陆系统_密码修改成功|"));
    EXPECT_EQ(ran, 0);
    test::processPending();
    EXPECT_EQ(ran, 1);
}
