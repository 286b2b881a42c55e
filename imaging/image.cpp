#include "imaging/image.h"

#include "imaging/imaging_library.h"

#include <QFile>
#include <QImage>
#include <QPainter>

namespace zv {

TImage::TImage(ZvBitmap *handle, ZvStatus status) : m_handle(handle), m_status(status) {}

TImage::~TImage()
{
    if (m_handle)
        img::DisposeImage(m_handle);
}

std::unique_ptr<TImage> TImage::FromFile(const QString &path)
{
    ZvBitmap *handle = nullptr;
    const QByteArray utf8 = path.toUtf8();
    const ZvStatus status = img::CreateBitmapFromFile(utf8.constData(), &handle);
    if (status != ZV_OK || !handle)
        return nullptr;
    return std::make_unique<TImage>(handle, status);
}

std::unique_ptr<TImage> TImage::Create(int width, int height)
{
    ZvBitmap *handle = nullptr;
    const ZvStatus status = img::CreateBitmapFromScan0(int32_t(width), int32_t(height), int32_t(0),
                                                       int32_t(ZV_PIXEL_FORMAT_32BPP_RGB), static_cast<void *>(nullptr),
                                                       &handle);
    if (status != ZV_OK || !handle)
        return nullptr;
    return std::make_unique<TImage>(handle, status);
}

int TImage::Width() const
{
    uint32_t w = 0;
    m_status = m_handle ? img::GetImageWidth(m_handle, &w) : ZV_GENERIC_ERROR;
    return m_status == ZV_OK ? int(w) : 0;
}

int TImage::Height() const
{
    uint32_t h = 0;
    m_status = m_handle ? img::GetImageHeight(m_handle, &h) : ZV_GENERIC_ERROR;
    return m_status == ZV_OK ? int(h) : 0;
}

std::unique_ptr<TImage> TImage::Clone() const
{
    if (!m_handle)
        return nullptr;
    ZvBitmap *handle = nullptr;
    m_status = img::CloneBitmapAreaI(int32_t(0), int32_t(0), int32_t(Width()), int32_t(Height()),
                                     int32_t(ZV_PIXEL_FORMAT_32BPP_RGB), m_handle, &handle);
    if (m_status != ZV_OK || !handle)
        return nullptr;
    return std::make_unique<TImage>(handle);
}

std::unique_ptr<TImage> TImage::Thumbnail(int width, int height) const
{
    if (!m_handle || width <= 0 || height <= 0)
        return nullptr;
    ZvBitmap *handle = nullptr;
    m_status = img::GetImageThumbnail(m_handle, uint32_t(width), uint32_t(height), &handle);
    if (m_status != ZV_OK || !handle)
        return nullptr;
    return std::make_unique<TImage>(handle);
}

ZvStatus TImage::ReduceDecode(int width, int height)
{
    if (!m_handle || width <= 0 || height <= 0)
        return m_status = ZV_INVALID_PARAMETER;
    return m_status = img::ReduceBitmapDecode(m_handle, uint32_t(width), uint32_t(height));
}

ZvStatus TImage::RotateFlip(int step)
{
    return m_status = m_handle ? img::ImageRotateFlip(m_handle, int32_t(step)) : ZV_GENERIC_ERROR;
}

ZvStatus TImage::DrawImageRect(const TImage &source, int x, int y, int width, int height, int interpolationMode)
{
    if (!m_handle || !source.m_handle)
        return m_status = ZV_GENERIC_ERROR;
    return m_status = img::DrawImageRectI(m_handle, source.m_handle, int32_t(x), int32_t(y), int32_t(width),
                                          int32_t(height), int32_t(interpolationMode));
}

bool TImage::Draw(QPainter &painter, const QRect &target, int interpolationMode) const
{
    if (!m_handle)
        return false;
    ZvBitmapData data{};
    m_status = img::LockBits(m_handle, uint32_t(ZV_LOCK_READ), &data);
    if (m_status != ZV_OK)
        return false;
    // A view on the module's pixels, no copy.
    const QImage view(static_cast<const uchar *>(data.scan0), data.width, data.height, data.stride,
                      QImage::Format_RGB32);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, interpolationMode != ZV_INTERPOLATION_LOW_QUALITY);
    painter.drawImage(target, view);
    painter.restore();
    img::UnlockBits(m_handle, &data);
    return true;
}

ZvStatus TImage::Save(const QString &path, const ZvGuid &encoder, int quality)
{
    if (!m_handle)
        return m_status = ZV_GENERIC_ERROR;
    int32_t value = quality;
    ZvEncoderParameters params{};
    params.count = 1;
    params.parameter[0] = {ZV_ENCODER_QUALITY, 1, ZV_VALUE_TYPE_LONG, &value};
    const QByteArray utf8 = path.toUtf8();
    return m_status = img::SaveImageToFile(m_handle, utf8.constData(), &encoder,
                                           static_cast<const ZvEncoderParameters *>(&params));
}

ZvStatus TImage::ApplyRedEye(const ZvRect &area)
{
    return m_status = m_handle ? img::ApplyRedEyeCorrection(m_handle, area) : ZV_GENERIC_ERROR;
}

ZvStatus TImage::ApplyColorBalance(int cyanRed, int magentaGreen, int yellowBlue)
{
    return m_status = m_handle ? img::ApplyColorBalance(m_handle, cyanRed, magentaGreen, yellowBlue)
                               : ZV_GENERIC_ERROR;
}

ZvStatus TImage::ApplyBrightnessContrast(int brightness, int contrast)
{
    return m_status = m_handle ? img::ApplyBrightnessContrast(m_handle, brightness, contrast) : ZV_GENERIC_ERROR;
}

} // namespace zv
