#include "server/accounts.h"

#include "protocol/fieldtext.h"
#include "protocol/gbk.h"
#include "server/clock.h"
#include "server/storage.h"

#include <sodium.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>

namespace vantrell::server {

namespace {

// Two passes over 19 MiB, the usual minimum for Argon2id: a third of libsodium's
// INTERACTIVE memory, so that a burst of logins on every core stays cheap in memory and
// time. Hashes made with other limits are renewed at the next login.
constexpr unsigned long long kHashPasses = 2;
constexpr std::size_t kHashMemory = std::size_t{19} << 20;

constexpr std::string_view kWrongCredentials = "用户名或密码错误!";
constexpr std::string_view kLockedOut = "登陆失败次数过多,请稍后再试!";

void initSodium()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (sodium_init() < 0)
            throw std::runtime_error("libsodium cannot be initialised");
    });
}

// Verifying against this costs as much as a real verify, so an unknown user name takes
// as long to refuse as a wrong password.
const std::string &dummyHash()
{
    static const std::string hash = hashPasswordDigest("00000000000000000000000000000000");
    return hash;
}

std::string roleText(int type)
{
    return type == kAccountSupplier ? "供应商" : "采购商";
}

// Locked while some run of five failures, all within ten minutes, ended less than ten
// minutes ago.
bool lockedOut(Storage &storage, const std::string &userName, TimePoint at)
{
    const auto window = std::chrono::minutes(kLockWindowMinutes);
    const std::vector<std::string> failures = storage.loginFailuresSince(userName, isoTime(at - 2 * window));
    std::vector<TimePoint> times;
    for (const std::string &text : failures) {
        if (const auto time = parseIsoTime(text))
            times.push_back(*time);
    }
    std::sort(times.begin(), times.end());
    for (std::size_t i = kLockFailures - 1; i < times.size(); ++i) {
        if (times[i] - times[i - (kLockFailures - 1)] <= window && at < times[i] + window)
            return true;
    }
    return false;
}

Replies refuse(std::string_view text)
{
    return {notice(text)};
}

Replies registerAccount(Context &context, std::string_view text)
{
    const Fields fields(text);
    const auto userName = fields.clean("用户名");
    if (!userName)
        return refuse("用户名不能包含特殊符号!");
    const long long nameLength = protocol::gbkLength(*userName);
    if (nameLength < 0)
        return refuse("用户名包含无法识别的字符!");
    if (nameLength < 4 || nameLength > 20)
        return refuse("用户名长度必须为4到20个字节(一个汉字占2个字节)!");

    const std::string digest = fields.value("密码");
    if (!isPasswordDigest(digest))
        return refuse("密码格式不正确,请重新输入!");

    const auto phone = fields.clean("手机号");
    if (!phone)
        return refuse("手机号不能包含特殊符号!");
    const long long phoneLength = protocol::gbkLength(*phone);
    if (phoneLength < 0)
        return refuse("手机号包含无法识别的字符!");
    if (phoneLength > 11)
        return refuse("手机号不能超过11位!");

    const auto company = fields.clean("公司");
    if (!company)
        return refuse("公司名称不能包含特殊符号!");
    const long long companyLength = protocol::gbkLength(*company);
    if (companyLength < 0)
        return refuse("公司名称包含无法识别的字符!");
    if (companyLength < 8 || companyLength > 25)
        return refuse("公司名称长度必须为8到25个字节(一个汉字占2个字节)!");

    const std::string type = fields.value("类型");
    if (type != "1" && type != "2")
        return refuse("请选择商家类型(采购商或供应商)!");

    Account account;
    account.userName = *userName;
    account.passwordHash = hashPasswordDigest(digest);
    account.phone = *phone;
    account.company = *company;
    account.type = type == "2" ? kAccountSupplier : kAccountPurchaser;
    account.createdAt = isoTime(now());
    switch (context.storage.createAccount(account)) {
    case CreateAccountResult::NameTaken:
        return refuse("该用户名已被注册,请换一个用户名!");
    case CreateAccountResult::CompanyTaken:
        return refuse("该公司已注册过账号!");
    case CreateAccountResult::Created:
        break;
    }
    return {reply("登陆系统_账号注册成功")};
}

