// The order viewing window: its state pages per role and state, the ship checks, the
// copy buttons, replies of other orders, and the shipping note.

#include "client/core/appstate.h"
#include "client/core/text.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/orders/orderhooks.h"
#include "client/ui/orders/orderviewwindow.h"
#include "protocol/scramble.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"

#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>

using namespace vantrell::client;
using namespace vantrell::test;

namespace {

QString scrambled(const QString &text)
{
    return QString::fromStdString(vantrell::protocol::scramble(toGbkString(text)));
}

QString page(const QString &number, const QString &state, int lines = 1,
             const QString &address = QStringLiteral("上海市浦东新区1号"))
{
    QString text =
        QStringLiteral(
            "基础通讯_返回发货订单页面|订单号[%1]商家名称[<i>华东采购</i>]下单日期[2026-12-08 10:00:00]"
            "收货地址[%2]供应商留言[%3]商品件数[%4]总重量[1.5]商品金额[%5]运费[0.00]总金额[%5]"
            "订单状态[%6]发货类型[1]")
            .arg(number, scrambled(address), scrambled(QStringLiteral("请尽快发货")))
            .arg(lines * 2)
            .arg(lines == 0 ? QStringLiteral("0.00") : QStringLiteral("%1.50").arg(lines * 25))
            .arg(state);
    for (int i = 1; i <= lines; ++i)
        text += QStringLiteral(
                    "数据详情_名称[东北大米%1]编码[DM0%1]规格[5kg]单位[袋]单价[12.75]数量[2]金额[25.50]")
                    .arg(i);
    return text;
}

class OrderViewTest : public ::testing::Test
{
protected:
    void start(const QString &type)
    {
        AppState &state = appState();
        state.appTitle = QStringLiteral("Vantrell供销通");
        state.currentUserName = QStringLiteral("user");
        state.profileType = type;
        state.profileCompany = QStringLiteral("远航供应链");
        registerAllHandlers();
        main = new MainWindow;
        main->show();
        processPending();
        requests.clear();
    }

    OrderViewWindow *open(const QString &orderId)
    {
        openOrderViewer(main, orderId);
        processPending();
        return WindowRegistry::as<OrderViewWindow>(WindowId::OrderViewing);
    }

    void TearDown() override
    {
        WindowRegistry::close(WindowId::OrderViewing);
        WindowRegistry::close(WindowId::Main);
        processPending();
    }

    void deliver(const QString &payload) { ServerLink::instance().deliver(gbkPayload(payload)); }
    void carriers(const QString &name, const QString &number)
    {
        deliver(QStringLiteral("基础通讯_返回订单发货/"
                               "获取物流名称列表|列表详情_物流名称[顺丰速运]列表详情_物流名称[中通快递]"
                               "默认物流名称[%1]默认物流单号[%2]")
                    .arg(name, number));
    }

    FakeMessageBoxes boxes;
    TempUserData data;
    RequestRecorder requests;
    ProgramEndRecorder ender;
    MainWindow *main = nullptr;
};

} // namespace

