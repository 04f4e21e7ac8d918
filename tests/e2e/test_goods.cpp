// Goods against the real server, through the real windows: a supplier adds goods with a
// category of its own, edits them while an order takes stock, shelves and unshelves
// them; a purchaser authorised for listed goods only sees and opens exactly those.

#include "client/core/appstate.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/ui/account/loginwindow.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/common/listfiller.h"
#include "client/ui/goods/goodseditor.h"
#include "client/ui/goods/goodspage.h"
#include "client/ui/goods/grantwindow.h"
#include "client/ui/goods/purchasergoodspage.h"
#include "protocol/gbk.h"
#include "protocol/scramble.h"
#include "server/db/database.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"
#include "support/server/launcher.h"
#include "support/server/testclient.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>

#include <soci/soci.h>

using namespace vantrell::client;
using namespace vantrell::test;
namespace testing_ = vantrell::testing;

namespace {

const QString kPassword = QStringLiteral("pass1234");

class GoodsEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Both accounts cooperate before any window opens; the supplier's own connection
        // stays for the changes a test makes behind the windows' back.
        ASSERT_TRUE(seller.connect(server.port()) && buyer.connect(server.port()));
        ASSERT_TRUE(seller.registerAccount("seller01", "pass1234", "远航供应链有限公司", "2"));
        ASSERT_TRUE(buyer.registerAccount("buyer001", "pass1234", "华东采购有限公司", "1"));
        ASSERT_TRUE(seller.login("seller01", "pass1234") && buyer.login("buyer001", "pass1234"));
        ASSERT_TRUE(
            buyer.exchange("基础通讯_保存个人中心基本资料", "联系人[李采购]电话[13800000000]邮箱[]地址[]"));
        supplierId = accountId("seller01");
        buyerId = accountId("buyer001");
        ASSERT_TRUE(buyer.exchange("基础通讯_申请合作", "供应商ID[" + std::to_string(supplierId) + "]"));
        const auto enabled =
            seller.exchange("基础通讯_启用停用商家", "ID[" + std::to_string(buyerId) + "]类型[1]");
        ASSERT_TRUE(enabled && !enabled->empty() && enabled->front().name == "基础通讯_启用商家成功");

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
        EXPECT_TRUE(ender.codes().isEmpty());
    }

    long long accountId(const std::string &name)
    {
        return server.database().read([&](vantrell::server::db::Tx &tx) {
            long long id = 0;
            tx.sql() << "SELECT id FROM accounts WHERE user_name = :n", soci::use(name), soci::into(id);
            return id;
        });
    }

    // One number read from the database, e.g. a goods item's stock.
    long long number(const std::string &query)
    {
        return server.database().read([&](vantrell::server::db::Tx &tx) {
            long long value = -1;
            tx.sql() << query, soci::into(value);
            return value;
        });
    }

    // Adds goods through the supplier's own connection; returns the new goods ID.
    long long addGoods(const std::string &name, const std::string &code, const std::string &category = "")
    {
        const auto added =
            seller.exchange("基础通讯_增加编辑商品", "商品ID[]商品名称[" + name + "]商品编码[" + code +
                                                         "]商品规格[箱]商品单价[20]商品重量[1]商品库存[50]"
                                                         "商品单位[箱]商品分类[" +
                                                         category + "]");
        EXPECT_TRUE(added && !added->empty() && added->front().name == "基础通讯_增加商品成功");
        return number("SELECT MAX(id) FROM goods");
    }

    MainWindow *signIn(const QString &user)
    {
        if (!signInThrough(login.get(), user, kPassword))
            return nullptr;
        main = WindowRegistry::as<MainWindow>(WindowId::Main);
        return main;
    }

    void signOut()
    {
        signOutClosing({WindowId::GoodsEditing, WindowId::GoodsAuthorisation, WindowId::SupplierDropDown});
        main = nullptr;
        if (login)
            login->show();
    }

    bool waitForBox(const QString &text)
    {
        return waitFor([&] { return boxes.last().text == text; }, 10000);
    }

    // The names in a goods list, in the order shown.
    static QStringList names(const QTreeWidget *list)
    {
        QStringList out;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            out << cellByTitle(list, QStringLiteral("商品名称"), list->topLevelItem(i));
        return out;
    }

    bool waitForNames(const QTreeWidget *list, const QStringList &expected)
    {
        const bool shown = waitFor([&] { return names(list) == expected; }, 10000);
        if (!shown)
            ADD_FAILURE() << "list shows " << names(list).join(QLatin1Char(',')).toStdString();
        return shown;
    }

    // The editing window once the server's goods (or categories) are in it.
    GoodsEditor *openedEditor()
    {
        auto *editor = WindowRegistry::as<GoodsEditor>(WindowId::GoodsEditing);
        if (!editor) {
            ADD_FAILURE() << "the goods editing window did not open";
            return nullptr;
        }
        auto *action = child<QPushButton>(editor, QStringLiteral("超级按钮_增加编辑商品"));
        auto *name = child<QLineEdit>(editor, QStringLiteral("编辑框_商品名称"));
        const bool filled = waitFor(
            [&] {
                return action->isEnabled() &&
                       (editor->mode() == GoodsEditor::Mode::Add || !name->text().isEmpty());
            },
            10000);
        EXPECT_TRUE(filled);
        return filled ? editor : nullptr;
    }

    static QString field(QWidget *editor, const char *name)
    {
        return child<QLineEdit>(editor, QString::fromUtf8(name))->text();
    }
    static void setField(QWidget *editor, const char *name, const QString &text)
    {
        child<QLineEdit>(editor, QString::fromUtf8(name))->setText(text);
    }

    void click(QWidget *parent, const QString &name) { child<QPushButton>(parent, name)->click(); }

    testing_::InProcessServer server;
    testing_::TestClient seller, buyer;
    long long supplierId = 0;
    long long buyerId = 0;
    FakeMessageBoxes boxes;
    TempUserData data;
    ProgramEndRecorder ender;
    std::unique_ptr<LoginWindow> login;
    MainWindow *main = nullptr;
};

} // namespace

