#include "protocol/listreply.h"

#include "protocol/fieldtext.h"
#include "protocol/gbk.h"

#include <limits>

namespace vantrell::protocol {

namespace {

constexpr std::string_view kPageCountKey = "合计页数";
constexpr std::string_view kCurrentPageKey = "当前页数";
constexpr std::string_view kColumnInfoKey = "列信息";

// No list view shows a column wider than this; it also keeps sums of widths far from overflow.
constexpr int kMaxColumnWidth = 32767;

// Widths and alignments are "converted to an integer" the lenient way: leading spaces, an
// optional sign and the leading digits count, anything after them is ignored, and text
// without digits is 0. "120px" is 120, "1.5" is 1, "abc" and "" are 0.
long long leadingInteger(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr long long kLimit = std::numeric_limits<int>::max();
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit) {
            value = kLimit;
        }
    }
    return negative ? -value : value;
}

// A negative width or an alignment outside left/centre/right would hand the list view
// values it has no meaning for; such columns fall back to hidden and left-aligned.
int columnWidth(std::string_view text)
{
    const long long width = leadingInteger(text);
    if (width < 0) {
        return 0;
    }
    return width > kMaxColumnWidth ? kMaxColumnWidth : static_cast<int>(width);
}

int columnAlignment(std::string_view text)
{
    const long long alignment = leadingInteger(text);
    return alignment >= 0 && alignment <= 2 ? static_cast<int>(alignment) : 0;
}

} // namespace

ListReply parseListReply(std::string_view text)
{
    ListReply reply;
    reply.pageCount = valueOf(text, gbk(kPageCountKey));
    reply.currentPage = valueOf(text, gbk(kCurrentPageKey));

    const std::string &columnMarker = gbk(kColumnMarker);
    if (columnMarker.empty() || text.find(columnMarker) == std::string_view::npos) {
        return reply;
    }
    reply.hasColumns = true;
    const std::string &infoKey = gbk(kColumnInfoKey);
    for (const std::string_view record : splitRecords(text, columnMarker)) {
        const std::string info = valueOf(record, infoKey);
        ListColumn column;
        column.caption = fieldPick(info, "_", 1);
        column.width = columnWidth(fieldPick(info, "_", 2));
        column.alignment = columnAlignment(fieldPick(info, "_", 3));
        reply.columns.push_back(std::move(column));
    }

    const std::vector<std::string_view> records = splitRecords(text, gbk(kDataMarker));
    reply.rows.reserve(records.size());
    for (const std::string_view record : records) {
        std::vector<std::string> cells;
        cells.reserve(reply.columns.size());
        for (const ListColumn &column : reply.columns) {
            cells.push_back(valueOf(record, column.caption));
        }
        reply.rows.push_back(std::move(cells));
    }
    return reply;
}

ListReplyBuilder &ListReplyBuilder::pages(long long pageCount, long long currentPage)
{
    FieldWriter writer;
    writer.add(kPageCountKey, pageCount).add(kCurrentPageKey, currentPage);
    m_head.append(writer.str());
    return *this;
}

ListReplyBuilder &ListReplyBuilder::extra(std::string_view key, std::string_view value)
{
    m_head.append(FieldWriter().add(key, value).str());
    return *this;
}

ListReplyBuilder &ListReplyBuilder::column(std::string_view caption, int width, int alignment)
{
    std::string info(caption);
    info.append(1, '_').append(std::to_string(width)).append(1, '_').append(std::to_string(alignment));
    m_columns.append(FieldWriter().record(kColumnMarker).add(kColumnInfoKey, info).str());
    m_captions.emplace_back(caption);
    return *this;
}

ListReplyBuilder &ListReplyBuilder::row(const std::vector<std::string> &cells)
{
    FieldWriter writer;
    writer.record(kDataMarker);
    // A short row leaves its last cells empty; cells beyond the columns have no caption to go under.
    for (std::size_t i = 0; i < m_captions.size(); ++i) {
        writer.add(m_captions[i], i < cells.size() ? std::string_view(cells[i]) : std::string_view());
    }
    m_rows.append(std::move(writer).str());
    return *this;
}

std::string ListReplyBuilder::str() const
{
    std::string text;
    text.reserve(m_head.size() + m_columns.size() + m_rows.size());
    text.append(m_head).append(m_columns).append(m_rows);
    return text;
}

} // namespace vantrell::protocol
