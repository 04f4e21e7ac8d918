// Partners: the cooperation lists of both sides.

#include "protocol/listreply.h"
#include "server/domains.h"
#include "server/pagedrows.h"
#include "server/partners/store.h"
#include "server/states.h"

namespace vantrell::server::partners {

namespace {

Replies listPartners(Context &context, const Fields &fields)
{
    const ListAsk ask = readListAsk(fields);
    if (!ask.refusal.empty())
        return {ask.refusal};
    const auto kind = fields.count("合作类型");
    if (!kind || *kind > 1)
        return {notice("合作类型不正确!")};

    std::vector<RowCells> rows;
    for (const PartnerRow &row :
         partnerList(context.tx(), context.session.accountId, context.session.supplier(), *kind == 1)) {
        rows.push_back({std::to_string(row.partnerId), std::string(cooperationStateText(row.state)),
                        row.company, row.contact, row.phone, row.address});
    }
    const RowPage page = pageRows(std::move(rows), ask.keyword, ask.page, context.config.pageSize);

    protocol::ListReplyBuilder builder;
    builder.pages(page.pages, page.page)
        .column("ID", 0)
        .column("状态", 70, 1)
        .column("商家名称", 170)
        .column("姓名", 80)
        .column("电话", 100, 1)
        .column("地址", 140);
    for (const RowCells &cells : page.rows)
        builder.row(cells);
    return {reply(protocol::Reply::PartnerListReply, builder.str())};
}

} // namespace

void registerHandlers(HandlerTable &table)
{
    table.add(protocol::Request::PartnerList, {Who::LoggedIn, Access::Read}, listPartners);
}

} // namespace vantrell::server::partners
