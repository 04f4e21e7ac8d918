// Goods: the supplier's catalogue, the purchaser's view, editing, and authorisation.

#include "protocol/fieldtext.h"
#include "protocol/gbk.h"
#include "protocol/listreply.h"
#include "server/clock.h"
#include "server/domains.h"
#include "server/goods/store.h"
#include "server/money.h"
#include "server/pagedrows.h"
#include "server/partners/store.h"
#include "server/states.h"

#include <algorithm>
#include <set>

namespace vantrell::server::goods {

namespace {

using protocol::Reply;
using protocol::Request;

constexpr std::string_view kUnknownGoods = "未找到该商品!";
constexpr std::string_view kUnknownDistributor = "未找到该分销商!";

// Limits of a goods item, in fen, grams and pieces.
constexpr long long kMaxPriceFen = 100'000'000;  // 1,000,000.00 yuan
constexpr long long kMaxWeightG = 1'000'000'000; // 1,000,000 kg
constexpr long long kMaxStock = 99'999'999;
// Sessions remember the stock shown for this many goods items at most.
constexpr std::size_t kShownStockLimit = 4096;

Replies refuse(std::string_view text)
{
    return {notice(text)};
}

std::string_view statusText(int status)
{
    return status == kOnSale ? "正常" : "下架";
}

// The status of a list request, or nullopt (with the refusal) when it is wrong.
std::optional<int> listStatus(const Fields &fields, std::string &refusal)
{
    const auto status = fields.count("商品状态");
    if (!status || *status < 1 || *status > 2) {
        refusal = notice("商品状态不正确!");
        return std::nullopt;
    }
    return static_cast<int>(*status);
}

RowCells goodsCells(const Goods &goods, bool withSupplier)
{
    RowCells cells = {std::to_string(goods.id),
                      std::string(statusText(goods.status)),
                      goods.code,
                      goods.category,
                      goods.name,
                      goods.spec,
                      formatFen(goods.priceFen),
                      formatKilograms(goods.weightG),
                      std::to_string(goods.stock)};
    if (withSupplier)
        cells.push_back(goods.supplierCompany);
    return cells;
}

Replies goodsList(Context &context, const Fields &fields, const GoodsQuery &query, Reply replyId)
{
    const ListAsk ask = readListAsk(fields);
    if (!ask.refusal.empty())
        return {ask.refusal};
    const bool withSupplier = query.purchaserId != 0;
    const int pageSize = std::max(1, context.config.pageSize);
    db::Tx &tx = context.tx();
    RowPage shown;
    if (ask.keyword.empty()) {
        shown.pages = pageCount(count(tx, query), pageSize);
        shown.page = clampPage(ask.page, shown.pages);
        for (const Goods &goods : page(tx, query, (shown.page - 1) * pageSize, pageSize))
            shown.rows.push_back(goodsCells(goods, withSupplier));
    } else {
        std::vector<RowCells> all;
        for (const Goods &goods : list(tx, query))
            all.push_back(goodsCells(goods, withSupplier));
        shown = pageRows(std::move(all), ask.keyword, ask.page, pageSize);
    }

    protocol::ListReplyBuilder builder;
    builder.pages(shown.pages, shown.page)
        .column("ID", 0)
        .column("状态", withSupplier ? 45 : 50, 1)
        .column("商品编码", withSupplier ? 70 : 80)
        .column("商品分类", withSupplier ? 70 : 80)
        .column("商品名称", withSupplier ? 110 : 140)
        .column("商品规格", withSupplier ? 70 : 80)
        .column("商品单价", withSupplier ? 70 : 80, 2)
        .column("商品重量", withSupplier ? 70 : 80, 2)
        .column("商品库存", withSupplier ? 70 : 80, 2);
    if (withSupplier)
        builder.column("供应商", 120);
    for (const RowCells &cells : shown.rows)
        builder.row(cells);
    return {reply(replyId, builder.str())};
}

Replies supplierGoodsList(Context &context, const Fields &fields)
{
    std::string refusal;
    const auto status = listStatus(fields, refusal);
    if (!status)
        return {refusal};
    return goodsList(context, fields, GoodsQuery{context.session.accountId, 0, *status},
                     Reply::SupplierGoodsListReply);
}

Replies purchaserGoodsList(Context &context, const Fields &fields)
{
    const auto supplier = fields.count("供应商ID");
    if (!supplier)
        return refuse("供应商ID必须是不小于0的整数!");
    std::string refusal;
    const auto status = listStatus(fields, refusal);
    if (!status)
        return {refusal};
    // A supplier without an active cooperation is answered like one that does not exist.
    if (*supplier != 0 &&
        partners::cooperationState(context.tx(), *supplier, context.session.accountId) != kCooperationActive)
        return refuse("未找到该合作供应商!");
    return goodsList(context, fields, GoodsQuery{*supplier, context.session.accountId, *status},
                     Reply::PurchaserGoodsListReply);
}

void rememberStock(SessionState &session, std::int64_t goodsId, long long stock)
{
    if (session.shownStock.size() >= kShownStockLimit && !session.shownStock.contains(goodsId))
        session.shownStock.clear();
    session.shownStock[goodsId] = stock;
}

Replies goodsInfo(Context &context, const Fields &fields)
{
    const auto goodsId = fields.count("商品ID");
    if (!goodsId)
        return refuse(kUnknownGoods);
    db::Tx &tx = context.tx();
    const bool supplier = context.session.supplier();
    const std::optional<Goods> goods = supplier ? ownGoods(tx, context.session.accountId, *goodsId)
                                                : orderableGoods(tx, context.session.accountId, *goodsId);
    if (!goods)
        return refuse(kUnknownGoods);
    if (supplier)
        rememberStock(context.session, goods->id, goods->stock);
    protocol::FieldWriter writer;
    writer.add("商品分类名称", goods->category)
        .add("商品分类列表", categoryListText(categories(tx, goods->supplierId)))
        .add("商品名称", goods->name)
        .add("商品编码", goods->code)
        .add("商品规格", goods->spec)
        .add("商品单价", formatFen(goods->priceFen))
        .add("商品重量", formatKilograms(goods->weightG))
        .add("商品库存", goods->stock)
        .add("库存单位", goods->unit);
    return {reply(Reply::GoodsInfoReply, writer.str())};
}

Replies categoryList(Context &context, const Fields &)
{
    return {reply(Reply::GoodsCategoriesReply,
                  categoryListText(categories(context.tx(), context.session.accountId)))};
}

// A trimmed text value within its byte limits, or the refusal.
std::optional<std::string> textValue(const Fields &fields, std::string_view key, std::string_view label,
                                     long long minimum, long long maximum, std::string &refusal)
{
    const auto value = fields.trimmed(key);
    if (!value) {
        refusal = std::string(label) + "不能包含特殊符号!";
        return std::nullopt;
    }
    const long long length = protocol::gbkLength(*value);
    if (length < 0)
        refusal = std::string(label) + "包含无法识别的字符!";
    else if (length < minimum || length > maximum)
        refusal = minimum > 0 ? std::string(label) + "长度必须为" + std::to_string(minimum) + "到" +
                                    std::to_string(maximum) + "个字节(一个汉字占2个字节)!"
                              : std::string(label) + "不能超过" + std::to_string(maximum) + "个字节!";
    if (!refusal.empty())
        return std::nullopt;
    return value;
}

Replies saveGoods(Context &context, const Fields &fields)
{
    const std::string idText = fields.value("商品ID");
    const auto id = idText.empty() ? std::optional<long long>(0) : parseCount(idText);
    if (!id)
        return refuse(kUnknownGoods);

    std::string refusal;
    Goods goods;
    goods.supplierId = context.session.accountId;
    const auto name = textValue(fields, "商品名称", "商品名称", 4, 30, refusal);
    const auto code = name ? textValue(fields, "商品编码", "商品编码", 0, 20, refusal) : std::nullopt;
    const auto spec = code ? textValue(fields, "商品规格", "商品规格", 0, 20, refusal) : std::nullopt;
    const auto unit = spec ? textValue(fields, "商品单位", "单位", 2, 4, refusal) : std::nullopt;
    const auto category = unit ? textValue(fields, "商品分类", "商品分类", 0, 20, refusal) : std::nullopt;
    if (!category)
        return refuse(refusal);
    const auto price = fields.scaled("商品单价", 2);
    if (!price || *price < 1 || *price > kMaxPriceFen)
        return refuse("商品单价必须在0.01到1000000元之间,最多两位小数!");
    const auto weight = fields.scaled("商品重量", 3);
    if (!weight || *weight > kMaxWeightG)
        return refuse("商品重量必须在0到1000000千克之间,最多三位小数!");
    const auto stock = fields.count("商品库存");
    if (!stock || *stock > kMaxStock)
        return refuse("商品库存必须是0到99999999之间的整数!");
    goods.name = *name;
    goods.code = *code;
    goods.spec = *spec;
    goods.unit = *unit;
    goods.priceFen = *price;
    goods.weightG = *weight;
    goods.stock = *stock;

    db::Tx &tx = context.tx();
    const std::string at = isoTime(now());
    std::optional<Goods> stored;
    if (*id != 0) {
        stored = ownGoods(tx, goods.supplierId, *id);
        if (!stored)
            return refuse(kUnknownGoods);
        goods.id = stored->id;
    }
    if (codeTaken(tx, goods.supplierId, goods.code, goods.id))
        return refuse("商品编码已被其他商品使用!");
    goods.categoryId = categoryNamed(tx, goods.supplierId, *category);

    if (!stored) {
        const std::int64_t newId = insert(tx, goods, at);
        rememberStock(context.session, newId, goods.stock);
        return {reply(Reply::GoodsAdded)};
    }
    // The stock is edited as a change against what this session was shown, so that
    // orders placed while the window was open are not undone.
    const auto shown = context.session.shownStock.find(goods.id);
    const long long change =
        goods.stock - (shown != context.session.shownStock.end() ? shown->second : stored->stock);
    if (!update(tx, goods, change, at))
        return refuse("库存不足,保存后的库存不能小于0!");
    rememberStock(context.session, goods.id, goods.stock);
    return {reply(Reply::GoodsEdited)};
}

Replies shelve(Context &context, const Fields &fields)
{
    const auto goodsId = fields.count("商品ID");
    const std::string kind = fields.value("类型");
    if (kind != "下架" && kind != "上架")
        return refuse("类型不正确!");
    db::Tx &tx = context.tx();
    const auto goods = goodsId ? ownGoods(tx, context.session.accountId, *goodsId) : std::nullopt;
    if (!goods)
        return refuse(kUnknownGoods);
    setStatus(tx, goods->id, kind == "上架" ? kOnSale : kOffShelf, isoTime(now()));
    return {reply(Reply::GoodsShelved)};
}

Replies distributorList(Context &context, const Fields &fields)
{
    const auto keyword = fields.trimmed("关键词");
    if (!keyword)
        return refuse("关键词不能包含特殊符号!");
    const std::string needle = foldAscii(*keyword);
    protocol::ListReplyBuilder builder;
    builder.pages(1, 1).column("ID", 0).column("公司名称", 160).column("姓名", 70).column("授权方式", 70, 1);
    for (const Distributor &row : distributors(context.tx(), context.session.accountId)) {
        RowCells cells = {std::to_string(row.id), row.company, row.contact,
                          row.grantMode == kGrantAll ? "全部商品" : "指定商品"};
        if (rowMatches(cells, needle))
            builder.row(cells);
    }
    return {reply(Reply::DistributorListReply, builder.str())};
}

Replies grantGoodsList(Context &context, const Fields &fields)
{
    const auto purchaser = fields.count("采购商ID");
    if (!purchaser)
        return refuse(kUnknownDistributor);
    const ListAsk ask = readListAsk(fields);
    if (!ask.refusal.empty())
        return {ask.refusal};
    db::Tx &tx = context.tx();
    const std::int64_t supplier = context.session.accountId;
    const std::optional<int> mode = grantMode(tx, supplier, *purchaser);
    if (!mode)
        return refuse(kUnknownDistributor);
    context.session.currentDistributor = *purchaser;

    const std::vector<std::int64_t> granted = grantedGoods(tx, supplier, *purchaser);
    const std::set<std::int64_t> grantedSet(granted.begin(), granted.end());
    std::vector<RowCells> rows;
    for (const Goods &goods : list(tx, GoodsQuery{supplier, 0, 0})) {
        rows.push_back({std::to_string(goods.id), goods.name, goods.category, goods.code, goods.spec,
                        grantedSet.contains(goods.id) ? "1" : "2"});
    }
    const RowPage shown = pageRows(std::move(rows), ask.keyword, ask.page, context.config.pageSize);
    protocol::ListReplyBuilder builder;
    builder.extra("商品授权", std::to_string(*mode))
        .extra("采购商ID", std::to_string(*purchaser))
        .pages(shown.pages, shown.page)
        .column("ID", 0)
        .column("商品名称", 160)
        .column("商品分类", 85)
        .column("商品编码", 100)
        .column("商品规格", 80)
        .column("授权状态", 0);
    for (const RowCells &cells : shown.rows)
        builder.row(cells);
    return {reply(Reply::GrantGoodsListReply, builder.str())};
}

Replies setMode(Context &context, const Fields &fields)
{
    const auto purchaser = fields.count("采购商ID");
    const auto mode = fields.count("授权方式");
    if (!mode || (*mode != kGrantAll && *mode != kGrantListed))
        return refuse("授权方式不正确!");
    db::Tx &tx = context.tx();
    if (!purchaser || !grantMode(tx, context.session.accountId, *purchaser))
        return refuse(kUnknownDistributor);
    setGrantMode(tx, context.session.accountId, *purchaser, static_cast<int>(*mode));
    context.session.currentDistributor = *purchaser;
    return {reply(Reply::GrantModeChanged, protocol::FieldWriter().add("采购商ID", *purchaser).str())};
}

Replies setGrant(Context &context, const Fields &fields)
{
    const std::int64_t purchaser = context.session.currentDistributor;
    if (purchaser == 0)
        return refuse("请先选择分销商!");
    const auto state = fields.count("授权状态");
    if (!state || *state < 1 || *state > 2)
        return refuse("授权状态不正确!");
    db::Tx &tx = context.tx();
    const auto goodsId = fields.count("商品ID");
    if (!goodsId || !ownGoods(tx, context.session.accountId, *goodsId))
        return refuse(kUnknownGoods);
    if (!grantMode(tx, context.session.accountId, purchaser))
        return refuse(kUnknownDistributor);
    setGranted(tx, purchaser, *goodsId, *state == 1);
    return {};
}

} // namespace

void registerHandlers(HandlerTable &table)
{
    table.add(Request::SupplierGoodsList, {Who::Supplier, Access::Read}, supplierGoodsList);
    table.add(Request::PurchaserGoodsList, {Who::Purchaser, Access::Read}, purchaserGoodsList);
    table.add(Request::GoodsInfo, {Who::LoggedIn, Access::Read}, goodsInfo);
    table.add(Request::GoodsCategories, {Who::Supplier, Access::Read}, categoryList);
    table.add(Request::SaveGoods, {Who::Supplier, Access::Write}, saveGoods);
    table.add(Request::ShelveGoods, {Who::Supplier, Access::Write}, shelve);
    table.add(Request::DistributorList, {Who::Supplier, Access::Read}, distributorList);
    table.add(Request::GrantGoodsList, {Who::Supplier, Access::Read}, grantGoodsList);
    table.add(Request::SetGrantMode, {Who::Supplier, Access::Write}, setMode);
    table.add(Request::SetGrant, {Who::Supplier, Access::Write}, setGrant);
}

} // namespace vantrell::server::goods
