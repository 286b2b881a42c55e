#pragma once

#include <QString>

#include <vector>

namespace zv {

// One print format of the laboratory's offer with its price tiers.
struct _format {
    struct _minPrice {
        int minQuant = 0; // total quantity of the format from which the price applies
        int maxQuant = 0; // largest total that may be ordered; below 1: no limit
        float price = 0;  // unit price
    };

    int id = 0;
    QString formatId;
    QString name;
    int width = 0;  // mm
    int height = 0; // mm
    bool isDefault = false;
    std::vector<_minPrice> minPrices; // as the server sent them

    // Unit price for the format's total quantity q over the whole order.
    float GetUnitPrice(int q) const;
    // The first tier's minQuant; 0 without tiers.
    int GetMinQuantity() const;
    // The largest maxQuant over the tiers (the first one always replaces the
    // start value); -1 without tiers.
    int GetMaxQuantity() const;
};

// The price list: formats addressed by their index, plus the list's id.
class TPriceList {
public:
    QString id;

    int GetSize() const { return int(m_formats.size()); }
    bool IsValidIndex(int index) const { return index >= 0 && index < GetSize(); }
    // The format at index; throws std::out_of_range outside 0..size-1.
    const _format& GetAt(int index) const;
    _format& GetAt(int index);
    // Copies format in; returns its index.
    int Add(const _format& format);
    // Empties the formats; id stays.
    void RemoveAll() { m_formats.clear(); }

private:
    std::vector<_format> m_formats;
};

} // namespace zv
