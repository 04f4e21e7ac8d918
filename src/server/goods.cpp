#include "server/goods.h"

#include "protocol/listreply.h"
#include "server/storage.h"

#include <optional>

namespace vantrell::server {

namespace {

struct GoodsListRequest
{
    std::string keyword;
    long long page = 1;
    int status = 1; // 1 on sale, 2 off the shelf
};

// The keys both goods lists share; a refusal notice when one is wrong.
std::optional<std::string> readGoodsListRequest(const Fields &fields, GoodsListRequest &request)
{
    const auto keyword = fields.trimmed("关键词");
    if (!keyword)
        return notice("关键词不能包含特殊符号!");
    const auto asked = fields.count("查询页数");
    if (!asked)
        return notice("查询页数必须是不小于0的整数!");
    const auto status = fields.count("商品状态");
    if (!status || *status < 1 || *status > 2)
        return notice("商品状态不正确!");
    request.keyword = *keyword;
    request.page = *asked;
    request.status = static_cast<int>(*status);
    return std::nullopt;
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

Replies supplierGoodsList(Context &context, std::string_view text)
{
    if (context.session.role != Role::Supplier)
        return {notice("只有供应商可以管理自己的商品!")};
    GoodsListRequest request;
    if (auto refusal = readGoodsListRequest(Fields(text), request))
        return {*refusal};
    return {reply("基础通讯_返回供应商查询商品列表", goodsList(false).str())};
}

Replies purchaserGoodsList(Context &context, std::string_view text)
{
    if (context.session.role != Role::Purchaser)
        return {notice("只有采购商可以查看供应商的商品!")};
    const Fields fields(text);
    const auto supplier = fields.count("供应商ID");
    if (!supplier)
        return {notice("供应商ID必须是不小于0的整数!")};
    GoodsListRequest request;
    if (auto refusal = readGoodsListRequest(fields, request))
        return {*refusal};
    // A supplier without an active cooperation is answered like one that does not exist.
    if (*supplier != 0 &&
        context.storage.cooperationState(*supplier, context.session.accountId) != kCooperationActive)
        return {notice("未找到该合作供应商!")};
    return {reply("基础通讯_返回采购商查询商品列表", goodsList(true).str())};
}

} // namespace

void registerGoodsListHandlers(HandlerTable &table)
{
    table.add("基础通讯_供应商查询商品列表", supplierGoodsList);
    table.add("基础通讯_采购商查询商品列表", purchaserGoodsList);
}

} // namespace vantrell::server
