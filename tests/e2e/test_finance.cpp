// Finance against the real server: the supplier creates a statement of two shipped orders,
// the purchaser reconciles it and the supplier settles it, each through the windows, and
// the exported file carries the server's amounts to the fen.

#include "client/core/appstate.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/loginwindow.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/finance/financepage.h"
#include "client/ui/finance/financewindow.h"
#include "client/ui/finance/statementcreation.h"
#include "server/clock.h"
#include "server/db/database.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"
#include "support/server/launcher.h"
#include "support/server/testclient.h"

#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <soci/soci.h>

using namespace vantrell::client;
using namespace vantrell::test;
namespace testing_ = vantrell::testing;

namespace {

class FinanceEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        vantrell::server::setClock([] { return *vantrell::server::parseIsoTime("2026-03-10 10:00:00"); });
        prepareTrade();
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
        vantrell::server::setClock({});
    }

    long long lastId(const std::string &sql)
    {
        return server.database().read([&sql](vantrell::server::db::Tx &tx) {
            long long id = 0;
            tx.sql() << sql, soci::into(id);
            return id;
        });
    }

    static void expectReply(const std::optional<std::vector<testing_::Reply>> &replies,
                            const std::string &name)
    {
        ASSERT_TRUE(replies.has_value());
        bool seen = false;
        for (const testing_::Reply &reply : *replies)
            seen = seen || reply.name == name;
        std::string names;
        for (const testing_::Reply &reply : *replies)
            names += reply.name + ":" + reply.fields + " ";
        EXPECT_TRUE(seen) << "wanted " << name << ", got " << names;
    }

    // A cooperating pair with two shipped orders: 3 x 10.01 + 5.00 freight and 2 x 10.01.
    void prepareTrade()
    {
        testing_::TestClient supplier, buyer;
        ASSERT_TRUE(supplier.connect(server.port()));
        ASSERT_TRUE(buyer.connect(server.port()));
        ASSERT_TRUE(supplier.registerAccount("supplier1", "pass1234", "青禾食品有限公司", "2"));
        ASSERT_TRUE(buyer.registerAccount("buyer1", "pass1234", "鲜达商贸有限公司", "1", "13900000002"));
        ASSERT_TRUE(supplier.login("supplier1", "pass1234"));
        ASSERT_TRUE(buyer.login("buyer1", "pass1234"));
        const std::string supplierId =
            std::to_string(lastId("SELECT id FROM accounts WHERE user_name = 'supplier1'"));
        const std::string buyerId =
            std::to_string(lastId("SELECT id FROM accounts WHERE user_name = 'buyer1'"));

        expectReply(buyer.exchange("基础通讯_保存个人中心基本资料",
                                   "联系人[李鲜达]电话[13900000002]邮箱[]地址[上海]"),
                    "基础通讯_保存个人中心基本资料成功");
        expectReply(buyer.exchange("基础通讯_申请合作", "供应商ID[" + supplierId + "]"), "提示信息_信息");
        expectReply(supplier.exchange("基础通讯_启用停用商家", "ID[" + buyerId + "]类型[1]"),
                    "基础通讯_启用商家成功");
        expectReply(supplier.exchange("基础通讯_增加编辑商品",
                                      "商品ID[]商品名称[东北大米]商品编码[DB-5KG]商品规格[5kg]"
                                      "商品单价[10.01]商品重量[5]商品库存[1000]商品单位[袋]商品分类[]"),
                    "基础通讯_增加商品成功");
        const std::string goodsId = std::to_string(lastId("SELECT MAX(id) FROM goods"));
        for (const auto &[quantity, freight] : {std::pair{"3", "5.00"}, std::pair{"2", "0"}}) {
            expectReply(buyer.exchange("基础通讯_下单", "供应商ID[" + supplierId +
                                                            "]收货地址[]供应商留言[]数据详情_商品ID[" +
                                                            goodsId + "]数量[" + quantity + "]"),
                        "基础通讯_下单成功");
            const std::string orderId = std::to_string(lastId("SELECT MAX(id) FROM orders"));
            expectReply(supplier.exchange("基础通讯_订单发货", "订单ID[" + orderId + "]运费[" + freight +
                                                                   "]发货类型[2]物流名称[]物流单号[]"),
                        "基础通讯_返回发货订单页面");
        }
    }

    void signIn(const QString &user)
    {
        ASSERT_TRUE(signInThrough(login.get(), user, QStringLiteral("pass1234")));
    }

    void signOut()
    {
        signOutClosing({WindowId::FinanceReconciliation});
        if (login)
            login->show();
    }

    // Opens the only partner of the finance page; the window once its statements arrived.
    FinanceWindow *openPartner()
    {
        auto *main = WindowRegistry::as<MainWindow>(WindowId::Main);
        FinancePage *page = main->financePage();
        page->refresh(QStringLiteral("1"));
        if (!waitFor([page] { return page->list()->topLevelItemCount() == 1; }, 10000))
            return nullptr;
        page->list()->setCurrentItem(page->list()->topLevelItem(0));
        page->openSelectedPartner();
        auto *window = WindowRegistry::as<FinanceWindow>(WindowId::FinanceReconciliation);
        if (!window)
            return nullptr;
        auto *company = window->findChild<QLabel *>(QStringLiteral("标签_公司名称"));
        if (!waitFor([company] { return company->text() != QStringLiteral("公司："); }, 10000))
            return nullptr;
        return window;
    }

    static QTreeWidget *statements(FinanceWindow *window)
    {
        return window->findChild<QTreeWidget *>(QStringLiteral("超级列表框1"));
    }

    static bool waitForState(FinanceWindow *window, const QString &state)
    {
        QTreeWidget *list = statements(window);
        return waitFor([list, state] {
            return list->topLevelItemCount() == 1 && list->topLevelItem(0)->text(1) == state;
        });
    }

    testing_::InProcessServer server;
    FakeMessageBoxes boxes;
    TempUserData data;
    ProgramEndRecorder ender;
    std::unique_ptr<LoginWindow> login;
};

} // namespace

