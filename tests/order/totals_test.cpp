#include "order/zelvio_doc.h"
#include "order_test_support.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace zv {
namespace {

using test::MakeFile;

// 9x13 with tiers (1, 0.50), (50, 0.40); 10x15 with one tier (10, 0.60).
void FillPriceList(TPriceList& prices)
{
    _format small;
    small.name = "9x13";
    small.minPrices = {{1, 0, 0.50f}, {50, 0, 0.40f}};
    prices.Add(small);
    _format large;
    large.name = "10x15";
    large.minPrices = {{10, 0, 0.60f}};
    prices.Add(large);
}

struct Entry {
    int photo; // 0 = A, 1 = B
    int format;
    int quantity;
};

struct TotalsCase {
    const char* name;
    std::vector<Entry> entries;
    int prints;
    float price; // without the open price
};

class TotalsTest : public ::testing::TestWithParam<TotalsCase> {};

// The unit price follows the format's total over the whole order.
TEST_P(TotalsTest, PricesEachFormatByItsTotalOverTheOrder)
{
    QTemporaryDir dir;
    const QString paths[] = {MakeFile(dir, "a.jpg", 1000), MakeFile(dir, "b.jpg", 234)};
    TZelvioDoc doc;
    FillPriceList(doc.priceList());
    doc.sessionOpenPrice = 2.0;
    for (const Entry& e : GetParam().entries)
        ASSERT_TRUE(doc.SetQuantity(paths[e.photo], e.format, e.quantity));

    const _OrderTotals totals = doc.ComputeTotals(false);
    EXPECT_EQ(totals.prints, GetParam().prints);
    EXPECT_NEAR(totals.price, 2.0f + GetParam().price, 1e-4);
    EXPECT_EQ(totals.bytes, doc.photos().GetSize() == 2 ? 1234 : 1000);
}

INSTANTIATE_TEST_SUITE_P(
    Order, TotalsTest,
    ::testing::Values(
        TotalsCase{"EmptyOrderCostsTheOpenPrice", {{0, 0, 0}}, 0, 0.0f},
        TotalsCase{"OnePhotoBelowTheTier", {{0, 0, 30}}, 30, 15.0f},
        TotalsCase{"TwoPhotosReachTheTierTogether", {{0, 0, 30}, {1, 0, 30}}, 60, 24.0f},
        TotalsCase{"FormatsArePricedApart", {{0, 0, 30}, {0, 1, 2}, {1, 0, 20}}, 52, 20.0f + 1.2f},
        TotalsCase{"SingleTierBelowItsMinimum", {{0, 1, 1}}, 1, 0.6f},
        TotalsCase{"LoweredQuantityLeavesTheTier", {{0, 0, 30}, {1, 0, 30}, {1, 0, 10}}, 40, 20.0f},
        // A saved order may name a format the price list no longer has.
        TotalsCase{"FormatBeyondThePriceListIsNotPriced", {{0, 0, 1}, {0, 5, 3}}, 4, 0.5f}),
    [](const auto& info) { return std::string(info.param.name); });

class FakeViews final : public IDocViews {
public:
    bool HasOrderGrid() const override { return hasGrid; }
    void RemoveFromOrderGrid(const TThumbData* photo) override { removed.push_back(photo->Path); }
    void RefreshOrder() override { ++refreshed; }
    void ShowOrderContents() override { ++shown; }

    bool hasGrid = true;
    std::vector<QString> removed;
    int refreshed = 0;
    int shown = 0;
};

TEST(Totals, RemovalDropsPhotosWithoutPrintsOnlyWhenAskedAndWithAnOrderGrid)
{
    QTemporaryDir dir;
    const QString a = MakeFile(dir, "a.jpg", 1000);
    const QString b = MakeFile(dir, "b.jpg", 300);
    TZelvioDoc doc;
    FillPriceList(doc.priceList());
    doc.SetQuantity(a, 0, 0);
    doc.SetQuantity(b, 1, 2);
    FakeViews views;
    doc.SetViews(&views);

    EXPECT_EQ(doc.ComputeTotals(false).bytes, 1300);
    EXPECT_EQ(doc.photos().GetSize(), 2);

    views.hasGrid = false;
    doc.ComputeTotals(true);
    EXPECT_EQ(doc.photos().GetSize(), 2);

    views.hasGrid = true;
    const _OrderTotals totals = doc.ComputeTotals(true);
    EXPECT_EQ(doc.photos().GetSize(), 1);
    EXPECT_EQ(doc.photos().GetAt(0)->Path, b);
    EXPECT_EQ(views.removed, std::vector<QString>{a});
    EXPECT_EQ(totals.bytes, 300);
    EXPECT_EQ(totals.prints, 2);
}

TEST(Totals, SetQuantityRefusesAMissingFileAndRecountsTheFormat)
{
    QTemporaryDir dir;
    const QString a = MakeFile(dir, "a.jpg");
    TZelvioDoc doc;
    EXPECT_FALSE(doc.SetQuantity(dir.path() + "/none.jpg", 0, 1));
    EXPECT_EQ(doc.photos().GetSize(), 0);

    EXPECT_TRUE(doc.SetQuantity(a, 2, 4));
    EXPECT_TRUE(doc.SetQuantity(a, 2, 6));
    EXPECT_EQ(doc.photos().GetSize(), 1);
    EXPECT_EQ(doc.photos().GetFormatTotal(2), 6);
}

TEST(Points, TextShowsPointsAndTheirValue)
{
    const struct {
        int points;
        const char* currency;
        const char* text;
    } cases[] = {
        {120, "PLN", "120pkt = 12.00PLN"},
        {0, "PLN", "0pkt = 0.00PLN"},
        {5, "EUR", "5pkt = 0.50EUR"},
        {1999, "", "1999pkt = 199.90"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TZelvioDoc::PointsText(c.points, c.currency), QString::fromUtf8(c.text)) << c.points;
}

} // namespace
} // namespace zv
