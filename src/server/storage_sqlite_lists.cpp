#include "server/storage_sqlite.h"

#include <soci/connection-pool.h>
#include <soci/soci.h>

#include <algorithm>

namespace vantrell::server {

namespace {

// The columns of one side in cooperations and orders: whose rows, and who the partner is.
struct PairColumns
{
    std::string own;
    std::string other;
};

PairColumns pairColumns(bool supplierSide)
{
    return supplierSide ? PairColumns{"supplier_id", "purchaser_id"}
                        : PairColumns{"purchaser_id", "supplier_id"};
}

} // namespace

std::vector<PartnerRow> SqliteStorage::partnerList(std::int64_t accountId, bool supplierSide, bool activeOnly)
{
    soci::session sql(*m_pool);
    const PairColumns side = pairColumns(supplierSide);
    const long long me = accountId;
    const int onlyActive = activeOnly ? 1 : 0;
    const int active = kCooperationActive;

    std::vector<PartnerRow> rows;
    PartnerRow row;
    long long partnerId = 0;
    soci::statement statement =
        (sql.prepare << "SELECT p.id, c.state, p.company, p.contact, p.phone, p.address"
                        " FROM cooperations c JOIN accounts p ON p.id = c." +
                            side.other + " WHERE c." + side.own +
                            " = :me AND (:only = 0 OR c.state = :active)"
                            " ORDER BY c.created_at DESC, c.id DESC",
         soci::use(me, "me"), soci::use(onlyActive, "only"), soci::use(active, "active"),
         soci::into(partnerId), soci::into(row.state), soci::into(row.company), soci::into(row.contact),
         soci::into(row.phone), soci::into(row.address));
    statement.execute();
    while (statement.fetch()) {
        row.partnerId = partnerId;
        rows.push_back(row);
    }
    return rows;
}

std::vector<FinancePartnerRow> SqliteStorage::financePartnerList(std::int64_t accountId, bool supplierSide)
{
    soci::session sql(*m_pool);
    const PairColumns side = pairColumns(supplierSide);
    const long long me = accountId;
    const auto orders = [&](const std::string &param) {
        return " FROM orders o WHERE o." + side.own + " = :" + param + " AND o." + side.other + " = p.id";
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
                              side.own + " = :m4 AND c." + side.other +
                              " = p.id), '')"
                              " FROM accounts p WHERE p.id IN (SELECT c." +
                              side.other + " FROM cooperations c WHERE c." + side.own +
                              " = :m5 UNION SELECT o." + side.other + " FROM orders o WHERE o." + side.own +
                              " = :m6)";

    struct Ranked
    {
        FinancePartnerRow row;
        std::string lastBusiness;
    };
    std::vector<Ranked> ranked;
    FinancePartnerRow row;
    long long partnerId = 0;
    std::string lastOrder;
    std::string cooperationSince;
    soci::statement statement =
        (sql.prepare << query, soci::use(me, "m1"), soci::use(me, "m2"), soci::use(me, "m3"),
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
    std::vector<FinancePartnerRow> rows;
    rows.reserve(ranked.size());
    for (Ranked &entry : ranked)
        rows.push_back(std::move(entry.row));
    return rows;
}

} // namespace vantrell::server
