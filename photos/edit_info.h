#pragma once

#include <QList>
#include <QString>

#include <cstdint>

namespace zv {

// A rectangle in pixels: left, top, right, bottom.
struct TRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool IsEmpty() const { return right <= left || bottom <= top; }
    friend bool operator==(const TRect &, const TRect &) = default;
};

// One order entry of a photo for one price-list format.
struct _FormatInfo {
    int32_t Quantity = 0;
    QString Gradation;
    QString ColorMode;
    QString Cropping;
    TRect CropRect;
    bool HasCropRect = false;
    friend bool operator==(const _FormatInfo &, const _FormatInfo &) = default;
};

// Edits and order entries of a photo, shared by the items that show it
// (grid item and preview copy); RefCount counts them.
struct _EditInfo {
    int32_t RefCount = 1;
    bool Modified = false;
    double Contrast = 1.0;
    double Brightness = 0.0;
    QList<_FormatInfo> Formats;
    QList<_FormatInfo> SavedFormats;
    int32_t CyanRed = 0;
    int32_t MagentaGreen = 0;
    int32_t YellowBlue = 0;
    QList<TRect> RedEyeRects;
};

} // namespace zv
