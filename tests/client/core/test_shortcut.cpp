// The version record and the desktop shortcut offered once per program version.

#include "client/core/appstate.h"
#include "client/core/shortcut.h"
#include "client/core/userdata.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace vantrell;
using client::MessageAnswer;

namespace {

int questionsAsked(const test::FakeMessageBoxes &boxes)
{
    int count = 0;
    for (const auto &box : boxes.shown())
        count += box.text == QStringLiteral("是否创建桌面快捷方式?") ? 1 : 0;
    return count;
}

} // namespace

TEST(Shortcut, FirstStartAsksOnceAndNoIsRemembered)
{
    test::TempUserData data;
    test::FakeMessageBoxes boxes;
    client::appState().programVersion = QStringLiteral("2.0.0");

    boxes.answerNext(MessageAnswer::No);
    client::recordVersionAndOfferShortcut(nullptr, QStringLiteral("应用"));
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.last().style, 36);
    EXPECT_EQ(boxes.last().caption, QStringLiteral("应用"));
    EXPECT_FALSE(client::DesktopShortcut::exists());
    EXPECT_EQ(client::UserData::read(QStringLiteral("系统设置"), QStringLiteral("版本号")),
              QStringLiteral("2.0.0"));

    client::recordVersionAndOfferShortcut(nullptr, QStringLiteral("应用")); // restart
    EXPECT_EQ(questionsAsked(boxes), 1);
}

TEST(Shortcut, YesCreatesAnExecutableLauncherAndANewVersionWithItAsksNothing)
{
    test::TempUserData data;
    test::FakeMessageBoxes boxes;
    client::appState().programVersion = QStringLiteral("2.0.0");

    client::recordVersionAndOfferShortcut(nullptr, QStringLiteral("应用")); // default answer Yes
    ASSERT_TRUE(client::DesktopShortcut::exists());
    QFile launcher(client::DesktopShortcut::path());
    ASSERT_TRUE(launcher.open(QIODevice::ReadOnly));
    const QString entry = QString::fromUtf8(launcher.readAll());
    EXPECT_TRUE(entry.startsWith(QStringLiteral("[Desktop Entry]")));
    EXPECT_TRUE(entry.contains(QStringLiteral("Exec=")));
    EXPECT_TRUE(QFileInfo(client::DesktopShortcut::path()).isExecutable());

    client::appState().programVersion = QStringLiteral("2.1.0");
    client::recordVersionAndOfferShortcut(nullptr, QStringLiteral("应用"));
    EXPECT_EQ(questionsAsked(boxes), 1); // shortcut present: version stored, no question
    EXPECT_EQ(client::UserData::read(QStringLiteral("系统设置"), QStringLiteral("版本号")),
              QStringLiteral("2.1.0"));
}

TEST(Shortcut, SameVersionWithTheShortcutDeletedAsksNothing)
{
    test::TempUserData data;
    test::FakeMessageBoxes boxes;
    client::appState().programVersion = QStringLiteral("2.0.0");
    client::recordVersionAndOfferShortcut(nullptr, QStringLiteral("应用"));
    ASSERT_TRUE(QFile::remove(client::DesktopShortcut::path()));
    boxes.clear();
    client::recordVersionAndOfferShortcut(nullptr, QStringLiteral("应用"));
    EXPECT_TRUE(boxes.shown().isEmpty());
}
