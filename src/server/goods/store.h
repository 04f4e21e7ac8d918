#pragma once

// Goods of a supplier, its categories, and which partner may order what.

#include "server/db/database.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantrell::server::goods {

inline constexpr int kOnSale = 1;
inline constexpr int kOffShelf = 2;

inline constexpr int kGrantAll = 1;
inline constexpr int kGrantListed = 2;

struct Goods
{
    std::int64_t id = 0;
    std::int64_t supplierId = 0;
    std::string name;
    std::string code;
    std::string spec;
    long long priceFen = 0;
    long long weightG = 0;
    long long stock = 0;
    std::string unit;
    std::int64_t categoryId = 0;
    std::string category; // its name, empty without one
    int status = kOnSale;
    std::string supplierCompany;
};

struct Category
{
    std::int64_t id = 0;
    std::string name;
};

// Which goods a list shows. A purchaser sees the goods of its active partners that it is
// authorised for; `supplierId` 0 means every such partner.
struct GoodsQuery
{
    std::int64_t supplierId = 0;
    std::int64_t purchaserId = 0; // 0: the supplier's own list
    int status = kOnSale;         // 0: every status
};

// Newest first.
std::vector<Goods> list(db::Tx &tx, const GoodsQuery &query);
long long count(db::Tx &tx, const GoodsQuery &query);
std::vector<Goods> page(db::Tx &tx, const GoodsQuery &query, long long offset, long long limit);

// The supplier's own goods item; nullopt for another supplier's or an unknown ID.
std::optional<Goods> ownGoods(db::Tx &tx, std::int64_t supplierId, std::int64_t goodsId);
// The goods item when the purchaser may see and order it: an active cooperation, the
// goods on sale and granted (all goods, or this one).
std::optional<Goods> orderableGoods(db::Tx &tx, std::int64_t purchaserId, std::int64_t goodsId);

// The new goods item's ID.
std::int64_t insert(db::Tx &tx, const Goods &goods, const std::string &at);
// Writes every field but the stock, which changes by `stockChange`; false when that would
// take it below 0.
bool update(db::Tx &tx, const Goods &goods, long long stockChange, const std::string &at);
void setStatus(db::Tx &tx, std::int64_t goodsId, int status, const std::string &at);
// True when another goods item of the supplier has this (non-empty) code.
bool codeTaken(db::Tx &tx, std::int64_t supplierId, const std::string &code, std::int64_t exceptGoodsId);

std::vector<Category> categories(db::Tx &tx, std::int64_t supplierId);
// The category of that name, created on first use; 0 for the empty name.
std::int64_t categoryNamed(db::Tx &tx, std::int64_t supplierId, const std::string &name);

// An active partner of the supplier with its grant mode.
struct Distributor
{
    std::int64_t id = 0;
    std::string company;
    std::string contact;
    int grantMode = kGrantAll;
};
std::vector<Distributor> distributors(db::Tx &tx, std::int64_t supplierId);

// Takes `quantity` pieces from the stock when that many are there; false otherwise.
bool takeStock(db::Tx &tx, std::int64_t goodsId, long long quantity);
void returnStock(db::Tx &tx, std::int64_t goodsId, long long quantity);

// "ID,name|" for each category: the category list value of the replies.
std::string categoryListText(const std::vector<Category> &categories);

// The grant mode of an active cooperation; nullopt when the pair does not cooperate.
std::optional<int> grantMode(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId);
void setGrantMode(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId, int mode);
void setGranted(db::Tx &tx, std::int64_t purchaserId, std::int64_t goodsId, bool granted);
// The supplier's goods granted one by one to the purchaser.
std::vector<std::int64_t> grantedGoods(db::Tx &tx, std::int64_t supplierId, std::int64_t purchaserId);

} // namespace vantrell::server::goods
