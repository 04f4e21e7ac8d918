// Goods: the supplier's and the purchaser's goods lists.

#include "protocol/listreply.h"
#include "server/domains.h"
#include "server/pagedrows.h"
#include "server/partners/store.h"
#include "server/states.h"

namespace vantrell::server::goods {

namespace {

// The keys both goods lists share: a refusal notice when one is wrong, else empty.
std::string goodsListRefusal(const Fields &fields)
{
    const ListAsk ask = readListAsk(fields);
    if (!ask.refusal.empty())
        return ask.refusal;
    const auto status = fields.count("商品状态");
    if (!status || *status < 1 || *status > 2)
        return notice("商品状态不正确!");
    return {};
}

// Goods are not stored yet, so both lists answer with their columns and no rows.
protocol::ListReplyBuilder goodsList(bool withSupplier)
{
    protocol::ListReplyBuilder builder;
    builder.pages(1, 1)
        .column("ID", 0)
        .column("状态", withSupplier ? 45 : 50, 1)
        .column("商品编码", withSupplier ? 60 : 70)
        .column("商品分类", withSupplier ? 60 : 70)
        .column("商品名称", withSupplier ? 90 : 110)
        .column("商品规格", withSupplier ? 60 : 70)
        .column("商品单价", withSupplier ? 55 : 65, 2)
        .column("商品重量", withSupplier ? 55 : 65, 2)
        .column("商品库存", withSupplier ? 50 : 60, 2);
    if (withSupplier)
        builder.column("供应商", 85);
    return builder;
}

Replies supplierGoodsList(Context &, const Fields &fields)
{
    if (std::string refusal = goodsListRefusal(fields); !refusal.empty())
        return {refusal};
    return {reply(protocol::Reply::SupplierGoodsListReply, goodsList(false).str())};
}

Replies purchaserGoodsList(Context &context, const Fields &fields)
{
    const auto supplier = fields.count("供应商ID");
    if (!supplier)
        return {notice("供应商ID必须是不小于0的整数!")};
    if (std::string refusal = goodsListRefusal(fields); !refusal.empty())
        return {refusal};
    // A supplier without an active cooperation is answered like one that does not exist.
    if (*supplier != 0 &&
        partners::cooperationState(context.tx(), *supplier, context.session.accountId) != kCooperationActive)
        return {notice("未找到该合作供应商!")};
    return {reply(protocol::Reply::PurchaserGoodsListReply, goodsList(true).str())};
}

} // namespace

void registerHandlers(HandlerTable &table)
{
    table.add(protocol::Request::SupplierGoodsList, {Who::Supplier, Access::Read}, supplierGoodsList);
    table.add(protocol::Request::PurchaserGoodsList, {Who::Purchaser, Access::Read}, purchaserGoodsList);
}

} // namespace vantrell::server::goods
