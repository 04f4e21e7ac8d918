#include "server/db/database.h"

namespace vantrell::server::db {

const std::vector<Migration> &schemaMigrations()
{
    static const std::vector<Migration> migrations = {
        {1,
         "accounts",
         {
             "CREATE TABLE accounts ("
             " id {id},"
             " user_name VARCHAR(40) NOT NULL UNIQUE,"
             " password_hash VARCHAR(255) NOT NULL,"
             " phone VARCHAR(32) NOT NULL DEFAULT '',"
             " company VARCHAR(64) NOT NULL UNIQUE,"
             " type INTEGER NOT NULL,"
             " contact VARCHAR(40) NOT NULL DEFAULT '',"
             " email VARCHAR(80) NOT NULL DEFAULT '',"
             " address VARCHAR(200) NOT NULL DEFAULT '',"
             " created_at VARCHAR(19) NOT NULL,"
             " last_login_at VARCHAR(19) NOT NULL DEFAULT '')",
             "CREATE TABLE login_failures ("
             " user_name VARCHAR(40) NOT NULL,"
             " at VARCHAR(19) NOT NULL)",
             "CREATE INDEX login_failures_user ON login_failures (user_name, at)",
             "CREATE TABLE cooperations ("
             " id {id},"
             " supplier_id BIGINT NOT NULL REFERENCES accounts (id),"
             " purchaser_id BIGINT NOT NULL REFERENCES accounts (id),"
             " state INTEGER NOT NULL,"
             " created_at VARCHAR(19) NOT NULL,"
             " updated_at VARCHAR(19) NOT NULL,"
             " UNIQUE (supplier_id, purchaser_id))",
         }},
        {2,
         "orders and statements",
         {
             "CREATE TABLE statements ("
             " id {id},"
             " statement_no VARCHAR(32) NOT NULL UNIQUE,"
             " supplier_id BIGINT NOT NULL REFERENCES accounts (id),"
             " purchaser_id BIGINT NOT NULL REFERENCES accounts (id),"
             " date_from VARCHAR(10) NOT NULL,"
             " date_to VARCHAR(10) NOT NULL,"
             " goods_amount_fen BIGINT NOT NULL DEFAULT 0,"
             " freight_fen BIGINT NOT NULL DEFAULT 0,"
             " total_fen BIGINT NOT NULL DEFAULT 0,"
             " state INTEGER NOT NULL DEFAULT 0,"
             " created_at VARCHAR(19) NOT NULL,"
             " reconciled_at VARCHAR(19) NOT NULL DEFAULT '',"
             " settled_at VARCHAR(19) NOT NULL DEFAULT '')",
             "CREATE INDEX statements_pair ON statements (supplier_id, purchaser_id, date_from)",
             "CREATE TABLE orders ("
             " id {id},"
             " order_no VARCHAR(32) NOT NULL UNIQUE,"
             " supplier_id BIGINT NOT NULL REFERENCES accounts (id),"
             " purchaser_id BIGINT NOT NULL REFERENCES accounts (id),"
             " state INTEGER NOT NULL DEFAULT 0,"
             " goods_amount_fen BIGINT NOT NULL DEFAULT 0,"
             " freight_fen BIGINT NOT NULL DEFAULT 0,"
             " total_fen BIGINT NOT NULL DEFAULT 0,"
             " pieces BIGINT NOT NULL DEFAULT 0,"
             " weight_g BIGINT NOT NULL DEFAULT 0,"
             " address VARCHAR(400) NOT NULL DEFAULT '',"
             " message VARCHAR(400) NOT NULL DEFAULT '',"
             " ship_method INTEGER NOT NULL DEFAULT 0,"
             " carrier VARCHAR(80) NOT NULL DEFAULT '',"
             " tracking_no VARCHAR(80) NOT NULL DEFAULT '',"
             " created_at VARCHAR(19) NOT NULL,"
             " shipped_at VARCHAR(19) NOT NULL DEFAULT '',"
             " statement_id BIGINT NOT NULL DEFAULT 0)",
             "CREATE INDEX orders_supplier ON orders (supplier_id, created_at)",
             "CREATE INDEX orders_purchaser ON orders (purchaser_id, created_at)",
             "CREATE TABLE order_lines ("
             " id {id},"
             " order_id BIGINT NOT NULL REFERENCES orders (id),"
             " line_no INTEGER NOT NULL,"
             " goods_id BIGINT NOT NULL,"
             " name VARCHAR(80) NOT NULL,"
             " code VARCHAR(80) NOT NULL DEFAULT '',"
             " spec VARCHAR(80) NOT NULL DEFAULT '',"
             " unit VARCHAR(16) NOT NULL DEFAULT '',"
             " price_fen BIGINT NOT NULL,"
             " weight_g BIGINT NOT NULL DEFAULT 0,"
             " quantity BIGINT NOT NULL,"
             " amount_fen BIGINT NOT NULL)",
             "CREATE INDEX order_lines_order ON order_lines (order_id, line_no)",
         }},
        {3,
         "who stopped a cooperation",
         {
             // 0 nobody, else the account type of the side that stopped it: only that side
             // may enable it again directly.
             "ALTER TABLE cooperations ADD COLUMN stopped_by INTEGER NOT NULL DEFAULT 0",
         }},
        {4,
         "goods, categories and authorisation",
         {
             "CREATE TABLE categories ("
             " id {id},"
             " supplier_id BIGINT NOT NULL REFERENCES accounts (id),"
             " name VARCHAR(40) NOT NULL,"
             " UNIQUE (supplier_id, name))",
             "CREATE TABLE goods ("
             " id {id},"
             " supplier_id BIGINT NOT NULL REFERENCES accounts (id),"
             " name VARCHAR(64) NOT NULL,"
             " code VARCHAR(40) NOT NULL DEFAULT '',"
             " spec VARCHAR(40) NOT NULL DEFAULT '',"
             " price_fen BIGINT NOT NULL,"
             " weight_g BIGINT NOT NULL DEFAULT 0,"
             " stock BIGINT NOT NULL DEFAULT 0 CHECK (stock >= 0),"
             " unit VARCHAR(16) NOT NULL,"
             " category_id BIGINT NOT NULL DEFAULT 0,"
             " status INTEGER NOT NULL DEFAULT 1,"
             " created_at VARCHAR(19) NOT NULL,"
             " updated_at VARCHAR(19) NOT NULL)",
             "CREATE INDEX goods_supplier ON goods (supplier_id, status, id)",
             "CREATE UNIQUE INDEX goods_code ON goods (supplier_id, code) WHERE code <> ''",
             // 1 every goods item of the supplier, 2 only the goods granted one by one.
             "ALTER TABLE cooperations ADD COLUMN grant_mode INTEGER NOT NULL DEFAULT 1",
             "CREATE TABLE goods_grants ("
             " purchaser_id BIGINT NOT NULL REFERENCES accounts (id),"
             " goods_id BIGINT NOT NULL REFERENCES goods (id),"
             " PRIMARY KEY (purchaser_id, goods_id))",
         }},
        {5,
         "freight and the daily order numbers",
         {
             "CREATE TABLE freight_settings ("
             " supplier_id BIGINT PRIMARY KEY REFERENCES accounts (id),"
             " freight_mode INTEGER NOT NULL DEFAULT 0,"
             " charge_mode INTEGER NOT NULL DEFAULT 0)",
             // Conditions in thousandths of their unit (grams by weight), fees in fen.
             "CREATE TABLE freight_rows ("
             " supplier_id BIGINT NOT NULL REFERENCES accounts (id),"
             " region INTEGER NOT NULL,"
             " first_quantity BIGINT NOT NULL DEFAULT 0,"
             " first_fen BIGINT NOT NULL DEFAULT 0,"
             " step_quantity BIGINT NOT NULL DEFAULT 0,"
             " step_fen BIGINT NOT NULL DEFAULT 0,"
             " PRIMARY KEY (supplier_id, region))",
             "CREATE TABLE order_sequences ("
             " day VARCHAR(8) PRIMARY KEY,"
             " last_number BIGINT NOT NULL)",
         }},
        {6,
         "when an order last changed",
         {
             "ALTER TABLE orders ADD COLUMN updated_at VARCHAR(19) NOT NULL DEFAULT ''",
             "CREATE INDEX orders_statement ON orders (statement_id)",
         }},
        {7,
         "failed logins by source address",
         {
             "ALTER TABLE login_failures ADD COLUMN address VARCHAR(64) NOT NULL DEFAULT ''",
             "CREATE INDEX login_failures_address ON login_failures (address, at)",
         }},
        {8,
         "a count of password changes, which ends the sessions opened before one",
         {
             "ALTER TABLE accounts ADD COLUMN credential_version BIGINT NOT NULL DEFAULT 0",
         }},
    };
    return migrations;
}

} // namespace vantrell::server::db
