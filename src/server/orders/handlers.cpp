// Orders: the order list and the dashboard.

#include "protocol/fieldtext.h"
#include "protocol/listreply.h"
#include "server/clock.h"
#include "server/domains.h"
#include "server/money.h"
#include "server/orders/store.h"
#include "server/pagedrows.h"

#include <algorithm>
#include <chrono>

namespace vantrell::server::orders {

namespace {

std::vector<std::string> visibleCells(const ListRow &row)
{
    return {std::to_string(row.id),
            std::string(orderStateText(row.state)),
            row.orderNo,
            row.partnerCompany,
            std::to_string(row.pieces),
            formatFen(row.totalFen),
            row.createdAt.substr(0, 10)};
}

Replies orderList(Context &context, const Fields &fields)
{
    const auto tab = fields.count("订单类型");
    if (!tab || *tab > 3)
        return {notice("订单类型不正确!")};
    const auto partner = fields.count("合作商ID");
    if (!partner)
        return {notice("合作商ID必须是不小于0的整数!")};
    const ListAsk ask = readListAsk(fields);
    if (!ask.refusal.empty())
        return {ask.refusal};

    ListQuery query;
    query.accountId = context.session.accountId;
    query.supplierSide = context.session.supplier();
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
    db::Tx &tx = context.tx();
    std::vector<std::vector<std::string>> rows;
    long long pages = 1;
    long long current = 1;
    if (ask.keyword.empty()) {
        pages = pageCount(count(tx, query), pageSize);
        current = clampPage(ask.page, pages);
        for (const ListRow &row : page(tx, query, (current - 1) * pageSize, pageSize))
            rows.push_back(visibleCells(row));
    } else {
        std::vector<RowCells> all;
        for (const ListRow &row : list(tx, query))
            all.push_back(visibleCells(row));
        RowPage found = pageRows(std::move(all), ask.keyword, ask.page, pageSize);
        pages = found.pages;
        current = found.page;
        rows = std::move(found.rows);
    }

    protocol::ListReplyBuilder builder;
    builder.pages(pages, current)
        .column("ID", 0)
        .column("订单状态", 80, 1)
        .column("订单号", 110) // the widths fill a list 800 px wide without a stretch
        .column("商家名称", 140)
        .column("商品件数", 70, 2)
        .column("订单金额", 80, 2)
        .column("下单日期", 80, 1);
    for (const std::vector<std::string> &cells : rows)
        builder.row(cells);
    return {reply(protocol::Reply::OrderListReply, builder.str())};
}

Replies dashboardFigures(Context &context, const Fields &)
{
    const TimePoint at = now();
    const Dashboard figures = dashboard(context.tx(), context.session.accountId, context.session.supplier(),
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
    return {reply(protocol::Reply::DashboardReply, writer.str())};
}

} // namespace

void registerHandlers(HandlerTable &table)
{
    table.add(protocol::Request::OrderList, {Who::LoggedIn, Access::Read}, orderList);
    table.add(protocol::Request::Dashboard, {Who::LoggedIn, Access::Read}, dashboardFigures);
}

} // namespace vantrell::server::orders
