#include "server/finance/store.h"

#include "server/states.h"

#include <soci/soci.h>

#include <algorithm>

namespace vantrell::server::finance {

std::vector<PartnerRow> partnerList(db::Tx &tx, std::int64_t accountId, bool supplierSide)
{
    const Side sideColumns = sideOf(supplierSide);
    const std::string own = sideColumns.own;
    const std::string other = sideColumns.other;
    const long long me = accountId;
    const auto orders = [&](const std::string &param) {
        return " FROM orders o WHERE o." + own + " = :" + param + " AND o." + other + " = p.id";
    };
    const std::string settled =
        "EXISTS (SELECT 1 FROM statements s WHERE s.id = o.statement_id AND s.state = 2)";
    // The same definitions as the dashboard's, so the page and the dashboard agree.
    const std::string query = "SELECT p.id, p.company, p.contact, p.phone, p.address,"
                              " (SELECT COALESCE(SUM(o.total_fen), 0)" +
                              orders("m1") + " AND o.state <> 3 AND " + settled +
                              "),"
                              " (SELECT COALESCE(SUM(o.total_fen), 0)" +
                              orders("m2") + " AND o.state IN (1, 2) AND NOT " + settled +
                              "),"
                              " COALESCE((SELECT MAX(o.created_at)" +
                              orders("m3") +
                              "), ''),"
                              " COALESCE((SELECT c.created_at FROM cooperations c WHERE c." +
                              own + " = :m4 AND c." + other +
                              " = p.id), '')"
                              " FROM accounts p WHERE p.id IN (SELECT c." +
                              other + " FROM cooperations c WHERE c." + own + " = :m5 UNION SELECT o." +
                              other + " FROM orders o WHERE o." + own + " = :m6)";

    struct Ranked
    {
        PartnerRow row;
        std::string lastBusiness;
    };
    std::vector<Ranked> ranked;
    PartnerRow row;
    long long partnerId = 0;
    std::string lastOrder;
    std::string cooperationSince;
    soci::statement statement =
        (tx.sql().prepare << query, soci::use(me, "m1"), soci::use(me, "m2"), soci::use(me, "m3"),
         soci::use(me, "m4"), soci::use(me, "m5"), soci::use(me, "m6"), soci::into(partnerId),
         soci::into(row.company), soci::into(row.contact), soci::into(row.phone), soci::into(row.address),
         soci::into(row.settledFen), soci::into(row.unsettledFen), soci::into(lastOrder),
         soci::into(cooperationSince));
    statement.execute();
    while (statement.fetch()) {
        row.partnerId = partnerId;
        ranked.push_back({row, std::max(lastOrder, cooperationSince)});
    }
    std::sort(ranked.begin(), ranked.end(), [](const Ranked &a, const Ranked &b) {
        if (a.lastBusiness != b.lastBusiness)
            return a.lastBusiness > b.lastBusiness;
        return a.row.partnerId > b.row.partnerId;
    });
    std::vector<PartnerRow> rows;
    rows.reserve(ranked.size());
    for (Ranked &entry : ranked)
        rows.push_back(std::move(entry.row));
    return rows;
}

std::int64_t insertStatement(db::Tx &tx, const std::string &statementNo, std::int64_t supplierId,
                             std::int64_t purchaserId, const std::string &from, const std::string &to,
                             int state, const std::vector<std::int64_t> &orderIds, const std::string &at)
{
    soci::session &sql = tx.sql();
    const long long supplier = supplierId;
    const long long purchaser = purchaserId;
    long long id = 0;
    sql << "INSERT INTO statements (statement_no, supplier_id, purchaser_id, date_from, date_to, state, "
           "created_at)"
           " VALUES (:no, :s, :p, :f, :t, :st, :at) RETURNING id",
        soci::use(statementNo), soci::use(supplier), soci::use(purchaser), soci::use(from), soci::use(to),
        soci::use(state), soci::use(at), soci::into(id);
    for (const std::int64_t orderId : orderIds) {
        const long long key = orderId;
        sql << "UPDATE orders SET statement_id = :st WHERE id = :id AND supplier_id = :s AND purchaser_id = "
               ":p",
            soci::use(id), soci::use(key), soci::use(supplier), soci::use(purchaser);
    }
    recompute(tx, id);
    return id;
}

std::optional<int> statementState(db::Tx &tx, std::int64_t statementId)
{
    const long long id = statementId;
    int state = 0;
    soci::session &sql = tx.sql();
    sql << "SELECT state FROM statements WHERE id = :id" + std::string(tx.dialect().forUpdate()),
        soci::use(id), soci::into(state);
    if (!sql.got_data())
        return std::nullopt;
    return state;
}

void recompute(db::Tx &tx, std::int64_t statementId)
{
    const long long id = statementId;
    soci::session &sql = tx.sql();
    // Two orders leaving one statement at once each count what the other left.
    if (tx.dialect().concurrentWriters())
        sql << "SELECT id FROM statements WHERE id = :id FOR UPDATE", soci::use(id);
    long long orders = 0;
    sql << "SELECT COUNT(*) FROM orders WHERE statement_id = :id", soci::use(id), soci::into(orders);
    if (orders == 0) {
        sql << "DELETE FROM statements WHERE id = :id", soci::use(id);
        return;
    }
    sql << "UPDATE statements SET goods_amount_fen = (SELECT COALESCE(SUM(goods_amount_fen), 0) FROM orders"
           " WHERE statement_id = :a), freight_fen = (SELECT COALESCE(SUM(freight_fen), 0) FROM orders"
           " WHERE statement_id = :b), total_fen = (SELECT COALESCE(SUM(total_fen), 0) FROM orders"
           " WHERE statement_id = :c) WHERE id = :d",
        soci::use(id), soci::use(id), soci::use(id), soci::use(id);
}

namespace {

constexpr const char *kStatementColumns =
    "SELECT id, statement_no, supplier_id, purchaser_id, date_from, date_to, goods_amount_fen, freight_fen,"
    " total_fen, state FROM statements";

struct StatementRow
{
    long long id = 0, supplier = 0, purchaser = 0;
    Statement statement;
    Statement finish() const
    {
        Statement result = statement;
        result.id = id;
        result.supplierId = supplier;
        result.purchaserId = purchaser;
        return result;
    }
};

void bindStatement(soci::statement &statement, StatementRow &row)
{
    statement.exchange(soci::into(row.id));
    statement.exchange(soci::into(row.statement.statementNo));
    statement.exchange(soci::into(row.supplier));
    statement.exchange(soci::into(row.purchaser));
    statement.exchange(soci::into(row.statement.from));
    statement.exchange(soci::into(row.statement.to));
    statement.exchange(soci::into(row.statement.goodsFen));
    statement.exchange(soci::into(row.statement.freightFen));
    statement.exchange(soci::into(row.statement.totalFen));
    statement.exchange(soci::into(row.statement.state));
}

// Shipped, or cancelling (still shipped until the supplier agrees).
constexpr const char *kShipped = " o.state IN (1, 2)";
constexpr const char *kSettled =
    "EXISTS (SELECT 1 FROM statements s WHERE s.id = o.statement_id AND s.state = 2)";

} // namespace

std::vector<Statement> statements(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId)
{
    long long supplier = supplierId;
    long long purchaser = purchaserId;
    StatementRow row;
    soci::statement statement(tx.sql());
    bindStatement(statement, row);
    statement.exchange(soci::use(supplier, "s"));
    statement.exchange(soci::use(purchaser, "p"));
    statement.alloc();
    statement.prepare(std::string(kStatementColumns) +
                      " WHERE supplier_id = :s AND purchaser_id = :p ORDER BY date_from DESC, id DESC");
    statement.define_and_bind();
    statement.execute();
    std::vector<Statement> rows;
    while (statement.fetch())
        rows.push_back(row.finish());
    return rows;
}

std::optional<Statement> statementById(db::Tx &tx, std::int64_t statementId)
{
    long long id = statementId;
    StatementRow row;
    soci::statement statement(tx.sql());
    bindStatement(statement, row);
    statement.exchange(soci::use(id, "id"));
    statement.alloc();
    statement.prepare(std::string(kStatementColumns) + " WHERE id = :id" +
                      std::string(tx.dialect().forUpdate()));
    statement.define_and_bind();
    if (!db::fetchOne(statement))
        return std::nullopt;
    return row.finish();
}

std::optional<Statement> statementOfRange(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId,
                                          const std::string &from, const std::string &to)
{
    for (const Statement &statement : statements(tx, supplierId, purchaserId)) {
        if (statement.from == from && statement.to == to)
            return statement;
    }
    return std::nullopt;
}

std::vector<DetailRow> details(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId, Details which,
                               std::int64_t statementId)
{
    long long supplier = supplierId;
    long long purchaser = purchaserId;
    long long statementKey = statementId;
    std::string where = " WHERE o.supplier_id = :s AND o.purchaser_id = :p AND ";
    switch (which) {
    case Details::OfStatement:
        where += "o.statement_id = :st";
        break;
    case Details::Settled:
        where += std::string("o.state <> 3 AND ") + kSettled;
        break;
    case Details::Unsettled:
        where += std::string(kShipped) + " AND NOT " + kSettled;
        break;
    }
    DetailRow row;
    long long id = 0;
    soci::statement statement(tx.sql());
    statement.exchange(soci::into(id));
    statement.exchange(soci::into(row.state));
    statement.exchange(soci::into(row.orderNo));
    statement.exchange(soci::into(row.pieces));
    statement.exchange(soci::into(row.goodsFen));
    statement.exchange(soci::into(row.freightFen));
    statement.exchange(soci::into(row.totalFen));
    statement.exchange(soci::use(supplier, "s"));
    statement.exchange(soci::use(purchaser, "p"));
    if (which == Details::OfStatement)
        statement.exchange(soci::use(statementKey, "st"));
    statement.alloc();
    statement.prepare(
        "SELECT o.id, o.state, o.order_no, o.pieces, o.goods_amount_fen, o.freight_fen, o.total_fen"
        " FROM orders o" +
        where + " ORDER BY o.shipped_at DESC, o.id DESC");
    statement.define_and_bind();
    statement.execute();
    std::vector<DetailRow> rows;
    while (statement.fetch()) {
        row.orderId = id;
        rows.push_back(row);
    }
    return rows;
}

long long unsettledFen(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId)
{
    long long total = 0;
    for (const DetailRow &row : details(tx, supplierId, purchaserId, Details::Unsettled, 0))
        total += row.totalFen;
    return total;
}

std::string lastEnd(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId)
{
    const long long supplier = supplierId;
    const long long purchaser = purchaserId;
    std::string end;
    soci::indicator found = soci::i_null;
    // A statement is created from the range read here: creations for one pair take turns.
    if (tx.mode() == db::Tx::Mode::Write)
        db::serialize(tx, "statements:" + std::to_string(supplier) + ":" + std::to_string(purchaser));
    tx.sql() << "SELECT MAX(date_to) FROM statements WHERE supplier_id = :s AND purchaser_id = :p",
        soci::use(supplier), soci::use(purchaser), soci::into(end, found);
    return found == soci::i_ok ? end : std::string();
}

std::string earliestUnbilled(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId)
{
    const long long supplier = supplierId;
    const long long purchaser = purchaserId;
    std::string first;
    soci::indicator found = soci::i_null;
    tx.sql() << std::string(
                    "SELECT MIN(o.shipped_at) FROM orders o WHERE o.supplier_id = :s AND o.purchaser_id = :p"
                    " AND o.statement_id = 0 AND") +
                    kShipped,
        soci::use(supplier), soci::use(purchaser), soci::into(first, found);
    return found == soci::i_ok ? first.substr(0, 10) : std::string();
}

std::vector<std::int64_t> unbilledOrders(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId,
                                         const std::string &to)
{
    const long long supplier = supplierId;
    const long long purchaser = purchaserId;
    const std::string last = to + " 23:59:59";
    std::vector<std::int64_t> ids;
    long long id = 0;
    soci::statement statement =
        (tx.sql().prepare
             << std::string("SELECT o.id FROM orders o WHERE o.supplier_id = :s AND o.purchaser_id = :p"
                            " AND o.statement_id = 0 AND o.shipped_at <> '' AND o.shipped_at <= :last AND") +
                    kShipped + std::string(tx.dialect().forUpdate()),
         soci::use(supplier, "s"), soci::use(purchaser, "p"), soci::use(last, "last"), soci::into(id));
    statement.execute();
    while (statement.fetch())
        ids.push_back(id);
    return ids;
}

long long unbilledFen(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId, const std::string &to)
{
    const long long supplier = supplierId;
    const long long purchaser = purchaserId;
    const std::string last = to + " 23:59:59";
    long long total = 0;
    tx.sql() << std::string("SELECT COALESCE(SUM(o.total_fen), 0) FROM orders o WHERE o.supplier_id = :s"
                            " AND o.purchaser_id = :p AND o.statement_id = 0 AND o.shipped_at <> ''"
                            " AND o.shipped_at <= :last AND") +
                    kShipped,
        soci::use(supplier, "s"), soci::use(purchaser, "p"), soci::use(last, "last"), soci::into(total);
    return total;
}

bool changeStatementState(db::Tx &tx, std::int64_t statementId, int from, int to, const std::string &at)
{
    const long long id = statementId;
    const std::string column = to == kStatementReconciled ? "reconciled_at" : "settled_at";
    soci::statement statement =
        (tx.sql().prepare << "UPDATE statements SET state = :to, " + column +
                                 " = :at WHERE id = :id AND state = :from",
         soci::use(to, "to"), soci::use(at, "at"), soci::use(id, "id"), soci::use(from, "from"));
    statement.execute(true);
    return statement.get_affected_rows() == 1;
}

bool holdsCancelling(db::Tx &tx, std::int64_t statementId)
{
    const long long id = statementId;
    long long cancelling = 0;
    tx.sql() << "SELECT COUNT(*) FROM orders WHERE statement_id = :id AND state = 2", soci::use(id),
        soci::into(cancelling);
    return cancelling > 0;
}

} // namespace vantrell::server::finance