TEST_F(OrderViewTest, SupplierShipsAPendingOrderAfterEveryCheck)
{
    start(QStringLiteral("供应商"));
    OrderViewWindow *window = open(QStringLiteral("17"));
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("查看订单"));
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_获取发货订单页面|订单ID[17]")});
    requests.clear();
    deliver(page(QStringLiteral("20261208000017"), QStringLiteral("0")));
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_订单发货/获取物流名称列表|订单ID[17]")});
    carriers(QString(), QStringLiteral("请填写物流单号..."));
    requests.clear();

    auto *pages = child<QTabWidget>(window, QStringLiteral("高级选择夹1"));
    auto *ship = child<QPushButton>(window, QStringLiteral("超级按钮_订单管理_下单发货"));
    auto *method = child<QComboBox>(window, QStringLiteral("组合框1"));
    auto *carrier = child<QComboBox>(window, QStringLiteral("组合框2"));
    auto *number = child<QComboBox>(window, QStringLiteral("组合框3"));
    auto *totals = child<QTableWidget>(window, QStringLiteral("高级表格2"));
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_EQ(ship->text(), QStringLiteral("发货"));
    EXPECT_TRUE(carrier->isEnabled() && number->isEnabled());
    EXPECT_EQ(carrier->count(), 2);
    EXPECT_TRUE(child<QToolButton>(window, QStringLiteral("图形按钮_打印"))->isVisibleTo(window));
    EXPECT_TRUE(totals->item(1, 4)->flags() & Qt::ItemIsEditable);
    EXPECT_EQ(totals->item(1, 2)->text(), QStringLiteral("1.5KG"));
    // The merchant's name is shown as it is written.
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("透明标签_订单发货_商家名称"))->textFormat(),
              Qt::PlainText);

    // The total follows the freight in whole fen.
    totals->item(1, 4)->setText(QStringLiteral("0.10"));
    EXPECT_EQ(totals->item(1, 5)->text(), QStringLiteral("25.60"));

    totals->item(1, 4)->setText(QString());
    ship->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("请填写运费!"));
    EXPECT_EQ(boxes.last().caption, QStringLiteral("查看订单"));
    totals->item(1, 4)->setText(QStringLiteral("8"));
    carrier->setEditText(QStringLiteral("请填写物流名称..."));
    ship->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("请填写物流名称!"));
    carrier->setEditText(QStringLiteral("顺丰速运"));
    ship->click(); // the number still holds the server's placeholder text
    EXPECT_EQ(boxes.last().text, QStringLiteral("请填写物流单号!"));
    number->setEditText(QStringLiteral("SF1234567890"));
    boxes.answerNext(MessageAnswer::No);
    ship->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("订单号[20261208000017]是否发货?"));
    EXPECT_EQ(boxes.last().style, int(StyleYesNo));
    EXPECT_TRUE(requests.texts().isEmpty());

    ship->click();
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_订单发货|订单ID[17]运费[8.00]发货类型[1]"
                                                           "物流名称[顺丰速运]物流单号[SF1234567890]")});
    requests.clear();

    // Picking up needs neither carrier nor number, and they are disabled.
    QTest::qWait(400); // the click guard
    method->setCurrentIndex(1);
    EXPECT_FALSE(carrier->isEnabled());
    carrier->setEditText(QString());
    number->setEditText(QString());
    ship->click();
    ASSERT_EQ(requests.texts().size(), 1);
    EXPECT_TRUE(requests.texts().first().contains(QStringLiteral("发货类型[2]")));
}

TEST_F(OrderViewTest, StatePagesFollowRoleAndState)
{
    struct Case
    {
        const char *type;
        const char *state;
        int page;
        const char *caption;
        bool copyShown;
        bool editable;
    };
    const Case cases[] = {
        {"供应商", "0", 0, "发货", false, true},    {"供应商", "1", 0, "已发货", true, false},
        {"供应商", "2", 2, "取消中", false, false}, {"供应商", "3", 0, "已关闭", false, false},
        {"采购商", "0", 1, "发货", false, false},   {"采购商", "1", 0, "已发货", true, false},
        {"采购商", "2", 0, "取消中", false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + c.state);
        start(QString::fromUtf8(c.type));
        OrderViewWindow *window = open(QStringLiteral("5"));
        ASSERT_TRUE(window);
        deliver(page(QStringLiteral("N5"), QString::fromUtf8(c.state)));
        EXPECT_EQ(child<QTabWidget>(window, QStringLiteral("高级选择夹1"))->currentIndex(), c.page);
        auto *ship = child<QPushButton>(window, QStringLiteral("超级按钮_订单管理_下单发货"));
        EXPECT_EQ(ship->text(), QString::fromUtf8(c.caption));
        EXPECT_EQ(child<QPushButton>(window, QStringLiteral("超级按钮_复制单号"))->isVisibleTo(window),
                  c.copyShown);
        EXPECT_EQ(bool(child<QTableWidget>(window, QStringLiteral("高级表格2"))->item(1, 4)->flags() &
                       Qt::ItemIsEditable),
                  c.editable);
        EXPECT_EQ(child<QComboBox>(window, QStringLiteral("组合框2"))->isEnabled(), c.editable);
        EXPECT_EQ(child<QToolButton>(window, QStringLiteral("图形按钮_打印"))->isVisibleTo(window),
                  QString::fromUtf8(c.type) == QStringLiteral("供应商"));
        if (QString::fromUtf8(c.state) != QStringLiteral("0")) {
            requests.clear();
            ship->click();
            const QString expected = QString::fromUtf8(c.state) == QStringLiteral("1")
                                         ? QStringLiteral("订单已发货!")
                                     : QString::fromUtf8(c.state) == QStringLiteral("2")
                                         ? QStringLiteral("订单取消中,请联系供应商处理!")
                                         : QStringLiteral("订单已关闭!");
            EXPECT_EQ(boxes.last().text, expected);
            EXPECT_TRUE(requests.texts().isEmpty());
        }
        TearDown();
    }
}

