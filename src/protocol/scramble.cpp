#include "protocol/scramble.h"

#include "vantrell_config.h"

#include <array>
#include <random>

namespace vantrell::protocol {

namespace {

constexpr int kSaltCount = 6;
constexpr int kSaltSpan = 8;

// Position of each byte in the alphabet, -1 outside it. `usable` is cleared when the
// alphabet cannot carry every byte value (too short for the second index, or a
// character used twice): scrambling with it would index past its end or be ambiguous.
std::array<int, 256> indexTable(std::string_view alphabet, bool &usable)
{
    std::array<int, 256> table{};
    table.fill(-1);
    const auto length = static_cast<int>(alphabet.size());
    usable = length > 0 && length <= 256 && (255 / length) * kSaltSpan + kSaltCount - 1 < length;
    if (!usable) {
        return table;
    }
    for (int i = 0; i < length; ++i) {
        int &slot = table[static_cast<unsigned char>(alphabet[static_cast<std::size_t>(i)])];
        if (slot != -1) {
            usable = false;
            return table;
        }
        slot = i;
    }
    return table;
}

int drawSalt()
{
    thread_local std::mt19937 generator{std::random_device{}()};
    thread_local std::uniform_int_distribution<int> salt(0, kSaltCount - 1);
    return salt(generator);
}

} // namespace

std::string_view defaultKeyAlphabet()
{
    return config::kKeyAlphabet;
}

std::string scramble(std::string_view text, std::string_view alphabet)
{
    bool usable = false;
    indexTable(alphabet, usable);
    if (!usable) {
        return {};
    }
    const auto length = static_cast<int>(alphabet.size());
    std::string out;
    out.reserve(text.size() * 2);
    for (const char c : text) {
        const int r = drawSalt();
        const int x = static_cast<unsigned char>(c) ^ r;
        out.push_back(alphabet[static_cast<std::size_t>(x % length)]);
        out.push_back(alphabet[static_cast<std::size_t>((x / length) * kSaltSpan + r)]);
    }
    return out;
}

std::string unscramble(std::string_view text, std::string_view alphabet)
{
    bool usable = false;
    const auto table = indexTable(alphabet, usable);
    if (!usable || text.size() % 2 != 0) {
        return {};
    }
    const auto length = static_cast<int>(alphabet.size());
    std::string out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int i1 = table[static_cast<unsigned char>(text[i])];
        const int i2 = table[static_cast<unsigned char>(text[i + 1])];
        if (i1 < 0 || i2 < 0) {
            return {};
        }
        const int r = i2 % kSaltSpan;
        const int x = (i2 / kSaltSpan) * length + i1;
        if (r >= kSaltCount || x > 255) {
            return {};
        }
        out.push_back(static_cast<char>(x ^ r));
    }
    return out;
}

} // namespace vantrell::protocol
