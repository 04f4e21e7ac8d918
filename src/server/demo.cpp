#include "protocol/md5.h"
#include "server/accounts.h"
#include "server/clock.h"
#include "server/storage.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace vantrell::server {

namespace {

constexpr const char *kDemoPassword = "demo1234";

std::int64_t ensureAccount(Storage &storage, Account account)
{
    if (const auto existing = storage.accountByName(account.userName))
        return existing->id;
    account.passwordHash = hashPasswordDigest(protocol::md5Hex(kDemoPassword));
    if (storage.createAccount(account) != CreateAccountResult::Created)
        throw std::runtime_error("demo data: the company " + account.company + " belongs to another account");
    return storage.accountByName(account.userName)->id;
}

NewOrderLine line(const char *name, const char *code, const char *spec, const char *unit, long long priceFen,
                  long long weightG, long long quantity)
{
    return NewOrderLine{0, name, code, spec, unit, priceFen, weightG, quantity};
}

// A time `minutesAgo` before `at`, but never before the start of that day, so that
// "today's" orders stay today even just after midnight.
std::string sameDayTime(TimePoint at, int daysAgo, int minutesAgo)
{
    const TimePoint day = at - std::chrono::hours(24 * daysAgo);
    const TimePoint midnight = parseIsoTime(isoDate(day) + " 00:00:00").value_or(day);
    return isoTime(std::max(day - std::chrono::minutes(minutesAgo), midnight + std::chrono::seconds(1)));
}

std::string orderNo(const std::string &time, int sequence)
{
    std::string no = time.substr(0, 4) + time.substr(5, 2) + time.substr(8, 2);
    return no + std::to_string(900000 + sequence);
}

} // namespace

void seedDemo(Storage &storage)
{
    const TimePoint at = now();
    const std::string stamp = isoTime(at);

    Account supplier;
    supplier.userName = "supplier";
    supplier.phone = "13800571234";
    supplier.company = "杭州青禾食品供应链公司";
    supplier.type = kAccountSupplier;
    supplier.contact = "陈青禾";
    supplier.email = "sales@qinghe-food.cn";
    supplier.address = "浙江省杭州市余杭区仓前街道良睦路1288号";
    supplier.createdAt = stamp;
    const std::int64_t supplierId = ensureAccount(storage, supplier);

    Account buyer;
    buyer.userName = "buyer";
    buyer.phone = "13916285566";
    buyer.company = "上海鲜达商贸有限公司";
    buyer.type = kAccountPurchaser;
    buyer.contact = "王鲜达";
    buyer.email = "purchase@xianda.com.cn";
    buyer.address = "上海市浦东新区张江路88号3号仓";
    buyer.createdAt = stamp;
    const std::int64_t buyerId = ensureAccount(storage, buyer);

    if (storage.cooperationState(supplierId, buyerId) == 0)
        storage.setCooperationState(supplierId, buyerId, kCooperationActive, stamp);

    OrderListQuery existing;
    existing.accountId = supplierId;
    existing.supplierSide = true;
    if (storage.orderCount(existing) > 0)
        return;

    const auto rice = line("东北有机大米", "QH-1001", "5kg/袋", "袋", 6800, 5000, 10);
    const auto oil = line("压榨菜籽油", "QH-1002", "5L/桶", "桶", 8990, 4600, 6);
    const auto eggs = line("散养鲜鸡蛋", "QH-1003", "30枚/盒", "盒", 2850, 1900, 20);
    const auto noodles = line("手工挂面", "QH-1004", "1kg/包", "包", 990, 1000, 30);

    struct Plan
    {
        int daysAgo;
        int minutesAgo;
        int state;
        long long freightFen;
        std::vector<NewOrderLine> lines;
    };
    const std::vector<Plan> plans = {
        {0, 30, kOrderPending, 1500, {rice, oil}},     {0, 90, kOrderShipped, 2000, {eggs, noodles}},
        {1, 60, kOrderShipped, 1500, {rice, eggs}},    {1, 120, kOrderClosed, 0, {noodles}},
        {2, 60, kOrderCancelling, 1200, {oil}},        {5, 60, kOrderShipped, 2500, {rice, oil, eggs}},
        {6, 60, kOrderShipped, 1000, {noodles, eggs}},
    };

    std::vector<std::int64_t> settled;
    std::string settledFrom;
    std::string settledTo;
    int sequence = 0;
    for (const Plan &plan : plans) {
        NewOrder order;
        order.createdAt = sameDayTime(at, plan.daysAgo, plan.minutesAgo);
        order.orderNo = orderNo(order.createdAt, ++sequence);
        order.supplierId = supplierId;
        order.purchaserId = buyerId;
        order.state = plan.state;
        order.freightFen = plan.freightFen;
        order.address = buyer.address;
        order.message = "请工作日上午送货，谢谢！";
        order.lines = plan.lines;
        if (plan.state == kOrderShipped || plan.state == kOrderCancelling) {
            order.shipMethod = 1;
            order.carrier = "顺丰速运";
            order.trackingNo = "SF10" + order.orderNo.substr(2);
            order.shippedAt = order.createdAt;
        }
        const std::int64_t id = storage.insertOrder(order);
        if (plan.daysAgo >= 5) {
            settled.push_back(id);
            const std::string date = order.createdAt.substr(0, 10);
            settledFrom = settledFrom.empty() ? date : std::min(settledFrom, date);
            settledTo = std::max(settledTo, date);
        }
    }
    const std::string statementNo =
        "DZ" + settledTo.substr(0, 4) + settledTo.substr(5, 2) + settledTo.substr(8, 2) + "0001";
    storage.insertStatement(statementNo, supplierId, buyerId, settledFrom, settledTo, kStatementSettled,
                            settled, stamp);
}

} // namespace vantrell::server
