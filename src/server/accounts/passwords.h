#pragma once

// Passwords arrive as MD5 digests and are stored only as Argon2id hashes of those digests.

#include <string>
#include <string_view>

namespace vantrell::server::accounts {

// 32 lowercase hexadecimal digits.
bool isPasswordDigest(std::string_view text);
// Argon2id (libsodium) of the digest, in its self-describing text form.
std::string hashPasswordDigest(std::string_view digest);
bool verifyPasswordDigest(const std::string &hash, std::string_view digest);
// True when the hash was made with other limits than today's and should be renewed.
bool needsRehash(const std::string &hash);
// A hash of no password, so that an unknown user name takes as long as a wrong password.
const std::string &dummyHash();

// Login failures for one user name: five within ten minutes lock for ten minutes.
inline constexpr int kLockFailures = 5;
inline constexpr int kLockWindowMinutes = 10;

} // namespace vantrell::server::accounts
