#include "imaging/module/bitmap.h"

#include <QFile>
#include <QImageReader>

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>

namespace zvm {

namespace {

bool IsJpegFile(QFile &file)
{
    char magic[3] = {};
    if (file.peek(magic, 3) != 3)
        return false;
    return uchar(magic[0]) == 0xFF && uchar(magic[1]) == 0xD8 && uchar(magic[2]) == 0xFF;
}

// Qt's reader serves TIFF, BMP, CMYK JPEG and the rest.
bool DecodeWithQt(const QString &path, QSize scaled, QImage *out)
{
    QImageReader reader(path);
    reader.setAutoTransform(false);
    if (scaled.isValid())
        reader.setScaledSize(scaled);
    QImage img;
    if (!reader.read(&img) || img.isNull())
        return false;
    if (img.format() != QImage::Format_RGB32)
        img.convertTo(QImage::Format_RGB32);
    *out = std::move(img);
    return !out->isNull();
}

bool DecodeFile(ZvBitmap *bitmap, QImage *out)
{
    if (bitmap->kind == SourceKind::Jpeg) {
        QFile file(bitmap->path);
        if (file.open(QIODevice::ReadOnly)) {
            const qint64 size = file.size();
            if (uchar *data = file.map(0, size)) {
                const bool ok = DecodeJpeg(data, size, 1, bitmap->scaleDenom, out);
                file.unmap(data);
                if (ok)
                    return true;
            }
        }
    }
    return DecodeWithQt(bitmap->path, QSize(), out);
}

QImage AreaReduce(const QImage &src, int w, int h)
{
    return src.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
}

} // namespace

void FitInto(int w, int h, int boxW, int boxH, int *outW, int *outH)
{
    if (w <= 0 || h <= 0 || boxW <= 0 || boxH <= 0) {
        *outW = *outH = 0;
        return;
    }
    const float scale = std::min(float(boxW) / float(w), float(boxH) / float(h));
    *outW = std::max(1, int(float(w) * scale));
    *outH = std::max(1, int(float(h) * scale));
}

ZvStatus OpenFile(const QString &path, ZvBitmap *bitmap)
{
    QFile file(path);
    if (!file.exists())
        return ZV_FILE_NOT_FOUND;
    if (!file.open(QIODevice::ReadOnly))
        return ZV_FILE_NOT_FOUND;
    bitmap->path = path;
    if (IsJpegFile(file)) {
        // The frame header sits after the metadata segments; 256 KiB covers
        // all but pathological files, the rest falls back to a full map.
        QByteArray head = file.read(256 * 1024);
        int w = 0, h = 0, cs = 0;
        bool ok = JpegHeader(reinterpret_cast<const uchar *>(head.constData()), head.size(), &w, &h, &cs);
        if (!ok && file.size() > head.size()) {
            const qint64 size = file.size();
            if (uchar *data = file.map(0, size)) {
                ok = JpegHeader(data, size, &w, &h, &cs);
                file.unmap(data);
            }
        }
        if (!ok)
            return ZV_UNKNOWN_IMAGE_FORMAT;
        // CMYK and YCCK go through Qt's reader, which undoes the inversion.
        bitmap->kind = (cs == TJCS_CMYK || cs == TJCS_YCCK) ? SourceKind::Other : SourceKind::Jpeg;
        bitmap->width = w;
        bitmap->height = h;
    } else {
        file.close();
        QImageReader reader(path);
        reader.setAutoTransform(false);
        const QSize size = reader.size();
        if (!reader.canRead() || !size.isValid() || size.isEmpty())
            return ZV_UNKNOWN_IMAGE_FORMAT;
        bitmap->kind = SourceKind::Other;
        bitmap->width = size.width();
        bitmap->height = size.height();
    }
    ReadMetadata(path, bitmap);
    return ZV_OK;
}

void ReduceDecode(ZvBitmap *bitmap, int width, int height)
{
    std::lock_guard lock(bitmap->decodeGuard);
    if (bitmap->decoded.load(std::memory_order_relaxed) || bitmap->kind != SourceKind::Jpeg || bitmap->scaleDenom != 1)
        return;
    // Only the SIMD-backed factors, and only those that divide the size: a
    // partial last block would stretch the geometry by up to a reduced pixel.
    // Dropping DCT frequencies is a good pre-filter; the final resample
    // takes the rest of the way.
    for (int denom : {8, 4, 2}) {
        if (bitmap->width % denom != 0 || bitmap->height % denom != 0)
            continue;
        if (bitmap->width / denom >= width && bitmap->height / denom >= height) {
            bitmap->scaleDenom = denom;
            bitmap->width /= denom;
            bitmap->height /= denom;
            return;
        }
    }
}

namespace {

void FlushLut(ZvBitmap *bitmap)
{
    std::lock_guard lock(bitmap->decodeGuard);
    if (!bitmap->lutPending.load(std::memory_order_relaxed))
        return;
    ApplyLut(bitmap->pixels, bitmap->lut[0], bitmap->lut[1], bitmap->lut[2]);
    bitmap->lutPending.store(false, std::memory_order_release);
}

} // namespace

void QueueLut(ZvBitmap *bitmap, const uint8_t r[256], const uint8_t g[256], const uint8_t b[256])
{
    std::lock_guard lock(bitmap->decodeGuard);
    const uint8_t *next[3] = {r, g, b};
    const bool pending = bitmap->lutPending.load(std::memory_order_relaxed);
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i)
            bitmap->lut[c][i] = pending ? next[c][bitmap->lut[c][i]] : next[c][i];
    bitmap->lutPending.store(true, std::memory_order_release);
}

