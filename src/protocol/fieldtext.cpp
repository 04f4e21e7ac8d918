#include "protocol/fieldtext.h"

#include "protocol/gbk.h"

#include <array>
#include <charconv>
#include <cstring>

namespace vantrell::protocol {

namespace {

constexpr auto npos = std::string_view::npos;

// key + "[" without touching the heap for the keys in use (a few GBK characters).
class KeyPattern
{
public:
    explicit KeyPattern(std::string_view key)
    {
        if (key.size() < m_small.size()) {
            std::memcpy(m_small.data(), key.data(), key.size());
            m_small[key.size()] = '[';
            m_view = std::string_view(m_small.data(), key.size() + 1);
        } else {
            m_large.reserve(key.size() + 1);
            m_large.append(key).push_back('[');
            m_view = m_large;
        }
    }
    KeyPattern(const KeyPattern &) = delete;
    KeyPattern &operator=(const KeyPattern &) = delete;
    std::string_view view() const { return m_view; }

private:
    std::array<char, 64> m_small{};
    std::string m_large;
    std::string_view m_view;
};

// The lookup as the reader defines it: split text + "[" + key + "[" + key + "[" at
// key + "[", take the second piece and cut it at its first "]". `head` is the end part
// of the text from where the first match can start; valueOf only comes here when the
// value is not closed inside the text, so the appended tail decides the result.
std::string joinedLookup(std::string_view head, std::string_view key, std::string_view pattern)
{
    std::string joined;
    joined.reserve(head.size() + 2 * key.size() + 3);
    joined.append(head).append(1, '[').append(key).append(1, '[').append(key).append(1, '[');
    const std::string_view all(joined);
    const std::size_t first = all.find(pattern);
    if (first == npos) {
        return {};
    }
    const std::size_t from = first + pattern.size();
    const std::size_t second = all.find(pattern, from);
    std::string_view piece = all.substr(from, second == npos ? npos : second - from);
    return std::string(piece.substr(0, piece.find(']')));
}

void appendNumber(std::string &out, long long value)
{
    std::array<char, 24> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    out.append(digits.data(), result.ptr);
}

} // namespace

std::string valueOf(std::string_view text, std::string_view key)
{
    if (key.empty()) {
        return {};
    }
    const KeyPattern keyPattern(key);
    const std::string_view pattern = keyPattern.view();
    // A "]" inside the key could let a key that straddles the end of the text cut the
    // value earlier than the first "]"; such keys always take the literal route.
    if (key.find(']') != npos) {
        return joinedLookup(text, key, pattern);
    }
    const std::size_t start = text.find(pattern);
    if (start == npos) {
        // Only a key that straddles the end of the text can still match.
        const std::size_t keep = pattern.size() - 1;
        return joinedLookup(text.substr(text.size() > keep ? text.size() - keep : 0), key, pattern);
    }
    const std::size_t from = start + pattern.size();
    const std::size_t close = text.find(']', from);
    if (close == npos) {
        return joinedLookup(text.substr(start), key, pattern);
    }
    // A second key + "[" before the "]" ends the value too.
    const std::size_t next = text.substr(0, close).find(pattern, from);
    const std::size_t end = next == npos ? close : next;
    return std::string(text.substr(from, end - from));
}

std::string fieldPick(std::string_view text, std::string_view separator, int n, std::string_view end)
{
    if (n < 1) {
        return {};
    }
    std::string_view piece;
    std::string joined;
    if (separator.empty()) {
        // Nothing to split at: the whole text is the only piece.
        if (n != 1) {
            return {};
        }
        piece = text;
    } else {
        joined.reserve(text.size() + 5 * separator.size());
        joined.append(text);
        for (int i = 0; i < 5; ++i) {
            joined.append(separator);
        }
        const std::string_view all(joined);
        std::size_t pos = 0;
        for (int i = 1; i < n; ++i) {
            const std::size_t found = all.find(separator, pos);
            if (found == npos) {
                return {};
            }
            pos = found + separator.size();
        }
        const std::size_t stop = all.find(separator, pos);
        piece = all.substr(pos, stop == npos ? npos : stop - pos);
    }
    if (end.empty()) {
        return std::string(piece);
    }
    std::string cut;
    cut.reserve(piece.size() + 2 * end.size());
    cut.append(piece).append(end).append(end);
    cut.resize(cut.find(end));
    return cut;
}

bool isClean(std::string_view text)
{
    return text.find_first_of("[]|,") == npos;
}

bool allClean(std::initializer_list<std::string_view> texts)
{
    for (const std::string_view text : texts) {
        if (!isClean(text)) {
            return false;
        }
    }
    return true;
}

std::vector<std::string_view> splitRecords(std::string_view text, std::string_view marker)
{
    std::vector<std::string_view> records;
    if (marker.empty()) {
        return records;
    }
    std::size_t pos = text.find(marker);
    while (pos != npos) {
        const std::size_t from = pos + marker.size();
        pos = text.find(marker, from);
        records.push_back(text.substr(from, pos == npos ? npos : pos - from));
    }
    return records;
}

std::string_view trimText(std::string_view text)
{
    const auto byte = [&text](std::size_t i) {
        return static_cast<unsigned char>(text[i]);
    };
    std::size_t begin = 0;
    while (begin < text.size()) {
        if (byte(begin) == ' ') {
            ++begin;
        } else if (byte(begin) == 0xA1 && begin + 1 < text.size() && byte(begin + 1) == 0xA1) {
            begin += 2;
        } else {
            break;
        }
    }
    if (begin == text.size()) {
        return text.substr(begin);
    }
    const unsigned char last = byte(text.size() - 1);
    if (last != ' ' && last != 0xA1) {
        return text.substr(begin);
    }
    // A trailing A1 may be the second byte of another character, so the character
    // boundaries are only known by walking from the left.
    std::size_t end = begin;
    std::size_t i = begin;
    while (i < text.size()) {
        const unsigned char c = byte(i);
        if (c == ' ') {
            ++i;
        } else if (c == 0xA1 && i + 1 < text.size() && byte(i + 1) == 0xA1) {
            i += 2;
        } else if (isGbkLeadByte(c) && i + 1 < text.size() && isGbkTrailByte(byte(i + 1))) {
            i += 2;
            end = i;
        } else {
            ++i;
            end = i;
        }
    }
    return text.substr(begin, end - begin);
}

FieldWriter &FieldWriter::add(std::string_view key, std::string_view value)
{
    m_text.reserve(m_text.size() + key.size() + value.size() + 2);
    m_text.append(key).append(1, '[').append(value).append(1, ']');
    return *this;
}

FieldWriter &FieldWriter::add(std::string_view key, long long value)
{
    m_text.append(key).append(1, '[');
    appendNumber(m_text, value);
    m_text.append(1, ']');
    return *this;
}

FieldWriter &FieldWriter::record(std::string_view marker)
{
    m_text.append(marker);
    return *this;
}

FieldWriter &FieldWriter::raw(std::string_view text)
{
    m_text.append(text);
    return *this;
}

Payload splitPayload(std::string_view payload)
{
    const std::size_t bar = payload.find('|');
    if (bar == npos) {
        return {{}, payload};
    }
    return {payload.substr(0, bar), payload.substr(bar + 1)};
}

std::string makePayload(std::string_view name, std::string_view fields)
{
    std::string payload;
    payload.reserve(name.size() + fields.size() + 1);
    payload.append(name).append(1, '|').append(fields);
    return payload;
}

} // namespace vantrell::protocol
