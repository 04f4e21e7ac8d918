#pragma once

// Paged list replies: 合计页数, 当前页数, column records (列标详情_ 列信息[caption_width_align])
// and data records (数据详情_ keyed by column caption).
// The parser reads GBK (as received on the wire); the builder writes UTF-8 (the server
// builds its replies in UTF-8 and converts the whole payload to GBK when it sends).

#include <string>
#include <string_view>
#include <vector>

namespace vantrell::protocol {

struct ListColumn
{
    std::string caption;
    int width = 0;     // pixels; empty or non-numeric counts as 0
    int alignment = 0; // 0 left, 1 centre, 2 right
};

struct ListReply
{
    std::string pageCount;   // value of 合计页数, as sent
    std::string currentPage; // value of 当前页数, as sent
    std::vector<ListColumn> columns;
    std::vector<std::vector<std::string>> rows; // one cell per column, matched by caption
    bool hasColumns = false;
};

// Parses the full GBK field text of a list reply exactly as the client's list filler reads
// it (cells by value lookup of the column caption in each data record).
ListReply parseListReply(std::string_view text);

// Builds a UTF-8 list reply; the server's side. Cells must already be screened
// (no "[", "]", "|", "," and no marker words).
class ListReplyBuilder
{
public:
    ListReplyBuilder &pages(long long pageCount, long long currentPage);
    ListReplyBuilder &extra(std::string_view key, std::string_view value); // top-level pair
    ListReplyBuilder &column(std::string_view caption, int width, int alignment = 0);
    ListReplyBuilder &row(const std::vector<std::string> &cells); // in column order
    std::string str() const;

private:
    std::string m_head;
    std::vector<std::string> m_captions;
    std::string m_columns;
    std::string m_rows;
};

} // namespace vantrell::protocol
