#pragma once

// Accounts: registration, login with lock-out, password change. Passwords arrive as MD5
// digests and are stored only as Argon2id hashes of those digests.

#include "server/handlers.h"

#include <string>
#include <string_view>

namespace vantrell::server {

void registerAccountHandlers(HandlerTable &table);

// 32 lowercase hexadecimal digits.
bool isPasswordDigest(std::string_view text);
// Argon2id (libsodium) of the digest, in its self-describing text form.
std::string hashPasswordDigest(std::string_view digest);
bool verifyPasswordDigest(const std::string &hash, std::string_view digest);

// Login failures for one user name: five within ten minutes lock for ten minutes.
inline constexpr int kLockFailures = 5;
inline constexpr int kLockWindowMinutes = 10;

} // namespace vantrell::server