TEST_F(OrderViewTest, CancellingAndAnsweringUseTheWindowsOwnOrder)
{
    start(QStringLiteral("采购商"));
    OrderViewWindow *window = open(QStringLiteral("9"));
    deliver(page(QStringLiteral("N9"), QStringLiteral("0")));
    requests.clear();
    boxes.answerNext(MessageAnswer::No);
    child<QPushButton>(window, QStringLiteral("超级按钮_订单管理_取消订单"))->click();
    EXPECT_EQ(boxes.last().caption, QStringLiteral("取消订单"));
    EXPECT_TRUE(requests.texts().isEmpty());
    QTest::qWait(400);
    child<QPushButton>(window, QStringLiteral("超级按钮_订单管理_取消订单"))->click();
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_取消订单|订单ID[9]")});
    requests.clear();

    // Another order's result refreshes the list only; this order's asks for its page again.
    deliver(QStringLiteral("基础通讯_取消订单/订单关闭|订单ID[4]"));
    ASSERT_EQ(requests.texts().size(), 1);
    EXPECT_TRUE(requests.texts().first().startsWith(QStringLiteral("基础通讯_查询订单|")));
    requests.clear();
    deliver(QStringLiteral("基础通讯_取消订单/订单关闭|订单ID[9]"));
    EXPECT_EQ(requests.texts(), QStringList{QStringLiteral("基础通讯_获取发货订单页面|订单ID[9]")});
    requests.clear();
    deliver(page(QStringLiteral("N9"), QStringLiteral("3")));
    EXPECT_EQ(child<QPushButton>(window, QStringLiteral("超级按钮_订单管理_下单发货"))->text(),
              QStringLiteral("已关闭"));
    // After the page the list (and with it the dashboard) is read again.
    EXPECT_TRUE(requests.texts().join(QLatin1Char(' ')).contains(QStringLiteral("基础通讯_查询订单|")));
    TearDown();

    start(QStringLiteral("供应商"));
    window = open(QStringLiteral("12"));
    deliver(page(QStringLiteral("N12"), QStringLiteral("2")));
    requests.clear();
    child<QPushButton>(window, QStringLiteral("超级按钮_订单管理_同意关闭"))->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("同意取消订单?"));
    EXPECT_EQ(boxes.last().caption, QStringLiteral("查看订单"));
    child<QPushButton>(window, QStringLiteral("超级按钮_订单管理_取消关闭"))->click();
    EXPECT_EQ(boxes.last().text, QStringLiteral("不同意取消订单?"));
    EXPECT_EQ(requests.texts(),
              (QStringList{QStringLiteral("基础通讯_供应商处理异常订单|订单ID[12]处理方式[1]"),
                           QStringLiteral("基础通讯_供应商处理异常订单|订单ID[12]处理方式[2]")}));
}

TEST_F(OrderViewTest, OtherOrdersPagesAreIgnoredAndFiguresNeverGoStale)
{
    start(QStringLiteral("供应商"));
    OrderViewWindow *window = open(QStringLiteral("3"));
    deliver(page(QStringLiteral("N3"), QStringLiteral("0"), 2));
    auto *goods = child<QTableWidget>(window, QStringLiteral("高级表格1"));
    auto *totals = child<QTableWidget>(window, QStringLiteral("高级表格2"));
    EXPECT_EQ(goods->item(2, 1)->text(), QStringLiteral("东北大米2"));
    EXPECT_EQ(goods->item(2, 0)->text(), QStringLiteral("2"));

    // A late page of another order changes nothing.
    deliver(page(QStringLiteral("N99"), QStringLiteral("1"), 1, QStringLiteral("别的地址")));
    EXPECT_EQ(child<QLabel>(window, QStringLiteral("透明标签_订单发货_订单号"))->text(),
              QStringLiteral("N3"));
    EXPECT_EQ(window->order().address, QStringLiteral("上海市浦东新区1号"));

    // The same order without lines: the grid and totals follow, nothing of before stays.
    requests.clear();
    deliver(page(QStringLiteral("N3"), QStringLiteral("0"), 0));
    EXPECT_TRUE(goods->item(1, 1)->text().isEmpty());
    EXPECT_TRUE(goods->item(2, 1)->text().isEmpty());
    EXPECT_EQ(totals->item(1, 1)->text(), QStringLiteral("0"));
    EXPECT_EQ(totals->item(1, 3)->text(), QStringLiteral("0.00"));
    EXPECT_TRUE(requests.texts().isEmpty()); // no logistics request without lines
    // A carriers reply nobody asked for is ignored.
    carriers(QStringLiteral("中通快递"), QStringLiteral("ZT1"));
    carriers(QStringLiteral("德邦物流"), QStringLiteral("DB2"));
    EXPECT_EQ(child<QComboBox>(window, QStringLiteral("组合框3"))->currentText(), QStringLiteral("ZT1"));
}

