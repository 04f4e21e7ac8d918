// Cooperation against the real server, through the windows of two real accounts: the
// purchaser applies, the supplier agrees, either side cancels and the purchaser applies
// again; a refused application changes nothing.

#include "client/core/appstate.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/loginwindow.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/account/personalcentre.h"
#include "client/ui/partners/cooperationwindow.h"
#include "client/ui/partners/partnerpage.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"
#include "support/server/launcher.h"
#include "support/server/testclient.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

using namespace vantrell::client;
using namespace vantrell::test;
namespace testing_ = vantrell::testing;

namespace {

class PartnersEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testing_::TestClient client;
        ASSERT_TRUE(client.connect(server.port()));
        ASSERT_TRUE(client.registerAccount("supplier1", "pass1234", "<b>青禾食品</b>有限公司", "2"));
        ASSERT_TRUE(client.registerAccount("buyer1", "pass1234", "鲜达商贸有限公司", "1", "13900000002"));
        registerAllHandlers();
        boxes.answerNext(MessageAnswer::No); // no desktop shortcut
        login = std::make_unique<LoginWindow>();
        login->start();
        appState().serverHost = QStringLiteral("127.0.0.1");
        appState().serverPort = server.port();
    }

    void TearDown() override
    {
        signOut();
        login.reset();
        processPending();
    }

    PartnerPage *signIn(const QString &user)
    {
        if (!signInThrough(login.get(), user, QStringLiteral("pass1234")))
            return nullptr;
        main = WindowRegistry::as<MainWindow>(WindowId::Main);
        main->navigate(appState().isPurchaser() ? NavColumn::Purchaser : NavColumn::Supplier, 3);
        return main->partnerPage();
    }

    void signOut()
    {
        signOutClosing({WindowId::CooperationApplication, WindowId::PersonalCentre});
        main = nullptr;
        if (login)
            login->show();
    }

    // The partner list once its first row reads `status`.
    bool waitForStatus(PartnerPage *page, const QString &status)
    {
        return waitFor(
            [&] {
                QTreeWidget *list = page->list();
                return list->topLevelItemCount() == 1 && list->topLevelItem(0)->text(1) == status;
            },
            10000);
    }

    bool waitForBox(const QString &text)
    {
        return waitFor([&] { return boxes.last().text == text; }, 10000);
    }

    void click(const QString &name) { child<QPushButton>(main, name)->click(); }

    // Applies from the application window for the only supplier there.
    void apply()
    {
        click(QStringLiteral("超级按钮_商家管理_1"));
        auto *window = WindowRegistry::as<CooperationWindow>(WindowId::CooperationApplication);
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(waitFor([window] { return window->list()->topLevelItemCount() == 1; }, 10000));
        window->list()->setCurrentItem(window->list()->topLevelItem(0));
        window->apply(); // Yes by default
        EXPECT_EQ(boxes.shown()[boxes.shown().size() - 1].text,
                  QStringLiteral("是否申请与 [<b>青禾食品</b>有限公司] 的合作?"));
    }

    testing_::InProcessServer server;
    FakeMessageBoxes boxes;
    TempUserData data;
    ProgramEndRecorder ender;
    std::unique_ptr<LoginWindow> login;
    MainWindow *main = nullptr;
};

} // namespace

TEST_F(PartnersEndToEnd, ApplyAgreeCancelAndApplyAgain)
{
    PartnerPage *page = signIn(QStringLiteral("buyer1"));
    ASSERT_NE(page, nullptr);

    // Without a contact name the question comes first; No leaves everything as it was.
    boxes.answerNext(MessageAnswer::No);
    click(QStringLiteral("超级按钮_商家管理_1"));
    EXPECT_EQ(boxes.last().text, QStringLiteral("设置基础资料后才可以申请合作!\r\n是否设置基础资料?"));
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::CooperationApplication));

    click(QStringLiteral("超级按钮_商家管理_1")); // Yes: the personal centre
    auto *centre = WindowRegistry::as<PersonalCentre>(WindowId::PersonalCentre);
    ASSERT_NE(centre, nullptr);
    auto *save = child<QPushButton>(centre, QStringLiteral("超级按钮_保存"));
    ASSERT_TRUE(waitFor([save] { return save->isEnabled(); }, 10000));
    child<QLineEdit>(centre, QStringLiteral("编辑框_联系人"))->setText(QStringLiteral("王采购"));
    child<QLineEdit>(centre, QStringLiteral("编辑框_电话"))->setText(QStringLiteral("13900000002"));
    save->click();
    ASSERT_TRUE(waitFor([] { return appState().profileName == QStringLiteral("王采购"); }, 10000));
    processPending();

    apply();
    ASSERT_TRUE(waitForBox(QStringLiteral("已提交合作申请,请等待供应商审核!")));
    // Applying twice is refused with a notice and changes nothing.
    apply();
    ASSERT_TRUE(waitForBox(QStringLiteral("已提交过合作申请,请等待供应商审核!")));
    EXPECT_TRUE(WindowRegistry::isLoaded(WindowId::CooperationApplication));
    WindowRegistry::close(WindowId::CooperationApplication);
    page->refresh(QStringLiteral("1"));
    ASSERT_TRUE(waitForStatus(page, QStringLiteral("审核中")));
    signOut();

    page = signIn(QStringLiteral("supplier1"));
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(waitForStatus(page, QStringLiteral("审核中")));
    EXPECT_EQ(page->list()->topLevelItem(0)->text(3), QStringLiteral("王采购"));
    page->list()->setCurrentItem(page->list()->topLevelItem(0));
    click(QStringLiteral("超级按钮_商家管理_1"));
    ASSERT_TRUE(waitForStatus(page, QStringLiteral("正常")));
    EXPECT_FALSE(page->list()->topLevelItem(0)->icon(1).isNull());
    signOut();

    page = signIn(QStringLiteral("buyer1"));
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(waitForStatus(page, QStringLiteral("正常")));
    EXPECT_EQ(page->list()->topLevelItem(0)->text(2), QStringLiteral("<b>青禾食品</b>有限公司"));
    EXPECT_FALSE(page->list()->topLevelItem(0)->icon(1).isNull());
    // The purchaser cancels; the list returns from the server at page 1.
    page->list()->setCurrentItem(page->list()->topLevelItem(0));
    click(QStringLiteral("超级按钮_商家管理_2"));
    EXPECT_EQ(boxes.last().text, QStringLiteral("是否取消合作?"));
    ASSERT_TRUE(waitForStatus(page, QStringLiteral("停用")));

    // A cancelled cooperation can be applied for again.
    apply();
    ASSERT_TRUE(waitForBox(QStringLiteral("已提交合作申请,请等待供应商审核!")));
    WindowRegistry::close(WindowId::CooperationApplication);
    page->refresh(QStringLiteral("1"));
    ASSERT_TRUE(waitForStatus(page, QStringLiteral("审核中")));
    EXPECT_TRUE(ender.codes().isEmpty());
}
