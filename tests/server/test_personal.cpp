#include "domainfixture.h"

namespace vantrell::server::testing {
namespace {

class PersonalTest : public DomainFixture
{
protected:
    std::string save(const std::string &contact, const std::string &phone, const std::string &email = {},
                     const std::string &address = {})
    {
        return one(session, "基础通讯_保存个人中心基本资料",
                   "联系人[" + contact + "]电话[" + phone + "]邮箱[" + email + "]地址[" + address + "]");
    }
    std::string fetch() { return one(session, "基础通讯_获取个人中心基本资料"); }

    SessionState session = merchant("henry", "亨利食品有限公司", true);
};

const std::string kFullWidthSpace = "\u3000";

TEST_F(PersonalTest, SavedDataComesBackAndNamesTheUserAtLogin)
{
    EXPECT_EQ(fetch(),
              "基础通讯_返回个人中心基本资料|公司[亨利食品有限公司]联系人[]电话[13800001111]邮箱[]地址[]");

    EXPECT_EQ(save(" 张三 ", "13912345678", "henry@example.cn", "杭州市西湖区文三路1号"),
              "基础通讯_保存个人中心基本资料成功|姓名[张三]");
    EXPECT_EQ(fetch(), "基础通讯_返回个人中心基本资料|公司[亨利食品有限公司]联系人[张三]电话[13912345678]"
                       "邮箱[henry@example.cn]地址[杭州市西湖区文三路1号]");

    SessionState again;
    EXPECT_EQ(value(login(again, "henry"), "姓名"), "张三");

    // Empty e-mail and address are allowed and clear the old values.
    EXPECT_FALSE(isNotice(save("张三", "13912345678")));
    EXPECT_EQ(value(fetch(), "邮箱"), "");
}

TEST_F(PersonalTest, ByteRulesApplyAfterTrimmingAsciiAndFullWidthSpaces)
{
    ASSERT_FALSE(isNotice(save("王五", "13900000000")));
    struct Case
    {
        std::string contact, phone, email, address;
        bool accepted;
    };
    const Case cases[] = {
        {kFullWidthSpace + "李四" + kFullWidthSpace, "13912345678", "", "", true},
        {"  abc  ", "13912345678", "", "", false},
        {kFullWidthSpace + "abc" + kFullWidthSpace, "13912345678", "", "", false},
        {"一二三四五六七八九十", "13912345678", "", "", true},
        {"一二三四五六七八九十a", "13912345678", "", "", false},
        {"李四", "1391234567" + kFullWidthSpace + kFullWidthSpace, "", "", false},
        {"李四", "139123456789", "", "", false},
        {"李四", kFullWidthSpace + "13912345678 ", "", "", true},
        {"李四", "13912345678", std::string(40, 'e'), "", true},
        {"李四", "13912345678", std::string(41, 'e'), "", false},
        {"李四", "13912345678", "", std::string(93, 'a') + "路", true},
        {"李四", "13912345678", "", std::string(94, 'a') + "路", false},
    };
    for (const Case &c : cases) {
        const std::string answer = save(c.contact, c.phone, c.email, c.address);
        EXPECT_EQ(!isNotice(answer), c.accepted) << c.contact << "/" << c.phone << ": " << answer;
        if (!c.accepted)
            EXPECT_EQ(value(fetch(), "联系人"), "王五") << "a refused save changed the data";
        else
            ASSERT_FALSE(isNotice(save("王五", "13900000000")));
    }
    EXPECT_EQ(stores.accountByName("henry")->phone, "13900000000");
}

TEST_F(PersonalTest, ForbiddenCharactersAndMarkerWordsAreRefused)
{
    ASSERT_FALSE(isNotice(save("王五", "13900000000", "a@b.cn", "旧地址")));
    const std::string refused[][4] = {
        {"王,五", "13900000000", "", ""},
        {"王五", "1390000000|", "", ""},
        {"王五", "13900000000", "a[b", ""},
        {"王五", "13900000000", "", "杭州,西湖"},
        {"王五", "13900000000", "", "数据详情_ID[1]"},
        {"王五", "13900000000", "列标详情_", ""},
        {"列表详情_王五", "13900000000", "", ""},
    };
    for (const auto &values : refused) {
        const std::string answer = save(values[0], values[1], values[2], values[3]);
        EXPECT_TRUE(isNotice(answer)) << values[0] << values[2] << values[3];
    }
    EXPECT_EQ(value(fetch(), "地址"), "旧地址");
    // Full-width punctuation is ordinary text.
    EXPECT_FALSE(isNotice(save("王五", "13900000000", "", "杭州，西湖【仓库】")));
}

TEST_F(PersonalTest, AboutAndHelpAddressesComeFromTheConfiguration)
{
    config.aboutAddress = "https://vantrell.example/about";
    config.helpAddress = "https://vantrell.example/help";
    EXPECT_EQ(one(session, "基础通讯_个人中心/关于我们"),
              "基础通讯_个人中心/返回关于我们|网址[https://vantrell.example/about]");
    EXPECT_EQ(one(session, "基础通讯_个人中心/使用帮助"),
              "基础通讯_个人中心/返回使用帮助|网址[https://vantrell.example/help]");
}

} // namespace
} // namespace vantrell::server::testing
