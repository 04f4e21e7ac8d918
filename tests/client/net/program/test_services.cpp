// Notices, heartbeat answers and the update path.

#include "client/core/appstate.h"
#include "client/net/dispatcher.h"
#include "client/net/serverlink.h"
#include "client/net/services.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <gtest/gtest.h>

using namespace vantrell;

namespace {

void handle(const QString &payload)
{
    client::ServerLink::instance().deliver(test::gbkPayload(payload));
}

} // namespace

TEST(Services, NoticesShowTheirTextWithTheIconOfTheirAction)
{
    test::FakeMessageBoxes boxes;
    client::appState().appTitle = QStringLiteral("供销通");
    handle(QStringLiteral("提示信息_信息|内容[已保存]"));
    handle(QStringLiteral("提示信息_询问|内容[确认吗]"));
    handle(QStringLiteral("提示信息_错误|内容[密码错误]"));
    handle(QStringLiteral("提示信息_警告|内容[不显示]"));
    handle(QStringLiteral("提示信息|内容[不显示]"));
    EXPECT_TRUE(boxes.shown().isEmpty()); // deferred past the current event
    test::processPending();

    ASSERT_EQ(boxes.shown().size(), 3); // both of every pair arriving together are kept
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("已保存"));
    EXPECT_EQ(boxes.shown()[0].style, 64);
    EXPECT_EQ(boxes.shown()[1].style, 32);
    EXPECT_EQ(boxes.shown()[2].text, QStringLiteral("密码错误"));
    EXPECT_EQ(boxes.shown()[2].style, 16);
    for (const auto &box : boxes.shown())
        EXPECT_EQ(box.caption, QStringLiteral("供销通"));
}

TEST(Services, EveryHeartbeatIsAnswered)
{
    test::RequestRecorder requests;
    handle(QStringLiteral("心跳包|"));
    handle(QStringLiteral("心跳包|随便[1]"));
    EXPECT_EQ(requests.texts(), (QStringList{QStringLiteral("心跳包|"), QStringLiteral("心跳包|")}));
}

TEST(Services, UpdateStartsTheUpdaterWithTheProgramNameAndEnds)
{
    test::TempUserData data;
    test::FakeMessageBoxes boxes;
    test::ProgramEndRecorder ends;
    const QString updater = client::Services::updaterPath();
    const QString record = data.dir() + QStringLiteral("/args.txt");
    {
        QFile script(updater);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > '%1'\n").arg(record).toUtf8());
    }
    QFile::setPermissions(updater, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    handle(QStringLiteral("提示信息_信息|内容[之前到达]")); // still waiting for its turn: dropped
    handle(QStringLiteral("发现版本|下载地址[http://example.invalid/]"));
    handle(QStringLiteral("提示信息_信息|内容[之后到达]")); // not acted on any more
    test::processPending();

    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.last().text, QStringLiteral("发现新版本,即将启动升级器。"));
    EXPECT_EQ(boxes.last().style, 64);
    EXPECT_EQ(boxes.last().caption, QStringLiteral("升级程序"));
    EXPECT_EQ(ends.codes(), QList<int>{0});
    const QString ownName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    QString args;
    for (int i = 0; i < 100 && args.isEmpty(); ++i) {
        QTest::qWait(50);
        QFile file(record);
        if (file.open(QIODevice::ReadOnly))
            args = QString::fromUtf8(file.readAll());
    }
    EXPECT_EQ(args, QStringLiteral("1|") + ownName + QLatin1Char('|'));
    client::ServerLink::instance().setHandlingReplies(true);
}

TEST(Services, UpdateWithoutUpdaterOpensTheDownloadAddress)
{
    test::TempUserData data;
    test::FakeMessageBoxes boxes;
    test::ProgramEndRecorder ends;
    QList<QUrl> opened;
    client::Services::setUrlOpener([&opened](const QUrl &url) { opened.append(url); });

    handle(QStringLiteral("发现版本|下载地址[https://example.invalid/vantrell.zip]"));
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.last().text, QStringLiteral("发现新版本,即将打开下载链接。"));
    EXPECT_EQ(opened, QList<QUrl>{QUrl(QStringLiteral("https://example.invalid/vantrell.zip"))});
    EXPECT_EQ(ends.codes(), QList<int>{0});

    client::Services::setUrlOpener({});
    client::ServerLink::instance().setHandlingReplies(true);
}