bool EnsureDecoded(ZvBitmap *bitmap, bool flush)
{
    if (bitmap->decoded.load(std::memory_order_acquire)) {
        if (flush && bitmap->lutPending.load(std::memory_order_acquire))
            FlushLut(bitmap);
        return !bitmap->pixels.isNull();
    }
    std::lock_guard lock(bitmap->decodeGuard);
    if (bitmap->decoded.load(std::memory_order_relaxed))
        return !bitmap->pixels.isNull();
    QImage img;
    if (bitmap->kind != SourceKind::None && DecodeFile(bitmap, &img)) {
        // A file that changed since it was opened keeps the size it had.
        if (img.width() != bitmap->width || img.height() != bitmap->height)
            img = AreaReduce(img, bitmap->width, bitmap->height);
        bitmap->pixels = std::move(img);
    }
    bitmap->decoded.store(true, std::memory_order_release);
    return !bitmap->pixels.isNull();
}

ZvStatus MakeThumbnail(ZvBitmap *bitmap, int boxWidth, int boxHeight, QImage *out)
{
    int fw = 0, fh = 0;
    FitInto(bitmap->width, bitmap->height, boxWidth, boxHeight, &fw, &fh);
    if (fw == 0)
        return ZV_INVALID_PARAMETER;
    fw = std::min(fw, bitmap->width);
    fh = std::min(fh, bitmap->height);
    const bool decoded = bitmap->decoded.load(std::memory_order_acquire);

    if (!decoded && bitmap->kind != SourceKind::None) {
        // Embedded thumbnail: only when it is large enough and not letterboxed.
        try {
            Exiv2::ExifThumbC thumb(bitmap->meta.exif);
            Exiv2::DataBuf buf = thumb.copy();
            int tw = 0, th = 0, cs = 0;
            if (buf.size_ > 0 && JpegHeader(buf.pData_, buf.size_, &tw, &th, &cs) && tw >= fw && th >= fh) {
                const double aspect = double(bitmap->width) / bitmap->height;
                const double thumbAspect = double(tw) / th;
                if (std::abs(thumbAspect / aspect - 1.0) < 0.03 && DecodeJpeg(buf.pData_, buf.size_, 1, 1, out))
                    return ZV_OK;
            }
        } catch (const Exiv2::AnyError &) {
        }
        if (bitmap->kind == SourceKind::Jpeg && bitmap->scaleDenom == 1) {
            // Smallest DCT scale that still covers the fitted size.
            int count = 0;
            tjscalingfactor *factors = tjGetScalingFactors(&count);
            int bestNum = 1, bestDenom = 1;
            long bestArea = long(bitmap->width) * bitmap->height;
            for (int i = 0; i < count; ++i) {
                const int sw = TJSCALED(bitmap->width, factors[i]);
                const int sh = TJSCALED(bitmap->height, factors[i]);
                if (sw >= fw && sh >= fh && long(sw) * sh < bestArea) {
                    bestArea = long(sw) * sh;
                    bestNum = factors[i].num;
                    bestDenom = factors[i].denom;
                }
            }
            QFile file(bitmap->path);
            if (file.open(QIODevice::ReadOnly)) {
                const qint64 size = file.size();
                if (uchar *data = file.map(0, size)) {
                    const bool ok = DecodeJpeg(data, size, bestNum, bestDenom, out, true);
                    file.unmap(data);
                    if (ok)
                        return ZV_OK;
                }
            }
        }
    }
    if (!EnsureDecoded(bitmap))
        return ZV_GENERIC_ERROR;
    // Keep some resolution above the box so the final draw can filter well.
    const int rw = std::min(bitmap->width, fw * 2);
    const int rh = std::min(bitmap->height, fh * 2);
    *out = (rw == bitmap->width && rh == bitmap->height) ? bitmap->pixels.copy() : AreaReduce(bitmap->pixels, rw, rh);
    return out->isNull() ? ZV_OUT_OF_MEMORY : ZV_OK;
}

} // namespace zvm
