// The price tiers and quantity limits of a format.

#include "order/price_list.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace zv {
namespace {

_format Format(std::vector<_format::_minPrice> tiers)
{
    _format f;
    f.name = "9x13";
    f.minPrices = std::move(tiers);
    return f;
}

struct TierCase {
    const char* name;
    std::vector<_format::_minPrice> tiers;
    int quantity;
    float price;
};

class UnitPrice : public testing::TestWithParam<TierCase> {};

TEST_P(UnitPrice, FollowsTheTierRule)
{
    EXPECT_FLOAT_EQ(Format(GetParam().tiers).GetUnitPrice(GetParam().quantity), GetParam().price);
}

const std::vector<_format::_minPrice> kThree = {{1, 0, 0.50f}, {50, 0, 0.40f}, {100, 0, 0.35f}};
const std::vector<_format::_minPrice> kUnsorted = {{100, 0, 0.35f}, {1, 0, 0.50f}, {50, 0, 0.40f}};

INSTANTIATE_TEST_SUITE_P(
    Tiers, UnitPrice,
    testing::Values(TierCase{"Total1", kThree, 1, 0.50f}, TierCase{"Total49", kThree, 49, 0.50f},
                    TierCase{"Total50", kThree, 50, 0.40f}, TierCase{"Total99", kThree, 99, 0.40f},
                    TierCase{"Total100", kThree, 100, 0.35f}, TierCase{"Total5000", kThree, 5000, 0.35f},
                    TierCase{"TotalZeroTakesFirstTier", kThree, 0, 0.50f},
                    TierCase{"NegativeTotal", kThree, -3, 0.50f},
                    TierCase{"SingleTierAlways", {{10, 0, 0.60f}}, 1, 0.60f},
                    TierCase{"NoTiersCostNothing", {}, 10, 0.0f},
                    TierCase{"UnsortedSearchedAsStored", kUnsorted, 60, 0.40f},
                    TierCase{"UnsortedBracketOfLaterTiers", kUnsorted, 10, 0.50f}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PriceFormat, QuantityLimits)
{
    EXPECT_EQ(Format({{10, 0, 0.6f}}).GetMinQuantity(), 10);
    EXPECT_EQ(Format({}).GetMinQuantity(), 0);
    EXPECT_EQ(Format({}).GetMaxQuantity(), -1);
    EXPECT_EQ(Format({{1, 0, 1}, {5, 200, 1}, {9, 150, 1}}).GetMaxQuantity(), 200);
    EXPECT_EQ(Format({{1, -4, 1}}).GetMaxQuantity(), -4); // the first tier always replaces -1
}

TEST(PriceList, IndexIsCheckedAndCopiesAreIndependent)
{
    TPriceList list;
    list.id = "A";
    _format f = Format(kThree);
    EXPECT_EQ(list.Add(f), 0);
    f.minPrices.clear();
    EXPECT_EQ(list.Add(f), 1);
    EXPECT_EQ(list.GetAt(0).minPrices.size(), 3u);
    EXPECT_THROW(list.GetAt(2), std::out_of_range);
    EXPECT_THROW(list.GetAt(-1), std::out_of_range);
    list.RemoveAll();
    EXPECT_EQ(list.GetSize(), 0);
    EXPECT_EQ(list.id, "A");
}

} // namespace
} // namespace zv