TEST_F(GoodsEndToEnd, AddWithANewCategoryThenAnEditKeepsTheOrderPlacedMeanwhile)
{
    addGoods("苏打水整箱", "SD-01", "饮料");
    ASSERT_NE(signIn(QStringLiteral("seller01")), nullptr);
    main->navigate(NavColumn::Supplier, 2);
    QTreeWidget *list = main->goodsPage()->list();
    ASSERT_TRUE(waitForNames(list, {QStringLiteral("苏打水整箱")}));

    click(main, QStringLiteral("超级按钮_商品管理_新增"));
    GoodsEditor *editor = openedEditor();
    ASSERT_NE(editor, nullptr);
    auto *category = child<QComboBox>(editor, QStringLiteral("组合框_分类"));
    ASSERT_TRUE(waitFor([&] { return category->count() == 1; }, 10000)); // the supplier's 饮料
    EXPECT_EQ(category->currentText(), QStringLiteral("设置商品分类..."));
    setField(editor, "编辑框_商品名称", QStringLiteral("手工挂面"));
    setField(editor, "编辑框_商品编码", QStringLiteral("GM-02"));
    setField(editor, "编辑框_商品规格", QStringLiteral("1kg/包"));
    setField(editor, "编辑框_商品单价", QStringLiteral("9.9元"));
    setField(editor, "编辑框_商品重量", QStringLiteral("1.050千克"));
    setField(editor, "编辑框_商品库存", QStringLiteral("100"));
    child<QComboBox>(editor, QStringLiteral("组合框_单位"))->setEditText(QStringLiteral("包"));
    category->setEditText(QStringLiteral("粮油米面"));
    click(editor, QStringLiteral("超级按钮_增加编辑商品"));
    ASSERT_TRUE(waitForBox(QStringLiteral("商品增加成功!")));
    EXPECT_FALSE(WindowRegistry::isLoaded(WindowId::GoodsEditing));

    // Newest first, with price and weight as the server writes them.
    ASSERT_TRUE(waitForNames(list, {QStringLiteral("手工挂面"), QStringLiteral("苏打水整箱")}));
    const QTreeWidgetItem *row = list->topLevelItem(0);
    EXPECT_EQ(cellByTitle(list, QStringLiteral("商品单价"), row), QStringLiteral("9.90"));
    EXPECT_EQ(cellByTitle(list, QStringLiteral("商品重量"), row), QStringLiteral("1.05"));
    EXPECT_EQ(cellByTitle(list, QStringLiteral("商品库存"), row), QStringLiteral("100"));
    EXPECT_EQ(cellByTitle(list, QStringLiteral("商品分类"), row), QStringLiteral("粮油米面"));
    EXPECT_EQ(number("SELECT COUNT(*) FROM categories WHERE supplier_id = " + std::to_string(supplierId)), 2);
    const std::string noodles = row->text(0).toStdString();
    EXPECT_EQ(number("SELECT price_fen FROM goods WHERE id = " + noodles), 990);
    EXPECT_EQ(number("SELECT weight_g FROM goods WHERE id = " + noodles), 1050);

    // The supplier opens the goods for editing; while the window shows 100 the purchaser
    // orders 7, so 93 are left.
    list->setCurrentItem(list->topLevelItem(0));
    click(main, QStringLiteral("超级按钮_商品管理_编辑"));
    editor = openedEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(field(editor, "编辑框_商品库存"), QStringLiteral("100"));
    EXPECT_EQ(field(editor, "编辑框_商品单价"), QStringLiteral("9.90元"));
    EXPECT_EQ(child<QComboBox>(editor, QStringLiteral("组合框_分类"))->currentText(),
              QStringLiteral("粮油米面"));
    const auto scrambled = [](const std::string &utf8) {
        return vantrell::protocol::scramble(*vantrell::protocol::utf8ToGbk(utf8));
    };
    const auto ordered =
        buyer.exchange("基础通讯_下单", "供应商ID[" + std::to_string(supplierId) + "]收货地址[" +
                                            scrambled("上海市浦东新区张江路88号") +
                                            "]供应商留言[]数据详情_商品ID[" + noodles + "]数量[7]\r\n");
    ASSERT_TRUE(ordered && !ordered->empty() && ordered->front().name == "基础通讯_下单成功");
    ASSERT_EQ(number("SELECT stock FROM goods WHERE id = " + noodles), 93);

    // Thirty more typed over the 100 shown: the order's seven stay taken.
    setField(editor, "编辑框_商品库存", QStringLiteral("130"));
    setField(editor, "编辑框_商品单价", QStringLiteral("10.5"));
    click(editor, QStringLiteral("超级按钮_增加编辑商品"));
    ASSERT_TRUE(waitForBox(QStringLiteral("商品编辑成功!")));
    EXPECT_EQ(number("SELECT stock FROM goods WHERE id = " + noodles), 123);
    ASSERT_TRUE(waitFor(
        [&] {
            return list->topLevelItemCount() == 2 &&
                   cellByTitle(list, QStringLiteral("商品库存"), list->topLevelItem(0)) ==
                       QStringLiteral("123");
        },
        10000));
    EXPECT_EQ(cellByTitle(list, QStringLiteral("商品单价"), list->topLevelItem(0)), QStringLiteral("10.50"));

    // Opened again, the window shows what the server holds now; saving it unchanged
    // changes no stock.
    list->setCurrentItem(list->topLevelItem(0));
    click(main, QStringLiteral("超级按钮_商品管理_编辑"));
    editor = openedEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(field(editor, "编辑框_商品库存"), QStringLiteral("123"));
    click(editor, QStringLiteral("超级按钮_增加编辑商品"));
    ASSERT_TRUE(waitFor([] { return !WindowRegistry::isLoaded(WindowId::GoodsEditing); }, 10000));
    EXPECT_EQ(number("SELECT stock FROM goods WHERE id = " + noodles), 123);
}

