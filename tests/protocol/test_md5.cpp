#include "protocol/md5.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using vantrell::protocol::md5Hex;

struct Vector
{
    std::string input;
    const char *digest;
};

TEST(Md5, MatchesReferenceVectors)
{
    const Vector vectors[] = {
        // RFC 1321, appendix A.5
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
        // Lengths around the padding boundaries (56 and 64 bytes mod 64).
        {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
        {std::string(57, 'a'), "652b906d60af96844ebd21b674f35e93"},
        {std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
        {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
        {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
        {std::string(127, 'a'), "020406e1d05cdc2aa287641f7ae2cc39"},
        {std::string(128, 'a'), "e510683b3f5ffe4093d021808bc6ff70"},
        {std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21"},
        // GBK bytes of 密码123: passwords are digested in the wire encoding.
        {"\xC3\xDC\xC2\xEB"
         "123",
         "023b1f07f0a78fc82f15fc1cebe93524"},
    };
    for (const Vector &v : vectors) {
        EXPECT_EQ(md5Hex(v.input), v.digest) << "input length " << v.input.size();
    }
}

TEST(Md5, HandlesEveryByteValue)
{
    std::string all;
    for (int i = 0; i < 256; ++i) {
        all.push_back(static_cast<char>(i));
    }
    EXPECT_EQ(md5Hex(all), "e2c865db4162bed963bfaa9ef6ac18f0");
}

} // namespace
