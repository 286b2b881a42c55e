// The order limits check run before the wizard and by the summary page.

#include "dialogs/order_limits.h"

#include "order/price_list.h"
#include "photos/thumbs_array.h"
#include "tests/support/recording_message_box.h"

#include <gtest/gtest.h>

#include <vector>

namespace zv {
namespace {

_format Format(const char* name, std::vector<_format::_minPrice> tiers)
{
    _format f;
    f.name = QString::fromUtf8(name);
    f.minPrices = std::move(tiers);
    return f;
}

struct LimitsCase {
    const char* name;
    std::vector<int> totals; // per format of the price list below
    OrderLimitsRules rules;
    const char* minimalPrice;
    double amount;
    int messageId; // 0: passes
    const char* message; // empty: only the id is checked
};

// 9x13: at least 10, at most 200 (tiers 0, 200, 150); 10x15: at least 5, no
// maximum; 13x18: no tiers.
class OrderLimits : public testing::TestWithParam<LimitsCase> {
protected:
    void SetUp() override
    {
        m_prices.Add(Format("9x13", {{10, 0, 0.5f}, {50, 200, 0.4f}, {100, 150, 0.35f}}));
        m_prices.Add(Format("10x15", {{5, 0, 0.6f}}));
        m_prices.Add(Format("13x18", {}));
        const auto& totals = GetParam().totals;
        // Each format's total spread over two photos, so the check must add them up.
        for (int photo = 0; photo < 2; ++photo) {
            auto* item = new TThumbData(QStringLiteral("/nowhere/%1.jpg").arg(photo));
            for (size_t f = 0; f < totals.size(); ++f)
                item->SetQuantity(int(f), photo == 0 ? totals[f] / 2 : totals[f] - totals[f] / 2);
            ASSERT_GE(m_photos.Add(item), 0);
        }
    }
    TPriceList m_prices;
    TThumbsArray m_photos;
};

TEST_P(OrderLimits, FirstFailingRuleGivesItsMessage)
{
    const LimitsCase& c = GetParam();
    _OrderLimitsContext context{[&] { return QString::fromUtf8(c.minimalPrice); }, [&] { return c.amount; },
                                [] { return QStringLiteral("PLN"); }};
    const auto failure = FindOrderLimitFailure(m_photos, m_prices, c.rules, context);
    if (c.messageId == 0) {
        EXPECT_FALSE(failure) << failure->message.toStdString();
        return;
    }
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->messageId, c.messageId);
    if (*c.message) {
        EXPECT_EQ(failure->message, QString::fromUtf8(c.message));
    }
}

constexpr auto All = OrderLimitsRules::All;
constexpr auto NoMax = OrderLimitsRules::WithoutMaximum;

INSTANTIATE_TEST_SUITE_P(
    Rules, OrderLimits,
    testing::Values(
        LimitsCase{"WithinLimits", {10, 5, 1}, All, "", 0, 0, ""},
        LimitsCase{"BelowMinimum", {9, 0, 0}, All, "", 0, 32843,
                   "Minimalna ilość zdjęć w formacie 9x13 wynosi 10. Musisz dodać więcej zdjęć."},
        LimitsCase{"UnorderedFormatIsNotChecked", {0, 5, 0}, All, "", 0, 0, ""},
        LimitsCase{"FormatsInPriceListOrder", {10, 4, 0}, All, "", 0, 32843,
                   "Minimalna ilość zdjęć w formacie 10x15 wynosi 5. Musisz dodać więcej zdjęć."},
        LimitsCase{"AboveTheLargestMaximum", {201, 0, 0}, All, "", 0, 32867,
                   "Maksymalna ilość zdjęć w formacie 9x13 wynosi 200. Musisz usunąć niektóre zdjęcia lub "
                   "zmniejszyć ilość odbitek."},
        LimitsCase{"MaximumItselfIsAllowed", {200, 0, 0}, All, "", 0, 0, ""},
        LimitsCase{"MaximumOfAFormatBeforeMinimumOfTheNext", {201, 1, 0}, All, "", 0, 32867, ""},
        LimitsCase{"SummaryPageSkipsTheMaximum", {201, 1, 0}, NoMax, "", 0, 32843,
                   "Minimalna ilość zdjęć w formacie 10x15 wynosi 5. Musisz dodać więcej zdjęć."},
        LimitsCase{"NoTiersNoLimits", {0, 0, 5000}, All, "", 0, 0, ""},
        LimitsCase{"BelowMinimalPrice", {10, 0, 0}, All, "50", 49.99, 32842,
                   "Minimalna kwota zamówienia wynosi 50 PLN. Musisz zamówić więcej odbitek."},
        LimitsCase{"MinimalPriceReached", {10, 0, 0}, All, "50", 50, 0, ""},
        LimitsCase{"MinimalPriceOnSummaryPageToo", {10, 0, 0}, NoMax, "50abc", 12, 32842,
                   "Minimalna kwota zamówienia wynosi 50 PLN. Musisz zamówić więcej odbitek."},
        LimitsCase{"MinimalPriceZero", {10, 0, 0}, All, "0", 1, 0, ""},
        LimitsCase{"MinimalPriceNegative", {10, 0, 0}, All, "-5", 1, 0, ""},
        LimitsCase{"MinimalPriceNotANumber", {10, 0, 0}, All, "abc", 1, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OrderLimitsCheck, FormatFailureAsksNothingMoreAndShowsAWarning)
{
    TPriceList prices;
    prices.Add(Format("9x13", {{10, 0, 0.5f}}));
    TThumbsArray photos;
    auto* item = new TThumbData(QStringLiteral("/nowhere/a.jpg"));
    item->SetQuantity(0, 3);
    photos.Add(item);

    int asked = 0;
    _OrderLimitsContext context{[&] { ++asked; return QStringLiteral("50"); }, [&] { ++asked; return 0.0; },
                                [&] { ++asked; return QStringLiteral("PLN"); }};
    test::RecordingMessageBox box;
    EXPECT_FALSE(CheckOrderLimits(photos, prices, OrderLimitsRules::All, context));
    EXPECT_EQ(asked, 0); // no configuration request when a format already fails
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].icon, MsgIcon::Warning);
    EXPECT_EQ(box.shown[0].buttons, MsgButtons::Ok);

    item->SetQuantity(0, 10);
    EXPECT_FALSE(CheckOrderLimits(photos, prices, OrderLimitsRules::All, context));
    EXPECT_EQ(photos.GetFormatTotal(0), 10); // recounted by the check
    EXPECT_EQ(box.shown.back().text, "Minimalna kwota zamówienia wynosi 50 PLN. Musisz zamówić więcej odbitek.");
}

} // namespace
} // namespace zv
