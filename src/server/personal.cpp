#include "server/personal.h"

#include "protocol/fieldtext.h"
#include "protocol/gbk.h"
#include "server/storage.h"

#include <optional>

namespace vantrell::server {

namespace {

struct Limit
{
    const char *key;
    const char *label;
    long long minimum;
    long long maximum;
    const char *tooShort;
};

// The refusal for a value outside its byte limits, or nothing when it fits.
std::optional<std::string> checkLength(const std::string &value, const Limit &limit)
{
    const long long length = protocol::gbkLength(value);
    if (length < 0)
        return std::string(limit.label) + "包含无法识别的字符!";
    if (length < limit.minimum)
        return std::string(limit.tooShort);
    if (length > limit.maximum)
        return std::string(limit.label) + "不能超过" + std::to_string(limit.maximum) + "个字节!";
    return std::nullopt;
}

Replies contactData(Context &context, std::string_view)
{
    const std::optional<Account> account = context.storage.accountById(context.session.accountId);
    if (!account)
        return {notice(kNotLoggedInText)};
    protocol::FieldWriter writer;
    writer.add("公司", account->company)
        .add("联系人", account->contact)
        .add("电话", account->phone)
        .add("邮箱", account->email)
        .add("地址", account->address);
    return {reply("基础通讯_返回个人中心基本资料", writer.str())};
}

Replies saveContactData(Context &context, std::string_view text)
{
    static const Limit limits[] = {
        {"联系人", "联系人姓名", 4, 20, "请填写联系人姓名(至少两个汉字或四个字母)!"},
        {"电话", "联系人电话", 11, 11, "联系人电话必须为11位!"},
        {"邮箱", "邮箱", 0, 40, ""},
        {"地址", "地址", 0, 95, ""},
    };
    const Fields fields(text);
    std::string values[4];
    for (int i = 0; i < 4; ++i) {
        const auto value = fields.trimmed(limits[i].key);
        if (!value)
            return {notice(std::string(limits[i].label) + "不能包含特殊符号!")};
        if (const auto refusal = checkLength(*value, limits[i]))
            return {notice(*refusal)};
        values[i] = *value;
    }
    const ContactData data{values[0], values[1], values[2], values[3]};
    context.storage.setContactData(context.session.accountId, data);
    return {
        reply("基础通讯_保存个人中心基本资料成功", protocol::FieldWriter().add("姓名", data.contact).str())};
}

Replies aboutAddress(Context &context, std::string_view)
{
    return {reply("基础通讯_个人中心/返回关于我们",
                  protocol::FieldWriter().add("网址", context.config.aboutAddress).str())};
}

Replies helpAddress(Context &context, std::string_view)
{
    return {reply("基础通讯_个人中心/返回使用帮助",
                  protocol::FieldWriter().add("网址", context.config.helpAddress).str())};
}

} // namespace

void registerPersonalHandlers(HandlerTable &table)
{
    table.add("基础通讯_获取个人中心基本资料", contactData);
    table.add("基础通讯_保存个人中心基本资料", saveContactData);
    table.add("基础通讯_个人中心/关于我们", aboutAddress);
    table.add("基础通讯_个人中心/使用帮助", helpAddress);
}

} // namespace vantrell::server
