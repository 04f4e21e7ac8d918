#include "server/finance.h"

#include "protocol/listreply.h"
#include "server/money.h"
#include "server/pagedrows.h"
#include "server/storage.h"

namespace vantrell::server {

namespace {

Replies financePartnerList(Context &context, std::string_view text)
{
    const Fields fields(text);
    const auto keyword = fields.trimmed("关键词");
    if (!keyword)
        return {notice("关键词不能包含特殊符号!")};
    const auto asked = fields.count("查询页数");
    if (!asked)
        return {notice("查询页数必须是不小于0的整数!")};

    const bool supplierSide = context.session.role == Role::Supplier;
    std::vector<RowCells> rows;
    for (const FinancePartnerRow &row :
         context.storage.financePartnerList(context.session.accountId, supplierSide)) {
        rows.push_back({std::to_string(row.partnerId), row.company, row.contact, row.phone, row.address,
                        formatFen(row.settledFen), formatFen(row.unsettledFen)});
    }
    const RowPage page = pageRows(std::move(rows), *keyword, *asked, context.config.pageSize);

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
    return {reply("基础通讯_返回财务对账合作商列表", builder.str())};
}

} // namespace

void registerFinanceListHandlers(HandlerTable &table)
{
    table.add("基础通讯_获取财务对账合作商列表", financePartnerList);
}

} // namespace vantrell::server
