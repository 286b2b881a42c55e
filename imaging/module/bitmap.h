#pragma once

#include "imaging/module/zvimaging.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <exiv2/exiv2.hpp>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace zvm {

enum class SourceKind { None, Jpeg, Other };

// Metadata carried by a bitmap: EXIF as exiv2 holds it, IPTC, XMP text.
struct Metadata {
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
    std::string xmp;
};

} // namespace zvm

// The opaque handle of the C interface.
struct ZvBitmap {
    // Source file of a lazily decoded bitmap; empty for bitmaps made in memory.
    QString path;
    zvm::SourceKind kind = zvm::SourceKind::None;
    // A JPEG decoded reduced (DCT scaling 1 / scaleDenom); width and height
    // are then the reduced size.
    int scaleDenom = 1;
    int width = 0;
    int height = 0;
    zvm::Metadata meta;
    // Property ids of meta.exif in its order, rebuilt after a change.
    std::vector<uint32_t> exifIds;
    bool exifIdsValid = false;
    std::mutex metaGuard;

    // Pixels, Format_RGB32; valid once decoded is set. Guarded by decodeGuard
    // while being filled, so several readers may ask at once.
    QImage pixels;
    std::atomic<bool> decoded{false};
    std::mutex decodeGuard;

    // Point effects waiting to be applied in one pass (balance, then
    // brightness-contrast): one table per channel, R, G, B.
    uint8_t lut[3][256];
    std::atomic<bool> lutPending{false};
};

namespace zvm {

// Decodes the pixels on first need and applies pending point effects;
// false when the file cannot be decoded.
bool EnsureDecoded(ZvBitmap *bitmap, bool flush = true);
// Queues a point effect behind the pending ones.
void QueueLut(ZvBitmap *bitmap, const uint8_t r[256], const uint8_t g[256], const uint8_t b[256]);

// Opens a picture file: size and metadata only.
ZvStatus OpenFile(const QString &path, ZvBitmap *bitmap);

// Lets an undecoded JPEG decode DCT-scaled, still covering width x height.
void ReduceDecode(ZvBitmap *bitmap, int width, int height);

// Reduced picture for the box, see zvGetImageThumbnail.
ZvStatus MakeThumbnail(ZvBitmap *bitmap, int boxWidth, int boxHeight, QImage *out);

// Size of w x h fitted into the box (aspect kept, truncated, at least 1).
void FitInto(int w, int h, int boxW, int boxH, int *outW, int *outH);

// Pixel work (pixel_ops.cpp).
QImage Resample(const QImage &src, int dw, int dh, int mode);
void ApplyRedEye(QImage &img, const ZvRect &area);
void ApplyLut(QImage &img, const uint8_t lutR[256], const uint8_t lutG[256], const uint8_t lutB[256]);
void ColorBalanceLut(int cyanRed, int magentaGreen, int yellowBlue, uint8_t r[256], uint8_t g[256], uint8_t b[256]);
void BrightnessContrastLut(int brightness, int contrast, uint8_t lut[256]);

// Codecs and metadata (codec.cpp).
bool DecodeJpeg(const uchar *data, qsizetype size, int scaleNum, int scaleDenom, QImage *out, bool fast = false);
bool JpegHeader(const uchar *data, qsizetype size, int *w, int *h, int *colorspace);
void ReadMetadata(const QString &path, ZvBitmap *bitmap);
ZvStatus SaveToFile(ZvBitmap *bitmap, const QString &path, int encoderIndex, int quality);

} // namespace zvm
