// Finance: the partner list of the finance page.

#include "protocol/listreply.h"
#include "server/domains.h"
#include "server/finance/store.h"
#include "server/money.h"
#include "server/pagedrows.h"

namespace vantrell::server::finance {

namespace {

Replies financePartnerList(Context &context, const Fields &fields)
{
    const ListAsk ask = readListAsk(fields);
    if (!ask.refusal.empty())
        return {ask.refusal};
    const bool supplierSide = context.session.supplier();
    std::vector<RowCells> rows;
    for (const PartnerRow &row : partnerList(context.tx(), context.session.accountId, supplierSide)) {
        rows.push_back({std::to_string(row.partnerId), row.company, row.contact, row.phone, row.address,
                        formatFen(row.settledFen), formatFen(row.unsettledFen)});
    }
    const RowPage page = pageRows(std::move(rows), ask.keyword, ask.page, context.config.pageSize);
    // The statement window reads the partner from the ID column by this title.
    protocol::ListReplyBuilder builder;
    builder.pages(page.pages, page.page)
        .column(supplierSide ? "采购商ID" : "供应商ID", 0)
        .column("商家名称", 150)
        .column("姓名", 70)
        .column("电话", 100, 1)
        .column("地址", 100)
        .column("已结算", 70, 2)
        .column("未结算", 70, 2);
    for (const RowCells &cells : page.rows)
        builder.row(cells);
    return {reply(protocol::Reply::FinancePartnersReply, builder.str())};
}

} // namespace

void registerHandlers(HandlerTable &table)
{
    table.add(protocol::Request::FinancePartners, {Who::LoggedIn, Access::Read}, financePartnerList);
}

} // namespace vantrell::server::finance
