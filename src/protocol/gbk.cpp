#include "protocol/gbk.h"

#include <climits>
#include <map>
#include <mutex>
#include <shared_mutex>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace vantrell::protocol {

namespace {

bool isAscii(std::string_view text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

#ifdef _WIN32

constexpr UINT kGbkCodePage = 936;

std::optional<std::wstring> toWide(UINT codePage, std::string_view text)
{
    if (text.size() > static_cast<std::size_t>(INT_MAX)) {
        return std::nullopt;
    }
    const int inLength = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), inLength, nullptr, 0);
    if (length <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), inLength, wide.data(), length) !=
        length) {
        return std::nullopt;
    }
    return wide;
}

std::optional<std::string> fromWide(UINT codePage, const std::wstring &wide)
{
    const int inLength = static_cast<int>(wide.size());
    // UTF-8 reports unpaired surrogates; code page 936 reports characters it had to replace.
    BOOL usedDefault = FALSE;
    const DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL *defaultFlag = codePage == CP_UTF8 ? nullptr : &usedDefault;
    const int length =
        WideCharToMultiByte(codePage, flags, wide.data(), inLength, nullptr, 0, nullptr, defaultFlag);
    if (length <= 0 || usedDefault) {
        return std::nullopt;
    }
    std::string out(static_cast<std::size_t>(length), '\0');
    if (WideCharToMultiByte(codePage, flags, wide.data(), inLength, out.data(), length, nullptr,
                            defaultFlag) != length ||
        usedDefault) {
        return std::nullopt;
    }
    return out;
}

std::optional<std::string> convert(UINT from, UINT to, std::string_view text)
{
    if (text.empty()) {
        return std::string();
    }
    const auto wide = toWide(from, text);
    if (!wide) {
        return std::nullopt;
    }
    return fromWide(to, *wide);
}

std::optional<std::string> decodeGbk(std::string_view gbk)
{
    return convert(kGbkCodePage, CP_UTF8, gbk);
}
std::optional<std::string> encodeGbk(std::string_view utf8)
{
    return convert(CP_UTF8, kGbkCodePage, utf8);
}

#else

// The Windows code page rather than plain GBK: both spellings map 0x80 to the euro sign
// in glibc, but CP936 says which table the peer uses.
constexpr const char *kGbkName = "CP936";
constexpr const char *kUtf8Name = "UTF-8";

// iconv descriptors keep shift state and may not be shared between threads, so each
// thread opens its own pair once and keeps it.
class Converter
{
public:
    Converter(const char *to, const char *from) : m_cd(iconv_open(to, from)) {}
    ~Converter()
    {
        if (m_cd != invalid()) {
            iconv_close(m_cd);
        }
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    std::optional<std::string> run(std::string_view text)
    {
        if (m_cd == invalid()) {
            return std::nullopt;
        }
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        // GBK <-> UTF-8 changes a length by at most half again; grow if ever needed.
        out.resize(text.size() + text.size() / 2 + 8);
        char *in = const_cast<char *>(text.data());
        std::size_t inLeft = text.size();
        std::size_t written = 0;
        while (true) {
            char *outPtr = out.data() + written;
            std::size_t outLeft = out.size() - written;
            const std::size_t result = iconv(m_cd, &in, &inLeft, &outPtr, &outLeft);
            written = out.size() - outLeft;
            if (result != static_cast<std::size_t>(-1)) {
                // Flush; neither side has shift states, but the call is cheap and correct.
                outLeft = out.size() - written;
                if (iconv(m_cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
                    return std::nullopt;
                }
                written = out.size() - outLeft;
                break;
            }
            if (errno != E2BIG) {
                return std::nullopt; // EILSEQ: invalid or unmappable; EINVAL: cut off mid-character
            }
            out.resize(out.size() * 2 + 16);
        }
        out.resize(written);
        return out;
    }

private:
    static iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); }
    iconv_t m_cd;
};

std::optional<std::string> decodeGbk(std::string_view gbk)
{
    thread_local Converter converter(kUtf8Name, kGbkName);
    return converter.run(gbk);
}

std::optional<std::string> encodeGbk(std::string_view utf8)
{
    thread_local Converter converter(kGbkName, kUtf8Name);
    return converter.run(utf8);
}

#endif

} // namespace

std::optional<std::string> gbkToUtf8(std::string_view gbk)
{
    if (isAscii(gbk)) {
        return std::string(gbk);
    }
    return decodeGbk(gbk);
}

std::optional<std::string> utf8ToGbk(std::string_view utf8)
{
    if (isAscii(utf8)) {
        return std::string(utf8);
    }
    return encodeGbk(utf8);
}

bool isValidGbk(std::string_view gbk)
{
    return isAscii(gbk) || decodeGbk(gbk).has_value();
}

long long gbkLength(std::string_view utf8)
{
    if (isAscii(utf8)) {
        return static_cast<long long>(utf8.size());
    }
    const auto converted = encodeGbk(utf8);
    return converted ? static_cast<long long>(converted->size()) : -1;
}

std::size_t findGbkAscii(std::string_view gbk, char ascii)
{
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        const auto c = static_cast<unsigned char>(gbk[i]);
        if (c == static_cast<unsigned char>(ascii)) {
            return i;
        }
        if (isGbkLeadByte(c) && i + 1 < gbk.size()) {
            ++i;
        }
    }
    return std::string_view::npos;
}

const std::string &gbk(std::string_view utf8Literal)
{
    // Values live in map nodes, so references handed out stay valid while others are added.
    static std::shared_mutex mutex;
    static std::map<std::string, std::string, std::less<>> cache;
    {
        const std::shared_lock lock(mutex);
        const auto found = cache.find(utf8Literal);
        if (found != cache.end()) {
            return found->second;
        }
    }
    // A literal that does not convert caches as empty; callers treat an empty key or
    // marker as matching nothing.
    std::string converted = utf8ToGbk(utf8Literal).value_or(std::string());
    const std::unique_lock lock(mutex);
    return cache.try_emplace(std::string(utf8Literal), std::move(converted)).first->second;
}

} // namespace vantrell::protocol
