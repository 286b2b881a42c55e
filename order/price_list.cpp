#include "order/price_list.h"

#include <stdexcept>

namespace zv {

float _format::GetUnitPrice(int q) const
{
    const auto& t = minPrices;
    const size_t n = t.size();
    if (n == 0)
        return 0;
    if (n == 1)
        return t[0].price;
    if (q >= t[n - 1].minQuant)
        return t[n - 1].price;
    for (size_t i = 1; i < n; ++i)
        if (t[i - 1].minQuant <= q && q < t[i].minQuant)
            return t[i - 1].price;
    return t[0].price;
}

int _format::GetMinQuantity() const
{
    return minPrices.empty() ? 0 : minPrices.front().minQuant;
}

int _format::GetMaxQuantity() const
{
    int result = -1;
    for (const _minPrice& tier : minPrices)
        if (result == -1 || tier.maxQuant > result)
            result = tier.maxQuant;
    return result;
}

const _format& TPriceList::GetAt(int index) const
{
    if (!IsValidIndex(index))
        throw std::out_of_range("format index outside the price list");
    return m_formats[size_t(index)];
}

_format& TPriceList::GetAt(int index)
{
    if (!IsValidIndex(index))
        throw std::out_of_range("format index outside the price list");
    return m_formats[size_t(index)];
}

int TPriceList::Add(const _format& format)
{
    m_formats.push_back(format);
    return GetSize() - 1;
}

} // namespace zv