TEST_F(GoodsEndToEnd, ShelvingMovesGoodsBetweenTheTabs)
{
    addGoods("东北有机大米", "QH-1001");
    addGoods("压榨菜籽油", "QH-1002");
    ASSERT_NE(signIn(QStringLiteral("seller01")), nullptr);
    main->navigate(NavColumn::Supplier, 2);
    QTreeWidget *list = main->goodsPage()->list();
    auto *tabs = child<QTabWidget>(main, QStringLiteral("高级选择夹_商品管理"));
    auto *shelf = child<QPushButton>(main, QStringLiteral("超级按钮_商品管理_下架上架"));
    ASSERT_TRUE(waitForNames(list, {QStringLiteral("压榨菜籽油"), QStringLiteral("东北有机大米")}));
    EXPECT_EQ(shelf->text(), QStringLiteral("下架"));

    list->setCurrentItem(list->topLevelItem(1));
    shelf->click();
    ASSERT_TRUE(waitForNames(list, {QStringLiteral("压榨菜籽油")}));
    EXPECT_EQ(number("SELECT status FROM goods WHERE name = '东北有机大米'"), 2);

    tabs->setCurrentIndex(1);
    EXPECT_EQ(shelf->text(), QStringLiteral("上架"));
    ASSERT_TRUE(waitForNames(list, {QStringLiteral("东北有机大米")}));
    EXPECT_EQ(cellByTitle(list, QStringLiteral("状态"), list->topLevelItem(0)), QStringLiteral("下架"));
    EXPECT_FALSE(list->topLevelItem(0)->icon(1).isNull());

    // Back on sale: the off-the-shelf tab empties and the on-sale tab has both again.
    list->setCurrentItem(list->topLevelItem(0));
    shelf->click();
    ASSERT_TRUE(waitForNames(list, {}));
    tabs->setCurrentIndex(0);
    ASSERT_TRUE(waitForNames(list, {QStringLiteral("压榨菜籽油"), QStringLiteral("东北有机大米")}));
    EXPECT_EQ(cellByTitle(list, QStringLiteral("状态"), list->topLevelItem(1)), QStringLiteral("正常"));
    EXPECT_EQ(number("SELECT COUNT(*) FROM goods WHERE status = 1"), 2);
}

