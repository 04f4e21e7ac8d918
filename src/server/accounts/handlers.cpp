// Accounts: registration, login with lock-out, password change, and the personal centre.

#include "protocol/fieldtext.h"
#include "protocol/gbk.h"
#include "server/accounts/passwords.h"
#include "server/accounts/store.h"
#include "server/clock.h"
#include "server/db/database.h"
#include "server/domains.h"
#include "server/states.h"

#include <algorithm>

namespace vantrell::server::accounts {

namespace {

using protocol::Request;

constexpr std::string_view kWrongCredentials = "用户名或密码错误!";
constexpr std::string_view kLockedOut = "登陆失败次数过多,请稍后再试!";

std::string roleText(int type)
{
    return type == kAccountSupplier ? "供应商" : "采购商";
}

Replies refuse(std::string_view text)
{
    return {notice(text)};
}

// Locked while some run of `failures` failures, all within ten minutes, ended less than
// ten minutes ago.
bool lockedOut(const std::vector<std::string> &failureTimes, TimePoint at, std::size_t failures)
{
    const auto window = std::chrono::minutes(kLockWindowMinutes);
    std::vector<TimePoint> times;
    for (const std::string &text : failureTimes) {
        if (const auto time = parseIsoTime(text))
            times.push_back(*time);
    }
    std::sort(times.begin(), times.end());
    for (std::size_t i = failures - 1; i < times.size(); ++i) {
        if (times[i] - times[i - (failures - 1)] <= window && at < times[i] + window)
            return true;
    }
    return false;
}

// Five failures for one user name, or the configured number from one address whatever
// the user names (someone trying many names).
bool lockedOut(db::Tx &tx, const std::string &userName, const SessionState &session, const Config &config,
               TimePoint at)
{
    const std::string since = isoTime(at - 2 * std::chrono::minutes(kLockWindowMinutes));
    if (lockedOut(loginFailuresSince(tx, userName, since), at, kLockFailures))
        return true;
    return !session.peerAddress.empty() &&
           lockedOut(addressFailuresSince(tx, session.peerAddress, since), at,
                     static_cast<std::size_t>(std::max(1, config.loginFailuresPerAddress)));
}

// The refusal for a value outside its byte limits, or nothing when it fits.
std::optional<std::string> lengthRefusal(const std::string &value, std::string_view label, long long minimum,
                                         long long maximum, std::string_view tooShort,
                                         std::string_view tooLong)
{
    const long long length = protocol::gbkLength(value);
    if (length < 0)
        return std::string(label) + "包含无法识别的字符!";
    if (length < minimum)
        return std::string(tooShort);
    if (length > maximum)
        return std::string(tooLong);
    return std::nullopt;
}

Replies registerAccount(Context &context, const Fields &fields)
{
    const auto userName = fields.clean("用户名");
    if (!userName)
        return refuse("用户名不能包含特殊符号!");
    const std::string lengthRule = "用户名长度必须为4到20个字节(一个汉字占2个字节)!";
    if (auto refusal = lengthRefusal(*userName, "用户名", 4, 20, lengthRule, lengthRule))
        return refuse(*refusal);

    const std::string digest = fields.value("密码");
    if (!isPasswordDigest(digest))
        return refuse("密码格式不正确,请重新输入!");

    const auto phone = fields.clean("手机号");
    if (!phone)
        return refuse("手机号不能包含特殊符号!");
    if (auto refusal = lengthRefusal(*phone, "手机号", 0, 11, "", "手机号不能超过11位!"))
        return refuse(*refusal);

    const auto company = fields.clean("公司");
    if (!company)
        return refuse("公司名称不能包含特殊符号!");
    const std::string companyRule = "公司名称长度必须为8到25个字节(一个汉字占2个字节)!";
    if (auto refusal = lengthRefusal(*company, "公司名称", 8, 25, companyRule, companyRule))
        return refuse(*refusal);

    const std::string type = fields.value("类型");
    if (type != "1" && type != "2")
        return refuse("请选择商家类型(采购商或供应商)!");

    Account account;
    account.userName = *userName;
    account.passwordHash = hashPasswordDigest(digest); // before the transaction: it is slow
    account.phone = *phone;
    account.company = *company;
    account.type = type == "2" ? kAccountSupplier : kAccountPurchaser;
    account.createdAt = isoTime(now());
    switch (context.db.write([&](db::Tx &tx) { return create(tx, account); })) {
    case CreateResult::NameTaken:
        return refuse("该用户名已被注册,请换一个用户名!");
    case CreateResult::CompanyTaken:
        return refuse("该公司已注册过账号!");
    case CreateResult::Created:
        break;
    }
    return {reply(protocol::Reply::Registered)};
}

Replies login(Context &context, const Fields &fields)
{
    // No valid user name is longer than 30 bytes in UTF-8; the cut keeps an attacker from
    // storing megabytes of failures, and cannot make two valid names collide.
    const std::string userName = fields.value("用户名").substr(0, 64);
    const std::string digest = fields.value("密码");
    const TimePoint at = now();

    // The attempt counts as a failure before the slow verify, and the check and the count
    // are one write transaction, so that attempts sent at once on parallel connections are
    // locked out like attempts made one after another.
    struct Attempt
    {
        bool locked = false;
        std::optional<Account> account;
    };
    const Attempt attempt = context.db.write([&](db::Tx &tx) {
        Attempt result;
        if (lockedOut(tx, userName, context.session, context.config, at)) {
            result.locked = true;
            return result;
        }
        recordLoginFailure(tx, userName, context.session.peerAddress, isoTime(at),
                           isoTime(at - 2 * std::chrono::minutes(kLockWindowMinutes)));
        if (screened(userName) && !userName.empty())
            result.account = byName(tx, userName);
        return result;
    });
    if (attempt.locked)
        return refuse(kLockedOut);

    const std::optional<Account> &account = attempt.account;
    const bool matches = verifyPasswordDigest(account ? account->passwordHash : dummyHash(), digest);
    if (!account || !matches)
        return refuse(kWrongCredentials);

    const std::string renewed =
        needsRehash(account->passwordHash) ? hashPasswordDigest(digest) : std::string();
    const std::string previous = context.db.write([&](db::Tx &tx) {
        if (!renewed.empty())
            setPasswordHash(tx, account->id, renewed);
        clearLoginFailures(tx, userName);
        context.session.credentialVersion = credentialVersion(tx, account->id);
        return recordLogin(tx, account->id, isoTime(at));
    });
    context.session.credentialsCheckedAt = std::chrono::steady_clock::now();
    context.session.accountId = account->id;
    context.session.role = account->type == kAccountSupplier ? Role::Supplier : Role::Purchaser;
    context.session.userName = account->userName;
    context.session.currentDistributor = 0;

    protocol::FieldWriter writer;
    writer.add("姓名", account->contact)
        .add("公司", account->company)
        .add("类型", roleText(account->type))
        .add("上次登陆时间", previous);
    return {reply(protocol::Reply::LoginSucceeded, writer.str())};
}

Replies changePassword(Context &context, const Fields &fields)
{
    const std::string oldDigest = fields.value("原密码");
    const std::string newDigest = fields.value("新密码");
    if (!isPasswordDigest(newDigest))
        return refuse("新密码格式不正确,请重新输入!");
    const std::int64_t id = context.session.accountId;
    const std::optional<Account> account = context.db.read([&](db::Tx &tx) { return byId(tx, id); });
    if (!account)
        return refuse(kNotLoggedInText);
    if (!verifyPasswordDigest(account->passwordHash, oldDigest))
        return refuse("原密码错误!");
    const std::string hash = hashPasswordDigest(newDigest);
    context.session.credentialVersion = context.db.write([&](db::Tx &tx) {
        setPasswordHash(tx, id, hash);
        return bumpCredentialVersion(tx, id);
    });
    // Whoever holds another session of the account, perhaps with the old password, is out.
    context.session.endOtherSessions = true;
    return {reply(protocol::Reply::PasswordChanged)};
}

Replies contactData(Context &context, const Fields &)
{
    const std::optional<Account> account = byId(context.tx(), context.session.accountId);
    if (!account)
        return refuse(kNotLoggedInText);
    protocol::FieldWriter writer;
    writer.add("公司", account->company)
        .add("联系人", account->contact)
        .add("电话", account->phone)
        .add("邮箱", account->email)
        .add("地址", account->address);
    return {reply(protocol::Reply::PersonalDataReply, writer.str())};
}

Replies saveContactData(Context &context, const Fields &fields)
{
    struct Limit
    {
        const char *key;
        const char *label;
        long long minimum;
        long long maximum;
        const char *tooShort;
    };
    static const Limit limits[] = {
        {"联系人", "联系人姓名", 4, 20, "请填写联系人姓名(至少两个汉字或四个字母)!"},
        {"电话", "联系人电话", 11, 11, "联系人电话必须为11位!"},
        {"邮箱", "邮箱", 0, 40, ""},
        {"地址", "地址", 0, 95, ""},
    };
    std::string values[4];
    for (int i = 0; i < 4; ++i) {
        const Limit &limit = limits[i];
        const auto value = fields.trimmed(limit.key);
        if (!value)
            return refuse(std::string(limit.label) + "不能包含特殊符号!");
        const std::string tooLong =
            std::string(limit.label) + "不能超过" + std::to_string(limit.maximum) + "个字节!";
        if (auto refusal =
                lengthRefusal(*value, limit.label, limit.minimum, limit.maximum, limit.tooShort, tooLong))
            return refuse(*refusal);
        values[i] = *value;
    }
    const ContactData data{values[0], values[1], values[2], values[3]};
    setContactData(context.tx(), context.session.accountId, data);
    return {
        reply(protocol::Reply::PersonalDataSaved, protocol::FieldWriter().add("姓名", data.contact).str())};
}

Replies aboutAddress(Context &context, const Fields &)
{
    return {reply(protocol::Reply::AboutUsReply,
                  protocol::FieldWriter().add("网址", context.config.aboutAddress).str())};
}

Replies helpAddress(Context &context, const Fields &)
{
    return {reply(protocol::Reply::HelpReply,
                  protocol::FieldWriter().add("网址", context.config.helpAddress).str())};
}

} // namespace

void registerHandlers(HandlerTable &table)
{
    dummyHash(); // made now, so that the first unknown name is not slower than the rest
    const Policy accountSteps{Who::Anyone, Access::Steps, Lane::Slow};
    table.add(Request::Register, accountSteps, registerAccount);
    table.add(Request::Login, accountSteps, login);
    table.add(Request::ChangePassword, {Who::LoggedIn, Access::Steps, Lane::Slow}, changePassword);
    table.add(Request::PersonalData, {Who::LoggedIn, Access::Read}, contactData);
    table.add(Request::SavePersonalData, {Who::LoggedIn, Access::Write}, saveContactData);
    table.add(Request::AboutUs, {Who::LoggedIn, Access::None}, aboutAddress);
    table.add(Request::Help, {Who::LoggedIn, Access::None}, helpAddress);
}

} // namespace vantrell::server::accounts
