// The list filler against a bare QTreeWidget: the same 2000 goods rows of ten columns,
// once as the GBK list reply fillList reads, once as ready QStrings handed to the widget
// directly. Run on the offscreen platform; the widgets are never shown.

#include "client/ui/common/listfiller.h"
#include "protocol/gbk.h"
#include "protocol/listreply.h"

#include <QApplication>
#include <QFont>
#include <QStringList>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr int kRows = 2000;

struct Column
{
    const char *caption;
    int width;
    int alignment;
};

// The purchaser's goods list as the server writes it.
const std::vector<Column> kColumns = {
    {"ID", 0, 0},        {"状态", 45, 1},     {"商品编码", 70, 0}, {"商品分类", 70, 0}, {"商品名称", 110, 0},
    {"商品规格", 70, 0}, {"商品单价", 70, 2}, {"商品重量", 70, 2}, {"商品库存", 70, 2}, {"供应商", 120, 0},
};

std::vector<std::vector<std::string>> goodsRows()
{
    static const char *names[] = {"东北有机大米", "压榨菜籽油", "散养鲜鸡蛋",
                                  "手工挂面",     "有机黄豆",   "精选香菇"};
    static const char *categories[] = {"粮油米面", "禽蛋", "杂粮干货", "调味品"};
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < kRows; ++i) {
        const std::string n = std::to_string(i);
        rows.push_back({n, i % 7 == 0 ? "下架" : "正常", "QH-" + std::to_string(10000 + i), categories[i % 4],
                        std::string(names[i % 6]) + n, std::to_string(i % 9 + 1) + "kg/袋",
                        std::to_string(i % 300 + 1) + "." + std::to_string(10 + i % 90),
                        std::to_string(i % 50) + ".25", std::to_string(i * 7 % 1000), "青禾食品有限公司"});
    }
    return rows;
}

std::string goodsReply()
{
    vantrell::protocol::ListReplyBuilder builder;
    builder.pages(1, 1);
    for (const Column &column : kColumns)
        builder.column(column.caption, column.width, column.alignment);
    for (const auto &row : goodsRows())
        builder.row(row);
    return vantrell::protocol::utf8ToGbk(builder.str()).value();
}

QTreeWidget *makeList()
{
    auto *list = new QTreeWidget;
    vantrell::client::makeReportList(list);
    list->resize(800, 400);
    return list;
}

void fillListFromReply(benchmark::State &state)
{
    const std::string reply = goodsReply();
    QTreeWidget *list = makeList();
    for (auto _ : state) {
        vantrell::client::fillList(list, reply);
        benchmark::DoNotOptimize(list->topLevelItemCount());
    }
    if (list->topLevelItemCount() != kRows)
        state.SkipWithError("fillList did not fill every row");
    delete list;
}
BENCHMARK(fillListFromReply)->Unit(benchmark::kMillisecond);

void bareTreeWidget(benchmark::State &state)
{
    std::vector<QStringList> rows;
    for (const auto &cells : goodsRows()) {
        QStringList texts;
        for (const std::string &cell : cells)
            texts << QString::fromStdString(cell);
        rows.push_back(texts);
    }
    QTreeWidget *list = makeList();
    list->setColumnCount(int(kColumns.size()));
    for (auto _ : state) {
        list->clear();
        QList<QTreeWidgetItem *> items;
        items.reserve(kRows);
        for (const QStringList &texts : rows)
            items << new QTreeWidgetItem(texts);
        list->addTopLevelItems(items);
        benchmark::DoNotOptimize(list->topLevelItemCount());
    }
    delete list;
}
BENCHMARK(bareTreeWidget)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 9));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
