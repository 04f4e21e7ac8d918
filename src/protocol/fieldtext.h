#pragma once

// Field text: key "[" value "]" pairs, record lists behind marker words, and the
// helpers that read and build it. Everything works on bytes; positions and lengths
// count bytes. Keys and markers must be in the text's own encoding: GBK on the wire
// and in the client (use gbk("...") from gbk.h), UTF-8 inside the server.
//
// Note that in GBK a second byte may be 0x5B "[", 0x5D "]" or 0x7C "|": screening is
// done on the GBK bytes, so such characters are refused before they can break a text.

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell::protocol {

// UTF-8 spellings of the marker words; gbk(kColumnMarker) gives the wire bytes.
inline constexpr std::string_view kColumnMarker = "列标详情_";
inline constexpr std::string_view kDataMarker = "数据详情_";
inline constexpr std::string_view kListMarker = "列表详情_";

// Value of `key`: the text between the first occurrence of key + "[" anywhere in
// `text` and the next "]". Plain substring match, the first one wins ("ID" finds
// the value of "供应商ID[" when that stands first). Empty when the key is empty or absent.
std::string valueOf(std::string_view text, std::string_view key);

// Piece n (from 1) of `text` split at `separator`, with five separators appended so
// that pieces up to 5 always exist; when `end` is not empty the piece is cut at its
// first `end`. An empty separator leaves the whole text as the only piece.
std::string fieldPick(std::string_view text, std::string_view separator, int n, std::string_view end = {});

// True when the text holds none of "[", "]", "|", ",". Full-width punctuation passes.
bool isClean(std::string_view text);
// True when every text is clean (the screening check; the caller shows the message).
bool allClean(std::initializer_list<std::string_view> texts);

// The records of a record list: `text` split at `marker`, the piece before the first
// marker dropped. Views into `text`. An empty marker finds no records.
std::vector<std::string_view> splitRecords(std::string_view text, std::string_view marker);

// Remove ASCII spaces and the GBK full-width space (A1 A1) from both ends. Only whole
// characters are removed: the A1 that ends another double-byte character stays.
std::string_view trimText(std::string_view text);

// Builds a field text in the order the pairs are added.
class FieldWriter
{
public:
    FieldWriter &add(std::string_view key, std::string_view value);
    FieldWriter &add(std::string_view key, long long value);
    // Starts a record: appends the marker word; the following pairs belong to it.
    FieldWriter &record(std::string_view marker);
    FieldWriter &raw(std::string_view text);
    const std::string &str() const & { return m_text; }
    std::string str() && { return std::move(m_text); }

private:
    std::string m_text;
};

// Splits a payload "name|fields" at its first "|". Without "|" the name is empty and
// the whole payload is the field text.
struct Payload
{
    std::string_view name;
    std::string_view fields;
};
Payload splitPayload(std::string_view payload);
std::string makePayload(std::string_view name, std::string_view fields);

} // namespace vantrell::protocol
