// Imaging benchmark driver. Modes:
//   make <dir> <jpegs>     camera-like inputs: 24 MP JPEGs (half with an
//                          embedded thumbnail), two TIFF and two BMP files
//   thumbs <dir> <box>     FastThumbnail of every file into box x box,
//                          one line per file: name, kind, milliseconds
//   print <in> <out>       one print file: red-eye, balance, brightness,
//                          contrast, scale 0.443, JPEG 90, metadata kept
#include "imaging/imaging_library.h"
#include "photos/thumb_data.h"
#include "photos/thumbs_array.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>

#include <exiv2/exiv2.hpp>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

using namespace zv;

uint32_t g_seed = 0x9e3779b9u;
uint32_t Noise()
{
    g_seed ^= g_seed << 13;
    g_seed ^= g_seed >> 17;
    g_seed ^= g_seed << 5;
    return g_seed;
}

// Gradients, a fine texture and sensor-like noise: hard enough for JPEG.
QImage CameraLike(int w, int h, int variant)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<uint32_t *>(img.scanLine(y));
        const double fy = double(y) / h;
        for (int x = 0; x < w; ++x) {
            const double fx = double(x) / w;
            const double tex = 18.0 * std::sin(x * 0.21 + variant) * std::cos(y * 0.17) +
                               10.0 * std::sin((x + y) * 0.031);
            const int n = int(Noise() % 17) - 8;
            const int r = std::clamp(int(60 + 150 * fx + tex) + n, 0, 255);
            const int g = std::clamp(int(40 + 160 * fy + tex * 0.8) + n, 0, 255);
            const int b = std::clamp(int(200 - 120 * fx * fy + tex * 0.6) + n, 0, 255);
            line[x] = 0xff000000u | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
        }
    }
    // A red pupil where the print file's red-eye rectangle lies.
    for (int y = 1900; y < 1980 && y < h; ++y)
        for (int x = 2900; x < 2990 && x < w; ++x)
            img.setPixel(x, y, qRgb(200, 30, 35));
    return img;
}

void AddExif(const QString &path, const QImage &picture, bool thumbnail)
{
    auto image = Exiv2::ImageFactory::open(path.toStdString());
    image->readMetadata();
    Exiv2::ExifData &exif = image->exifData();
    exif["Exif.Image.Make"] = "Tevaro Optics";
    exif["Exif.Image.Model"] = "TX-100";
    exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 125);
    exif["Exif.Photo.FNumber"] = Exiv2::URational(56, 10);
    exif["Exif.Photo.ISOSpeedRatings"] = uint16_t(200);
    exif["Exif.Photo.DateTimeOriginal"] = "2021:06:01 12:00:00";
    exif["Exif.Photo.PixelXDimension"] = uint32_t(picture.width());
    exif["Exif.Photo.PixelYDimension"] = uint32_t(picture.height());
    if (thumbnail) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        picture.scaled(160, 107, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(&buffer, "jpeg", 85);
        Exiv2::ExifThumb(exif).setJpegThumbnail(reinterpret_cast<const Exiv2::byte *>(bytes.constData()),
                                                long(bytes.size()));
    }
    image->writeMetadata();
}

int Make(const QString &dir, int jpegs)
{
    QDir().mkpath(dir);
    for (int i = 0; i < jpegs; ++i) {
        const QImage img = CameraLike(6000, 4000, i);
        const QString path = QStringLiteral("%1/IMG_%2.JPG").arg(dir).arg(1000 + i);
        QImageWriter writer(path, "jpeg");
        writer.setQuality(92);
        if (!writer.write(img))
            return 1;
        AddExif(path, img, i % 2 == 0);
    }
    for (int i = 0; i < 2; ++i) {
        const QImage img = CameraLike(3000, 2000, 50 + i);
        if (!img.save(QStringLiteral("%1/SCAN_%2.tif").arg(dir).arg(i), "tiff") ||
            !img.save(QStringLiteral("%1/SCAN_%2.bmp").arg(dir).arg(i), "bmp"))
            return 1;
    }
    return 0;
}

QString KindOf(const QString &path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == "tif" || ext == "bmp")
        return ext;
    try {
        auto image = Exiv2::ImageFactory::open(path.toStdString());
        image->readMetadata();
        return Exiv2::ExifThumbC(image->exifData()).copy().size_ > 0 ? "jpg-exifthumb" : "jpg-plain";
    } catch (const Exiv2::AnyError &) {
        return "jpg-plain";
    }
}

int Thumbs(const QString &dir, int box)
{
    QStringList files = ListPictureFiles(dir);
    files.sort();
    QElapsedTimer total;
    total.start();
    for (const QString &path : files) {
        const QString kind = KindOf(path);
        TThumbData item(path);
        QElapsedTimer t;
        t.start();
        item.LoadImage();
        item.FitImage(box, box);
        const double ms = t.nsecsElapsed() / 1e6;
        const QSize size = item.ImageSize();
        std::printf("%s %s %.3f %dx%d\n", qPrintable(QFileInfo(path).fileName()), qPrintable(kind), ms,
                    size.width(), size.height());
    }
    std::printf("total %.3f\n", total.nsecsElapsed() / 1e6);
    return 0;
}

int Print(const QString &in, const QString &out)
{
    // As in an order: the item shows a grid thumbnail when the edits are made.
    TThumbData item(in);
    item.LoadImage();
    item.FitImage(90, 90);
    item.AddRedEyeRect(2900, 1900, 2990, 1980);
    item.SetCyanRed(10);
    item.SetMagentaGreen(-5);
    item.SetYellowBlue(8);
    item.SetBrightness(0.08);
    item.SetContrast(1.12);
    QElapsedTimer t;
    t.start();
    const bool ok = item.WritePrintFile(in, out, false, 0.443);
    std::printf("print %.3f %s\n", t.nsecsElapsed() / 1e6, ok ? "ok" : "failed");
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s make <dir> <jpegs> | thumbs <dir> <box> | print <in> <out>\n", argv[0]);
        return 2;
    }
    const QString mode = QString::fromLocal8Bit(argv[1]);
    if (mode == "make")
        return Make(QString::fromLocal8Bit(argv[2]), argc > 3 ? std::atoi(argv[3]) : 8);
    SetImagingLibraryFolder(QCoreApplication::applicationDirPath());
    uintptr_t token = 0;
    ImagingStartup(&token);
    if (!IsImagingLibraryLoaded()) {
        std::fprintf(stderr, "libzvimaging.so missing beside %s\n", argv[0]);
        return 1;
    }
    int rc = 2;
    if (mode == "thumbs" && argc > 3)
        rc = Thumbs(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    else if (mode == "print" && argc > 3)
        rc = Print(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    ImagingShutdown(token);
    return rc;
}
