#pragma once

// Accounts, their contact data and the failed logins kept for the lock-out.

#include "server/db/database.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantrell::server::accounts {

struct Account
{
    std::int64_t id = 0;
    std::string userName;
    std::string passwordHash;
    std::string phone;
    std::string company;
    int type = 0;
    std::string contact;
    std::string email;
    std::string address;
    std::string createdAt;
    std::string lastLoginAt;
};

enum class CreateResult
{
    Created,
    NameTaken,
    CompanyTaken
};

struct ContactData
{
    std::string contact;
    std::string phone;
    std::string email;
    std::string address;
};

CreateResult create(db::Tx &tx, const Account &account);
std::optional<Account> byId(db::Tx &tx, std::int64_t id);
std::optional<Account> byName(db::Tx &tx, const std::string &userName);
// Stores `at` as the last login and returns the previous one (empty on the first).
std::string recordLogin(db::Tx &tx, std::int64_t id, const std::string &at);
void setPasswordHash(db::Tx &tx, std::int64_t id, const std::string &hash);
// Counts a password change; sessions that logged in before it end (see SessionState).
// Returns the new count.
long long bumpCredentialVersion(db::Tx &tx, std::int64_t id);
// The account's count of password changes; -1 when there is no such account.
long long credentialVersion(db::Tx &tx, std::int64_t id);
void setContactData(db::Tx &tx, std::int64_t id, const ContactData &data);

// Failed logins by user name and source address; `since` bounds what is read.
// Failures older than `pruneBefore` (of any user name) are dropped on the way.
void recordLoginFailure(db::Tx &tx, const std::string &userName, const std::string &address,
                        const std::string &at, const std::string &pruneBefore);
std::vector<std::string> loginFailuresSince(db::Tx &tx, const std::string &userName,
                                            const std::string &since);
std::vector<std::string> addressFailuresSince(db::Tx &tx, const std::string &address,
                                              const std::string &since);
void clearLoginFailures(db::Tx &tx, const std::string &userName);

} // namespace vantrell::server::accounts