Replies login(Context &context, std::string_view text)
{
    const Fields fields(text);
    // No valid user name is longer than 30 bytes in UTF-8; the cut keeps an attacker from
    // storing megabytes of failures, and cannot make two valid names collide.
    const std::string userName = fields.value("用户名").substr(0, 64);
    const std::string digest = fields.value("密码");
    const TimePoint at = now();

    {
        // The attempt counts as a failure before the slow verify, and the check and the
        // count are one step, so that attempts sent at once on parallel connections are
        // locked out like attempts made one after another.
        static std::mutex attempts;
        const std::lock_guard lock(attempts);
        if (lockedOut(context.storage, userName, at))
            return refuse(kLockedOut);
        const std::string prune = isoTime(at - 2 * std::chrono::minutes(kLockWindowMinutes));
        context.storage.recordLoginFailure(userName, isoTime(at), prune);
    }

    std::optional<Account> account;
    if (screened(userName) && !userName.empty())
        account = context.storage.accountByName(userName);
    const bool matches = verifyPasswordDigest(account ? account->passwordHash : dummyHash(), digest);
    if (!account || !matches)
        return refuse(kWrongCredentials);

    if (crypto_pwhash_str_needs_rehash(account->passwordHash.c_str(), kHashPasses, kHashMemory) != 0)
        context.storage.setPasswordHash(account->id, hashPasswordDigest(digest));
    context.storage.clearLoginFailures(userName);
    const std::string previous = context.storage.recordLogin(account->id, isoTime(at));
    context.session.accountId = account->id;
    context.session.role = account->type == kAccountSupplier ? Role::Supplier : Role::Purchaser;
    context.session.userName = account->userName;
    context.session.currentDistributor = 0;

    protocol::FieldWriter writer;
    writer.add("姓名", account->contact)
        .add("公司", account->company)
        .add("类型", roleText(account->type))
        .add("上次登陆时间", previous);
    return {reply("登陆系统_登陆成功", writer.str())};
}

Replies changePassword(Context &context, std::string_view text)
{
    if (!context.session.loggedIn())
        return refuse(kNotLoggedInText);
    const Fields fields(text);
    const std::string oldDigest = fields.value("原密码");
    const std::string newDigest = fields.value("新密码");
    if (!isPasswordDigest(newDigest))
        return refuse("新密码格式不正确,请重新输入!");
    const std::optional<Account> account = context.storage.accountById(context.session.accountId);
    if (!account)
        return refuse(kNotLoggedInText);
    if (!verifyPasswordDigest(account->passwordHash, oldDigest))
        return refuse("原密码错误!");
    context.storage.setPasswordHash(account->id, hashPasswordDigest(newDigest));
    return {reply("登陆系统_密码修改成功")};
}

} // namespace

bool isPasswordDigest(std::string_view text)
{
    return text.size() == 32 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

std::string hashPasswordDigest(std::string_view digest)
{
    initSodium();
    char hash[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(hash, digest.data(), digest.size(), kHashPasses, kHashMemory) != 0)
        throw std::runtime_error("out of memory while hashing a password");
    return hash;
}

bool verifyPasswordDigest(const std::string &hash, std::string_view digest)
{
    initSodium();
    // Only the length of a real digest is ever hashed; a longer text cannot match and
    // must not make the server hash megabytes.
    const std::string_view probe = digest.substr(0, 64);
    const bool matches = crypto_pwhash_str_verify(hash.c_str(), probe.data(), probe.size()) == 0;
    return matches && isPasswordDigest(digest);
}

void registerAccountHandlers(HandlerTable &table)
{
    dummyHash(); // made now, so that the first unknown name is not slower than the rest
    table.add("登陆系统_注册账号", registerAccount);
    table.add("登陆系统_用户登陆", login);
    table.add("登陆系统_修改密码", changePassword);
}

} // namespace vantrell::server
