#include "server/orders/store.h"

#include <soci/soci.h>

#include <array>
#include <limits>

namespace vantrell::server::orders {

namespace {

std::string listSql(bool supplierSide, const char *select, const char *tail)
{
    const Side side = sideOf(supplierSide);
    std::string sql = select;
    sql += " FROM orders o JOIN accounts p ON p.id = o.";
    sql += side.other;
    sql += " WHERE o.";
    sql += side.own;
    sql += " = :me AND o.state IN (:s0, :s1, :s2, :s3) AND (:p1 = 0 OR o.";
    sql += side.other;
    sql += " = :p2)";
    sql += tail;
    return sql;
}

// The values every order list statement binds.
struct ListParameters
{
    void set(const ListQuery &query)
    {
        me = query.accountId;
        partner = query.partnerId;
        std::vector<int> slots = query.states;
        if (slots.empty())
            slots = {kOrderPending, kOrderShipped, kOrderCancelling, kOrderClosed};
        slots.resize(4, -1); // -1 never matches
        for (std::size_t i = 0; i < 4; ++i)
            states[i] = slots[i];
    }
    long long me = 0;
    long long partner = 0;
    std::array<int, 4> states{};
};

// The order list is asked for on every page turn and after every change of an order:
// both of its statements are prepared once per connection and side.
struct CountStatement final : db::Prepared
{
    explicit CountStatement(soci::session &sql, bool supplierSide)
        : statement((sql.prepare << listSql(supplierSide, "SELECT COUNT(*)", ""), soci::use(p.me, "me"),
                     soci::use(p.states[0], "s0"), soci::use(p.states[1], "s1"), soci::use(p.states[2], "s2"),
                     soci::use(p.states[3], "s3"), soci::use(p.partner, "p1"), soci::use(p.partner, "p2"),
                     soci::into(result)))
    {}
    ListParameters p;
    long long result = 0;
    soci::statement statement;
};

struct PageStatement final : db::Prepared
{
    explicit PageStatement(soci::session &sql, bool supplierSide)
        : statement((sql.prepare << listSql(
                         supplierSide,
                         "SELECT o.id, o.state, o.order_no, p.company, o.pieces, o.total_fen, o.created_at",
                         " ORDER BY o.created_at DESC, o.id DESC LIMIT :lim OFFSET :off"),
                     soci::use(p.me, "me"), soci::use(p.states[0], "s0"), soci::use(p.states[1], "s1"),
                     soci::use(p.states[2], "s2"), soci::use(p.states[3], "s3"), soci::use(p.partner, "p1"),
                     soci::use(p.partner, "p2"), soci::use(limit, "lim"), soci::use(offset, "off"),
                     soci::into(id), soci::into(row.state), soci::into(row.orderNo),
                     soci::into(row.partnerCompany), soci::into(row.pieces), soci::into(row.totalFen),
                     soci::into(row.createdAt)))
    {}
    ListParameters p;
    long long limit = 0;
    long long offset = 0;
    long long id = 0;
    ListRow row;
    soci::statement statement;
};

// An order has up to fifty lines: their insert is prepared once per connection.
struct LineInsert final : db::Prepared
{
    explicit LineInsert(soci::session &sql)
        : statement(
              (sql.prepare << "INSERT INTO order_lines (order_id, line_no, goods_id, name, code, spec, unit,"
                              " price_fen, weight_g, quantity, amount_fen)"
                              " VALUES (:o, :l, :g, :n, :c, :sp, :u, :pr, :w, :q, :a)",
               soci::use(orderId), soci::use(lineNo), soci::use(goodsId), soci::use(line.name),
               soci::use(line.code), soci::use(line.spec), soci::use(line.unit), soci::use(line.priceFen),
               soci::use(line.weightG), soci::use(line.quantity), soci::use(amount)))
    {}
    long long orderId = 0;
    int lineNo = 0;
    long long goodsId = 0;
    NewLine line;
    long long amount = 0;
    soci::statement statement;
};

PageStatement &pageStatement(db::Tx &tx, bool supplierSide)
{
    return tx.prepared<PageStatement>(
        supplierSide ? 1 : 0, [&](soci::session &sql) { return new PageStatement(sql, supplierSide); });
}

} // namespace

std::vector<ListRow> list(db::Tx &tx, const ListQuery &query)
{
    return page(tx, query, 0, std::numeric_limits<long long>::max());
}

long long count(db::Tx &tx, const ListQuery &query)
{
    auto &statement = tx.prepared<CountStatement>(query.supplierSide ? 1 : 0, [&](soci::session &sql) {
        return new CountStatement(sql, query.supplierSide);
    });
    statement.p.set(query);
    db::fetchOne(statement.statement);
    return statement.result;
}

std::vector<ListRow> page(db::Tx &tx, const ListQuery &query, long long offset, long long limit)
{
    PageStatement &statement = pageStatement(tx, query.supplierSide);
    statement.p.set(query);
    statement.offset = offset;
    statement.limit = limit;
    std::vector<ListRow> rows;
    statement.statement.execute();
    while (statement.statement.fetch()) {
        statement.row.id = statement.id;
        rows.push_back(statement.row);
    }
    return rows;
}

Dashboard dashboard(db::Tx &tx, std::int64_t accountId, bool supplierSide, const std::string &today,
                    const std::string &yesterday)
{
    soci::session &sql = tx.sql();
    const std::string own = sideOf(supplierSide).own;
    const long long me = accountId;
    Dashboard figures;
    const std::string mine = " FROM orders o WHERE o." + own + " = :me";
    sql << "SELECT COUNT(*)" + mine + " AND o.state = 0", soci::use(me), soci::into(figures.pendingCount);
    sql << "SELECT COUNT(*)" + mine + " AND o.state = 1", soci::use(me), soci::into(figures.shippedCount);
    const std::string dayFigures = "SELECT COALESCE(SUM(o.total_fen), 0), COALESCE(SUM(o.pieces), 0)" + mine +
                                   " AND o.state <> 3 AND o.created_at BETWEEN :first AND :last";
    const std::string todayFirst = today + " 00:00:00";
    const std::string todayLast = today + " 23:59:59";
    const std::string yesterdayFirst = yesterday + " 00:00:00";
    const std::string yesterdayLast = yesterday + " 23:59:59";
    sql << dayFigures, soci::use(me), soci::use(todayFirst), soci::use(todayLast),
        soci::into(figures.todayFen), soci::into(figures.todayPieces);
    sql << dayFigures, soci::use(me), soci::use(yesterdayFirst), soci::use(yesterdayLast),
        soci::into(figures.yesterdayFen), soci::into(figures.yesterdayPieces);
    const std::string settled =
        "EXISTS (SELECT 1 FROM statements s WHERE s.id = o.statement_id AND s.state = 2)";
    sql << "SELECT COALESCE(SUM(o.total_fen), 0)" + mine + " AND o.state IN (1, 2) AND NOT " + settled,
        soci::use(me), soci::into(figures.unsettledFen);
    sql << "SELECT COALESCE(SUM(o.total_fen), 0)" + mine + " AND o.state <> 3 AND " + settled, soci::use(me),
        soci::into(figures.settledFen);
    return figures;
}

std::int64_t insert(db::Tx &tx, const NewOrder &order)
{
    long long goodsFen = 0;
    long long pieces = 0;
    long long weight = 0;
    for (const NewLine &line : order.lines) {
        goodsFen += line.priceFen * line.quantity;
        pieces += line.quantity;
        weight += line.weightG * line.quantity;
    }
    const long long total = goodsFen + order.freightFen;
    const long long supplier = order.supplierId;
    const long long purchaser = order.purchaserId;

    soci::session &sql = tx.sql();
    long long id = 0;
    sql << "INSERT INTO orders (order_no, supplier_id, purchaser_id, state, goods_amount_fen, freight_fen,"
           " total_fen, pieces, weight_g, address, message, ship_method, carrier, tracking_no, created_at,"
           " shipped_at) VALUES (:no, :s, :p, :st, :g, :f, :t, :pc, :w, :a, :m, :sm, :c, :tn, :ca, :sa)"
           " RETURNING id",
        soci::use(order.orderNo), soci::use(supplier), soci::use(purchaser), soci::use(order.state),
        soci::use(goodsFen), soci::use(order.freightFen), soci::use(total), soci::use(pieces),
        soci::use(weight), soci::use(order.address), soci::use(order.message), soci::use(order.shipMethod),
        soci::use(order.carrier), soci::use(order.trackingNo), soci::use(order.createdAt),
        soci::use(order.shippedAt), soci::into(id);
    auto &insertLine =
        tx.prepared<LineInsert>(0, [](soci::session &session) { return new LineInsert(session); });
    insertLine.orderId = id;
    insertLine.lineNo = 0;
    for (const NewLine &line : order.lines) {
        ++insertLine.lineNo;
        insertLine.line = line;
        insertLine.goodsId = line.goodsId;
        insertLine.amount = line.priceFen * line.quantity;
        insertLine.statement.execute(true);
    }
    return id;
}

std::optional<Order> find(db::Tx &tx, std::int64_t orderId, std::int64_t accountId)
{
    const long long id = orderId;
    const long long me = accountId;
    Order order;
    long long supplier = 0;
    long long purchaser = 0;
    long long statement = 0;
    soci::session &sql = tx.sql();
    sql << "SELECT order_no, supplier_id, purchaser_id, state, goods_amount_fen, freight_fen, total_fen, "
           "pieces,"
           " weight_g, address, message, ship_method, carrier, tracking_no, created_at, shipped_at, "
           "statement_id"
           " FROM orders WHERE id = :id AND (supplier_id = :me OR purchaser_id = :me2)" +
               std::string(tx.dialect().forUpdate()),
        soci::use(id, "id"), soci::use(me, "me"), soci::use(me, "me2"), soci::into(order.orderNo),
        soci::into(supplier), soci::into(purchaser), soci::into(order.state), soci::into(order.goodsFen),
        soci::into(order.freightFen), soci::into(order.totalFen), soci::into(order.pieces),
        soci::into(order.weightG), soci::into(order.address), soci::into(order.message),
        soci::into(order.shipMethod), soci::into(order.carrier), soci::into(order.trackingNo),
        soci::into(order.createdAt), soci::into(order.shippedAt), soci::into(statement);
    if (!sql.got_data())
        return std::nullopt;
    order.id = orderId;
    order.supplierId = supplier;
    order.purchaserId = purchaser;
    order.statementId = statement;

    NewLine line;
    long long goodsId = 0;
    soci::statement lines =
        (sql.prepare
             << "SELECT goods_id, name, code, spec, unit, price_fen, weight_g, quantity FROM order_lines"
                " WHERE order_id = :id ORDER BY line_no",
         soci::use(id), soci::into(goodsId), soci::into(line.name), soci::into(line.code),
         soci::into(line.spec), soci::into(line.unit), soci::into(line.priceFen), soci::into(line.weightG),
         soci::into(line.quantity));
    lines.execute();
    while (lines.fetch()) {
        line.goodsId = goodsId;
        order.lines.push_back(line);
    }
    return order;
}

bool changeState(db::Tx &tx, std::int64_t orderId, int from, int to, const std::string &at)
{
    const long long id = orderId;
    soci::statement statement =
        (tx.sql().prepare << "UPDATE orders SET state = :to, updated_at = :at"
                             " WHERE id = :id AND state = :from",
         soci::use(to, "to"), soci::use(at, "at"), soci::use(id, "id"), soci::use(from, "from"));
    statement.execute(true);
    return statement.get_affected_rows() == 1;
}

bool ship(db::Tx &tx, std::int64_t orderId, long long freightFen, int method, const std::string &carrier,
          const std::string &trackingNo, const std::string &at)
{
    const long long id = orderId;
    const int shipped = kOrderShipped;
    const int pending = kOrderPending;
    soci::statement statement =
        (tx.sql().prepare
             << "UPDATE orders SET state = :st, freight_fen = :f, total_fen = goods_amount_fen + :f2,"
                " ship_method = :m, carrier = :c, tracking_no = :t, shipped_at = :at, updated_at = :at2"
                " WHERE id = :id AND state = :from",
         soci::use(shipped, "st"), soci::use(freightFen, "f"), soci::use(freightFen, "f2"),
         soci::use(method, "m"), soci::use(carrier, "c"), soci::use(trackingNo, "t"), soci::use(at, "at"),
         soci::use(at, "at2"), soci::use(id, "id"), soci::use(pending, "from"));
    statement.execute(true);
    return statement.get_affected_rows() == 1;
}

std::string lastCarrier(db::Tx &tx, std::int64_t supplierId)
{
    const long long supplier = supplierId;
    std::string carrier;
    tx.sql() << "SELECT carrier FROM orders WHERE supplier_id = :s AND carrier <> ''"
                " ORDER BY shipped_at DESC, id DESC LIMIT 1",
        soci::use(supplier), soci::into(carrier);
    return carrier;
}

void leaveStatement(db::Tx &tx, std::int64_t orderId)
{
    const long long id = orderId;
    tx.sql() << "UPDATE orders SET statement_id = 0 WHERE id = :id", soci::use(id);
}

long long nextDailyNumber(db::Tx &tx, const std::string &day)
{
    long long number = 0;
    tx.sql() << "INSERT INTO order_sequences (day, last_number) VALUES (:d, 1) ON CONFLICT (day)"
                " DO UPDATE SET last_number = order_sequences.last_number + 1 RETURNING last_number",
        soci::use(day), soci::into(number);
    return number;
}

} // namespace vantrell::server::orders
