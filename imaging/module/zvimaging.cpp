// C entry points of the imaging module.
#include "imaging/module/zvimaging.h"
#include "imaging/module/bitmap.h"

#include <QImage>
#include <QPainter>
#include <QString>
#include <QTransform>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>

using namespace zvm;

struct ZvEffect {
    enum class Kind { RedEye, BrightnessContrast, ColorBalance } kind;
    bool hasParams = false;
    std::vector<ZvRect> areas;
    ZvBrightnessContrastParams bc{};
    ZvColorBalanceParams balance{};
};

namespace {

std::atomic<int> g_startups{0};

bool SameGuid(const ZvGuid &a, const ZvGuid &b)
{
    return std::memcmp(&a, &b, sizeof(ZvGuid)) == 0;
}

struct EncoderEntry {
    ZvGuid clsid;
    const char *name;
    const char *description;
    const char *extensions;
    const char *mime;
};

// Order matters: callers take the first encoder whose patterns match.
const EncoderEntry kEncoders[] = {
    {{0x6B3C1A01, 0x5E2F, 0x4A1D, {0x9B, 0x10, 0x2C, 0x7E, 0x01, 0x00, 0x00, 0x01}}, "Built-in BMP", "BMP",
     "*.BMP;*.DIB;*.RLE", "image/bmp"},
    {{0x6B3C1A01, 0x5E2F, 0x4A1D, {0x9B, 0x10, 0x2C, 0x7E, 0x01, 0x00, 0x00, 0x02}}, "Built-in JPEG", "JPEG",
     "*.JPG;*.JPEG;*.JPE;*.JFIF", "image/jpeg"},
    {{0x6B3C1A01, 0x5E2F, 0x4A1D, {0x9B, 0x10, 0x2C, 0x7E, 0x01, 0x00, 0x00, 0x03}}, "Built-in TIFF", "TIFF",
     "*.TIF;*.TIFF", "image/tiff"},
    {{0x6B3C1A01, 0x5E2F, 0x4A1D, {0x9B, 0x10, 0x2C, 0x7E, 0x01, 0x00, 0x00, 0x04}}, "Built-in PNG", "PNG", "*.PNG",
     "image/png"},
};
constexpr uint32_t kEncoderCount = sizeof(kEncoders) / sizeof(kEncoders[0]);

// EXIF group names and their property-id codes; fixed for the common IFDs,
// numbered on first sight for the rest.
class GroupCodes {
public:
    uint32_t codeOf(const std::string &group)
    {
        std::lock_guard lock(m_guard);
        auto it = m_codes.find(group);
        if (it != m_codes.end())
            return it->second;
        const uint32_t code = m_next++;
        m_codes.emplace(group, code);
        m_names.emplace(code, group);
        return code;
    }
    bool nameOf(uint32_t code, std::string *group)
    {
        std::lock_guard lock(m_guard);
        auto it = m_names.find(code);
        if (it == m_names.end())
            return false;
        *group = it->second;
        return true;
    }
    GroupCodes()
    {
        const char *fixed[] = {"Image", "Photo", "GPSInfo", "Iop", "Thumbnail"};
        for (uint32_t i = 0; i < 5; ++i) {
            m_codes.emplace(fixed[i], i);
            m_names.emplace(i, fixed[i]);
        }
    }

private:
    std::mutex m_guard;
    std::map<std::string, uint32_t> m_codes;
    std::map<uint32_t, std::string> m_names;
    uint32_t m_next = 16;
};

GroupCodes &Groups()
{
    static GroupCodes codes;
    return codes;
}

void RebuildIds(ZvBitmap *b)
{
    if (b->exifIdsValid)
        return;
    b->exifIds.clear();
    for (const auto &d : b->meta.exif)
        b->exifIds.push_back((Groups().codeOf(d.groupName()) << 16) | d.tag());
    b->exifIdsValid = true;
}

std::vector<uint32_t> AllIds(ZvBitmap *b)
{
    RebuildIds(b);
    std::vector<uint32_t> ids = b->exifIds;
    if (!b->meta.iptc.empty())
        ids.push_back(ZV_PROPERTY_IPTC);
    if (!b->meta.xmp.empty())
        ids.push_back(ZV_PROPERTY_XMP);
    return ids;
}

// The value bytes and type of a property; false when there is none.
bool PropertyValue(ZvBitmap *b, uint32_t id, std::vector<uint8_t> *value, uint16_t *type)
{
    try {
        if (id == ZV_PROPERTY_IPTC) {
            if (b->meta.iptc.empty())
                return false;
            Exiv2::DataBuf buf = Exiv2::IptcParser::encode(b->meta.iptc);
            value->assign(buf.pData_, buf.pData_ + buf.size_);
            *type = 7;
            return true;
        }
        if (id == ZV_PROPERTY_XMP) {
            if (b->meta.xmp.empty())
                return false;
            value->assign(b->meta.xmp.begin(), b->meta.xmp.end());
            *type = 7;
            return true;
        }
        RebuildIds(b);
        auto pos = std::find(b->exifIds.begin(), b->exifIds.end(), id);
        if (pos == b->exifIds.end())
            return false;
        auto it = std::next(b->meta.exif.begin(), pos - b->exifIds.begin());
        value->resize(it->size());
        if (!value->empty())
            it->copy(value->data(), Exiv2::littleEndian);
        *type = uint16_t(it->typeId());
        return true;
    } catch (const Exiv2::AnyError &) {
        return false;
    }
}

ZvStatus Started()
{
    return g_startups.load() > 0 ? ZV_OK : ZV_NOT_INITIALIZED;
}

} // namespace

