#include "server/accounts/passwords.h"

#include <sodium.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>

namespace vantrell::server::accounts {

namespace {

// Two passes over 19 MiB, the usual minimum for Argon2id: a third of libsodium's
// INTERACTIVE memory, so that a burst of logins on every core stays cheap in memory and
// time. Hashes made with other limits are renewed at the next login.
constexpr unsigned long long kHashPasses = 2;
constexpr std::size_t kHashMemory = std::size_t{19} << 20;

void initSodium()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (sodium_init() < 0)
            throw std::runtime_error("libsodium cannot be initialised");
    });
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

bool needsRehash(const std::string &hash)
{
    initSodium();
    return crypto_pwhash_str_needs_rehash(hash.c_str(), kHashPasses, kHashMemory) != 0;
}

const std::string &dummyHash()
{
    static const std::string hash = hashPasswordDigest("00000000000000000000000000000000");
    return hash;
}

} // namespace vantrell::server::accounts
