// Partners: cooperation lists, applications, agreeing and cancelling, the drop-down.

#include "protocol/listreply.h"
#include "server/accounts/store.h"
#include "server/clock.h"
#include "server/domains.h"
#include "server/pagedrows.h"
#include "server/partners/store.h"
#include "server/states.h"

namespace vantrell::server::partners {

namespace {

// The application window and the drop-down are unpaged; a merchant searches instead of
// scrolling past this many rows.
constexpr std::size_t kUnpagedRows = 200;

constexpr std::string_view kUnknownPartner = "未找到该商家!";

// The keyword of an unpaged list, or the refusal.
std::optional<std::string> keywordOf(const Fields &fields, Replies &refusal)
{
    auto keyword = fields.trimmed("关键词");
    if (!keyword)
        refusal = {notice("关键词不能包含特殊符号!")};
    return keyword;
}

// The matching rows of an unpaged list, at most kUnpagedRows of them.
std::vector<RowCells> matching(std::vector<RowCells> rows, const std::string &keyword)
{
    const std::string needle = foldAscii(keyword);
    std::vector<RowCells> kept;
    for (RowCells &cells : rows) {
        if (kept.size() == kUnpagedRows)
            break;
        if (rowMatches(cells, needle))
            kept.push_back(std::move(cells));
    }
    return kept;
}

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

// Every supplier a purchaser may apply to, with the state of its cooperation.
Replies applicationList(Context &context, const Fields &fields)
{
    Replies refusal;
    const auto keyword = keywordOf(fields, refusal);
    if (!keyword)
        return refusal;
    std::vector<RowCells> rows;
    for (const SupplierRow &row : suppliersFor(context.tx(), context.session.accountId))
        rows.push_back({std::to_string(row.id), row.userName, row.company,
                        std::string(cooperationStateText(row.state))});

    protocol::ListReplyBuilder builder;
    builder.pages(1, 1).column("ID", 0).column("账号", 110).column("公司", 200, 0).column("状态", 70, 1);
    for (const RowCells &cells : matching(std::move(rows), *keyword))
        builder.row(cells);
    return {reply(protocol::Reply::ApplicationListReply, builder.str())};
}

Replies apply(Context &context, const Fields &fields)
{
    const auto supplierId = fields.count("供应商ID");
    if (!supplierId)
        return {notice("供应商ID必须是不小于0的整数!")};
    db::Tx &tx = context.tx();
    const auto me = accounts::byId(tx, context.session.accountId);
    if (!me || me->contact.empty())
        return {notice("设置基础资料后才可以申请合作!")};
    const auto supplier = accounts::byId(tx, *supplierId);
    if (!supplier || supplier->type != kAccountSupplier)
        return {notice("未找到该供应商!")};

    const std::string at = isoTime(now());
    const std::optional<Cooperation> current = cooperation(tx, *supplierId, me->id);
    const bool applied =
        !current ? insertApplication(tx, *supplierId, me->id, at)
                 : current->state == kCooperationStopped &&
                       changeState(tx, *supplierId, me->id, kCooperationStopped, kCooperationApplied, 0, at);
    if (applied)
        return {notice("已提交合作申请,请等待供应商审核!", "信息")};
    const auto after = cooperation(tx, *supplierId, me->id);
    if (after && after->state == kCooperationActive)
        return {notice("已与该供应商合作,无需再次申请!", "信息")};
    return {notice("已提交过合作申请,请等待供应商审核!", "信息")};
}

// 类型 1 agrees to (enables) a cooperation, 2 cancels (disables) it. ID is the partner.
Replies enableOrDisable(Context &context, const Fields &fields)
{
    const auto partnerId = fields.count("ID");
    if (!partnerId)
        return {notice("ID必须是不小于0的整数!")};
    const auto kind = fields.count("类型");
    if (!kind || *kind < 1 || *kind > 2)
        return {notice("类型不正确!")};
    const bool supplierSide = context.session.supplier();
    if (*kind == 1 && !supplierSide)
        return {notice("只有供应商可以同意合作!")};

    const std::int64_t supplier = supplierSide ? context.session.accountId : *partnerId;
    const std::int64_t purchaser = supplierSide ? *partnerId : context.session.accountId;
    db::Tx &tx = context.tx();
    const std::optional<Cooperation> current = cooperation(tx, supplier, purchaser);
    if (!current)
        return {notice(kUnknownPartner)};
    const std::string at = isoTime(now());

    if (*kind == 1) {
        if (current->state == kCooperationActive)
            return {notice("已与该商家正常合作!", "信息")};
        if (current->state == kCooperationStopped && current->stoppedBy != kAccountSupplier)
            return {notice("该合作已被对方停用,需由对方重新申请合作!")};
        if (!changeState(tx, supplier, purchaser, current->state, kCooperationActive, 0, at))
            return {notice("合作状态已被对方改变,请刷新后再试!")};
        return {reply(protocol::Reply::PartnerEnabled)};
    }
    if (current->state == kCooperationStopped)
        return {notice("该合作已是停用状态!", "信息")};
    const int stoppedBy = supplierSide ? kAccountSupplier : kAccountPurchaser;
    if (!changeState(tx, supplier, purchaser, current->state, kCooperationStopped, stoppedBy, at))
        return {notice("合作状态已被对方改变,请刷新后再试!")};
    return {reply(protocol::Reply::PartnerDisabled)};
}

// The active partners of either side, for the drop-down that filters goods and orders.
Replies dropDown(Context &context, const Fields &fields)
{
    Replies refusal;
    const auto keyword = keywordOf(fields, refusal);
    if (!keyword)
        return refusal;
    std::vector<RowCells> rows;
    for (const PartnerRow &row :
         partnerList(context.tx(), context.session.accountId, context.session.supplier(), true))
        rows.push_back({std::to_string(row.partnerId), row.company});
    protocol::ListReplyBuilder builder;
    builder.pages(1, 1).column("ID", 0).column("公司名称", 180);
    for (const RowCells &cells : matching(std::move(rows), *keyword))
        builder.row(cells);
    return {reply(protocol::Reply::SupplierDropDownReply, builder.str())};
}

} // namespace

void registerHandlers(HandlerTable &table)
{
    using protocol::Request;
    table.add(Request::PartnerList, {Who::LoggedIn, Access::Read}, listPartners);
    table.add(Request::ApplicationList, {Who::Purchaser, Access::Read}, applicationList);
    table.add(Request::Apply, {Who::Purchaser, Access::Write}, apply);
    table.add(Request::EnablePartner, {Who::LoggedIn, Access::Write}, enableOrDisable);
    table.add(Request::SupplierDropDown, {Who::LoggedIn, Access::Read}, dropDown);
}

} // namespace vantrell::server::partners
