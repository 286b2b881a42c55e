#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace zv {

class TPriceList;
class TThumbsArray;

// What the check asks for only when it gets that far: the server's
// MINIMAL_ORDER_PRICE text, the order amount (the document's totals, the
// opening price included) and the currency name for the message.
struct _OrderLimitsContext {
    std::function<QString()> minimalOrderPrice;
    std::function<double()> orderAmount;
    std::function<QString()> currencyName;
};

enum class OrderLimitsRules {
    All,            // before the wizard opens
    WithoutMaximum, // the summary page's Next
};

struct _OrderLimitFailure {
    int messageId = 0;
    QString message;      // the filled string-table text
    int formatIndex = -1; // the format at fault; -1 for the minimum amount
};

// The first failing rule, formats in price-list order: a format's total
// (recounted first) below its minimum, then, for All, above its maximum;
// at last the order amount below a positive MINIMAL_ORDER_PRICE. Nothing
// when the order passes.
std::optional<_OrderLimitFailure> FindOrderLimitFailure(TThumbsArray& photos, const TPriceList& prices,
                                                        OrderLimitsRules rules, const _OrderLimitsContext& context);

// Runs the check and shows a failure with an exclamation icon. True when
// the order passes.
bool CheckOrderLimits(TThumbsArray& photos, const TPriceList& prices, OrderLimitsRules rules,
                      const _OrderLimitsContext& context);

} // namespace zv
