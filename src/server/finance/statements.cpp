// Statements: the list of a pair, their details, creating, reconciling and settling.

#include "protocol/fieldtext.h"
#include "protocol/listreply.h"
#include "server/accounts/store.h"
#include "server/clock.h"
#include "server/domains.h"
#include "server/finance/store.h"
#include "server/money.h"
#include "server/orders/store.h"
#include "server/pagedrows.h"
#include "server/partners/store.h"
#include "server/states.h"

namespace vantrell::server::finance {

namespace {

using protocol::Reply;
using protocol::Request;

constexpr std::string_view kUnknownPartner = "未找到该商家!";
constexpr std::string_view kUnknownStatement = "未找到该对账单!";

Replies refuse(std::string_view text)
{
    return {notice(text)};
}

std::string_view statementStateText(int state)
{
    switch (state) {
    case kStatementOpen:
        return "待对账";
    case kStatementReconciled:
        return "已对账";
    default:
        return "已结算";
    }
}

// The strict "YYYY-MM-DD" of a real calendar day, or nullopt.
std::optional<std::string> dateValue(const Fields &fields, std::string_view key)
{
    const std::string text = fields.value(key);
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    const auto at = parseIsoTime(text + " 12:00:00");
    if (!at || isoDate(*at) != text)
        return std::nullopt;
    return text;
}

std::string dayAfter(const std::string &date)
{
    return isoDate(*parseIsoTime(date + " 12:00:00") + std::chrono::hours(24));
}

// The pair of the request: the session's side and the partner named by `key`.
struct Pair
{
    std::int64_t supplier = 0;
    std::int64_t purchaser = 0;
    std::int64_t partner = 0;
};

std::optional<Pair> pairOf(Context &context, const Fields &fields, std::string_view key)
{
    const auto partner = fields.count(key);
    if (!partner)
        return std::nullopt;
    Pair pair;
    pair.partner = *partner;
    pair.supplier = context.session.supplier() ? context.session.accountId : *partner;
    pair.purchaser = context.session.supplier() ? *partner : context.session.accountId;
    if (partners::cooperationState(context.tx(), pair.supplier, pair.purchaser) == 0)
        return std::nullopt;
    return pair;
}

Replies statementList(Context &context, const Fields &fields)
{
    const auto pair = pairOf(context, fields, "合作商ID");
    if (!pair)
        return refuse(kUnknownPartner);
    const ListAsk ask = readListAsk(fields, "查询内容");
    if (!ask.refusal.empty())
        return {ask.refusal};
    const auto kind = fields.count("查询类型");
    if (!kind || *kind > 2)
        return refuse("查询类型不正确!");

    db::Tx &tx = context.tx();
    const std::vector<Statement> all = statements(tx, pair->supplier, pair->purchaser);
    long long billedFen = 0;
    std::vector<RowCells> rows;
    for (const Statement &statement : all) {
        billedFen += statement.totalFen;
        const bool settled = statement.state == kStatementSettled;
        if ((*kind == 1 && !settled) || (*kind == 2 && settled))
            continue;
        rows.push_back({std::to_string(statement.id), std::string(statementStateText(statement.state)),
                        statement.statementNo, statement.from, statement.to, formatFen(statement.goodsFen),
                        formatFen(statement.freightFen), formatFen(statement.totalFen)});
    }
    const RowPage shown = pageRows(std::move(rows), ask.keyword, ask.page, context.config.pageSize);
    const auto partner = accounts::byId(tx, pair->partner);
    protocol::ListReplyBuilder builder;
    builder.extra("公司", partner ? partner->company : std::string())
        .extra("姓名", partner ? partner->contact : std::string())
        .extra("电话", partner ? partner->phone : std::string())
        .extra("当前位置", *kind == 0 ? "全部记录" : (*kind == 1 ? "已结算记录" : "未结算记录"))
        .extra("全部记录", std::to_string(all.size()))
        .extra("对账单金额", formatFen(billedFen))
        .extra("未结算金额", formatFen(unsettledFen(tx, pair->supplier, pair->purchaser)))
        .pages(shown.pages, shown.page)
        .column("ID", 0)
        .column("账单状态", 80, 1)
        .column("对账单号", 130)
        .column("起始日期", 90, 1)
        .column("结束日期", 90, 1)
        .column("商品金额", 90, 2)
        .column("运费金额", 80, 2)
        .column("结算总金额", 100, 2);
    for (const RowCells &cells : shown.rows)
        builder.row(cells);
    return {reply(Reply::StatementListReply, builder.str())};
}

Replies statementDetails(Context &context, const Fields &fields)
{
    const auto pair = pairOf(context, fields, "合作商ID");
    if (!pair)
        return refuse(kUnknownPartner);
    const auto kind = fields.count("查询类型");
    if (!kind || *kind > 2)
        return refuse("查询类型不正确!");
    const ListAsk ask = readListAsk(fields, "查询内容");
    if (!ask.refusal.empty())
        return {ask.refusal};

    db::Tx &tx = context.tx();
    std::string position;
    std::vector<DetailRow> found;
    if (*kind == 0) {
        const auto from = dateValue(fields, "起始日期");
        const auto to = dateValue(fields, "终止日期");
        if (!from || !to)
            return refuse("日期格式不正确!");
        // No square brackets: a value holding one would end the field early.
        position = "结算明细 - > " + *from + " 至 " + *to;
        if (const auto statement = statementOfRange(tx, pair->supplier, pair->purchaser, *from, *to))
            found = details(tx, pair->supplier, pair->purchaser, Details::OfStatement, statement->id);
    } else {
        position = *kind == 1 ? "已结算订单" : "未结算订单";
        found = details(tx, pair->supplier, pair->purchaser,
                        *kind == 1 ? Details::Settled : Details::Unsettled, 0);
    }
    const auto partner = accounts::byId(tx, pair->partner);
    std::vector<RowCells> rows;
    for (const DetailRow &row : found) {
        rows.push_back({std::to_string(row.orderId), std::string(orderStateText(row.state)), row.orderNo,
                        partner ? partner->company : std::string(), std::to_string(row.pieces),
                        formatFen(row.goodsFen), formatFen(row.freightFen), formatFen(row.totalFen)});
    }
    const RowPage shown = pageRows(std::move(rows), ask.keyword, ask.page, context.config.pageSize);
    protocol::ListReplyBuilder builder;
    builder.extra("状态位置", position)
        .pages(shown.pages, shown.page)
        .column("ID", 0)
        .column("订单状态", 80, 1)
        .column("订单号", 120)
        .column("商家名称", 150)
        .column("商品件数", 70, 2)
        .column("商品金额", 90, 2)
        .column("运费金额", 80, 2)
        .column("结算总金额", 100, 2);
    for (const RowCells &cells : shown.rows)
        builder.row(cells);
    return {reply(Reply::StatementDetailsReply, builder.str())};
}

// 操作类型 1: the purchaser confirms (待对账 -> 已对账); 2: the supplier settles (已对账 -> 已结算).
Replies settle(Context &context, const Fields &fields)
{
    const auto id = fields.count("对账单ID");
    const auto kind = fields.count("操作类型");
    if (!kind || *kind < 1 || *kind > 2)
        return refuse("操作类型不正确!");
    db::Tx &tx = context.tx();
    const auto statement = id ? statementById(tx, *id) : std::nullopt;
    const std::int64_t me = context.session.accountId;
    if (!statement || (statement->supplierId != me && statement->purchaserId != me))
        return refuse(kUnknownStatement);
    const std::string at = isoTime(now());
    if (*kind == 1) {
        if (context.session.supplier())
            return refuse("只有采购商可以确认对账!");
        if (statement->state != kStatementOpen)
            return refuse("该对账单已确认对账!");
        if (holdsCancelling(tx, statement->id))
            return refuse("对账单中有订单正在取消,请等待供应商处理后再对账!");
        if (!changeStatementState(tx, statement->id, kStatementOpen, kStatementReconciled, at))
            return refuse("对账单状态已改变,请刷新后再试!");
    } else {
        if (!context.session.supplier())
            return refuse("只有供应商可以确认结算!");
        if (statement->state == kStatementOpen)
            return refuse("对账单尚未由采购商确认对账,不能结算!");
        if (statement->state == kStatementSettled)
            return refuse("该对账单已结算!");
        if (!changeStatementState(tx, statement->id, kStatementReconciled, kStatementSettled, at))
            return refuse("对账单状态已改变,请刷新后再试!");
    }
    return {reply(Reply::StatementSettled)};
}

// The range a new statement of the pair would cover: from the day after the last
// statement (or the earliest unbilled shipment, or today) to today.
struct Range
{
    std::string from;
    std::string today;
    bool closedToday = false; // the last statement ends today
};

Range nextRange(db::Tx &tx, const Pair &pair)
{
    Range range;
    range.today = isoDate(now());
    const std::string last = lastEnd(tx, pair.supplier, pair.purchaser);
    if (!last.empty()) {
        range.closedToday = last >= range.today;
        range.from = range.closedToday ? range.today : dayAfter(last);
        return range;
    }
    const std::string first = earliestUnbilled(tx, pair.supplier, pair.purchaser);
    range.from = first.empty() || first > range.today ? range.today : first;
    return range;
}

Replies defaults(Context &context, const Fields &fields)
{
    const auto pair = pairOf(context, fields, "采购商ID");
    if (!pair)
        return refuse(kUnknownPartner);
    db::Tx &tx = context.tx();
    const Range range = nextRange(tx, *pair);
    const long long fen =
        range.closedToday ? 0 : unbilledFen(tx, pair->supplier, pair->purchaser, range.today);
    protocol::FieldWriter writer;
    writer.add("总金额", formatFen(fen)).add("起始日期", range.from).add("终止日期", range.today);
    return {reply(Reply::StatementDefaultsReply, writer.str())};
}

// The end date of a request, checked against the range the server gives.
std::optional<std::string> endOf(const Fields &fields, const Range &range, std::string &refusal)
{
    const auto from = dateValue(fields, "起始日期");
    const auto to = dateValue(fields, "终止日期");
    if (!from || !to)
        refusal = "日期格式不正确!";
    else if (range.closedToday)
        refusal = "今天的对账单已生成,请明天再创建!";
    else if (*from != range.from)
        refusal = "起始日期已变化,请重新打开创建对账单窗口!";
    else if (*to < *from)
        refusal = "终止日期不能早于起始日期!";
    else if (*to > range.today)
        refusal = "终止日期不能晚于今天!";
    if (!refusal.empty())
        return std::nullopt;
    return to;
}

Replies amount(Context &context, const Fields &fields)
{
    const auto pair = pairOf(context, fields, "采购商ID");
    if (!pair)
        return refuse(kUnknownPartner);
    db::Tx &tx = context.tx();
    std::string refusal;
    const auto to = endOf(fields, nextRange(tx, *pair), refusal);
    if (!to)
        return refuse(refusal);
    return {reply(Reply::StatementAmountReply,
                  protocol::FieldWriter()
                      .add("总金额", formatFen(unbilledFen(tx, pair->supplier, pair->purchaser, *to)))
                      .str())};
}

Replies create(Context &context, const Fields &fields)
{
    const auto pair = pairOf(context, fields, "采购商ID");
    if (!pair)
        return refuse(kUnknownPartner);
    db::Tx &tx = context.tx();
    const Range range = nextRange(tx, *pair);
    std::string refusal;
    const auto to = endOf(fields, range, refusal);
    if (!to)
        return refuse(refusal);
    const std::vector<std::int64_t> orderIds = unbilledOrders(tx, pair->supplier, pair->purchaser, *to);
    if (orderIds.empty())
        return refuse("该时间段内没有需要对账的订单!");
    const std::string day = to->substr(0, 4) + to->substr(5, 2) + to->substr(8, 2);
    const long long number = orders::nextDailyNumber(tx, "DZ" + day);
    const std::string digits = std::to_string(number);
    const std::string statementNo =
        "DZ" + day + std::string(digits.size() < 4 ? 4 - digits.size() : 0, '0') + digits;
    insertStatement(tx, statementNo, pair->supplier, pair->purchaser, range.from, *to, kStatementOpen,
                    orderIds, isoTime(now()));
    return {reply(Reply::StatementCreated)};
}

} // namespace

void registerStatementHandlers(HandlerTable &table)
{
    table.add(Request::StatementList, {Who::LoggedIn, Access::Read}, statementList);
    table.add(Request::StatementDetails, {Who::LoggedIn, Access::Read}, statementDetails);
    table.add(Request::SettleStatement, {Who::LoggedIn, Access::Write}, settle);
    table.add(Request::StatementDefaults, {Who::Supplier, Access::Read}, defaults);
    table.add(Request::StatementAmount, {Who::Supplier, Access::Read}, amount);
    table.add(Request::CreateStatement, {Who::Supplier, Access::Write}, create);
}

} // namespace vantrell::server::finance
