// List replies: the client's reading of arbitrary field text, and of the server's own
// lists built from arbitrary pages, widths and cells.
#include "protocol/gbk.h"
#include "protocol/listreply.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace vantrell::protocol;

namespace {

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

void checkShape(const ListReply &reply)
{
    require(reply.hasColumns || (reply.columns.empty() && reply.rows.empty()));
    for (const ListColumn &column : reply.columns) {
        require(column.width >= 0 && column.width <= 32767);
        require(column.alignment >= 0 && column.alignment <= 2);
    }
    for (const auto &row : reply.rows) {
        require(row.size() == reply.columns.size());
    }
}

// Printable ASCII without the delimiters: what a screened cell may hold in both encodings.
std::string cellText(FuzzedDataProvider &provider)
{
    std::string text = provider.ConsumeRandomLengthString(24);
    for (char &c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E || c == '[' || c == ']' || c == '|' || c == ',') {
            c = static_cast<char>('a' + byte % 26);
        }
    }
    return text;
}

void roundTrip(FuzzedDataProvider &provider)
{
    const long long pageCount = provider.ConsumeIntegralInRange<long long>(0, 1000000);
    const long long currentPage = provider.ConsumeIntegralInRange<long long>(0, pageCount);
    ListReplyBuilder builder;
    builder.pages(pageCount, currentPage);
    // "c<n>" captions: none is found inside another's key, so every cell reads back.
    std::vector<ListColumn> columns(provider.ConsumeIntegralInRange<std::size_t>(1, 12));
    for (std::size_t i = 0; i < columns.size(); ++i) {
        columns[i] = {"c" + std::to_string(i), provider.ConsumeIntegralInRange<int>(0, 32767),
                      provider.ConsumeIntegralInRange<int>(0, 2)};
        builder.column(columns[i].caption, columns[i].width, columns[i].alignment);
    }
    std::vector<std::vector<std::string>> rows(provider.ConsumeIntegralInRange<std::size_t>(0, 20));
    for (auto &row : rows) {
        row.resize(columns.size());
        for (std::string &cell : row) {
            cell = cellText(provider);
        }
        builder.row(row);
    }
    const auto wire = utf8ToGbk(builder.str());
    require(wire.has_value());
    const ListReply reply = parseListReply(*wire);
    checkShape(reply);
    require(reply.hasColumns && reply.columns.size() == columns.size());
    require(reply.pageCount == std::to_string(pageCount) && reply.currentPage == std::to_string(currentPage));
    for (std::size_t i = 0; i < columns.size(); ++i) {
        require(reply.columns[i].caption == columns[i].caption &&
                reply.columns[i].width == columns[i].width &&
                reply.columns[i].alignment == columns[i].alignment);
    }
    require(reply.rows == rows);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider provider(data, size);
    if (provider.ConsumeBool()) {
        roundTrip(provider);
    } else {
        checkShape(parseListReply(provider.ConsumeRemainingBytesAsString()));
    }
    return 0;
}
