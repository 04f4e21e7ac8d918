// The goods authorisation window: filling lists never sends grants, replies for a
// distributor no longer shown are dropped, and a tick is stored for its own row.

#include "client/core/appstate.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/goods/grantwindow.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

using namespace vantrell::client;
using namespace vantrell::test;

namespace {

const QString kDistributors =
    QStringLiteral("基础通讯_返回分销商列表/"
                   "授权商品|合计页数[1]当前页数[1]列标详情_列信息[ID_0_0]列标详情_列信息[公司名称_160_0]"
                   "列标详情_列信息[姓名_70_0]列标详情_列信息[授权方式_70_1]"
                   "数据详情_ID[11]公司名称[<b>华东商贸</b>]姓名[李四]授权方式[指定商品]"
                   "数据详情_ID[12]公司名称[南方连锁]姓名[王五]授权方式[全部商品]");

QString goodsReply(const QString &distributor, const QString &mode)
{
    const QString modeField = mode.isEmpty() ? QString() : QStringLiteral("商品授权[%1]").arg(mode);
    return QStringLiteral(
               "基础通讯_返回商品列表/授权商品|%1采购商ID[%2]合计页数[2]当前页数[1]"
               "列标详情_列信息[ID_0_0]列标详情_列信息[商品名称_160_0]列标详情_列信息[商品分类_85_0]"
               "列标详情_列信息[商品编码_100_0]列标详情_列信息[商品规格_80_0]列标详情_列信息[授权状态_0_0]"
               "数据详情_ID[1]商品名称[矿泉水]商品分类[饮料]商品编码[A1]商品规格[箱]授权状态[1]"
               "数据详情_ID[2]商品名称[苏打水]商品分类[饮料]商品编码[A2]商品规格[箱]授权状态[2]"
               "数据详情_ID[3]商品名称[薯片]商品分类[零食]商品编码[B1]商品规格[袋]授权状态[1]")
        .arg(modeField, distributor);
}

class GrantWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        appState().appTitle = QStringLiteral("Vantrell供销通");
        appState().profileType = QStringLiteral("供应商");
        registerAllHandlers();
        main = new MainWindow;
        main->show();
        processPending();
        requests.clear();
        openGrantWindowOver(main);
        window = WindowRegistry::as<GrantWindow>(WindowId::GoodsAuthorisation);
        ASSERT_NE(window, nullptr);
        distributors = child<QTreeWidget>(window, QStringLiteral("超级列表框_采购商"));
        goods = child<QTreeWidget>(window, QStringLiteral("超级列表框_商品"));
    }

    void TearDown() override
    {
        WindowRegistry::close(WindowId::GoodsAuthorisation);
        WindowRegistry::close(WindowId::Main);
        processPending();
    }

    void deliver(const QString &payload) { ServerLink::instance().deliver(gbkPayload(payload)); }
    void select(int row) { distributors->setCurrentItem(distributors->topLevelItem(row)); }
    QList<bool> ticks() const
    {
        QList<bool> result;
        for (int i = 0; i < goods->topLevelItemCount(); ++i)
            result << (goods->topLevelItem(i)->checkState(1) == Qt::Checked);
        return result;
    }

    FakeMessageBoxes boxes;
    TempUserData data;
    RequestRecorder requests;
    ProgramEndRecorder ender;
    MainWindow *main = nullptr;
    GrantWindow *window = nullptr;
    QTreeWidget *distributors = nullptr;
    QTreeWidget *goods = nullptr;
};

} // namespace