extern "C" {

ZV_API ZvStatus zvStartup(uintptr_t *token, const ZvStartupInput *input, void *)
{
    if (!token || !input || input->version != 1)
        return ZV_INVALID_PARAMETER;
    if (g_startups.fetch_add(1) == 0) {
        // Not thread-safe inside exiv2: done once here, before any loader runs.
        Exiv2::XmpParser::initialize();
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Groups();
    }
    *token = 0x5A56;
    return ZV_OK;
}

ZV_API void zvShutdown(uintptr_t token)
{
    if (token == 0x5A56 && g_startups.load() > 0)
        g_startups.fetch_sub(1);
}

ZV_API void *zvAlloc(size_t size)
{
    return std::malloc(size);
}

ZV_API void zvFree(void *ptr)
{
    std::free(ptr);
}

ZV_API ZvStatus zvCreateBitmapFromFile(const char *path, ZvBitmap **bitmap)
{
    if (!path || !bitmap)
        return ZV_INVALID_PARAMETER;
    *bitmap = nullptr;
    if (ZvStatus s = Started())
        return s;
    auto b = std::make_unique<ZvBitmap>();
    if (ZvStatus s = OpenFile(QString::fromUtf8(path), b.get()))
        return s;
    *bitmap = b.release();
    return ZV_OK;
}

ZV_API ZvStatus zvCreateBitmapFromScan0(int32_t width, int32_t height, int32_t, int32_t pixelFormat, void *scan0,
                                        ZvBitmap **bitmap)
{
    if (!bitmap)
        return ZV_INVALID_PARAMETER;
    *bitmap = nullptr;
    if (ZvStatus s = Started())
        return s;
    if (width <= 0 || height <= 0 || scan0 || pixelFormat != ZV_PIXEL_FORMAT_32BPP_RGB)
        return ZV_INVALID_PARAMETER;
    auto b = std::make_unique<ZvBitmap>();
    b->pixels = QImage(width, height, QImage::Format_RGB32);
    if (b->pixels.isNull())
        return ZV_OUT_OF_MEMORY;
    b->pixels.fill(0xff000000u);
    b->width = width;
    b->height = height;
    b->decoded = true;
    *bitmap = b.release();
    return ZV_OK;
}

ZV_API ZvStatus zvCloneBitmapAreaI(int32_t x, int32_t y, int32_t width, int32_t height, int32_t pixelFormat,
                                   ZvBitmap *source, ZvBitmap **clone)
{
    if (!source || !clone || pixelFormat != ZV_PIXEL_FORMAT_32BPP_RGB)
        return ZV_INVALID_PARAMETER;
    *clone = nullptr;
    if (x < 0 || y < 0 || width <= 0 || height <= 0 || x + width > source->width || y + height > source->height)
        return ZV_INVALID_PARAMETER;
    if (!EnsureDecoded(source))
        return ZV_GENERIC_ERROR;
    auto b = std::make_unique<ZvBitmap>();
    const bool whole = x == 0 && y == 0 && width == source->width && height == source->height;
    // The whole picture is shared until one side writes (Qt copies on write).
    b->pixels = whole ? source->pixels : source->pixels.copy(x, y, width, height);
    if (b->pixels.isNull())
        return ZV_OUT_OF_MEMORY;
    b->width = width;
    b->height = height;
    {
        std::lock_guard lock(source->metaGuard);
        b->meta = source->meta;
    }
    b->decoded = true;
    *clone = b.release();
    return ZV_OK;
}

ZV_API ZvStatus zvDisposeImage(ZvBitmap *bitmap)
{
    if (!bitmap)
        return ZV_INVALID_PARAMETER;
    delete bitmap;
    return ZV_OK;
}

ZV_API ZvStatus zvGetImageWidth(ZvBitmap *bitmap, uint32_t *width)
{
    if (!bitmap || !width)
        return ZV_INVALID_PARAMETER;
    *width = uint32_t(bitmap->width);
    return ZV_OK;
}

ZV_API ZvStatus zvGetImageHeight(ZvBitmap *bitmap, uint32_t *height)
{
    if (!bitmap || !height)
        return ZV_INVALID_PARAMETER;
    *height = uint32_t(bitmap->height);
    return ZV_OK;
}

ZV_API ZvStatus zvGetImageThumbnail(ZvBitmap *bitmap, uint32_t width, uint32_t height, ZvBitmap **thumbnail)
{
    if (!bitmap || !thumbnail || width == 0 || height == 0 || width > 65535 || height > 65535)
        return ZV_INVALID_PARAMETER;
    *thumbnail = nullptr;
    QImage img;
    if (ZvStatus s = MakeThumbnail(bitmap, int(width), int(height), &img))
        return s;
    auto b = std::make_unique<ZvBitmap>();
    b->width = img.width();
    b->height = img.height();
    b->pixels = std::move(img);
    b->decoded = true;
    *thumbnail = b.release();
    return ZV_OK;
}

ZV_API ZvStatus zvReduceBitmapDecode(ZvBitmap *bitmap, uint32_t width, uint32_t height)
{
    if (!bitmap || width == 0 || height == 0 || width > 65535 || height > 65535)
        return ZV_INVALID_PARAMETER;
    ReduceDecode(bitmap, int(width), int(height));
    return ZV_OK;
}

ZV_API ZvStatus zvImageRotateFlip(ZvBitmap *bitmap, int32_t type)
{
    if (!bitmap || type < ZV_ROTATE_90 || type > ZV_ROTATE_270)
        return ZV_INVALID_PARAMETER;
    if (!EnsureDecoded(bitmap))
        return ZV_GENERIC_ERROR;
    QImage turned = bitmap->pixels.transformed(QTransform().rotate(90.0 * type));
    if (turned.isNull())
        return ZV_OUT_OF_MEMORY;
    if (turned.format() != QImage::Format_RGB32)
        turned.convertTo(QImage::Format_RGB32);
    bitmap->pixels = std::move(turned);
    bitmap->width = bitmap->pixels.width();
    bitmap->height = bitmap->pixels.height();
    return ZV_OK;
}

ZV_API ZvStatus zvDrawImageRectI(ZvBitmap *target, ZvBitmap *source, int32_t x, int32_t y, int32_t width,
                                 int32_t height, int32_t mode)
{
    if (!target || !source || width <= 0 || height <= 0)
        return ZV_INVALID_PARAMETER;
    if (!EnsureDecoded(source) || !EnsureDecoded(target))
        return ZV_GENERIC_ERROR;
    QImage scaled = Resample(source->pixels, width, height, mode);
    if (scaled.isNull())
        return ZV_OUT_OF_MEMORY;
    if (x == 0 && y == 0 && width == target->width && height == target->height) {
        target->pixels = std::move(scaled);
        return ZV_OK;
    }
    QPainter painter(&target->pixels);
    painter.drawImage(x, y, scaled);
    return ZV_OK;
}

ZV_API ZvStatus zvGraphicsClear(ZvBitmap *bitmap, uint32_t color)
{
    if (!bitmap)
        return ZV_INVALID_PARAMETER;
    if (!EnsureDecoded(bitmap))
        return ZV_GENERIC_ERROR;
    bitmap->pixels.fill(color | 0xff000000u);
    return ZV_OK;
}

ZV_API ZvStatus zvLockBits(ZvBitmap *bitmap, uint32_t flags, ZvBitmapData *data)
{
    if (!bitmap || !data)
        return ZV_INVALID_PARAMETER;
    if (!EnsureDecoded(bitmap))
        return ZV_GENERIC_ERROR;
    data->width = bitmap->pixels.width();
    data->height = bitmap->pixels.height();
    data->stride = int32_t(bitmap->pixels.bytesPerLine());
    data->pixelFormat = ZV_PIXEL_FORMAT_32BPP_RGB;
    // Writing detaches a picture still shared with a clone.
    data->scan0 = (flags & ZV_LOCK_WRITE) ? static_cast<void *>(bitmap->pixels.bits())
                                          : const_cast<uchar *>(bitmap->pixels.constBits());
    return ZV_OK;
}

ZV_API ZvStatus zvUnlockBits(ZvBitmap *bitmap, ZvBitmapData *data)
{
    return bitmap && data ? ZV_OK : ZV_INVALID_PARAMETER;
}

ZV_API ZvStatus zvGetImageEncodersSize(uint32_t *count, uint32_t *size)
{
    if (!count || !size)
        return ZV_INVALID_PARAMETER;
    *count = kEncoderCount;
    *size = kEncoderCount * sizeof(ZvEncoderInfo);
    return ZV_OK;
}

ZV_API ZvStatus zvGetImageEncoders(uint32_t count, uint32_t size, ZvEncoderInfo *encoders)
{
    if (!encoders || count != kEncoderCount || size < kEncoderCount * sizeof(ZvEncoderInfo))
        return ZV_INVALID_PARAMETER;
    for (uint32_t i = 0; i < kEncoderCount; ++i)
        encoders[i] = {kEncoders[i].clsid, kEncoders[i].name, kEncoders[i].description, kEncoders[i].extensions,
                       kEncoders[i].mime};
    return ZV_OK;
}

ZV_API ZvStatus zvSaveImageToFile(ZvBitmap *bitmap, const char *path, const ZvGuid *encoder,
                                  const ZvEncoderParameters *params)
{
    if (!bitmap || !path || !*path || !encoder)
        return ZV_INVALID_PARAMETER;
    int index = -1;
    for (uint32_t i = 0; i < kEncoderCount; ++i)
        if (SameGuid(kEncoders[i].clsid, *encoder))
            index = int(i);
    if (index < 0)
        return ZV_INVALID_PARAMETER;
    int quality = 75;
    if (params) {
        for (uint32_t i = 0; i < params->count && i < 16; ++i) {
            const ZvEncoderParameter &p = params->parameter[i];
            if (SameGuid(p.guid, ZV_ENCODER_QUALITY)) {
                if (p.type != ZV_VALUE_TYPE_LONG || p.numberOfValues != 1 || !p.value)
                    return ZV_INVALID_PARAMETER;
                quality = int(*static_cast<const int32_t *>(p.value));
                if (quality < 0 || quality > 100)
                    return ZV_INVALID_PARAMETER;
            }
        }
    }
    std::lock_guard lock(bitmap->metaGuard);
    return SaveToFile(bitmap, QString::fromUtf8(path), index, quality);
}

ZV_API ZvStatus zvGetPropertyCount(ZvBitmap *bitmap, uint32_t *count)
{
    if (!bitmap || !count)
        return ZV_INVALID_PARAMETER;
    std::lock_guard lock(bitmap->metaGuard);
    try {
        *count = uint32_t(AllIds(bitmap).size());
    } catch (const Exiv2::AnyError &) {
        return ZV_GENERIC_ERROR;
    }
    return ZV_OK;
}

ZV_API ZvStatus zvGetPropertyIdList(ZvBitmap *bitmap, uint32_t count, uint32_t *ids)
{
    if (!bitmap || !ids)
        return ZV_INVALID_PARAMETER;
    std::lock_guard lock(bitmap->metaGuard);
    try {
        const std::vector<uint32_t> all = AllIds(bitmap);
        if (count != all.size())
            return ZV_INVALID_PARAMETER;
        std::copy(all.begin(), all.end(), ids);
    } catch (const Exiv2::AnyError &) {
        return ZV_GENERIC_ERROR;
    }
    return ZV_OK;
}

ZV_API ZvStatus zvGetPropertyItemSize(ZvBitmap *bitmap, uint32_t id, uint32_t *size)
{
    if (!bitmap || !size)
        return ZV_INVALID_PARAMETER;
    std::lock_guard lock(bitmap->metaGuard);
    std::vector<uint8_t> value;
    uint16_t type = 0;
    if (!PropertyValue(bitmap, id, &value, &type))
        return ZV_PROPERTY_NOT_FOUND;
    *size = uint32_t(sizeof(ZvPropertyItem) + value.size());
    return ZV_OK;
}

ZV_API ZvStatus zvGetPropertyItem(ZvBitmap *bitmap, uint32_t id, uint32_t size, ZvPropertyItem *item)
{
    if (!bitmap || !item)
        return ZV_INVALID_PARAMETER;
    std::lock_guard lock(bitmap->metaGuard);
    std::vector<uint8_t> value;
    uint16_t type = 0;
    if (!PropertyValue(bitmap, id, &value, &type))
        return ZV_PROPERTY_NOT_FOUND;
    if (size < sizeof(ZvPropertyItem) + value.size())
        return ZV_INVALID_PARAMETER;
    item->id = id;
    item->length = uint32_t(value.size());
    item->type = type;
    item->value = reinterpret_cast<uint8_t *>(item) + sizeof(ZvPropertyItem);
    if (!value.empty())
        std::memcpy(item->value, value.data(), value.size());
    return ZV_OK;
}

ZV_API ZvStatus zvSetPropertyItem(ZvBitmap *bitmap, const ZvPropertyItem *item)
{
    if (!bitmap || !item || (item->length && !item->value))
        return ZV_INVALID_PARAMETER;
    std::lock_guard lock(bitmap->metaGuard);
    const auto *bytes = static_cast<const Exiv2::byte *>(item->value);
    try {
        if (item->id == ZV_PROPERTY_IPTC) {
            Exiv2::IptcData iptc;
            if (Exiv2::IptcParser::decode(iptc, bytes, item->length) != 0)
                return ZV_INVALID_PARAMETER;
            bitmap->meta.iptc = iptc;
            return ZV_OK;
        }
        if (item->id == ZV_PROPERTY_XMP) {
            bitmap->meta.xmp.assign(reinterpret_cast<const char *>(bytes), item->length);
            return ZV_OK;
        }
        std::string group;
        if (!Groups().nameOf(item->id >> 16, &group))
            return ZV_INVALID_PARAMETER;
        const Exiv2::ExifKey key(uint16_t(item->id & 0xffff), group);
        Exiv2::Value::AutoPtr value = Exiv2::Value::create(Exiv2::TypeId(item->type));
        if (item->length && value->read(bytes, long(item->length), Exiv2::littleEndian) != 0)
            return ZV_INVALID_PARAMETER;
        auto it = bitmap->meta.exif.findKey(key);
        if (it != bitmap->meta.exif.end())
            it->setValue(value.get());
        else
            bitmap->meta.exif.add(key, value.get());
        bitmap->exifIdsValid = false;
    } catch (const Exiv2::AnyError &) {
        return ZV_INVALID_PARAMETER;
    }
    return ZV_OK;
}

ZV_API ZvStatus zvCreateEffect(ZvGuid id, ZvEffect **effect)
{
    if (!effect)
        return ZV_INVALID_PARAMETER;
    *effect = nullptr;
    ZvEffect::Kind kind;
    if (SameGuid(id, ZV_EFFECT_RED_EYE_CORRECTION))
        kind = ZvEffect::Kind::RedEye;
    else if (SameGuid(id, ZV_EFFECT_BRIGHTNESS_CONTRAST))
        kind = ZvEffect::Kind::BrightnessContrast;
    else if (SameGuid(id, ZV_EFFECT_COLOR_BALANCE))
        kind = ZvEffect::Kind::ColorBalance;
    else
        return ZV_INVALID_PARAMETER;
    *effect = new (std::nothrow) ZvEffect;
    if (*effect)
        (*effect)->kind = kind;
    return *effect ? ZV_OK : ZV_OUT_OF_MEMORY;
}

ZV_API ZvStatus zvSetEffectParameters(ZvEffect *effect, const void *params, uint32_t size)
{
    if (!effect || !params)
        return ZV_INVALID_PARAMETER;
    switch (effect->kind) {
    case ZvEffect::Kind::RedEye: {
        const auto *p = static_cast<const ZvRedEyeCorrectionParams *>(params);
        if (size < sizeof(ZvRedEyeCorrectionParams) || p->numberOfAreas == 0 || p->numberOfAreas > 4096 ||
            !p->areas || size != sizeof(ZvRedEyeCorrectionParams) + p->numberOfAreas * sizeof(ZvRect))
            return ZV_INVALID_PARAMETER;
        effect->areas.assign(p->areas, p->areas + p->numberOfAreas);
        break;
    }
    case ZvEffect::Kind::BrightnessContrast: {
        if (size != sizeof(ZvBrightnessContrastParams))
            return ZV_INVALID_PARAMETER;
        const auto *p = static_cast<const ZvBrightnessContrastParams *>(params);
        if (p->brightnessLevel < -255 || p->brightnessLevel > 255 || p->contrastLevel < -100 || p->contrastLevel > 100)
            return ZV_INVALID_PARAMETER;
        effect->bc = *p;
        break;
    }
    case ZvEffect::Kind::ColorBalance: {
        if (size != sizeof(ZvColorBalanceParams))
            return ZV_INVALID_PARAMETER;
        const auto *p = static_cast<const ZvColorBalanceParams *>(params);
        for (int32_t v : {p->cyanRed, p->magentaGreen, p->yellowBlue})
            if (v < -100 || v > 100)
                return ZV_INVALID_PARAMETER;
        effect->balance = *p;
        break;
    }
    }
    effect->hasParams = true;
    return ZV_OK;
}

ZV_API ZvStatus zvBitmapApplyEffect(ZvBitmap *bitmap, ZvEffect *effect, const ZvRect *roi, int32_t useAuxData,
                                    void **auxData, int32_t *auxDataSize)
{
    if (!bitmap || !effect || !effect->hasParams || useAuxData)
        return ZV_INVALID_PARAMETER;
    if (auxData)
        *auxData = nullptr;
    if (auxDataSize)
        *auxDataSize = 0;
    // Point effects queue up and meet the pixels in one pass.
    if (!EnsureDecoded(bitmap, effect->kind == ZvEffect::Kind::RedEye))
        return ZV_GENERIC_ERROR;
    QImage &img = bitmap->pixels;
    switch (effect->kind) {
    case ZvEffect::Kind::RedEye:
        for (const ZvRect &r : effect->areas) {
            ZvRect area = r;
            if (roi) {
                area.left = std::max(area.left, roi->left);
                area.top = std::max(area.top, roi->top);
                area.right = std::min(area.right, roi->right);
                area.bottom = std::min(area.bottom, roi->bottom);
            }
            ApplyRedEye(img, area);
        }
        break;
    case ZvEffect::Kind::ColorBalance: {
        const ZvColorBalanceParams &p = effect->balance;
        if (p.cyanRed == 0 && p.magentaGreen == 0 && p.yellowBlue == 0)
            break;
        uint8_t r[256], g[256], b[256];
        ColorBalanceLut(p.cyanRed, p.magentaGreen, p.yellowBlue, r, g, b);
        QueueLut(bitmap, r, g, b);
        break;
    }
    case ZvEffect::Kind::BrightnessContrast: {
        if (effect->bc.brightnessLevel == 0 && effect->bc.contrastLevel == 0)
            break;
        uint8_t lut[256];
        BrightnessContrastLut(effect->bc.brightnessLevel, effect->bc.contrastLevel, lut);
        QueueLut(bitmap, lut, lut, lut);
        break;
    }
    }
    return ZV_OK;
}

ZV_API ZvStatus zvDeleteEffect(ZvEffect *effect)
{
    if (!effect)
        return ZV_INVALID_PARAMETER;
    delete effect;
    return ZV_OK;
}

} // extern "C"