TEST_F(FinanceEndToEnd, SupplierCreatesPurchaserReconcilesSupplierSettles)
{
    signIn(QStringLiteral("supplier1"));
    FinanceWindow *window = openPartner();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->findChild<QLabel *>(QStringLiteral("标签_公司名称"))->text(),
              QStringLiteral("公司：鲜达商贸有限公司"));
    EXPECT_EQ(window->findChild<QLabel *>(QStringLiteral("标签_财务对账_未结算"))->text(),
              QStringLiteral("55.05元"));
    EXPECT_EQ(statements(window)->topLevelItemCount(), 0);

    window->findChild<QAbstractButton *>(QStringLiteral("超级按钮_结算"))->click();
    auto *creation = WindowRegistry::as<StatementCreation>(WindowId::StatementCreation);
    ASSERT_NE(creation, nullptr);
    ASSERT_TRUE(waitFor([creation] { return creation->amountFen() > 0; }));
    EXPECT_EQ(creation->amountFen(), 5505);
    EXPECT_EQ(creation->findChild<QLabel *>(QStringLiteral("标签_总金额"))->text(),
              QStringLiteral("55.05元"));
    boxes.clear();
    creation->findChild<QAbstractButton *>(QStringLiteral("超级按钮_生成对账单"))->click();
    ASSERT_TRUE(waitForState(window, QStringLiteral("待对账")));
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::StatementCreation));
    ASSERT_TRUE(waitFor([this] { return boxes.last().text == QStringLiteral("已生成对账单!"); }));
    const QString number = statements(window)->topLevelItem(0)->text(2);
    EXPECT_EQ(number, QStringLiteral("DZ202603100001"));

    // The export reads the statement's orders from the server.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("statement.csv"));
    statements(window)->setCurrentItem(statements(window)->topLevelItem(0));
    ASSERT_TRUE(window->exportStatement(path));
    ASSERT_TRUE(waitFor([window] { return !window->exportRunning(); }));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll().mid(3)).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 8);
    EXPECT_EQ(lines[1], number + QStringLiteral(",待对账,2026-03-10,2026-03-10,50.05,5.00,55.05"));
    QStringList orders = {lines[4].section(QLatin1Char(','), 1), lines[5].section(QLatin1Char(','), 1)};
    orders.sort();
    EXPECT_EQ(orders, (QStringList{QStringLiteral("已发货,鲜达商贸有限公司,2,20.02,0.00,20.02"),
                                   QStringLiteral("已发货,鲜达商贸有限公司,3,30.03,5.00,35.03")}))
        << lines.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(lines[6], QStringLiteral("合计,,,5,50.05,5.00,55.05"));
    signOut();

    signIn(QStringLiteral("buyer1"));
    window = openPartner();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->findChild<QLabel *>(QStringLiteral("标签_公司名称"))->text(),
              QStringLiteral("公司：青禾食品有限公司"));
    ASSERT_TRUE(waitForState(window, QStringLiteral("待对账")));
    statements(window)->setCurrentItem(statements(window)->topLevelItem(0));
    window->findChild<QAbstractButton *>(QStringLiteral("超级按钮_对账或结算"))->click();
    ASSERT_TRUE(waitForState(window, QStringLiteral("已对账")));
    signOut();

    signIn(QStringLiteral("supplier1"));
    window = openPartner();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitForState(window, QStringLiteral("已对账")));
    statements(window)->setCurrentItem(statements(window)->topLevelItem(0));
    window->viewSelectedDetails();
    auto *details = window->findChild<QTreeWidget *>(QStringLiteral("超级列表框2"));
    ASSERT_TRUE(waitFor([details] { return details->topLevelItemCount() == 2; }));
    EXPECT_EQ(window->findChild<QLabel *>(QStringLiteral("标签_结算明细"))->text(),
              QStringLiteral("当前位置：结算明细 - > 2026-03-10 至 2026-03-10"));
    window->findChild<QAbstractButton *>(QStringLiteral("超级按钮_对账或结算"))->click();
    ASSERT_TRUE(waitForState(window, QStringLiteral("已结算")));
    auto *unsettled = window->findChild<QLabel *>(QStringLiteral("标签_财务对账_未结算"));
    EXPECT_EQ(unsettled->text(), QStringLiteral("0.00元"));
    EXPECT_EQ(window->findChild<QLabel *>(QStringLiteral("标签_财务对账_已结算"))->text(),
              QStringLiteral("55.05元"));
    EXPECT_TRUE(ender.codes().isEmpty());
}
