#pragma once

// Paging of list replies. Rows that are read whole are filtered by keyword in memory: the
// partner and finance lists of one merchant are short enough for that, and so are the
// orders that match a keyword.

#include <string>
#include <string_view>
#include <vector>

namespace vantrell::server {

class Fields;

// The keyword and page of a list request. `refusal` holds the notice when either is
// unreadable; the other members are then meaningless.
struct ListAsk
{
    std::string keyword;
    long long page = 1;
    std::string refusal;
};
ListAsk readListAsk(const Fields &fields, std::string_view keywordKey = "关键词",
                    std::string_view pageKey = "查询页数");

using RowCells = std::vector<std::string>;

struct RowPage
{
    long long pages = 1;
    long long page = 1;
    std::vector<RowCells> rows;
};

// 合计页数 for `rows` rows: at least 1.
long long pageCount(long long rows, int pageSize);
// The asked page clamped to 1..pages.
long long clampPage(long long asked, long long pages);

// ASCII letters folded to lower case; other bytes (Chinese text) are kept.
std::string foldAscii(const std::string &text);

// True when `keyword` (already folded) is a substring of a visible cell; cell 0 is the
// hidden ID. An empty keyword matches every row.
bool rowMatches(const RowCells &cells, const std::string &keyword);

// The rows matching `keyword` (case-insensitive), cut to the asked page, clamped to 1..pages.
RowPage pageRows(std::vector<RowCells> rows, const std::string &keyword, long long asked, int pageSize);

} // namespace vantrell::server
