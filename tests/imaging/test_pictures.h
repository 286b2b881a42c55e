#pragma once

// Pictures made by the tests themselves, and the module fixture.

#include "imaging/imaging_library.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QImageWriter>
#include <QString>
#include <QTemporaryDir>

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cstdlib>
#include <string>

namespace zv::test {

inline QString ModuleFolder()
{
    const char *dir = std::getenv("ZV_BIN_DIR");
    return dir ? QString::fromLocal8Bit(dir) : QString();
}

// Loads and starts the module from the build's bin folder for each test.
class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        SetImagingLibraryFolder(ModuleFolder());
        ImagingStartup(&m_token);
        ASSERT_TRUE(IsImagingLibraryLoaded()) << "libzvimaging.so not found in " << ModuleFolder().toStdString();
    }
    void TearDown() override { ImagingShutdown(m_token); }
    QString Path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    uintptr_t m_token = 0;
};

inline QImage Filled(int w, int h, QColor color)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(color);
    return img;
}

inline bool WriteJpeg(const QString &path, const QImage &img, int quality = 95, bool progressive = false)
{
    QImageWriter writer(path, "jpeg");
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    return writer.write(img);
}

// A CMYK JPEG in the inverted form of print workflows (255 = no ink).
inline bool WriteCmykJpeg(const QString &path, int w, int h, uint8_t c, uint8_t m, uint8_t y, uint8_t k)
{
    std::vector<uint8_t> px(size_t(w) * h * 4);
    for (size_t i = 0; i < px.size(); i += 4) {
        px[i] = c;
        px[i + 1] = m;
        px[i + 2] = y;
        px[i + 3] = k;
    }
    tjhandle tj = tjInitCompress();
    unsigned char *buf = nullptr;
    unsigned long size = 0;
    const bool ok = tjCompress2(tj, px.data(), w, 0, h, TJPF_CMYK, &buf, &size, TJSAMP_444, 95, 0) == 0;
    tjDestroy(tj);
    if (ok) {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(reinterpret_cast<const char *>(buf), qint64(size));
    }
    tjFree(buf);
    return ok;
}

inline QByteArray JpegBytes(const QImage &img)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "jpeg", 90);
    return data;
}

// Writes camera data (and optionally an embedded thumbnail) into a file.
inline void AddCameraData(const QString &path, const QImage &thumbnail = QImage())
{
    auto image = Exiv2::ImageFactory::open(path.toStdString());
    image->readMetadata();
    Exiv2::ExifData &exif = image->exifData();
    exif["Exif.Image.Make"] = "Tevaro Optics";
    exif["Exif.Image.Model"] = "TX-100";
    exif["Exif.Image.Orientation"] = uint16_t(1);
    exif["Exif.Photo.DateTimeOriginal"] = "2021:06:01 12:00:00";
    exif["Exif.Photo.PixelXDimension"] = uint32_t(image->pixelWidth());
    exif["Exif.Photo.PixelYDimension"] = uint32_t(image->pixelHeight());
    if (!thumbnail.isNull()) {
        const QByteArray bytes = JpegBytes(thumbnail);
        Exiv2::ExifThumb(exif).setJpegThumbnail(reinterpret_cast<const Exiv2::byte *>(bytes.constData()),
                                                long(bytes.size()));
    }
    Exiv2::IptcData &iptc = image->iptcData();
    iptc["Iptc.Application2.Caption"] = "Lake at dawn";
    image->writeMetadata();
}

inline std::string ExifValue(const QString &path, const char *key)
{
    try {
        auto image = Exiv2::ImageFactory::open(path.toStdString());
        image->readMetadata();
        auto it = image->exifData().findKey(Exiv2::ExifKey(key));
        return it == image->exifData().end() ? std::string() : it->toString();
    } catch (const Exiv2::AnyError &) {
        return std::string();
    }
}

inline std::string IptcValue(const QString &path, const char *key)
{
    try {
        auto image = Exiv2::ImageFactory::open(path.toStdString());
        image->readMetadata();
        auto it = image->iptcData().findKey(Exiv2::IptcKey(key));
        return it == image->iptcData().end() ? std::string() : it->toString();
    } catch (const Exiv2::AnyError &) {
        return std::string();
    }
}

// Pixels of a module bitmap as a QImage copy.
inline QImage Pixels(ZvBitmap *bitmap)
{
    ZvBitmapData data{};
    if (img::LockBits(bitmap, uint32_t(ZV_LOCK_READ), &data) != ZV_OK)
        return QImage();
    QImage copy = QImage(static_cast<const uchar *>(data.scan0), data.width, data.height, data.stride,
                         QImage::Format_RGB32)
                      .copy();
    img::UnlockBits(bitmap, &data);
    return copy;
}

inline bool Near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

} // namespace zv::test
