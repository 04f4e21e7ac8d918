#include "server/pagedrows.h"

#include "server/handlers.h"

#include <algorithm>

namespace vantrell::server {

ListAsk readListAsk(const Fields &fields, std::string_view keywordKey, std::string_view pageKey)
{
    ListAsk ask;
    const auto keyword = fields.trimmed(keywordKey);
    const auto page = fields.count(pageKey);
    if (!keyword)
        ask.refusal = notice(std::string(keywordKey) + "不能包含特殊符号!");
    else if (!page)
        ask.refusal = notice(std::string(pageKey) + "必须是不小于0的整数!");
    else {
        ask.keyword = *keyword;
        ask.page = *page;
    }
    return ask;
}

long long pageCount(long long rows, int pageSize)
{
    const long long size = std::max(1, pageSize);
    return std::max(1LL, (rows + size - 1) / size);
}

long long clampPage(long long asked, long long pages)
{
    return std::clamp(asked, 1LL, std::max(1LL, pages));
}

std::string foldAscii(const std::string &text)
{
    std::string lower(text);
    for (char &c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

bool rowMatches(const RowCells &cells, const std::string &keyword)
{
    if (keyword.empty())
        return true;
    for (std::size_t i = 1; i < cells.size(); ++i) {
        if (foldAscii(cells[i]).find(keyword) != std::string::npos)
            return true;
    }
    return false;
}

RowPage pageRows(std::vector<RowCells> rows, const std::string &keyword, long long asked, int pageSize)
{
    const std::string needle = foldAscii(keyword);
    std::erase_if(rows, [&](const RowCells &cells) { return !rowMatches(cells, needle); });

    const int size = std::max(1, pageSize);
    RowPage result;
    result.pages = pageCount(static_cast<long long>(rows.size()), size);
    result.page = clampPage(asked, result.pages);
    const std::size_t first = static_cast<std::size_t>((result.page - 1) * size);
    const std::size_t last = std::min(rows.size(), first + static_cast<std::size_t>(size));
    for (std::size_t i = first; i < last; ++i)
        result.rows.push_back(std::move(rows[i]));
    return result;
}

} // namespace vantrell::server
