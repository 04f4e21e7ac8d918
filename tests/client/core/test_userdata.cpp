// The user-data file: GBK profile format on disk, item by item, nothing lost.

#include "client/core/text.h"
#include "client/core/userdata.h"
#include "support/client/clienttestenv.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace vantrell;
using client::UserData;

namespace {

QByteArray gbk(const char *utf8)
{
    return client::toGbk(QString::fromUtf8(utf8));
}

} // namespace

TEST(UserData, MissingFileSectionOrKeyReadsEmpty)
{
    test::TempUserData data;
    EXPECT_EQ(UserData::read(QStringLiteral("账号信息"), QStringLiteral("用户名")), QString());
    ASSERT_TRUE(
        UserData::write(QStringLiteral("账号信息"), QStringLiteral("用户名"), QStringLiteral("张三")));
    EXPECT_EQ(UserData::read(QStringLiteral("账号信息"), QStringLiteral("密码")), QString());
    EXPECT_EQ(UserData::read(QStringLiteral("系统设置"), QStringLiteral("用户名")), QString());
}

TEST(UserData, FileIsGbkProfileWithCrlfLines)
{
    test::TempUserData data;
    ASSERT_TRUE(
        UserData::write(QStringLiteral("账号信息"), QStringLiteral("用户名"), QStringLiteral("张三")));
    ASSERT_TRUE(
        UserData::write(QStringLiteral("账号信息"), QStringLiteral("存储密码"), QStringLiteral("否")));
    ASSERT_TRUE(
        UserData::write(QStringLiteral("系统设置"), QStringLiteral("版本号"), QStringLiteral("1.0.0")));

    const QByteArray bytes = data.fileBytes();
    EXPECT_TRUE(bytes.contains(gbk("[账号信息]\r\n用户名=张三\r\n存储密码=否\r\n"))) << bytes.toStdString();
    EXPECT_TRUE(bytes.contains(gbk("[系统设置]\r\n版本号=1.0.0\r\n")));
    EXPECT_FALSE(bytes.contains("\xEF\xBB\xBF")); // no UTF-8 byte order mark
    EXPECT_EQ(bytes.count("\n"), bytes.count("\r\n"));
    EXPECT_EQ(UserData::read(QStringLiteral("账号信息"), QStringLiteral("用户名")), QStringLiteral("张三"));
}

TEST(UserData, UnknownItemsSurviveAndEveryReadGoesToTheFile)
{
    test::TempUserData data;
    data.setFileBytes(gbk("[窗口模式]\r\n类型=2\r\n其他=保留\r\n[插件]\r\n名称=外部\r\n"));
    ASSERT_TRUE(UserData::write(QStringLiteral("窗口模式"), QStringLiteral("类型"), QStringLiteral("1")));
    ASSERT_TRUE(UserData::write(QStringLiteral("账号信息"), QStringLiteral("用户名"), QStringLiteral("abc")));

    EXPECT_EQ(UserData::read(QStringLiteral("窗口模式"), QStringLiteral("类型")), QStringLiteral("1"));
    EXPECT_EQ(UserData::read(QStringLiteral("窗口模式"), QStringLiteral("其他")), QStringLiteral("保留"));
    EXPECT_EQ(UserData::read(QStringLiteral("插件"), QStringLiteral("名称")), QStringLiteral("外部"));

    // Changed behind the program's back: the next read sees it.
    data.setFileBytes(gbk("[账号信息]\r\n用户名=李四\r\n"));
    EXPECT_EQ(UserData::read(QStringLiteral("账号信息"), QStringLiteral("用户名")), QStringLiteral("李四"));
}

TEST(UserData, ValuesCannotInjectItemsAndLongValuesAreCut)
{
    test::TempUserData data;
    ASSERT_TRUE(UserData::write(QStringLiteral("账号信息"), QStringLiteral("用户名"),
                                QStringLiteral("a\r\n存储密码=是")));
    EXPECT_EQ(UserData::read(QStringLiteral("账号信息"), QStringLiteral("存储密码")), QString());

    ASSERT_TRUE(
        UserData::write(QStringLiteral("账号信息"), QStringLiteral("长"), QString(20000, QLatin1Char('x'))));
    EXPECT_EQ(UserData::read(QStringLiteral("账号信息"), QStringLiteral("长")).size(), 10239);
}

TEST(UserData, UnwritableFileFailsQuietly)
{
    test::TempUserData data;
    UserData::setPathForTesting(data.dir() + QStringLiteral("/missing/dir/用户数据.txt"));
    EXPECT_FALSE(
        UserData::write(QStringLiteral("账号信息"), QStringLiteral("用户名"), QStringLiteral("abc")));
    EXPECT_EQ(UserData::read(QStringLiteral("账号信息"), QStringLiteral("用户名")), QString());
}
