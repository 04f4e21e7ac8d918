#include "server/freight/store.h"

#include <soci/soci.h>

namespace vantrell::server::freight {

Template load(db::Tx &tx, std::int64_t supplierId)
{
    const long long supplier = supplierId;
    Template result;
    soci::session &sql = tx.sql();
    int freightMode = kManual;
    int chargeMode = kByWeight;
    sql << "SELECT freight_mode, charge_mode FROM freight_settings WHERE supplier_id = :s",
        soci::use(supplier), soci::into(freightMode), soci::into(chargeMode);
    if (sql.got_data()) {
        result.freightMode = freightMode;
        result.chargeMode = chargeMode;
    }
    int region = 0;
    Row row;
    soci::statement statement =
        (sql.prepare << "SELECT region, first_quantity, first_fen, step_quantity, step_fen FROM freight_rows"
                        " WHERE supplier_id = :s",
         soci::use(supplier), soci::into(region), soci::into(row.firstQuantity), soci::into(row.firstFen),
         soci::into(row.stepQuantity), soci::into(row.stepFen));
    statement.execute();
    while (statement.fetch()) {
        if (region >= 0 && region <= kRegionCount)
            result.rows[static_cast<std::size_t>(region)] = row;
    }
    return result;
}

void saveModes(db::Tx &tx, std::int64_t supplierId, int freightMode, int chargeMode)
{
    const long long supplier = supplierId;
    tx.sql() << "INSERT INTO freight_settings (supplier_id, freight_mode, charge_mode) VALUES (:s, :f, :c)"
                " ON CONFLICT (supplier_id) DO UPDATE SET freight_mode = excluded.freight_mode,"
                " charge_mode = excluded.charge_mode",
        soci::use(supplier), soci::use(freightMode), soci::use(chargeMode);
}

void saveRow(db::Tx &tx, std::int64_t supplierId, int region, const Row &row)
{
    const long long supplier = supplierId;
    tx.sql() << "INSERT INTO freight_rows (supplier_id, region, first_quantity, first_fen, step_quantity, "
                "step_fen)"
                " VALUES (:s, :r, :fq, :ff, :sq, :sf) ON CONFLICT (supplier_id, region) DO UPDATE SET"
                " first_quantity = excluded.first_quantity, first_fen = excluded.first_fen,"
                " step_quantity = excluded.step_quantity, step_fen = excluded.step_fen",
        soci::use(supplier), soci::use(region), soci::use(row.firstQuantity), soci::use(row.firstFen),
        soci::use(row.stepQuantity), soci::use(row.stepFen);
}

} // namespace vantrell::server::freight
