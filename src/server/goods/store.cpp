#include "server/goods/store.h"

#include "server/states.h"

#include <soci/soci.h>

#include <limits>

namespace vantrell::server::goods {

namespace {

constexpr const char *kGoodsColumns =
    "SELECT g.id, g.supplier_id, g.name, g.code, g.spec, g.price_fen, g.weight_g, g.stock, g.unit, "
    "g.category_id,"
    " COALESCE(c.name, ''), g.status, a.company"
    " FROM goods g LEFT JOIN categories c ON c.id = g.category_id JOIN accounts a ON a.id = g.supplier_id";

// A purchaser's view: goods of an active partner that grants all its goods or this one.
constexpr const char *kOrderable =
    " EXISTS (SELECT 1 FROM cooperations co WHERE co.supplier_id = g.supplier_id AND co.purchaser_id = :pid"
    " AND co.state = 2 AND (co.grant_mode = 1 OR EXISTS (SELECT 1 FROM goods_grants gg"
    " WHERE gg.purchaser_id = :pid2 AND gg.goods_id = g.id)))";

std::string listWhere(const GoodsQuery &query)
{
    std::string where = query.purchaserId == 0
                            ? " WHERE g.supplier_id = :sid"
                            : std::string(" WHERE (:sid = 0 OR g.supplier_id = :sid2) AND") + kOrderable;
    where += " AND (:st = 0 OR g.status = :st2)";
    return where;
}

struct Row
{
    long long id = 0;
    long long supplierId = 0;
    long long categoryId = 0;
    Goods goods;
};

void bindRow(soci::statement &statement, Row &row)
{
    statement.exchange(soci::into(row.id));
    statement.exchange(soci::into(row.supplierId));
    statement.exchange(soci::into(row.goods.name));
    statement.exchange(soci::into(row.goods.code));
    statement.exchange(soci::into(row.goods.spec));
    statement.exchange(soci::into(row.goods.priceFen));
    statement.exchange(soci::into(row.goods.weightG));
    statement.exchange(soci::into(row.goods.stock));
    statement.exchange(soci::into(row.goods.unit));
    statement.exchange(soci::into(row.categoryId));
    statement.exchange(soci::into(row.goods.category));
    statement.exchange(soci::into(row.goods.status));
    statement.exchange(soci::into(row.goods.supplierCompany));
}

Goods finish(const Row &row)
{
    Goods goods = row.goods;
    goods.id = row.id;
    goods.supplierId = row.supplierId;
    goods.categoryId = row.categoryId;
    return goods;
}

std::vector<Goods> fetch(db::Tx &tx, const GoodsQuery &query, long long offset, long long limit)
{
    long long supplier = query.supplierId;
    long long purchaser = query.purchaserId;
    int status = query.status;
    Row row;
    soci::statement statement(tx.sql());
    bindRow(statement, row);
    statement.exchange(soci::use(supplier, "sid"));
    if (query.purchaserId != 0) {
        statement.exchange(soci::use(supplier, "sid2"));
        statement.exchange(soci::use(purchaser, "pid"));
        statement.exchange(soci::use(purchaser, "pid2"));
    }
    statement.exchange(soci::use(status, "st"));
    statement.exchange(soci::use(status, "st2"));
    statement.exchange(soci::use(limit, "lim"));
    statement.exchange(soci::use(offset, "off"));
    statement.alloc();
    statement.prepare(std::string(kGoodsColumns) + listWhere(query) +
                      " ORDER BY g.id DESC LIMIT :lim OFFSET :off");
    statement.define_and_bind();
    statement.execute();
    std::vector<Goods> rows;
    while (statement.fetch())
        rows.push_back(finish(row));
    return rows;
}

// One goods item by a condition on two values. Placing an order looks up every line this
// way, so each condition is prepared once per connection.
struct OneGoods final : db::Prepared
{
    OneGoods(soci::session &sql, const std::string &where) : statement(sql)
    {
        bindRow(statement, row);
        statement.exchange(soci::use(first, "a"));
        statement.exchange(soci::use(second, "b"));
        statement.alloc();
        statement.prepare(std::string(kGoodsColumns) + " WHERE " + where);
        statement.define_and_bind();
    }
    long long first = 0;
    long long second = 0;
    Row row;
    soci::statement statement;
};

std::optional<Goods> oneGoods(db::Tx &tx, int variant, const std::string &where, long long first,
                              long long second)
{
    auto &query =
        tx.prepared<OneGoods>(variant, [&](soci::session &sql) { return new OneGoods(sql, where); });
    query.first = first;
    query.second = second;
    if (!db::fetchOne(query.statement))
        return std::nullopt;
    return finish(query.row);
}

struct TakeStock final : db::Prepared
{
    explicit TakeStock(soci::session &sql)
        : statement((sql.prepare << "UPDATE goods SET stock = stock - :q WHERE id = :id AND stock >= :q2",
                     soci::use(quantity, "q"), soci::use(id, "id"), soci::use(quantity, "q2")))
    {}
    long long quantity = 0;
    long long id = 0;
    soci::statement statement;
};

} // namespace

std::vector<Goods> list(db::Tx &tx, const GoodsQuery &query)
{
    return fetch(tx, query, 0, std::numeric_limits<long long>::max());
}

long long count(db::Tx &tx, const GoodsQuery &query)
{
    long long supplier = query.supplierId;
    long long purchaser = query.purchaserId;
    int status = query.status;
    long long rows = 0;
    soci::statement statement(tx.sql());
    statement.exchange(soci::into(rows));
    statement.exchange(soci::use(supplier, "sid"));
    if (query.purchaserId != 0) {
        statement.exchange(soci::use(supplier, "sid2"));
        statement.exchange(soci::use(purchaser, "pid"));
        statement.exchange(soci::use(purchaser, "pid2"));
    }
    statement.exchange(soci::use(status, "st"));
    statement.exchange(soci::use(status, "st2"));
    statement.alloc();
    statement.prepare("SELECT COUNT(*) FROM goods g" + listWhere(query));
    statement.define_and_bind();
    db::fetchOne(statement);
    return rows;
}

std::vector<Goods> page(db::Tx &tx, const GoodsQuery &query, long long offset, long long limit)
{
    return fetch(tx, query, offset, limit);
}

std::optional<Goods> ownGoods(db::Tx &tx, std::int64_t supplierId, std::int64_t goodsId)
{
    return oneGoods(tx, 0, "g.supplier_id = :a AND g.id = :b", supplierId, goodsId);
}

std::optional<Goods> orderableGoods(db::Tx &tx, std::int64_t purchaserId, std::int64_t goodsId)
{
    return oneGoods(tx, 1,
                    "g.id = :b AND g.status = 1 AND EXISTS (SELECT 1 FROM cooperations co"
                    " WHERE co.supplier_id = g.supplier_id AND co.purchaser_id = :a AND co.state = 2"
                    " AND (co.grant_mode = 1 OR EXISTS (SELECT 1 FROM goods_grants gg"
                    " WHERE gg.purchaser_id = co.purchaser_id AND gg.goods_id = g.id)))",
                    purchaserId, goodsId);
}

std::int64_t insert(db::Tx &tx, const Goods &goods, const std::string &at)
{
    const long long supplier = goods.supplierId;
    const long long category = goods.categoryId;
    long long id = 0;
    tx.sql()
        << "INSERT INTO goods (supplier_id, name, code, spec, price_fen, weight_g, stock, unit, category_id,"
           " status, created_at, updated_at) VALUES (:s, :n, :c, :sp, :p, :w, :st, :u, :cat, :status, :at, "
           ":at2)"
           " RETURNING id",
        soci::use(supplier), soci::use(goods.name), soci::use(goods.code), soci::use(goods.spec),
        soci::use(goods.priceFen), soci::use(goods.weightG), soci::use(goods.stock), soci::use(goods.unit),
        soci::use(category), soci::use(goods.status), soci::use(at), soci::use(at), soci::into(id);
    return id;
}

bool update(db::Tx &tx, const Goods &goods, long long stockChange, const std::string &at)
{
    const long long id = goods.id;
    const long long category = goods.categoryId;
    soci::statement statement =
        (tx.sql().prepare
             << "UPDATE goods SET name = :n, code = :c, spec = :sp, price_fen = :p, weight_g = :w,"
                " stock = stock + :change, unit = :u, category_id = :cat, updated_at = :at"
                " WHERE id = :id AND stock + :change2 >= 0",
         soci::use(goods.name, "n"), soci::use(goods.code, "c"), soci::use(goods.spec, "sp"),
         soci::use(goods.priceFen, "p"), soci::use(goods.weightG, "w"), soci::use(stockChange, "change"),
         soci::use(goods.unit, "u"), soci::use(category, "cat"), soci::use(at, "at"), soci::use(id, "id"),
         soci::use(stockChange, "change2"));
    statement.execute(true);
    return statement.get_affected_rows() == 1;
}

void setStatus(db::Tx &tx, std::int64_t goodsId, int status, const std::string &at)
{
    const long long id = goodsId;
    tx.sql() << "UPDATE goods SET status = :s, updated_at = :at WHERE id = :id", soci::use(status),
        soci::use(at), soci::use(id);
}

bool codeTaken(db::Tx &tx, std::int64_t supplierId, const std::string &code, std::int64_t exceptGoodsId)
{
    if (code.empty())
        return false;
    const long long supplier = supplierId;
    const long long except = exceptGoodsId;
    // The check and the save that follows it are one step per supplier.
    if (tx.mode() == db::Tx::Mode::Write)
        db::serialize(tx, "goods-codes:" + std::to_string(supplier));
    int taken = 0;
    tx.sql() << "SELECT COUNT(*) FROM goods WHERE supplier_id = :s AND code = :c AND id <> :id",
        soci::use(supplier), soci::use(code), soci::use(except), soci::into(taken);
    return taken > 0;
}

bool takeStock(db::Tx &tx, std::int64_t goodsId, long long quantity)
{
    auto &update = tx.prepared<TakeStock>(0, [](soci::session &sql) { return new TakeStock(sql); });
    update.quantity = quantity;
    update.id = goodsId;
    update.statement.execute(true);
    return update.statement.get_affected_rows() == 1;
}

void returnStock(db::Tx &tx, std::int64_t goodsId, long long quantity)
{
    const long long id = goodsId;
    tx.sql() << "UPDATE goods SET stock = stock + :q WHERE id = :id", soci::use(quantity), soci::use(id);
}

std::string categoryListText(const std::vector<Category> &categories)
{
    std::string text;
    for (const Category &category : categories)
        text += std::to_string(category.id) + "," + category.name + "|";
    return text;
}

std::vector<Category> categories(db::Tx &tx, std::int64_t supplierId)
{
    const long long supplier = supplierId;
    std::vector<Category> rows;
    Category row;
    long long id = 0;
    soci::statement statement =
        (tx.sql().prepare << "SELECT id, name FROM categories WHERE supplier_id = :s ORDER BY name, id",
         soci::use(supplier), soci::into(id), soci::into(row.name));
    statement.execute();
    while (statement.fetch()) {
        row.id = id;
        rows.push_back(row);
    }
    return rows;
}

std::int64_t categoryNamed(db::Tx &tx, std::int64_t supplierId, const std::string &name)
{
    if (name.empty())
        return 0;
    const long long supplier = supplierId;
    soci::session &sql = tx.sql();
    sql << "INSERT INTO categories (supplier_id, name) VALUES (:s, :n) ON CONFLICT (supplier_id, name) DO "
           "NOTHING",
        soci::use(supplier), soci::use(name);
    long long id = 0;
    sql << "SELECT id FROM categories WHERE supplier_id = :s AND name = :n", soci::use(supplier),
        soci::use(name), soci::into(id);
    return id;
}

std::vector<Distributor> distributors(db::Tx &tx, std::int64_t supplierId)
{
    const long long supplier = supplierId;
    const int active = kCooperationActive;
    std::vector<Distributor> rows;
    Distributor row;
    long long id = 0;
    soci::statement statement =
        (tx.sql().prepare
             << "SELECT a.id, a.company, a.contact, c.grant_mode FROM cooperations c"
                " JOIN accounts a ON a.id = c.purchaser_id WHERE c.supplier_id = :s AND c.state = :st"
                " ORDER BY a.company, a.id",
         soci::use(supplier), soci::use(active), soci::into(id), soci::into(row.company),
         soci::into(row.contact), soci::into(row.grantMode));
    statement.execute();
    while (statement.fetch()) {
        row.id = id;
        rows.push_back(row);
    }
    return rows;
}

std::optional<int> grantMode(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId)
{
    const long long supplier = supplierId;
    const long long purchaser = purchaserId;
    const int active = kCooperationActive;
    int mode = 0;
    soci::session &sql = tx.sql();
    sql << "SELECT grant_mode FROM cooperations WHERE supplier_id = :s AND purchaser_id = :p AND state = :st",
        soci::use(supplier), soci::use(purchaser), soci::use(active), soci::into(mode);
    if (!sql.got_data())
        return std::nullopt;
    return mode;
}

void setGrantMode(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId, int mode)
{
    const long long supplier = supplierId;
    const long long purchaser = purchaserId;
    tx.sql() << "UPDATE cooperations SET grant_mode = :m WHERE supplier_id = :s AND purchaser_id = :p",
        soci::use(mode), soci::use(supplier), soci::use(purchaser);
}

void setGranted(db::Tx &tx, std::int64_t purchaserId, std::int64_t goodsId, bool granted)
{
    const long long purchaser = purchaserId;
    const long long goods = goodsId;
    if (granted) {
        tx.sql() << "INSERT INTO goods_grants (purchaser_id, goods_id) VALUES (:p, :g)"
                    " ON CONFLICT (purchaser_id, goods_id) DO NOTHING",
            soci::use(purchaser), soci::use(goods);
    } else {
        tx.sql() << "DELETE FROM goods_grants WHERE purchaser_id = :p AND goods_id = :g",
            soci::use(purchaser), soci::use(goods);
    }
}

std::vector<std::int64_t> grantedGoods(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId)
{
    const long long supplier = supplierId;
    const long long purchaser = purchaserId;
    std::vector<std::int64_t> ids;
    long long id = 0;
    soci::statement statement =
        (tx.sql().prepare << "SELECT gg.goods_id FROM goods_grants gg JOIN goods g ON g.id = gg.goods_id"
                             " WHERE gg.purchaser_id = :p AND g.supplier_id = :s",
         soci::use(purchaser), soci::use(supplier), soci::into(id));
    statement.execute();
    while (statement.fetch())
        ids.push_back(id);
    return ids;
}

} // namespace vantrell::server::goods
