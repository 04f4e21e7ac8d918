#pragma once

// The freight of an order from a supplier's template, in integers only: conditions in
// thousandths of their unit (grams when charging by weight), fees in fen.

#include <array>
#include <optional>
#include <string_view>

namespace vantrell::server::freight {

inline constexpr int kManual = 0;
inline constexpr int kSystem = 1;
inline constexpr int kByWeight = 0;
inline constexpr int kByPiece = 1;
inline constexpr int kRegionCount = 34;

struct Row
{
    long long firstQuantity = 0; // thousandths
    long long firstFen = 0;
    long long stepQuantity = 0; // thousandths
    long long stepFen = 0;
    bool empty() const { return firstQuantity == 0 && firstFen == 0 && stepQuantity == 0 && stepFen == 0; }
};

struct Template
{
    int freightMode = kManual;
    int chargeMode = kByWeight;
    std::array<Row, kRegionCount + 1> rows{}; // 0 the default, 1-34 the regions
};

// The region names in the order the client numbers them (index 1 is the first).
const std::array<std::string_view, kRegionCount> &regionNames();

// The 1-based index of the first region of the list whose name occurs anywhere in the
// UTF-8 address; 0 when none does.
int regionOf(std::string_view address);

// Manual freight is 0 (the supplier types it when shipping). Otherwise the region's row
// when it holds any value, else the default row; q = the weight (grams) or the pieces;
// q <= 0 -> 0; q within the first quantity or no step -> the first fee; else the first fee
// plus the steps begun beyond the first quantity, rounded up, times the step fee.
// nullopt when the amount would not fit.
std::optional<long long> freightFen(const Template &freightTemplate, int region, long long weightG,
                                    long long pieces);

} // namespace vantrell::server::freight
