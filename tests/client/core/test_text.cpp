// GBK at the edge, byte-length limits and the skin's colour shift.

#include "client/core/appstate.h"
#include "client/core/gbklimit.h"
#include "client/core/skin.h"
#include "client/core/text.h"
#include "support/client/clienttestenv.h"
#include "support/client/fakemessageboxes.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace vantrell;

TEST(Text, GbkRoundTripAndByteLengths)
{
    const QString text = QStringLiteral("供应商A，全角");
    EXPECT_EQ(client::fromGbk(client::toGbk(text)), text);
    EXPECT_EQ(client::gbkLength(QStringLiteral("张三")), 4);
    EXPECT_EQ(client::gbkLength(QStringLiteral("张a")), 3);
    EXPECT_EQ(client::gbkLength(QString()), 0);
}

TEST(Text, UnholdableAndBrokenBytesDoNotLoseTheRest)
{
    // An emoji has no GBK code: it becomes "?", its neighbours stay.
    EXPECT_EQ(client::toGbk(QStringLiteral("a😀张")), client::toGbk(QStringLiteral("a?张")));
    // A lone lead byte and 0xFF are replaced, the valid text around them kept.
    const QByteArray broken =
        QByteArray("ok") + char(0xFF) + client::toGbk(QStringLiteral("张")) + char(0xD5);
    EXPECT_EQ(client::fromGbk(broken), QStringLiteral("ok\uFFFD张\uFFFD"));
}

TEST(Text, TrimRemovesAsciiAndFullWidthSpacesOnly)
{
    EXPECT_EQ(client::trimSpaces(QStringLiteral(" \u3000 关 键\u3000 ")), QStringLiteral("关 键"));
    EXPECT_EQ(client::trimSpaces(QStringLiteral("\t词\t")), QStringLiteral("\t词\t"));
}

TEST(Text, ByteLimitRefusesTypingPastTheLimit)
{
    QLineEdit edit;
    client::limitGbkBytes(&edit, 4);
    test::typeText(&edit, QStringLiteral("张三"));
    EXPECT_EQ(edit.text(), QStringLiteral("张三"));
    test::typeText(&edit, QStringLiteral("a"));
    EXPECT_EQ(edit.text(), QStringLiteral("张三"));

    edit.clear();
    test::typeText(&edit, QStringLiteral("abc张"));
    EXPECT_EQ(edit.text(), QStringLiteral("abc")); // 5 bytes would not fit
    test::typeText(&edit, QStringLiteral("d"));
    EXPECT_EQ(edit.text(), QStringLiteral("abcd"));
}

TEST(Skin, AttachesTheBuiltInSheetAndShiftsColours)
{
    ASSERT_TRUE(client::attachSkin(0, 0, 0, 0));
    EXPECT_TRUE(qApp->styleSheet().contains(QStringLiteral("#2F6FDE")));

    const QString sheet = QStringLiteral("a { color: #2F6FDE; background: #FFFFFF; }");
    EXPECT_EQ(client::shiftSheetColours(sheet, 0, 0, 0), sheet);
    const QString shifted = client::shiftSheetColours(sheet, 180, 0, 0);
    EXPECT_FALSE(shifted.contains(QStringLiteral("#2F6FDE"), Qt::CaseInsensitive));
    EXPECT_TRUE(shifted.contains(QStringLiteral("#ffffff"))); // white has no hue
    EXPECT_TRUE(client::shiftSheetColours(sheet, 0, 0, -100).contains(QStringLiteral("#000000")));
    qApp->setStyleSheet(QString());
}