TEST_F(GrantWindowTest, FillingAndSwitchingSendOnlyTheQueries)
{
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_获取分销商列表/授权商品|关键词[]")});
    EXPECT_FALSE(child<QWidget>(window, QStringLiteral("外形框4"))->isEnabled());
    requests.clear();

    deliver(kDistributors);
    ASSERT_EQ(distributors->topLevelItemCount(), 2);
    EXPECT_TRUE(requests.texts().isEmpty());

    select(0);
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_获取商品列表/授权商品|采购商ID[11]关键词[]查询页数[1]")});
    auto *heading = child<QLabel>(window, QStringLiteral("透明标签2"));
    EXPECT_EQ(heading->text(), QStringLiteral("<b>华东商贸</b> - 授权商品"));
    EXPECT_EQ(heading->textFormat(), Qt::PlainText); // another merchant's name, never markup
    requests.clear();

    // Filling ticks rows from the stored states and sends nothing for any of them.
    deliver(goodsReply(QStringLiteral("11"), QStringLiteral("2")));
    EXPECT_EQ(ticks(), (QList<bool>{true, false, true}));
    EXPECT_TRUE(goods->isEnabled());
    EXPECT_TRUE(child<QRadioButton>(window, QStringLiteral("单选框2"))->isChecked());
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("标签_商品_共"))->text(), QStringLiteral("共 2 页"));
    EXPECT_TRUE(requests.texts().isEmpty()) << requests.texts().join(QLatin1Char('\n')).toStdString();

    // Switching to the other distributor: one list query, no grant and no mode change.
    select(1);
    EXPECT_EQ(goods->topLevelItemCount(), 0);
    deliver(goodsReply(QStringLiteral("12"), QStringLiteral("1")));
    EXPECT_EQ(ticks(), (QList<bool>{true, true, true})); // mode 1 ticks all, whatever is stored
    EXPECT_FALSE(goods->isEnabled());
    EXPECT_TRUE(child<QRadioButton>(window, QStringLiteral("单选框1"))->isChecked());
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_获取商品列表/授权商品|采购商ID[12]关键词[]查询页数[1]")});
}

TEST_F(GrantWindowTest, RepliesForADistributorNoLongerShownAreDropped)
{
    deliver(kDistributors);
    select(0);
    select(1); // the reply for 11 is still on its way
    deliver(goodsReply(QStringLiteral("11"), QStringLiteral("2")));
    EXPECT_EQ(goods->topLevelItemCount(), 0);
    EXPECT_FALSE(child<QWidget>(window, QStringLiteral("外形框4"))->isEnabled());
    deliver(goodsReply(QStringLiteral("12"), QString())); // without a mode: only listed goods
    EXPECT_EQ(ticks(), (QList<bool>{true, false, true}));
    EXPECT_TRUE(child<QRadioButton>(window, QStringLiteral("单选框2"))->isChecked());
    requests.clear();

    deliver(QStringLiteral("基础通讯_变更商品授权方式成功|采购商ID[11]"));
    EXPECT_TRUE(requests.texts().isEmpty());
    deliver(QStringLiteral("基础通讯_变更商品授权方式成功|采购商ID[12]"));
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_获取商品列表/授权商品|采购商ID[12]关键词[]查询页数[1]")});

    // Searching distributors again empties the goods half.
    child<QPushButton>(window, QStringLiteral("超级按钮_分销商_搜索"))->click();
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("透明标签2"))->text(), QStringLiteral("授权商品"));
    EXPECT_EQ(goods->topLevelItemCount(), 0);
    EXPECT_EQ(window->distributor(), -1);
}

TEST_F(GrantWindowTest, ATickIsStoredForItsOwnRowAndModesAreSentOnce)
{
    deliver(kDistributors);
    select(0);
    deliver(goodsReply(QStringLiteral("11"), QStringLiteral("2")));
    requests.clear();

    goods->setCurrentItem(goods->topLevelItem(0));
    goods->topLevelItem(1)->setCheckState(1, Qt::Checked); // ticked while row 0 is current
    goods->topLevelItem(2)->setCheckState(1, Qt::Unchecked);
    EXPECT_EQ(requests.texts(),
              (QStringList{QStringLiteral("基础通讯_变更商品授权状态|商品ID[2]授权状态[1]"),
                           QStringLiteral("基础通讯_变更商品授权状态|商品ID[3]授权状态[2]")}));
    requests.clear();

    child<QRadioButton>(window, QStringLiteral("单选框1"))->click();
    EXPECT_FALSE(goods->isEnabled());
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_变更商品授权方式|采购商ID[11]授权方式[1]")});
    requests.clear();
    child<QRadioButton>(window, QStringLiteral("单选框2"))->click();
    EXPECT_TRUE(goods->isEnabled());
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_变更商品授权方式|采购商ID[11]授权方式[2]")});

    // The goods search and the page step ask for this distributor only.
    requests.clear();
    child<QPushButton>(window, QStringLiteral("按钮_商品_下一页"))->click();
    EXPECT_EQ(requests.texts(),
              QStringList{QStringLiteral("基础通讯_获取商品列表/授权商品|采购商ID[11]关键词[]查询页数[2]")});
}
