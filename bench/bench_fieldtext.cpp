#include "protocol/fieldtext.h"
#include "protocol/gbk.h"
#include "protocol/listreply.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using namespace vantrell::protocol;

// A full page of orders as the server sends it: 200 rows of 8 columns, one hidden.
std::string orderPage()
{
    const std::vector<std::string> captions = {"订单号", "ID",   "商家名称", "商品名称",
                                               "数量",   "金额", "状态",     "下单时间"};
    ListReplyBuilder builder;
    builder.pages(12, 3);
    for (const std::string &caption : captions) {
        builder.column(caption, caption == "ID" ? 0 : 100, 1);
    }
    for (int i = 0; i < 200; ++i) {
        const std::string n = std::to_string(i);
        builder.row({"DD2026120800" + n, n, "华东供应链有限公司", "有机大米五公斤装" + n,
                     std::to_string(i % 40 + 1), std::to_string(i * 13) + ".50", "待发货",
                     "2026-12-08 10:20:" + std::to_string(i % 60)});
    }
    return utf8ToGbk(builder.str()).value();
}

void parseOrderPage(benchmark::State &state)
{
    const std::string text = orderPage();
    for (auto _ : state) {
        ListReply reply = parseListReply(text);
        benchmark::DoNotOptimize(reply);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(parseOrderPage);

void lookUpLastKeyOfARecord(benchmark::State &state)
{
    const std::string text = orderPage();
    const std::string record(splitRecords(text, gbk(kDataMarker)).back());
    const std::string &key = gbk("下单时间");
    for (auto _ : state) {
        benchmark::DoNotOptimize(valueOf(record, key));
    }
}
BENCHMARK(lookUpLastKeyOfARecord);

} // namespace

BENCHMARK_MAIN();
