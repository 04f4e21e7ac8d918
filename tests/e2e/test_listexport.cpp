// Export of a list against the real server: a supplier's goods over three pages, exported
// from the goods page to a workbook and a CSV file, hold the rows the screen shows page by
// page, with the same numbers, read back by openpyxl and Python's csv module.

#include "client/core/appstate.h"
#include "client/core/windowregistry.h"
#include "client/net/dispatcher.h"
#include "client/ui/account/loginwindow.h"
#include "client/ui/account/mainwindow.h"
#include "client/ui/common/clickguard.h"
#include "client/ui/common/listexport.h"
#include "client/ui/common/pagedlist.h"
#include "client/ui/goods/goodspage.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"
#include "support/server/launcher.h"
#include "support/server/testclient.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>

#ifndef VANTRELL_PYTHON3
#define VANTRELL_PYTHON3 "/usr/bin/python3"
#endif

using namespace vantrell::client;
using namespace vantrell::test;
namespace testing_ = vantrell::testing;

namespace {

// The cells of the shown columns of every row on the screen.
std::vector<QStringList> shownRows(const QTreeWidget *list)
{
    std::vector<QStringList> rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QStringList cells;
        for (const ShownColumn &column : shownColumns(list))
            cells << list->topLevelItem(i)->text(column.logical);
        rows.push_back(cells);
    }
    return rows;
}

} // namespace

TEST(ListExportEndToEnd, GoodsOverThreePagesHoldWhatTheScreenShows)
{
    vantrell::server::Config config = testing_::testConfig();
    config.pageSize = 2;
    testing_::InProcessServer server(config);
    testing_::TestClient seller;
    ASSERT_TRUE(seller.connect(server.port()));
    ASSERT_TRUE(seller.registerAccount("seller01", "pass1234", "远航供应链有限公司", "2"));
    ASSERT_TRUE(seller.login("seller01", "pass1234"));
    const char *goods[][5] = {{"东北大米", "0012", "12.75", "5", "100"},
                              {"龙口粉丝", "FS02", "0.10", "0.1", "50"},
                              {"菜籽油", "0003", "1000", "5.125", "7"},
                              {"白砂糖", "TG04", "3.5", "1", "0"},
                              {"矿泉水", "KS05", "99999.99", "12", "2400"}};
    for (const auto &item : goods) {
        const auto added = seller.exchange("基础通讯_增加编辑商品",
                                           std::string("商品ID[]商品名称[") + item[0] + "]商品编码[" +
                                               item[1] + "]商品规格[箱]商品单价[" + item[2] + "]商品重量[" +
                                               item[3] + "]商品库存[" + item[4] + "]商品单位[箱]商品分类[]");
        ASSERT_TRUE(added && !added->empty() && added->front().name == "基础通讯_增加商品成功");
    }

    FakeMessageBoxes boxes;
    TempUserData data;
    ProgramEndRecorder ender;
    QTemporaryDir files;
    registerAllHandlers();
    boxes.answerNext(MessageAnswer::No); // no desktop shortcut
    LoginWindow login;
    login.start();
    appState().serverHost = QStringLiteral("127.0.0.1");
    appState().serverPort = server.port();
    ASSERT_TRUE(signInThrough(&login, QStringLiteral("seller01"), QStringLiteral("pass1234")));
    auto *main = WindowRegistry::as<MainWindow>(WindowId::Main);
    ASSERT_NE(main, nullptr);
    main->navigate(NavColumn::Supplier, 2);
    auto *list = child<QTreeWidget>(main, QStringLiteral("超级列表框_商品"));
    auto *box = child<QLineEdit>(main, QStringLiteral("编辑框_商品_页"));
    ASSERT_TRUE(waitFor([&] { return list->topLevelItemCount() == 2; }, 10000));

    // What a person reads, page after page.
    std::vector<QStringList> screen;
    const auto firstId = [list] {
        return list->topLevelItemCount() ? list->topLevelItem(0)->text(0) : QString();
    };
    for (int page = 1; page <= 3; ++page) {
        const std::vector<QStringList> rows = shownRows(list);
        screen.insert(screen.end(), rows.begin(), rows.end());
        if (page < 3) {
            // The page box shows the next page at once; the rows come with the reply.
            const QString shown = firstId();
            QTest::qWait(kClickGuardMs + 50);
            child<QPushButton>(main, QStringLiteral("按钮_商品_下一页"))->click();
            ASSERT_TRUE(waitFor([&] { return !firstId().isEmpty() && firstId() != shown; }, 10000));
        }
    }
    EXPECT_EQ(box->text(), QStringLiteral("3"));
    ASSERT_EQ(screen.size(), 5U);
    QStringList captions;
    for (const ShownColumn &column : shownColumns(list))
        captions << column.caption;
    const std::vector<QStringList> lastPage = shownRows(list);

    QString path;
    ListExport::setPathChooser([&path](QWidget *, const QString &) { return path; });
    for (const char *name : {"list.xlsx", "list.csv"}) {
        path = files.filePath(QString::fromUtf8(name));
        boxes.clear();
        child<QPushButton>(main, QStringLiteral("按钮_商品_导出"))->click();
        ASSERT_TRUE(waitFor([&] { return !boxes.shown().isEmpty(); }, 20000));
        EXPECT_EQ(boxes.last().text, QStringLiteral("列表已导出,共 5 行:\r\n") + path);
        EXPECT_EQ(box->text(), QStringLiteral("3")); // the screen stays on its page
        EXPECT_EQ(shownRows(list), lastPage);
    }
    ListExport::setPathChooser({});

    QJsonArray rows;
    for (const QStringList &row : screen)
        rows.append(QJsonArray::fromStringList(row));
    QJsonArray kinds;
    for (const QString &caption : captions)
        kinds.append(caption == QStringLiteral("商品单价")   ? QStringLiteral("fen")
                     : caption == QStringLiteral("商品库存") ? QStringLiteral("integer")
                                                             : QStringLiteral("text"));
    const QJsonObject expected{{QStringLiteral("sheet"), QStringLiteral("商品")},
                               {QStringLiteral("captions"), QJsonArray::fromStringList(captions)},
                               {QStringLiteral("kinds"), kinds},
                               {QStringLiteral("rows"), rows}};
    QFile json(files.filePath(QStringLiteral("expected.json")));
    ASSERT_TRUE(json.open(QIODevice::WriteOnly));
    json.write(QJsonDocument(expected).toJson());
    json.close();
    const QString script = QString::fromStdString(
        (std::filesystem::path(__FILE__).parent_path().parent_path() / "client/ui/read_list_export.py")
            .string());
    QProcess python;
    python.setProcessChannelMode(QProcess::MergedChannels);
    python.start(QStringLiteral(VANTRELL_PYTHON3), {script, files.path()});
    ASSERT_TRUE(python.waitForStarted(30000)) << python.errorString().toStdString();
    ASSERT_TRUE(python.waitForFinished(120000));
    const std::string output = python.readAll().toStdString();
    EXPECT_EQ(python.exitCode(), 0) << output;

    signOutClosing();
    processPending();
    EXPECT_TRUE(ender.codes().isEmpty());
}
