#include "server/accounts/store.h"

#include <soci/soci.h>

namespace vantrell::server::accounts {

namespace {

// The login looks its account up by name on every attempt: prepared once per connection.
struct AccountByName final : db::Prepared
{
    explicit AccountByName(soci::session &sql)
        : statement(
              (sql.prepare << "SELECT id, user_name, password_hash, phone, company, type, contact, email,"
                              " address, created_at, last_login_at FROM accounts WHERE user_name = :n",
               soci::use(name), soci::into(id), soci::into(row.userName), soci::into(row.passwordHash),
               soci::into(row.phone), soci::into(row.company), soci::into(row.type), soci::into(row.contact),
               soci::into(row.email), soci::into(row.address), soci::into(row.createdAt),
               soci::into(row.lastLoginAt)))
    {}
    std::string name;
    long long id = 0;
    Account row;
    soci::statement statement;
};

struct AccountById final : db::Prepared
{
    explicit AccountById(soci::session &sql)
        : statement((sql.prepare << "SELECT user_name, password_hash, phone, company, type, contact, email,"
                                    " address, created_at, last_login_at FROM accounts WHERE id = :id",
                     soci::use(id), soci::into(row.userName), soci::into(row.passwordHash),
                     soci::into(row.phone), soci::into(row.company), soci::into(row.type),
                     soci::into(row.contact), soci::into(row.email), soci::into(row.address),
                     soci::into(row.createdAt), soci::into(row.lastLoginAt)))
    {}
    long long id = 0;
    Account row;
    soci::statement statement;
};

} // namespace

CreateResult create(db::Tx &tx, const Account &account)
{
    soci::session &sql = tx.sql();
    // Registrations take turns, so two at once with one name get one refusal rather than
    // a constraint failure.
    db::serialize(tx, "accounts");
    int taken = 0;
    sql << "SELECT COUNT(*) FROM accounts WHERE user_name = :n", soci::use(account.userName),
        soci::into(taken);
    if (taken > 0)
        return CreateResult::NameTaken;
    sql << "SELECT COUNT(*) FROM accounts WHERE company = :c", soci::use(account.company), soci::into(taken);
    if (taken > 0)
        return CreateResult::CompanyTaken;
    sql << "INSERT INTO accounts (user_name, password_hash, phone, company, type, contact, email, address,"
           " created_at) VALUES (:n, :h, :ph, :c, :t, :ct, :e, :a, :at)",
        soci::use(account.userName), soci::use(account.passwordHash), soci::use(account.phone),
        soci::use(account.company), soci::use(account.type), soci::use(account.contact),
        soci::use(account.email), soci::use(account.address), soci::use(account.createdAt);
    return CreateResult::Created;
}

std::optional<Account> byId(db::Tx &tx, std::int64_t id)
{
    auto &query = tx.prepared<AccountById>(0, [](soci::session &sql) { return new AccountById(sql); });
    query.id = id;
    if (!db::fetchOne(query.statement))
        return std::nullopt;
    Account account = query.row;
    account.id = id;
    return account;
}

std::optional<Account> byName(db::Tx &tx, const std::string &userName)
{
    auto &query = tx.prepared<AccountByName>(0, [](soci::session &sql) { return new AccountByName(sql); });
    query.name = userName;
    if (!db::fetchOne(query.statement))
        return std::nullopt;
    Account account = query.row;
    account.id = query.id;
    return account;
}

std::string recordLogin(db::Tx &tx, std::int64_t id, const std::string &at)
{
    soci::session &sql = tx.sql();
    const long long key = id;
    std::string previous;
    sql << "SELECT last_login_at FROM accounts WHERE id = :id" + std::string(tx.dialect().forUpdate()),
        soci::use(key), soci::into(previous);
    sql << "UPDATE accounts SET last_login_at = :at WHERE id = :id", soci::use(at), soci::use(key);
    return previous;
}

void setPasswordHash(db::Tx &tx, std::int64_t id, const std::string &hash)
{
    const long long key = id;
    tx.sql() << "UPDATE accounts SET password_hash = :h WHERE id = :id", soci::use(hash), soci::use(key);
}

void setContactData(db::Tx &tx, std::int64_t id, const ContactData &data)
{
    const long long key = id;
    tx.sql() << "UPDATE accounts SET contact = :c, phone = :p, email = :e, address = :a WHERE id = :id",
        soci::use(data.contact), soci::use(data.phone), soci::use(data.email), soci::use(data.address),
        soci::use(key);
}

long long bumpCredentialVersion(db::Tx &tx, std::int64_t id)
{
    const long long key = id;
    tx.sql() << "UPDATE accounts SET credential_version = credential_version + 1 WHERE id = :id",
        soci::use(key);
    return credentialVersion(tx, id);
}

long long credentialVersion(db::Tx &tx, std::int64_t id)
{
    const long long key = id;
    long long version = -1;
    soci::indicator found = soci::i_null;
    tx.sql() << "SELECT credential_version FROM accounts WHERE id = :id", soci::use(key),
        soci::into(version, found);
    return tx.sql().got_data() && found == soci::i_ok ? version : -1;
}

void recordLoginFailure(db::Tx &tx, const std::string &userName, const std::string &address,
                        const std::string &at, const std::string &pruneBefore)
{
    soci::session &sql = tx.sql();
    sql << "DELETE FROM login_failures WHERE at < :p", soci::use(pruneBefore);
    sql << "INSERT INTO login_failures (user_name, address, at) VALUES (:n, :a, :at)", soci::use(userName),
        soci::use(address), soci::use(at);
}

namespace {

std::vector<std::string> failureTimes(db::Tx &tx, const char *sql, const std::string &value,
                                      const std::string &since)
{
    std::vector<std::string> times;
    std::string at;
    soci::statement statement = (tx.sql().prepare << sql, soci::use(value), soci::use(since), soci::into(at));
    statement.execute();
    while (statement.fetch())
        times.push_back(at);
    return times;
}

} // namespace

std::vector<std::string> loginFailuresSince(db::Tx &tx, const std::string &userName, const std::string &since)
{
    // The lock test and the count that follows it are one step for every server
    // process: failed logins are counted one at a time.
    if (tx.mode() == db::Tx::Mode::Write)
        db::serialize(tx, "login-failures");
    return failureTimes(tx, "SELECT at FROM login_failures WHERE user_name = :n AND at >= :s ORDER BY at",
                        userName, since);
}

std::vector<std::string> addressFailuresSince(db::Tx &tx, const std::string &address,
                                              const std::string &since)
{
    return failureTimes(tx, "SELECT at FROM login_failures WHERE address = :a AND at >= :s ORDER BY at",
                        address, since);
}

void clearLoginFailures(db::Tx &tx, const std::string &userName)
{
    tx.sql() << "DELETE FROM login_failures WHERE user_name = :n", soci::use(userName);
}

} // namespace vantrell::server::accounts
