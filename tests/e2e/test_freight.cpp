// Freight settings against the real server: the supplier sets modes, a region row and
// the default row in the window; the purchaser's freight follows them to the fen, and
// the next opening shows what the server stored.

#include "client/core/appstate.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/loginwindow.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/freight/freightwindow.h"
#include "server/db/database.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"
#include "support/server/launcher.h"
#include "support/server/testclient.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <soci/soci.h>

using namespace vantrell::client;
using namespace vantrell::test;
namespace testing_ = vantrell::testing;

namespace {

long long accountId(testing_::InProcessServer &server, const std::string &name)
{
    return server.database().read([&](vantrell::server::db::Tx &tx) {
        long long id = 0;
        tx.sql() << "SELECT id FROM accounts WHERE user_name = :n", soci::use(name), soci::into(id);
        return id;
    });
}

FreightWindow *openFreightWindow(MainWindow *main)
{
    main->findChild<QPushButton *>(QStringLiteral("超级按钮_商品管理_授权"))->click();
    auto *window = WindowRegistry::as<FreightWindow>(WindowId::FreightSettings);
    if (!window)
        return nullptr;
    QSignalSpy shown(window, &FreightWindow::templateShown);
    const bool filled = waitFor([&shown] { return shown.count() == 1; });
    return filled ? window : nullptr;
}

} // namespace

TEST(FreightEndToEnd, TheWindowsSettingsDecideThePurchasersFreight)
{
    testing_::InProcessServer server;
    testing_::TestClient buyer;
    {
        testing_::TestClient seller;
        ASSERT_TRUE(seller.connect(server.port()) && buyer.connect(server.port()));
        ASSERT_TRUE(seller.registerAccount("seller01", "secret1", "远航供应链有限公司", "2"));
        ASSERT_TRUE(buyer.registerAccount("buyer001", "secret1", "华东采购有限公司", "1"));
        ASSERT_TRUE(seller.login("seller01", "secret1") && buyer.login("buyer001", "secret1"));
        const std::string buyerId = std::to_string(accountId(server, "buyer001"));
        ASSERT_TRUE(
            buyer.exchange("基础通讯_保存个人中心基本资料", "联系人[李采购]电话[13800000000]邮箱[]地址[]"));
        ASSERT_TRUE(buyer.exchange("基础通讯_申请合作",
                                   "供应商ID[" + std::to_string(accountId(server, "seller01")) + "]"));
        const auto enabled = seller.exchange("基础通讯_启用停用商家", "ID[" + buyerId + "]类型[1]");
        ASSERT_TRUE(enabled && !enabled->empty() && enabled->front().name == "基础通讯_启用商家成功");
    }
    const std::string supplierId = std::to_string(accountId(server, "seller01"));
    auto freightFor = [&](const std::string &weight, int region) {
        const auto replies =
            buyer.exchange("基础通讯_获取运费/下单", "供应商ID[" + supplierId + "]重量[" + weight +
                                                         "]件数[1]地区索引[" + std::to_string(region) + "]");
        return replies && !replies->empty() ? replies->front().value("运费") : std::string("none");
    };
    EXPECT_EQ(freightFor("2.2", 2), "0.00"); // manual freight until the supplier says otherwise

    FakeMessageBoxes boxes;
    TempUserData data;
    ProgramEndRecorder ender;
    registerAllHandlers();
    boxes.answerNext(MessageAnswer::No); // no desktop shortcut
    LoginWindow login;
    login.start();
    appState().serverHost = QStringLiteral("127.0.0.1");
    appState().serverPort = server.port();
    ASSERT_TRUE(signInThrough(&login, QStringLiteral("seller01"), QStringLiteral("secret1")));
    auto *main = WindowRegistry::as<MainWindow>(WindowId::Main);
    boxes.clear(); // the desktop shortcut question

    FreightWindow *window = openFreightWindow(main);
    ASSERT_NE(window, nullptr);
    auto *grid = window->findChild<QTableWidget *>(QStringLiteral("高级表格1"));
    EXPECT_EQ(grid->item(2, 0)->text(), QStringLiteral("江苏省"));
    QSignalSpy reread(window, &FreightWindow::templateShown);
    window->findChild<QComboBox *>(QStringLiteral("组合框1"))->setCurrentIndex(1);
    ASSERT_TRUE(waitFor([&reread] { return reread.count() == 1; }));

    // 江苏省: 12.50 up to 1 kg, 1.50 for each further 0.5 kg started.
    grid->item(2, 1)->setText(QStringLiteral("1"));
    grid->item(2, 2)->setText(QStringLiteral("12.5"));
    grid->item(2, 3)->setText(QStringLiteral("0.5"));
    grid->item(2, 4)->setText(QStringLiteral("1.50"));
    // Default row: 9.50 up to 1 kg, 2.00 per further kilogram.
    auto *first = window->findChild<QLineEdit *>(QStringLiteral("编辑框1"));
    auto *firstFee = window->findChild<QLineEdit *>(QStringLiteral("编辑框2"));
    auto *step = window->findChild<QLineEdit *>(QStringLiteral("编辑框3"));
    auto *stepFee = window->findChild<QLineEdit *>(QStringLiteral("编辑框4"));
    window->activateWindow();
    for (auto [box, text] :
         {std::pair{first, "1"}, std::pair{firstFee, "9.5"}, std::pair{step, "1"}, std::pair{stepFee, "2"}}) {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, QString::fromUtf8(text));
    }
    first->setFocus(); // leaves the last box
    processPending();
    EXPECT_EQ(firstFee->text(), QStringLiteral("9.50"));

    // The settings are the server's as soon as they are typed: 2.2 kg is 1 kg + 3 steps
    // of 0.5 kg in 江苏省 and 1 kg + 2 steps of 1 kg elsewhere.
    ASSERT_TRUE(waitFor([&] { return freightFor("2.2", 2) == "17.00"; }));
    EXPECT_EQ(freightFor("2.2", 9), "13.50");
    EXPECT_EQ(freightFor("1", 2), "12.50");
    EXPECT_TRUE(boxes.shown().isEmpty()) << boxes.last().text.toStdString();

    window->close();
    processPending();
    window = openFreightWindow(main);
    ASSERT_NE(window, nullptr);
    grid = window->findChild<QTableWidget *>(QStringLiteral("高级表格1"));
    EXPECT_EQ(window->findChild<QComboBox *>(QStringLiteral("组合框1"))->currentIndex(), 1);
    EXPECT_EQ(grid->item(2, 2)->text(), QStringLiteral("12.50"));
    EXPECT_EQ(grid->item(2, 3)->text(), QStringLiteral("0.5"));
    EXPECT_EQ(window->findChild<QLineEdit *>(QStringLiteral("编辑框2"))->text(), QStringLiteral("9.50"));

    signOutClosing({WindowId::FreightSettings});
}
