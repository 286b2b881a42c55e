#include "imaging/module/bitmap.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QSaveFile>

#include <turbojpeg.h>

#include <memory>

namespace zvm {

namespace {

struct TjHandle {
    tjhandle handle = nullptr;
    explicit TjHandle(bool compress) : handle(compress ? tjInitCompress() : tjInitDecompress()) {}
    ~TjHandle()
    {
        if (handle)
            tjDestroy(handle);
    }
};

// One handle per thread: the loader and the window thread decode at once.
TjHandle &DecompressorSlot()
{
    thread_local TjHandle h(false);
    return h;
}

tjhandle Decompressor()
{
    return DecompressorSlot().handle;
}

// After a failed call the decompressor may be stuck mid-stream, and every
// later file would fail too: start over with a fresh one.
void ResetDecompressor()
{
    TjHandle &h = DecompressorSlot();
    if (h.handle)
        tjDestroy(h.handle);
    h.handle = tjInitDecompress();
}

tjhandle Compressor()
{
    thread_local TjHandle h(true);
    return h.handle;
}

// Layout tags of a TIFF source that must not travel into another file.
bool IsLayoutTag(const Exiv2::Exifdatum &d)
{
    if (d.groupName() != "Image")
        return false;
    switch (d.tag()) {
    case 0x00fe: case 0x00ff: case 0x0100: case 0x0101: case 0x0102: case 0x0103:
    case 0x0106: case 0x0107: case 0x0111: case 0x0115: case 0x0116: case 0x0117:
    case 0x0118: case 0x0119: case 0x011c: case 0x0140: case 0x0142: case 0x0143:
    case 0x0144: case 0x0145: case 0x0152: case 0x0153: case 0x0201: case 0x0202:
    case 0x02bc: case 0x83bb: case 0x8649: case 0x014a:
        return true;
    default:
        return false;
    }
}

// The EXIF to write with a picture of w x h: dimensions updated, the old
// embedded thumbnail dropped since it no longer shows the pixels.
Exiv2::ExifData ExifFor(const Exiv2::ExifData &src, int w, int h)
{
    Exiv2::ExifData exif = src;
    Exiv2::ExifThumb(exif).erase();
    for (auto it = exif.begin(); it != exif.end();) {
        if (IsLayoutTag(*it))
            it = exif.erase(it);
        else
            ++it;
    }
    if (!exif.empty()) {
        exif["Exif.Photo.PixelXDimension"] = uint32_t(w);
        exif["Exif.Photo.PixelYDimension"] = uint32_t(h);
    }
    return exif;
}

bool EncodeJpeg(const QImage &img, int quality, QByteArray *out)
{
    tjhandle tj = Compressor();
    if (!tj)
        return false;
    unsigned char *buf = nullptr;
    unsigned long size = 0;
    // 4:2:0 like cameras; 4:4:4 at the top qualities where colour edges show.
    const int subsamp = quality >= 95 ? TJSAMP_444 : TJSAMP_420;
    if (tjCompress2(tj, img.constBits(), img.width(), int(img.bytesPerLine()), img.height(), TJPF_BGRX, &buf, &size,
                    subsamp, std::clamp(quality, 1, 100), 0) != 0) {
        tjFree(buf);
        return false;
    }
    out->append(reinterpret_cast<const char *>(buf), qsizetype(size));
    tjFree(buf);
    return true;
}

bool EncodeWithQt(const QImage &img, const char *format, QByteArray *out)
{
    QBuffer buffer(out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    return writer.write(img);
}

// Puts the metadata into the encoded file in memory; the file without it
// when the format cannot carry it.
void AttachMetadata(const ZvBitmap *bitmap, int w, int h, QByteArray *data)
{
    const Metadata &meta = bitmap->meta;
    if (meta.exif.empty() && meta.iptc.empty() && meta.xmp.empty())
        return;
    try {
        auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte *>(data->constData()), long(data->size()));
        if (!image.get())
            return;
        image->setExifData(ExifFor(meta.exif, w, h));
        image->setIptcData(meta.iptc);
        if (!meta.xmp.empty()) {
            image->setXmpPacket(meta.xmp);
            image->writeXmpFromPacket(true);
        }
        image->writeMetadata();
        Exiv2::BasicIo &io = image->io();
        io.seek(0, Exiv2::BasicIo::beg);
        Exiv2::DataBuf all = io.read(long(io.size()));
        if (all.size_ > 0)
            *data = QByteArray(reinterpret_cast<const char *>(all.pData_), all.size_);
    } catch (const Exiv2::AnyError &) {
        // The pixels matter more than the camera data.
    }
}

} // namespace

bool JpegHeader(const uchar *data, qsizetype size, int *w, int *h, int *colorspace)
{
    tjhandle tj = Decompressor();
    int subsamp = 0;
    if (!tj)
        return false;
    if (tjDecompressHeader3(tj, data, static_cast<unsigned long>(size), w, h, &subsamp, colorspace) != 0) {
        ResetDecompressor();
        return false;
    }
    return *w > 0 && *h > 0;
}

bool DecodeJpeg(const uchar *data, qsizetype size, int scaleNum, int scaleDenom, QImage *out, bool fast)
{
    tjhandle tj = Decompressor();
    int w = 0, h = 0, cs = 0;
    if (!JpegHeader(data, size, &w, &h, &cs) || cs == TJCS_CMYK || cs == TJCS_YCCK)
        return false;
    const tjscalingfactor f{scaleNum, scaleDenom};
    const int sw = TJSCALED(w, f);
    const int sh = TJSCALED(h, f);
    QImage img(sw, sh, QImage::Format_RGB32);
    if (img.isNull())
        return false;
    // BGRA writes 0xff into the fourth byte, as RGB32 wants.
    if (tjDecompress2(tj, data, static_cast<unsigned long>(size), img.bits(), sw, int(img.bytesPerLine()), sh, TJPF_BGRA,
                      fast ? TJFLAG_FASTDCT | TJFLAG_FASTUPSAMPLE : 0) != 0) {
        // Truncated files still give the rows that were there.
        if (tjGetErrorCode(tj) != TJERR_WARNING) {
            ResetDecompressor();
            return false;
        }
    }
    *out = std::move(img);
    return true;
}

void ReadMetadata(const QString &path, ZvBitmap *bitmap)
{
    try {
        auto image = Exiv2::ImageFactory::open(std::string(QFile::encodeName(path).constData()));
        if (!image.get())
            return;
        image->readMetadata();
        Exiv2::ExifData exif = image->exifData();
        for (auto it = exif.begin(); it != exif.end();) {
            if (IsLayoutTag(*it) && bitmap->kind != SourceKind::Jpeg)
                it = exif.erase(it);
            else
                ++it;
        }
        bitmap->meta.exif = std::move(exif);
        bitmap->meta.iptc = image->iptcData();
        bitmap->meta.xmp = image->xmpPacket();
    } catch (const Exiv2::AnyError &) {
        // No metadata is no failure.
    }
}

ZvStatus SaveToFile(ZvBitmap *bitmap, const QString &path, int encoderIndex, int quality)
{
    if (!EnsureDecoded(bitmap))
        return ZV_GENERIC_ERROR;
    const QImage &img = bitmap->pixels;
    QByteArray data;
    bool ok = false;
    switch (encoderIndex) {
    case 0: ok = EncodeWithQt(img, "bmp", &data); break;
    case 1: ok = EncodeJpeg(img, quality, &data); break;
    case 2: ok = EncodeWithQt(img, "tiff", &data); break;
    case 3: ok = EncodeWithQt(img, "png", &data); break;
    default: return ZV_INVALID_PARAMETER;
    }
    if (!ok || data.isEmpty())
        return ZV_GENERIC_ERROR;
    if (encoderIndex != 0)
        AttachMetadata(bitmap, img.width(), img.height(), &data);
    // Write beside and rename, so a failed save never leaves half a file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        return ZV_GENERIC_ERROR;
    return ZV_OK;
}

} // namespace zvm
