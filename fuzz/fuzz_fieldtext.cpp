// Field text, list replies, scrambling and GBK on arbitrary bytes.
#include "protocol/fieldtext.h"
#include "protocol/gbk.h"
#include "protocol/listreply.h"
#include "protocol/md5.h"
#include "protocol/scramble.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace vantrell::protocol;

namespace {

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// The lookup spelled out with the joined text, to hold the fast one against.
std::string joinedValueOf(const std::string &text, const std::string &key)
{
    if (key.empty()) {
        return {};
    }
    const std::string pattern = key + "[";
    const std::string joined = text + "[" + pattern + pattern;
    const std::size_t first = joined.find(pattern);
    const std::size_t second = joined.find(pattern, first + pattern.size());
    const std::string piece = joined.substr(first + pattern.size(), second - first - pattern.size());
    return piece.substr(0, piece.find(']'));
}

bool isSpaceAt(std::string_view text, std::size_t i)
{
    return text[i] == ' ' || (i + 1 < text.size() && static_cast<unsigned char>(text[i]) == 0xA1 &&
                              static_cast<unsigned char>(text[i + 1]) == 0xA1);
}

void checkTrim(std::string_view text)
{
    const std::string_view trimmed = trimText(text);
    require(trimmed.data() >= text.data() && trimmed.data() + trimmed.size() <= text.data() + text.size());
    require(trimText(trimmed) == trimmed);
    if (!trimmed.empty()) {
        require(!isSpaceAt(trimmed, 0));
        require(trimmed.back() != ' ');
    }
    for (std::size_t i = 0; i < static_cast<std::size_t>(trimmed.data() - text.data());) {
        require(isSpaceAt(text, i));
        i += text[i] == ' ' ? 1 : 2;
    }
}

void checkRecords(std::string_view text, std::string_view marker)
{
    const auto records = splitRecords(text, marker);
    if (marker.empty() || text.find(marker) == std::string_view::npos) {
        require(records.empty());
        return;
    }
    std::string joined;
    for (const std::string_view record : records) {
        require(record.find(marker) == std::string_view::npos);
        joined.append(marker).append(record);
    }
    require(joined == text.substr(text.find(marker)));
}

void checkListReply(std::string_view text)
{
    const ListReply reply = parseListReply(text);
    require(reply.hasColumns || (reply.columns.empty() && reply.rows.empty()));
    for (const ListColumn &column : reply.columns) {
        require(column.width >= 0 && column.width <= 32767);
        require(column.alignment >= 0 && column.alignment <= 2);
    }
    for (const auto &row : reply.rows) {
        require(row.size() == reply.columns.size());
    }
}

void checkScramble(const std::string &text)
{
    const std::string scrambled = scramble(text);
    require(scrambled.size() == 2 * text.size());
    require(scrambled.find_first_not_of(defaultKeyAlphabet()) == std::string::npos);
    require(unscramble(scrambled) == text);

    const std::string plain = unscramble(text);
    if (!plain.empty()) {
        require(text.size() == 2 * plain.size());
        require(unscramble(scramble(plain)) == plain);
    }
}

void checkGbk(const std::string &bytes)
{
    const auto utf8 = gbkToUtf8(bytes);
    require(utf8.has_value() == isValidGbk(bytes));
    if (utf8) {
        require(utf8ToGbk(*utf8) == bytes);
        require(gbkLength(*utf8) == static_cast<long long>(bytes.size()));
    }
    const auto back = utf8ToGbk(bytes);
    require(back.has_value() == (gbkLength(bytes) >= 0));
    if (back) {
        require(gbkToUtf8(*back) == bytes);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider provider(data, size);
    const int n = provider.ConsumeIntegralInRange<int>(-1, 9);
    const std::string key = provider.ConsumeRandomLengthString(12);
    const std::string separator = provider.ConsumeRandomLengthString(3);
    const std::string end = provider.ConsumeRandomLengthString(3);
    const std::string text = provider.ConsumeRemainingBytesAsString();

    const std::string value = valueOf(text, key);
    require(value == joinedValueOf(text, key));
    require(value.find(']') == std::string::npos);
    if (!key.empty() && isClean(key) && isClean(text)) {
        require(valueOf(FieldWriter().add(key, text).str(), key) == text);
    }

    const std::string piece = fieldPick(text, separator, n, end);
    require(piece.size() <= text.size());
    if (!separator.empty() && n >= 1 && end.empty()) {
        require(piece.find(separator) == std::string::npos);
    }

    checkTrim(text);
    checkRecords(text, key);
    checkListReply(text);
    checkScramble(text);
    checkGbk(text);
    require(md5Hex(text).size() == 32);

    const Payload payload = splitPayload(text);
    if (text.find('|') != std::string::npos) {
        require(makePayload(payload.name, payload.fields) == text);
    }
    return 0;
}