TEST_F(GoodsEndToEnd, PurchaserAuthorisedForListedGoodsSeesExactlyThose)
{
    const long long rice = addGoods("东北有机大米", "QH-1001", "粮油米面");
    const long long oil = addGoods("压榨菜籽油", "QH-1002", "粮油米面");
    addGoods("散养鲜鸡蛋", "QH-1003", "禽蛋");
    const long long mushrooms = addGoods("精选香菇", "QH-1006", "杂粮干货");
    ASSERT_TRUE(
        seller.exchange("基础通讯_商品上架下架", "商品ID[" + std::to_string(mushrooms) + "]类型[下架]"));

    // The supplier lets the purchaser order the oil only, in the authorisation window.
    ASSERT_NE(signIn(QStringLiteral("seller01")), nullptr);
    main->navigate(NavColumn::Supplier, 3);
    click(main, QStringLiteral("超级按钮_商家管理_商品授权"));
    auto *grant = WindowRegistry::as<GrantWindow>(WindowId::GoodsAuthorisation);
    ASSERT_NE(grant, nullptr);
    auto *distributors = child<QTreeWidget>(grant, QStringLiteral("超级列表框_采购商"));
    auto *goods = child<QTreeWidget>(grant, QStringLiteral("超级列表框_商品"));
    ASSERT_TRUE(waitFor([&] { return distributors->topLevelItemCount() == 1; }, 10000));
    EXPECT_EQ(cellByTitle(distributors, QStringLiteral("授权方式"), distributors->topLevelItem(0)),
              QStringLiteral("全部商品"));
    distributors->setCurrentItem(distributors->topLevelItem(0));
    ASSERT_TRUE(waitFor([&] { return goods->topLevelItemCount() == 4; }, 10000));
    EXPECT_FALSE(goods->isEnabled()); // all goods: every row ticked, nothing to tick
    child<QRadioButton>(grant, QStringLiteral("单选框2"))->click();
    const std::string modeQuery =
        "SELECT grant_mode FROM cooperations WHERE purchaser_id = " + std::to_string(buyerId);
    ASSERT_TRUE(waitFor([&] { return number(modeQuery) == 2; }, 10000));
    // The re-read list shows the stored grants: none yet.
    ASSERT_TRUE(waitFor(
        [&] {
            if (goods->topLevelItemCount() != 4 || !goods->isEnabled())
                return false;
            for (int i = 0; i < 4; ++i)
                if (goods->topLevelItem(i)->checkState(1) != Qt::Unchecked)
                    return false;
            return true;
        },
        10000));
    EXPECT_EQ(number("SELECT COUNT(*) FROM goods_grants"), 0);
    for (int i = 0; i < goods->topLevelItemCount(); ++i) {
        if (cellByTitle(goods, QStringLiteral("ID"), goods->topLevelItem(i)) == QString::number(oil))
            goods->topLevelItem(i)->setCheckState(1, Qt::Checked);
    }
    ASSERT_TRUE(waitFor([&] { return number("SELECT COUNT(*) FROM goods_grants") == 1; }, 10000));
    EXPECT_EQ(number("SELECT goods_id FROM goods_grants WHERE purchaser_id = " + std::to_string(buyerId)),
              oil);
    signOut();

    // The purchaser picks the supplier and sees the oil alone.
    ASSERT_NE(signIn(QStringLiteral("buyer001")), nullptr);
    main->navigate(NavColumn::Purchaser, 2);
    PurchaserGoodsPage *page = main->purchaserGoodsPage();
    QTreeWidget *list = page->list();
    ASSERT_TRUE(waitForNames(list, {QStringLiteral("压榨菜籽油")})); // every supplier at first
    click(main, QStringLiteral("超级按钮_供应商列表_搜索"));
    auto *dropDown = WindowRegistry::get(WindowId::SupplierDropDown);
    ASSERT_NE(dropDown, nullptr);
    auto *suppliers = child<QTreeWidget>(dropDown, QStringLiteral("超级列表框1"));
    ASSERT_TRUE(waitFor([&] { return suppliers->topLevelItemCount() == 2; }, 10000)); // with 所有公司
    suppliers->setCurrentItem(suppliers->topLevelItem(1));
    EXPECT_EQ(page->chosenSupplier(), supplierId);
    EXPECT_EQ(page->supplierLabel()->text(), QStringLiteral("远航供应链有限公司"));
    ASSERT_TRUE(waitForNames(list, {QStringLiteral("压榨菜籽油")}));
    EXPECT_EQ(cellByTitle(list, QStringLiteral("供应商"), list->topLevelItem(0)),
              QStringLiteral("远航供应链有限公司"));

    list->setCurrentItem(list->topLevelItem(0));
    click(main, QStringLiteral("超级按钮_查看商品"));
    GoodsEditor *editor = openedEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->mode(), GoodsEditor::Mode::View);
    EXPECT_EQ(field(editor, "编辑框_商品名称"), QStringLiteral("压榨菜籽油"));
    EXPECT_EQ(field(editor, "编辑框_商品单价"), QStringLiteral("20.00元"));
    click(editor, QStringLiteral("超级按钮_增加编辑商品")); // 关闭窗口
    ASSERT_TRUE(waitFor([] { return !WindowRegistry::isLoaded(WindowId::GoodsEditing); }));

    // Goods it is not authorised for are answered as unknown, and the window stays empty.
    openGoodsEditor(main, GoodsEditor::Mode::View, int(rice));
    ASSERT_TRUE(waitForBox(QStringLiteral("未找到该商品!")));
    EXPECT_TRUE(field(WindowRegistry::get(WindowId::GoodsEditing), "编辑框_商品名称").isEmpty());
    WindowRegistry::close(WindowId::GoodsEditing);
    processPending();

    // All goods granted: everything on sale, the mushrooms off the shelf still hidden.
    const auto all =
        seller.exchange("基础通讯_变更商品授权方式", "采购商ID[" + std::to_string(buyerId) + "]授权方式[1]");
    ASSERT_TRUE(all && !all->empty() && all->front().name == "基础通讯_变更商品授权方式成功");
    click(main, QStringLiteral("超级按钮_商品管理_搜索1"));
    ASSERT_TRUE(waitForNames(
        list, {QStringLiteral("散养鲜鸡蛋"), QStringLiteral("压榨菜籽油"), QStringLiteral("东北有机大米")}));
    list->setCurrentItem(list->topLevelItem(2));
    click(main, QStringLiteral("超级按钮_查看商品"));
    editor = openedEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(field(editor, "编辑框_商品名称"), QStringLiteral("东北有机大米"));
}
