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

} // namespace vantrell::server::finance
