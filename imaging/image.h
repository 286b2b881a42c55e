#pragma once

#include "imaging/module/zvimaging.h"

#include <QRect>
#include <QString>

#include <memory>

class QPainter;

namespace zv {

// Owner of one module bitmap: holds the handle and the status of its last
// call, frees the handle once. Without the module every call fails with
// status 1 and the picture is empty (0 x 0).
class TImage final {
public:
    explicit TImage(ZvBitmap *handle = nullptr, ZvStatus status = ZV_OK);
    ~TImage();
    TImage(const TImage &) = delete;
    TImage &operator=(const TImage &) = delete;

    // Reads a picture file (size and metadata now, pixels on first need);
    // no picture when the file cannot be read or decoded.
    static std::unique_ptr<TImage> FromFile(const QString &path);
    // A new black 32-bit RGB bitmap, or no picture.
    static std::unique_ptr<TImage> Create(int width, int height);

    bool IsNull() const { return m_handle == nullptr; }
    ZvBitmap *Handle() const { return m_handle; }
    ZvStatus LastStatus() const { return m_status; }

    int Width() const;
    int Height() const;

    // Copy of the whole picture with its metadata, or no picture.
    std::unique_ptr<TImage> Clone() const;
    // The module's quick reduced picture for a box, or no picture.
    std::unique_ptr<TImage> Thumbnail(int width, int height) const;
    // Before the first pixel access of a picture only drawn reduced to
    // width x height: lets a JPEG decode DCT-scaled by 1/2, 1/4 or 1/8 (a
    // factor dividing its size), at least that large.
    // Width and Height then give the reduced size; other pictures stay.
    ZvStatus ReduceDecode(int width, int height);
    // Quarter turns clockwise: 1, 2, 3.
    ZvStatus RotateFlip(int step);
    // Draws all of source scaled into the rectangle of this bitmap.
    ZvStatus DrawImageRect(const TImage &source, int x, int y, int width, int height, int interpolationMode);
    // Draws onto a painter (window, another picture); false without pixels.
    bool Draw(QPainter &painter, const QRect &target, int interpolationMode) const;
    ZvStatus Save(const QString &path, const ZvGuid &encoder, int quality);

    ZvStatus ApplyRedEye(const ZvRect &area);
    ZvStatus ApplyColorBalance(int cyanRed, int magentaGreen, int yellowBlue);
    ZvStatus ApplyBrightnessContrast(int brightness, int contrast);

private:
    ZvBitmap *m_handle;
    mutable ZvStatus m_status;
};

} // namespace zv
