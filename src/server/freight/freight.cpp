#include "server/freight/freight.h"

namespace vantrell::server::freight {

namespace {

// Wide enough for 50 lines of the largest weights and quantities times the largest fee.
__extension__ typedef __int128 Wide;

// Beyond a hundred million yuan an amount is a typing slip, not freight.
constexpr Wide kMaxFreightFen = 10'000'000'000;

} // namespace

const std::array<std::string_view, kRegionCount> &regionNames()
{
    static constexpr std::array<std::string_view, kRegionCount> names = {
        "上海",   "江苏省", "浙江省",   "安徽省", "江西省", "北京",   "天津", "山西省", "山东省",
        "河北省", "内蒙古", "湖南省",   "湖北省", "河南省", "广东省", "广西", "福建省", "海南省",
        "辽宁省", "吉林省", "黑龙江省", "陕西省", "新疆",   "甘肃省", "宁夏", "青海省", "重庆",
        "云南省", "贵州省", "西藏",     "四川省", "香港",   "澳门",   "台湾"};
    return names;
}

int regionOf(std::string_view address)
{
    const auto &names = regionNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (address.find(names[i]) != std::string_view::npos)
            return static_cast<int>(i) + 1;
    }
    return 0;
}

std::optional<long long> freightFen(const Template &freightTemplate, int region, long long weightG,
                                    long long pieces)
{
    if (freightTemplate.freightMode != kSystem)
        return 0;
    const bool regionKnown = region >= 1 && region <= kRegionCount;
    const Row &row = regionKnown && !freightTemplate.rows[static_cast<std::size_t>(region)].empty()
                         ? freightTemplate.rows[static_cast<std::size_t>(region)]
                         : freightTemplate.rows[0];
    const Wide quantity = freightTemplate.chargeMode == kByPiece ? static_cast<Wide>(pieces) * 1000 : weightG;
    if (quantity <= 0)
        return 0;
    if (quantity <= row.firstQuantity || row.stepQuantity == 0)
        return row.firstFen;
    const Wide beyond = quantity - row.firstQuantity;
    const Wide steps = (beyond + row.stepQuantity - 1) / row.stepQuantity;
    const Wide total = row.firstFen + steps * row.stepFen;
    if (total > kMaxFreightFen)
        return std::nullopt;
    return static_cast<long long>(total);
}

} // namespace vantrell::server::freight
