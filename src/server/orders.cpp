#include "server/orders.h"

#include "protocol/fieldtext.h"
#include "protocol/listreply.h"
#include "server/clock.h"
#include "server/money.h"
#include "server/pagedrows.h"

#include <algorithm>
#include <chrono>

namespace vantrell::server {

namespace {

std::vector<std::string> visibleCells(const OrderListRow &row)
{
    return {std::to_string(row.id),
            std::string(orderStateText(row.state)),
            row.orderNo,
            row.partnerCompany,
            std::to_string(row.pieces),
            formatFen(row.totalFen),
            row.createdAt.substr(0, 10)};
}

Replies orderList(Context &context, std::string_view text)
{
    const Fields fields(text);
    const auto tab = fields.count("订单类型");
    if (!tab || *tab > 3)
        return {notice("订单类型不正确!")};
    const auto partner = fields.count("合作商ID");
    if (!partner)
        return {notice("合作商ID必须是不小于0的整数!")};
    const auto keyword = fields.trimmed("关键词");
    if (!keyword)
        return {notice("关键词不能包含特殊符号!")};
    const auto asked = fields.count("查询页数");
    if (!asked)
        return {notice("查询页数必须是不小于0的整数!")};

    OrderListQuery query;
    query.accountId = context.session.accountId;
    query.supplierSide = context.session.role == Role::Supplier;
    query.partnerId = *partner;
    switch (*tab) {
    case 1:
        query.states = {kOrderPending};
        break;
    case 2:
        query.states = {kOrderShipped};
        break;
    case 3:
        query.states = {kOrderCancelling, kOrderClosed};
        break;
    default:
        break;
    }

    const int pageSize = std::max(1, context.config.pageSize);
    std::vector<std::vector<std::string>> rows;
    long long pages = 1;
    long long page = 1;
    if (keyword->empty()) {
        pages = pageCount(context.storage.orderCount(query), pageSize);
        page = clampPage(*asked, pages);
        for (const OrderListRow &row : context.storage.orderPage(query, (page - 1) * pageSize, pageSize))
            rows.push_back(visibleCells(row));
    } else {
        std::vector<RowCells> all;
        for (const OrderListRow &row : context.storage.orderList(query))
            all.push_back(visibleCells(row));
        RowPage found = pageRows(std::move(all), *keyword, *asked, pageSize);
        pages = found.pages;
        page = found.page;
        rows = std::move(found.rows);
    }

    protocol::ListReplyBuilder builder;
    builder.pages(pages, page)
        .column("ID", 0)
        .column("订单状态", 80, 1)
        .column("订单号", 110) // the widths fill a list 800 px wide without a stretch
        .column("商家名称", 140)
        .column("商品件数", 70, 2)
        .column("订单金额", 80, 2)
        .column("下单日期", 80, 1);
    for (const std::vector<std::string> &cells : rows)
        builder.row(cells);
    return {reply("基础通讯_返回订单列表", builder.str())};
}

Replies dashboard(Context &context, std::string_view)
{
    const TimePoint at = now();
    const Dashboard figures =
        context.storage.dashboard(context.session.accountId, context.session.role == Role::Supplier,
                                  isoDate(at), isoDate(at - std::chrono::hours(24)));
    protocol::FieldWriter writer;
    writer.add("未发货", figures.pendingCount)
        .add("已发货", figures.shippedCount)
        .add("今日销售额", formatFen(figures.todayFen))
        .add("昨日销售额", formatFen(figures.yesterdayFen))
        .add("今日件数", figures.todayPieces)
        .add("昨日件数", figures.yesterdayPieces)
        .add("待结算金额", formatFen(figures.unsettledFen))
        .add("已结算金额", formatFen(figures.settledFen));
    return {reply("基础通讯_订单管理/返回实时数据", writer.str())};
}

} // namespace

std::string_view orderStateText(int state)
{
    switch (state) {
    case kOrderPending:
        return "待发货";
    case kOrderShipped:
        return "已发货";
    case kOrderCancelling:
        return "取消中";
    case kOrderClosed:
        return "已关闭";
    default:
        return {};
    }
}

void registerOrderListHandlers(HandlerTable &table)
{
    table.add("基础通讯_查询订单", orderList);
    table.add("基础通讯_订单管理/获取实时数据", dashboard);
}

} // namespace vantrell::server
