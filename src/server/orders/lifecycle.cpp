// After placing: the order page, shipping, cancelling and the supplier's answer to a
// cancellation.

#include "protocol/fieldtext.h"
#include "protocol/gbk.h"
#include "protocol/scramble.h"
#include "server/accounts/store.h"
#include "server/clock.h"
#include "server/domains.h"
#include "server/finance/store.h"
#include "server/goods/store.h"
#include "server/money.h"
#include "server/orders/store.h"
#include "server/states.h"

namespace vantrell::server::orders {

namespace {

using protocol::Reply;
using protocol::Request;

constexpr std::string_view kUnknownOrder = "未找到该订单!";
constexpr std::string_view kChangedMeanwhile = "订单状态已改变,请刷新后再试!";
constexpr long long kMaxFreightFen = 100'000'000; // 1,000,000.00 yuan
constexpr long long kMaxCarrierBytes = 40;

// Common carriers offered for shipping.
constexpr std::string_view kCarriers[] = {"顺丰速运", "中通快递", "圆通速递", "韵达快递", "申通快递",
                                          "极兔速递", "京东物流", "邮政EMS",  "德邦物流", "百世快运"};

Replies refuse(std::string_view text)
{
    return {notice(text)};
}

std::string_view alphabetOf(const Context &context)
{
    return context.config.keyAlphabet.empty() ? protocol::defaultKeyAlphabet()
                                              : std::string_view(context.config.keyAlphabet);
}

// Stored texts travel scrambled, as the client sent them.
std::string scrambled(const Context &context, const std::string &utf8)
{
    return protocol::scramble(protocol::utf8ToGbk(utf8).value_or(std::string()), alphabetOf(context));
}

std::string orderPage(Context &context, const Order &order)
{
    const bool supplierSide = order.supplierId == context.session.accountId;
    const auto partner = accounts::byId(context.tx(), supplierSide ? order.purchaserId : order.supplierId);
    protocol::FieldWriter writer;
    writer.add("订单号", order.orderNo)
        .add("商家名称", partner ? partner->company : std::string())
        .add("下单日期", order.createdAt)
        .add("收货地址", scrambled(context, order.address))
        .add("供应商留言", scrambled(context, order.message))
        .add("商品件数", order.pieces)
        .add("总重量", formatKilograms(order.weightG))
        .add("商品金额", formatFen(order.goodsFen))
        .add("运费", formatFen(order.freightFen))
        .add("总金额", formatFen(order.totalFen))
        .add("订单状态", order.state)
        .add("发货类型", order.shipMethod);
    for (const NewLine &line : order.lines) {
        writer.record(protocol::kDataMarker)
            .add("名称", line.name)
            .add("编码", line.code)
            .add("规格", line.spec)
            .add("单位", line.unit)
            .add("单价", formatFen(line.priceFen))
            .add("数量", line.quantity)
            .add("金额", formatFen(line.priceFen * line.quantity));
    }
    return reply(Reply::OrderPageReply, writer.str());
}

// The order of the request when the session may see it.
std::optional<Order> requestedOrder(Context &context, const Fields &fields)
{
    const auto id = fields.count("订单ID");
    if (!id)
        return std::nullopt;
    return find(context.tx(), *id, context.session.accountId);
}

Replies showOrder(Context &context, const Fields &fields)
{
    const auto order = requestedOrder(context, fields);
    if (!order)
        return refuse(kUnknownOrder);
    return {orderPage(context, *order)};
}

Replies carriers(Context &context, const Fields &fields)
{
    const auto order = requestedOrder(context, fields);
    if (!order)
        return refuse(kUnknownOrder);
    protocol::FieldWriter writer;
    for (std::string_view name : kCarriers)
        writer.record(protocol::kListMarker).add("物流名称", name);
    const bool recorded = order->state != kOrderPending && !order->carrier.empty();
    writer.add("默认物流名称", recorded ? order->carrier : lastCarrier(context.tx(), order->supplierId))
        .add("默认物流单号", recorded ? order->trackingNo : std::string("请填写物流单号..."));
    return {reply(Reply::CarriersReply, writer.str())};
}

Replies shipOrder(Context &context, const Fields &fields)
{
    auto order = requestedOrder(context, fields);
    if (!order || order->supplierId != context.session.accountId)
        return refuse(kUnknownOrder);
    const auto freightFen = fields.scaled("运费", 2);
    if (!freightFen || *freightFen > kMaxFreightFen)
        return refuse("运费必须是0到1000000元之间的数,最多两位小数!");
    const auto method = fields.count("发货类型");
    if (!method || *method < 1 || *method > 3)
        return refuse("发货类型不正确!");
    const auto carrier = fields.trimmed("物流名称");
    const auto trackingNo = fields.trimmed("物流单号");
    if (!carrier || !trackingNo)
        return refuse("物流名称和物流单号不能包含特殊符号!");
    std::string name = *carrier;
    std::string number = *trackingNo;
    if (*method == 1) {
        if (name.empty() || name.find("请填写") != std::string::npos)
            return refuse("请填写物流名称!");
        if (number.empty() || number.find("请填写") != std::string::npos)
            return refuse("请填写物流单号!");
    } else {
        name.clear();
        number.clear();
    }
    if (protocol::gbkLength(name) > kMaxCarrierBytes || protocol::gbkLength(number) > kMaxCarrierBytes ||
        protocol::gbkLength(name) < 0 || protocol::gbkLength(number) < 0)
        return refuse("物流名称和物流单号不能超过40个字节!");
    if (order->state != kOrderPending)
        return refuse(order->state == kOrderShipped ? "订单已发货!" : "订单状态已改变,不能发货!");
    if (!ship(context.tx(), order->id, *freightFen, static_cast<int>(*method), name, number, isoTime(now())))
        return refuse(kChangedMeanwhile);
    order = find(context.tx(), order->id, context.session.accountId);
    return {orderPage(context, *order), notice("发货成功!", "信息")};
}

void restoreStock(db::Tx &tx, const Order &order)
{
    for (const NewLine &line : order.lines)
        goods::returnStock(tx, line.goodsId, line.quantity);
}

Replies cancelOrder(Context &context, const Fields &fields)
{
    const auto order = requestedOrder(context, fields);
    if (!order || order->purchaserId != context.session.accountId)
        return refuse(kUnknownOrder);
    db::Tx &tx = context.tx();
    const std::string at = isoTime(now());
    const std::string id = protocol::FieldWriter().add("订单ID", order->id).str();
    switch (order->state) {
    case kOrderPending:
        if (!changeState(tx, order->id, kOrderPending, kOrderClosed, at))
            return refuse(kChangedMeanwhile);
        restoreStock(tx, *order);
        return {reply(Reply::OrderClosed, id)};
    case kOrderShipped: {
        const auto statement =
            order->statementId != 0 ? finance::statementState(tx, order->statementId) : std::optional<int>();
        if (statement && *statement != kStatementOpen)
            return refuse("订单已对账,不能取消!");
        if (!changeState(tx, order->id, kOrderShipped, kOrderCancelling, at))
            return refuse(kChangedMeanwhile);
        return {reply(Reply::OrderCancelling, id)};
    }
    case kOrderCancelling:
        return refuse("订单取消中,请等待供应商处理!");
    default:
        return refuse("订单已关闭!");
    }
}

// 处理方式 1 agrees to close the order (stock back, out of its statement), 2 refuses
// (back to shipped).
Replies resolveCancel(Context &context, const Fields &fields)
{
    auto order = requestedOrder(context, fields);
    if (!order || order->supplierId != context.session.accountId)
        return refuse(kUnknownOrder);
    const auto choice = fields.count("处理方式");
    if (!choice || *choice < 1 || *choice > 2)
        return refuse("处理方式不正确!");
    if (order->state != kOrderCancelling)
        return refuse("订单不在取消中,无需处理!");
    db::Tx &tx = context.tx();
    const std::string at = isoTime(now());
    if (!changeState(tx, order->id, kOrderCancelling, *choice == 1 ? kOrderClosed : kOrderShipped, at))
        return refuse(kChangedMeanwhile);
    if (*choice == 1) {
        restoreStock(tx, *order);
        if (order->statementId != 0) {
            const auto statement = finance::statementState(tx, order->statementId);
            if (statement && *statement != kStatementOpen)
                return refuse("订单已对账,不能关闭!");
            leaveStatement(tx, order->id);
            finance::recompute(tx, order->statementId);
        }
    }
    order = find(tx, order->id, context.session.accountId);
    return {orderPage(context, *order)};
}

} // namespace

void registerLifecycleHandlers(HandlerTable &table)
{
    table.add(Request::OrderPage, {Who::LoggedIn, Access::Read}, showOrder);
    table.add(Request::Carriers, {Who::LoggedIn, Access::Read}, carriers);
    table.add(Request::ShipOrder, {Who::Supplier, Access::Write}, shipOrder);
    table.add(Request::CancelOrder, {Who::Purchaser, Access::Write}, cancelOrder);
    table.add(Request::ResolveCancel, {Who::Supplier, Access::Write}, resolveCancel);
}

} // namespace vantrell::server::orders
