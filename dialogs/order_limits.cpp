#include "dialogs/order_limits.h"

#include "app/message_box.h"
#include "app/string_table.h"
#include "dialogs/message_format.h"
#include "net/lenient_number.h"
#include "order/price_list.h"
#include "photos/thumbs_array.h"

namespace zv {

namespace {

constexpr int kBelowMinimum = 32843;
constexpr int kAboveMaximum = 32867;
constexpr int kBelowMinimalPrice = 32842;

_OrderLimitFailure Failure(int id, const QStringList& args, int format)
{
    return {id, FillPlaceholders(LoadString(id), args), format};
}

} // namespace

std::optional<_OrderLimitFailure> FindOrderLimitFailure(TThumbsArray& photos, const TPriceList& prices,
                                                        OrderLimitsRules rules, const _OrderLimitsContext& context)
{
    for (int index = 0; index < prices.GetSize(); ++index) {
        photos.CountFormat(index);
        const int total = photos.GetFormatTotal(index);
        if (total <= 0)
            continue;
        const _format& format = prices.GetAt(index);
        const int minimum = format.GetMinQuantity();
        if (total < minimum)
            return Failure(kBelowMinimum, {format.name, QString::number(minimum)}, index);
        if (rules == OrderLimitsRules::All) {
            const int maximum = format.GetMaxQuantity();
            if (maximum >= 1 && total > maximum)
                return Failure(kAboveMaximum, {format.name, QString::number(maximum)}, index);
        }
    }
    const QString minimalText = context.minimalOrderPrice ? context.minimalOrderPrice() : QString();
    const int minimalPrice = LenientInt(minimalText.toUtf8());
    if (minimalPrice <= 0)
        return std::nullopt;
    const double amount = context.orderAmount ? context.orderAmount() : 0.0;
    if (double(minimalPrice) > amount) {
        const QString currency = context.currencyName ? context.currencyName() : QString();
        return Failure(kBelowMinimalPrice, {QString::number(minimalPrice), currency}, -1);
    }
    return std::nullopt;
}

bool CheckOrderLimits(TThumbsArray& photos, const TPriceList& prices, OrderLimitsRules rules,
                      const _OrderLimitsContext& context)
{
    const auto failure = FindOrderLimitFailure(photos, prices, rules, context);
    if (!failure)
        return true;
    ShowMessage(failure->message, MsgIcon::Warning);
    return false;
}

} // namespace zv