TEST_F(OrderViewTest, CopyButtonsFillTheClipboardAndShowTheirTips)
{
    start(QStringLiteral("采购商"));
    OrderViewWindow *window = open(QStringLiteral("8"));
    deliver(page(QStringLiteral("N8"), QStringLiteral("1"), 1, QStringLiteral("<b>x</b> 路")));
    carriers(QStringLiteral("顺丰速运"), QStringLiteral("SF0001"));
    auto *address = child<QLineEdit>(window, QStringLiteral("编辑框_收货地址"));
    EXPECT_EQ(address->text(), QStringLiteral("<b>x</b> 路"));
    EXPECT_TRUE(address->isReadOnly());
    EXPECT_EQ(child<QComboBox>(window, QStringLiteral("组合框2"))->currentText(), QStringLiteral("顺丰速运"));

    child<QPushButton>(window, QStringLiteral("超级按钮_复制单号"))->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("SF0001"));
    EXPECT_EQ(window->lastBalloonTip(), QStringLiteral("物流单号已复制到剪辑版！"));
    child<QPushButton>(window, QStringLiteral("超级按钮_复制单号1"))->click();
    EXPECT_EQ(window->lastBalloonTip(), QStringLiteral("物流名称：顺丰速运\r\n物流单号：SF0001"));
    child<QPushButton>(window, QStringLiteral("超级按钮2"))->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("<b>x</b> 路"));
    EXPECT_EQ(window->lastBalloonTip(), QStringLiteral("收货地址已复制到剪辑版！"));
    child<QPushButton>(window, QStringLiteral("超级按钮1"))->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("请尽快发货"));
    EXPECT_EQ(window->lastBalloonTip(), QStringLiteral("商家留言已复制到剪辑版！"));
}

TEST_F(OrderViewTest, ShippingNoteHoldsTheOrderAsPlainTextAndWritesAPdf)
{
    start(QStringLiteral("供应商"));
    OrderViewWindow *window = open(QStringLiteral("2"));
    deliver(page(QStringLiteral("N2"), QStringLiteral("0"), 2, QStringLiteral("<b>x</b>")));
    const QTextDocument *note = window->shippingNote();
    ASSERT_TRUE(note);
    const QString text = note->toPlainText();
    for (const char *part :
         {"远航供应链 - 发货单", "订单号：N2", "商家名称：<i>华东采购</i>", "东北大米1", "东北大米2", "DM02",
          "商品件数：4", "商品金额：50.50", "总金额：50.50", "<b>x</b>", "请尽快发货"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(part))) << part;

    // One line gives six rows: header, titles, the line, totals, address, message.
    const auto rows = [](const QTextDocument *doc) {
        return doc->toHtml().count(QStringLiteral("<tr"));
    };
    deliver(page(QStringLiteral("N2"), QStringLiteral("0"), 1));
    EXPECT_EQ(rows(window->shippingNote()), 6);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("note.pdf"));
    ASSERT_TRUE(saveShippingNotePdf(*window->shippingNote(), path));
    QFile pdf(path);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5).startsWith("%PDF"));
    EXPECT_GT(pdf.size(), 1024);
}

// Pictures for the documentation, written only when VANTRELL_SCREENSHOT_DIR names a folder.
TEST_F(OrderViewTest, Screenshots)
{
    const QString dir = qEnvironmentVariable("VANTRELL_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "VANTRELL_SCREENSHOT_DIR not set";
    const auto shot = [&](const char *type, const char *state, const char *file, bool withCarrier) {
        start(QString::fromUtf8(type));
        OrderViewWindow *window = open(QStringLiteral("31"));
        deliver(page(QStringLiteral("20261208000031"), QString::fromUtf8(state), 3,
                     QStringLiteral("上海市浦东新区张江路88号 仓库B区 王经理 13800001111")));
        carriers(withCarrier ? QStringLiteral("顺丰速运") : QString(),
                 withCarrier ? QStringLiteral("SF1403228871") : QStringLiteral("请填写物流单号..."));
        processPending();
        window->grab().save(dir + QLatin1Char('/') + QString::fromUtf8(file));
        if (QString::fromUtf8(state) == QStringLiteral("0")) {
            const QTextDocument *note = window->shippingNote();
            QImage image(900, 620, QImage::Format_ARGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            painter.translate(30, 30);
            std::unique_ptr<QTextDocument> copy(note->clone());
            copy->setTextWidth(840);
            copy->drawContents(&painter);
            painter.end();
            image.save(dir + QStringLiteral("/shipping-note-preview.png"));
            saveShippingNotePdf(*note, dir + QStringLiteral("/sample-shipping-note.pdf"));
        }
        TearDown();
    };
    shot("供应商", "0", "order-view-pending-supplier.png", false);
    shot("采购商", "1", "order-view-shipped-purchaser.png", true);
    shot("供应商", "2", "order-view-cancelling-supplier.png", true);
}
