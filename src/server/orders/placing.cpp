// Placing an order: the lists of the order window, the freight, and 下单 itself.

#include "protocol/fieldtext.h"
#include "protocol/gbk.h"
#include "protocol/listreply.h"
#include "protocol/scramble.h"
#include "server/clock.h"
#include "server/domains.h"
#include "server/freight/store.h"
#include "server/goods/store.h"
#include "server/money.h"
#include "server/orders/store.h"
#include "server/pagedrows.h"
#include "server/partners/store.h"
#include "server/states.h"

#include <set>

namespace vantrell::server::orders {

namespace {

using protocol::Reply;
using protocol::Request;

constexpr std::size_t kMaxLines = 50;
constexpr long long kMaxLineQuantity = 999'999;
constexpr long long kMaxDailyNumber = 999'999;
constexpr long long kMaxAddressBytes = 95;
constexpr long long kMaxMessageBytes = 200;
constexpr std::string_view kUnknownSupplier = "未找到该合作供应商!";

Replies refuse(std::string_view text)
{
    return {notice(text)};
}

bool activePartner(db::Tx &tx, long long supplierId, std::int64_t purchaserId)
{
    return partners::cooperationState(tx, supplierId, purchaserId) == kCooperationActive;
}

Replies orderSuppliers(Context &context, const Fields &fields)
{
    const auto keyword = fields.trimmed("关键词");
    if (!keyword)
        return refuse("关键词不能包含特殊符号!");
    const std::string needle = foldAscii(*keyword);
    protocol::ListReplyBuilder builder;
    builder.pages(1, 1).column("ID", 0).column("公司名称", 170).column("姓名", 70).column("电话", 100, 1);
    for (const partners::PartnerRow &row :
         partners::partnerList(context.tx(), context.session.accountId, false, true)) {
        const RowCells cells = {std::to_string(row.partnerId), row.company, row.contact, row.phone};
        if (rowMatches(cells, needle))
            builder.row(cells);
    }
    return {reply(Reply::OrderSuppliersReply, builder.str())};
}

Replies orderCategories(Context &context, const Fields &fields)
{
    const auto supplier = fields.count("供应商ID");
    db::Tx &tx = context.tx();
    if (!supplier || !activePartner(tx, *supplier, context.session.accountId))
        return refuse(kUnknownSupplier);
    return {reply(Reply::OrderCategoriesReply,
                  protocol::FieldWriter()
                      .add("分类列表", goods::categoryListText(goods::categories(tx, *supplier)))
                      .str())};
}

// Every goods item of the supplier that the purchaser may order, unpaged: the window ticks
// what is already in the order.
Replies orderGoods(Context &context, const Fields &fields)
{
    const auto supplier = fields.count("供应商ID");
    const auto category = fields.count("商品分类ID");
    const auto keyword = fields.trimmed("关键词");
    if (!category)
        return refuse("商品分类ID必须是不小于0的整数!");
    if (!keyword)
        return refuse("关键词不能包含特殊符号!");
    db::Tx &tx = context.tx();
    if (!supplier || *supplier == 0 || !activePartner(tx, *supplier, context.session.accountId))
        return refuse(kUnknownSupplier);
    const std::string needle = foldAscii(*keyword);
    protocol::ListReplyBuilder builder;
    builder.pages(1, 1)
        .column("商品ID", 0)
        .column("名称", 150)
        .column("编码", 80)
        .column("规格", 80)
        .column("单位", 45, 1)
        .column("单价", 70, 2)
        .column("重量", 70, 2)
        .column("库存", 60, 2)
        .column("分类", 80);
    for (const goods::Goods &g :
         goods::list(tx, goods::GoodsQuery{*supplier, context.session.accountId, goods::kOnSale})) {
        if (*category != 0 && g.categoryId != *category)
            continue;
        const RowCells cells = {std::to_string(g.id),
                                g.name,
                                g.code,
                                g.spec,
                                g.unit,
                                formatFen(g.priceFen),
                                formatKilograms(g.weightG),
                                std::to_string(g.stock),
                                g.category};
        if (rowMatches(cells, needle))
            builder.row(cells);
    }
    return {reply(Reply::OrderGoodsListReply, builder.str())};
}

// The UTF-8 text of a scrambled request value within its GBK byte limit, or nullopt.
std::optional<std::string> unscrambled(const Context &context, const Fields &fields, std::string_view key,
                                       long long maxBytes)
{
    const std::string scrambled = fields.value(key);
    if (scrambled.empty())
        return std::string();
    const std::string_view alphabet = context.config.keyAlphabet.empty()
                                          ? protocol::defaultKeyAlphabet()
                                          : std::string_view(context.config.keyAlphabet);
    const std::string bytes = protocol::unscramble(scrambled, alphabet);
    if (bytes.empty() || static_cast<long long>(bytes.size()) > maxBytes)
        return std::nullopt;
    return protocol::gbkToUtf8(bytes);
}

struct Line
{
    long long goodsId = 0;
    long long quantity = 0;
};

Replies placeOrder(Context &context, const Fields &fields)
{
    const std::int64_t me = context.session.accountId;
    db::Tx &tx = context.tx();
    const auto supplier = fields.count("供应商ID");
    if (!supplier || !activePartner(tx, *supplier, me))
        return refuse(kUnknownSupplier);
    const auto address = unscrambled(context, fields, "收货地址", kMaxAddressBytes);
    if (!address)
        return refuse("收货地址无法识别或超过95个字节!");
    const auto message = unscrambled(context, fields, "供应商留言", kMaxMessageBytes);
    if (!message)
        return refuse("供应商留言无法识别或超过200个字节!");

    std::vector<Line> lines;
    std::set<long long> seen;
    for (std::string_view record : protocol::splitRecords(fields.text(), protocol::kDataMarker)) {
        const Fields line(record, Request::PlaceOrder);
        const auto goodsId = line.count("商品ID");
        const auto quantity = line.count("数量");
        if (!goodsId)
            return refuse("商品ID不正确!");
        if (!quantity || *quantity < 1 || *quantity > kMaxLineQuantity)
            return refuse("每种商品的数量必须在1到999999之间!");
        if (!seen.insert(*goodsId).second)
            return refuse("同一商品不能重复下单!");
        lines.push_back({*goodsId, *quantity});
    }
    if (lines.empty())
        return refuse("请先选择商品!");
    if (lines.size() > kMaxLines)
        return refuse("商品数量不能超过50个。");

    NewOrder order;
    order.supplierId = *supplier;
    order.purchaserId = me;
    order.address = *address;
    order.message = *message;
    long long weightG = 0;
    long long pieces = 0;
    for (const Line &line : lines) {
        const auto g = goods::orderableGoods(tx, me, line.goodsId);
        if (!g || g->supplierId != *supplier)
            return refuse("订单中有商品已下架或未获授权,请重新选择商品!");
        // Conditional on the stock still being there, so that purchasers ordering the
        // last items at once never take it below 0.
        if (!goods::takeStock(tx, g->id, line.quantity))
            return refuse("商品[" + g->name + "]库存不足!");
        order.lines.push_back(
            NewLine{g->id, g->name, g->code, g->spec, g->unit, g->priceFen, g->weightG, line.quantity});
        weightG += g->weightG * line.quantity;
        pieces += line.quantity;
    }
    const auto freightFen =
        freight::freightFen(freight::load(tx, *supplier), freight::regionOf(order.address), weightG, pieces);
    if (!freightFen)
        return refuse("运费超出计算范围,请联系供应商!");
    order.freightFen = *freightFen;

    const TimePoint at = now();
    order.createdAt = isoTime(at);
    const std::string day = isoDate(at).substr(0, 4) + isoDate(at).substr(5, 2) + isoDate(at).substr(8, 2);
    const long long number = nextDailyNumber(tx, day);
    if (number > kMaxDailyNumber)
        return refuse("今日订单数量已达上限,请明天再试!");
    const std::string digits = std::to_string(number);
    order.orderNo = day + std::string(6 - digits.size(), '0') + digits;
    insert(tx, order);
    return {reply(Reply::OrderPlaced)};
}

} // namespace

void registerPlacingHandlers(HandlerTable &table)
{
    table.add(Request::OrderSuppliers, {Who::Purchaser, Access::Read}, orderSuppliers);
    table.add(Request::OrderCategories, {Who::Purchaser, Access::Read}, orderCategories);
    table.add(Request::OrderGoodsList, {Who::Purchaser, Access::Read}, orderGoods);
    table.add(Request::PlaceOrder, {Who::Purchaser, Access::Write}, placeOrder);
}

} // namespace vantrell::server::orders
