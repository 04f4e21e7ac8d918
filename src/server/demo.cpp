#include "server/demo.h"

#include "protocol/md5.h"
#include "server/accounts/passwords.h"
#include "server/accounts/store.h"
#include "server/clock.h"
#include "server/finance/store.h"
#include "server/freight/store.h"
#include "server/goods/store.h"
#include "server/orders/store.h"
#include "server/partners/store.h"
#include "server/states.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace vantrell::server {

namespace {

constexpr const char *kDemoPassword = "demo1234";

using accounts::Account;
using orders::NewLine;

std::int64_t ensureAccount(db::Tx &tx, Account account, const std::string &hash)
{
    if (const auto existing = accounts::byName(tx, account.userName))
        return existing->id;
    account.passwordHash = hash;
    if (accounts::create(tx, account) != accounts::CreateResult::Created)
        throw std::runtime_error("demo data: the company " + account.company + " belongs to another account");
    return accounts::byName(tx, account.userName)->id;
}

NewLine line(const goods::Goods &goods, long long quantity)
{
    return NewLine{goods.id,   goods.name,     goods.code,    goods.spec,
                   goods.unit, goods.priceFen, goods.weightG, quantity};
}

// The supplier's catalogue: three categories, one item off the shelf.
std::vector<goods::Goods> seedGoods(db::Tx &tx, std::int64_t supplierId, const std::string &at)
{
    struct Item
    {
        const char *name, *code, *spec, *unit, *category;
        long long priceFen, weightG, stock;
        int status;
    };
    const Item items[] = {
        {"东北有机大米", "QH-1001", "5kg/袋", "袋", "粮油米面", 6800, 5000, 320, goods::kOnSale},
        {"压榨菜籽油", "QH-1002", "5L/桶", "桶", "粮油米面", 8990, 4600, 150, goods::kOnSale},
        {"散养鲜鸡蛋", "QH-1003", "30枚/盒", "盒", "禽蛋", 2850, 1900, 480, goods::kOnSale},
        {"手工挂面", "QH-1004", "1kg/包", "包", "粮油米面", 990, 1000, 600, goods::kOnSale},
        {"有机黄豆", "QH-1005", "2.5kg/袋", "袋", "杂粮干货", 3650, 2500, 90, goods::kOnSale},
        {"精选香菇", "QH-1006", "500g/袋", "袋", "杂粮干货", 4200, 500, 0, goods::kOffShelf},
    };
    std::vector<goods::Goods> made;
    for (const Item &item : items) {
        goods::Goods g;
        g.supplierId = supplierId;
        g.name = item.name;
        g.code = item.code;
        g.spec = item.spec;
        g.unit = item.unit;
        g.priceFen = item.priceFen;
        g.weightG = item.weightG;
        g.stock = item.stock;
        g.status = item.status;
        g.categoryId = goods::categoryNamed(tx, supplierId, item.category);
        g.id = goods::insert(tx, g, at);
        made.push_back(g);
    }
    return made;
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

void seedDemo(db::Database &database)
{
    const std::string hash = accounts::hashPasswordDigest(protocol::md5Hex(kDemoPassword));
    database.write([&](db::Tx &tx) { seedDemo(tx, hash); });
}

void seedDemo(db::Tx &tx, const std::string &passwordHash)
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
    const std::int64_t supplierId = ensureAccount(tx, supplier, passwordHash);

    Account buyer;
    buyer.userName = "buyer";
    buyer.phone = "13916285566";
    buyer.company = "上海鲜达商贸有限公司";
    buyer.type = kAccountPurchaser;
    buyer.contact = "王鲜达";
    buyer.email = "purchase@xianda.com.cn";
    buyer.address = "上海市浦东新区张江路88号3号仓";
    buyer.createdAt = stamp;
    const std::int64_t buyerId = ensureAccount(tx, buyer, passwordHash);

    if (partners::cooperationState(tx, supplierId, buyerId) == 0)
        partners::setCooperationState(tx, supplierId, buyerId, kCooperationActive, stamp);

    // Partners in every state: an application waiting on each side, and a cooperation
    // stopped by each side.
    const auto merchant = [&](const char *user, const char *company, int type, const char *contact,
                              const char *phone, const char *address) {
        Account account;
        account.userName = user;
        account.company = company;
        account.type = type;
        account.contact = contact;
        account.phone = phone;
        account.address = address;
        account.createdAt = stamp;
        return ensureAccount(tx, account, passwordHash);
    };
    const std::int64_t waitingSupplier = merchant("supplier2", "宁波海味干货批发公司", kAccountSupplier,
                                                  "林海", "13705741234", "浙江省宁波市江北区海港路16号");
    const std::int64_t stoppedSupplier = merchant("supplier3", "苏州禾田粮油有限公司", kAccountSupplier,
                                                  "周禾田", "13862001234", "江苏省苏州市吴中区田园路9号");
    const std::int64_t waitingBuyer = merchant("buyer2", "杭州邻里生鲜超市", kAccountPurchaser, "赵邻里",
                                               "13588001234", "浙江省杭州市拱墅区丽水路66号");
    const std::int64_t stoppedBuyer = merchant("buyer3", "南京百味餐饮管理公司", kAccountPurchaser, "孙百味",
                                               "13951001234", "江苏省南京市鼓楼区中山北路200号");
    const auto pair = [&](std::int64_t seller, std::int64_t purchaser, int state, int stoppedBy) {
        if (partners::cooperationState(tx, seller, purchaser) == 0)
            partners::setCooperationState(tx, seller, purchaser, state, stamp, stoppedBy);
    };
    pair(waitingSupplier, buyerId, kCooperationApplied, 0);
    pair(stoppedSupplier, buyerId, kCooperationStopped, kAccountPurchaser);
    pair(supplierId, waitingBuyer, kCooperationApplied, 0);
    pair(supplierId, stoppedBuyer, kCooperationStopped, kAccountSupplier);

    orders::ListQuery existing;
    existing.accountId = supplierId;
    existing.supplierSide = true;
    if (orders::count(tx, existing) > 0)
        return;

    const std::vector<goods::Goods> catalogue = seedGoods(tx, supplierId, stamp);
    // System freight by weight: 10.00 for the first kg and 5.00 for each further kg; cheaper
    // nearby, dearer far away.
    freight::saveModes(tx, supplierId, freight::kSystem, freight::kByWeight);
    freight::saveRow(tx, supplierId, 0, freight::Row{1000, 1000, 1000, 500});
    for (int region : {1, 2, 3})
        freight::saveRow(tx, supplierId, region, freight::Row{2000, 800, 1000, 300});
    for (int region : {23, 30, 32, 33, 34})
        freight::saveRow(tx, supplierId, region, freight::Row{1000, 2000, 1000, 1200});
    const auto rice = line(catalogue[0], 10);
    const auto oil = line(catalogue[1], 6);
    const auto eggs = line(catalogue[2], 20);
    const auto noodles = line(catalogue[3], 30);

    struct Plan
    {
        int daysAgo;
        int minutesAgo;
        int state;
        long long freightFen;
        std::vector<NewLine> lines;
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
        orders::NewOrder order;
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
        const std::int64_t id = orders::insert(tx, order);
        if (plan.daysAgo >= 5) {
            settled.push_back(id);
            const std::string date = order.createdAt.substr(0, 10);
            settledFrom = settledFrom.empty() ? date : std::min(settledFrom, date);
            settledTo = std::max(settledTo, date);
        }
    }
    const std::string statementNo =
        "DZ" + settledTo.substr(0, 4) + settledTo.substr(5, 2) + settledTo.substr(8, 2) + "0001";
    finance::insertStatement(tx, statementNo, supplierId, buyerId, settledFrom, settledTo, kStatementSettled,
                             settled, stamp);
}

} // namespace vantrell::server
