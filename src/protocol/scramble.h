#pragma once

// Free-text scrambling: each byte becomes two characters of a 62-character key
// alphabet, salted with a random 0..5 per byte, so the same text scrambles
// differently each time.

#include <string>
#include <string_view>

namespace vantrell::protocol {

// The alphabet that client and server share (from the build configuration).
std::string_view defaultKeyAlphabet();

std::string scramble(std::string_view text, std::string_view alphabet = defaultKeyAlphabet());
// Empty result for text that is not a scrambling under `alphabet` (odd length, a
// character outside the alphabet, an index pair that cannot have been produced).
std::string unscramble(std::string_view text, std::string_view alphabet = defaultKeyAlphabet());

} // namespace vantrell::protocol
