// Freight: the supplier's settings and template, and the freight of an order.

#include "protocol/fieldtext.h"
#include "server/domains.h"
#include "server/freight/store.h"
#include "server/money.h"
#include "server/partners/store.h"
#include "server/states.h"

namespace vantrell::server::freight {

namespace {

using protocol::Reply;
using protocol::Request;

constexpr long long kMaxQuantity = 1'000'000'000; // 1,000,000 kg or pieces, in thousandths
constexpr long long kMaxFeeFen = 100'000'000;     // 1,000,000.00 yuan
// 50 lines of at most 999,999 pieces each.
constexpr long long kMaxPieces = 50LL * 999'999;

Replies refuse(std::string_view text)
{
    return {notice(text)};
}

Replies modes(Context &context, const Fields &)
{
    const Template stored = load(context.tx(), context.session.accountId);
    protocol::FieldWriter writer;
    writer.add("运费方式", stored.freightMode).add("计价方式", stored.chargeMode);
    return {reply(Reply::FreightModeReply, writer.str())};
}

Replies setModes(Context &context, const Fields &fields)
{
    const auto freightMode = fields.count("运费方式");
    const auto chargeMode = fields.count("计价方式");
    if (!freightMode || *freightMode > 1)
        return refuse("运费方式不正确!");
    if (!chargeMode || *chargeMode > 1)
        return refuse("计价方式不正确!");
    saveModes(context.tx(), context.session.accountId, static_cast<int>(*freightMode),
              static_cast<int>(*chargeMode));
    return {};
}

Replies templateRows(Context &context, const Fields &)
{
    const Template stored = load(context.tx(), context.session.accountId);
    protocol::FieldWriter writer;
    for (std::size_t region = 0; region < stored.rows.size(); ++region) {
        const Row &row = stored.rows[region];
        writer.record(protocol::kListMarker)
            .add("地区索引", static_cast<long long>(region))
            .add("条件1", formatKilograms(row.firstQuantity))
            .add("首费", formatFen(row.firstFen))
            .add("条件2", formatKilograms(row.stepQuantity))
            .add("续费", formatFen(row.stepFen));
    }
    return {reply(Reply::FreightTemplateReply, writer.str())};
}

Replies setRow(Context &context, const Fields &fields)
{
    const auto region = fields.count("地区索引");
    if (!region || *region > kRegionCount)
        return refuse("地区索引不正确!");
    const auto firstQuantity = fields.scaled("条件1", 3);
    const auto stepQuantity = fields.scaled("条件2", 3);
    if (!firstQuantity || !stepQuantity || *firstQuantity > kMaxQuantity || *stepQuantity > kMaxQuantity)
        return refuse("运费条件必须是0到1000000之间的数,最多三位小数!");
    const auto firstFen = fields.scaled("首费", 2);
    const auto stepFen = fields.scaled("续费", 2);
    if (!firstFen || !stepFen || *firstFen > kMaxFeeFen || *stepFen > kMaxFeeFen)
        return refuse("运费金额必须是0到1000000元之间的数,最多两位小数!");
    saveRow(context.tx(), context.session.accountId, static_cast<int>(*region),
            Row{*firstQuantity, *firstFen, *stepQuantity, *stepFen});
    return {};
}

Replies orderFreight(Context &context, const Fields &fields)
{
    const auto supplier = fields.count("供应商ID");
    if (!supplier ||
        partners::cooperationState(context.tx(), *supplier, context.session.accountId) != kCooperationActive)
        return refuse("未找到该合作供应商!");
    const auto weight = parseKilogramsRounded(fields.value("重量"));
    if (!weight)
        return refuse("重量不正确!");
    const auto pieces = fields.count("件数");
    if (!pieces || *pieces > kMaxPieces)
        return refuse("件数不正确!");
    const auto region = fields.count("地区索引");
    if (!region || *region > kRegionCount)
        return refuse("地区索引不正确!");
    const auto fen = freightFen(load(context.tx(), *supplier), static_cast<int>(*region), *weight, *pieces);
    if (!fen)
        return refuse("运费超出计算范围,请联系供应商!");
    return {reply(Reply::OrderFreightReply, protocol::FieldWriter().add("运费", formatFen(*fen)).str())};
}

} // namespace

void registerHandlers(HandlerTable &table)
{
    table.add(Request::FreightMode, {Who::Supplier, Access::Read}, modes);
    table.add(Request::SetFreightMode, {Who::Supplier, Access::Write}, setModes);
    table.add(Request::FreightTemplate, {Who::Supplier, Access::Read}, templateRows);
    table.add(Request::SetFreightRow, {Who::Supplier, Access::Write}, setRow);
    table.add(Request::OrderFreight, {Who::Purchaser, Access::Read}, orderFreight);
}

} // namespace vantrell::server::freight
