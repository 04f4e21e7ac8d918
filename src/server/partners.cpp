#include "server/partners.h"

#include "protocol/listreply.h"
#include "server/pagedrows.h"
#include "server/storage.h"

namespace vantrell::server {

namespace {

Replies partnerList(Context &context, std::string_view text)
{
    const Fields fields(text);
    const auto keyword = fields.trimmed("关键词");
    if (!keyword)
        return {notice("关键词不能包含特殊符号!")};
    const auto asked = fields.count("查询页数");
    if (!asked)
        return {notice("查询页数必须是不小于0的整数!")};
    const auto kind = fields.count("合作类型");
    if (!kind || *kind > 1)
        return {notice("合作类型不正确!")};

    std::vector<RowCells> rows;
    for (const PartnerRow &row : context.storage.partnerList(
             context.session.accountId, context.session.role == Role::Supplier, *kind == 1)) {
        rows.push_back({std::to_string(row.partnerId), std::string(cooperationStateText(row.state)),
                        row.company, row.contact, row.phone, row.address});
    }
    const RowPage page = pageRows(std::move(rows), *keyword, *asked, context.config.pageSize);

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
    return {reply("基础通讯_返回申请合作列表", builder.str())};
}

} // namespace

std::string_view cooperationStateText(int state)
{
    switch (state) {
    case kCooperationApplied:
        return "审核中";
    case kCooperationActive:
        return "正常";
    case kCooperationStopped:
        return "停用";
    default:
        return {};
    }
}

void registerPartnerListHandlers(HandlerTable &table)
{
    table.add("基础通讯_获取申请合作列表", partnerList);
}

} // namespace vantrell::server
