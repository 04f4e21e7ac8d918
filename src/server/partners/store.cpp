#include "server/partners/store.h"

#include "server/states.h"

#include <soci/soci.h>

namespace vantrell::server::partners {

int cooperationState(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId)
{
    const long long supplier = supplierId;
    const long long purchaser = purchaserId;
    int state = 0;
    soci::indicator found = soci::i_null;
    soci::session &sql = tx.sql();
    sql << "SELECT state FROM cooperations WHERE supplier_id = :s AND purchaser_id = :p", soci::use(supplier),
        soci::use(purchaser), soci::into(state, found);
    return sql.got_data() && found == soci::i_ok ? state : 0;
}

void setCooperationState(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId, int state,
                         const std::string &at, int stoppedBy)
{
    soci::session &sql = tx.sql();
    const long long supplier = supplierId;
    const long long purchaser = purchaserId;
    db::serialize(tx, "cooperation:" + std::to_string(supplier) + ":" + std::to_string(purchaser));
    int rows = 0;
    sql << "SELECT COUNT(*) FROM cooperations WHERE supplier_id = :s AND purchaser_id = :p",
        soci::use(supplier), soci::use(purchaser), soci::into(rows);
    if (rows == 0) {
        sql << "INSERT INTO cooperations (supplier_id, purchaser_id, state, stopped_by, created_at, "
               "updated_at)"
               " VALUES (:s, :p, :st, :by, :c, :u)",
            soci::use(supplier), soci::use(purchaser), soci::use(state), soci::use(stoppedBy), soci::use(at),
            soci::use(at);
    } else {
        sql << "UPDATE cooperations SET state = :st, stopped_by = :by, updated_at = :u"
               " WHERE supplier_id = :s AND purchaser_id = :p",
            soci::use(state), soci::use(stoppedBy), soci::use(at), soci::use(supplier), soci::use(purchaser);
    }
}

std::optional<Cooperation> cooperation(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId)
{
    const long long supplier = supplierId;
    const long long purchaser = purchaserId;
    Cooperation found;
    soci::session &sql = tx.sql();
    sql << "SELECT state, stopped_by FROM cooperations WHERE supplier_id = :s AND purchaser_id = :p" +
               std::string(tx.dialect().forUpdate()),
        soci::use(supplier), soci::use(purchaser), soci::into(found.state), soci::into(found.stoppedBy);
    if (!sql.got_data())
        return std::nullopt;
    return found;
}

bool insertApplication(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId, const std::string &at)
{
    const long long supplier = supplierId;
    const long long purchaser = purchaserId;
    const int state = kCooperationApplied;
    soci::statement statement =
        (tx.sql().prepare
             << "INSERT INTO cooperations (supplier_id, purchaser_id, state, created_at, updated_at)"
                " VALUES (:s, :p, :st, :c, :u) ON CONFLICT (supplier_id, purchaser_id) DO NOTHING",
         soci::use(supplier), soci::use(purchaser), soci::use(state), soci::use(at), soci::use(at));
    statement.execute(true);
    return statement.get_affected_rows() == 1;
}

bool changeState(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId, int from, int to,
                 int stoppedBy, const std::string &at)
{
    const long long supplier = supplierId;
    const long long purchaser = purchaserId;
    soci::statement statement =
        (tx.sql().prepare << "UPDATE cooperations SET state = :to, stopped_by = :by, updated_at = :at"
                             " WHERE supplier_id = :s AND purchaser_id = :p AND state = :from",
         soci::use(to, "to"), soci::use(stoppedBy, "by"), soci::use(at, "at"), soci::use(supplier, "s"),
         soci::use(purchaser, "p"), soci::use(from, "from"));
    statement.execute(true);
    return statement.get_affected_rows() == 1;
}

std::vector<SupplierRow> suppliersFor(db::Tx &tx, std::int64_t purchaserId)
{
    const long long purchaser = purchaserId;
    const int supplierType = kAccountSupplier;
    std::vector<SupplierRow> rows;
    SupplierRow row;
    long long id = 0;
    soci::statement statement =
        (tx.sql().prepare << "SELECT a.id, a.user_name, a.company, COALESCE(c.state, 0) FROM accounts a"
                             " LEFT JOIN cooperations c ON c.supplier_id = a.id AND c.purchaser_id = :p"
                             " WHERE a.type = :t ORDER BY a.company, a.id",
         soci::use(purchaser, "p"), soci::use(supplierType, "t"), soci::into(id), soci::into(row.userName),
         soci::into(row.company), soci::into(row.state));
    statement.execute();
    while (statement.fetch()) {
        row.id = id;
        rows.push_back(row);
    }
    return rows;
}

std::vector<PartnerRow> partnerList(db::Tx &tx, std::int64_t accountId, bool supplierSide, bool activeOnly)
{
    const Side side = sideOf(supplierSide);
    const long long me = accountId;
    const int onlyActive = activeOnly ? 1 : 0;
    const int active = kCooperationActive;

    std::vector<PartnerRow> rows;
    PartnerRow row;
    long long partnerId = 0;
    soci::statement statement =
        (tx.sql().prepare << std::string("SELECT p.id, c.state, p.company, p.contact, p.phone, p.address"
                                         " FROM cooperations c JOIN accounts p ON p.id = c.") +
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

} // namespace vantrell::server::partners
