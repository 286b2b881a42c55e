#include "imaging/print_render.h"

#include "imaging/imaging_library.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <vector>

namespace zv {

namespace {

// Edits onto a work copy that the caller owns. coverEdges rounds the scaled
// red-eye rectangles outwards instead of truncating: in a pre-reduced picture
// an edge pixel still holds part of the pupil, and truncating would leave a
// red fringe up to one reduced pixel wide.
void ApplyEdits(TImage &work, const TRenderParams &params, bool coverEdges = false)
{
    const int w = work.Width();
    const int h = work.Height();
    const float sx = params.Width > 0 ? float(w) / float(params.Width) : 1.0f;
    const float sy = params.Height > 0 ? float(h) / float(params.Height) : 1.0f;
    auto low = [coverEdges](float v) { return int32_t(coverEdges ? std::floor(v) : v); };
    auto high = [coverEdges](float v) { return int32_t(coverEdges ? std::ceil(v) : v); };
    for (const ZvRect &r : params.RedEyeRects) {
        const ZvRect scaled{low(float(r.left) * sx), low(float(r.top) * sy), high(float(r.right) * sx),
                            high(float(r.bottom) * sy)};
        work.ApplyRedEye(scaled);
    }
    work.ApplyColorBalance(params.CyanRed, params.MagentaGreen, params.YellowBlue);
    work.ApplyBrightnessContrast(BrightnessLevel(params.Brightness), ContrastLevel(params.Contrast));
}

} // namespace

void FitSize(int w, int h, int boxWidth, int boxHeight, int *fittedWidth, int *fittedHeight)
{
    if (w <= 0 || h <= 0) {
        *fittedWidth = *fittedHeight = 0;
        return;
    }
    const float scale = std::min(float(boxWidth) / float(w), float(boxHeight) / float(h));
    *fittedWidth = int(float(w) * scale);
    *fittedHeight = int(float(h) * scale);
}

std::unique_ptr<TImage> FitImage(std::unique_ptr<TImage> image, int boxWidth, int boxHeight, bool fastThumbnail,
                                 int interpolationMode)
{
    if (!image)
        return image;
    int fw = 0, fh = 0;
    FitSize(image->Width(), image->Height(), boxWidth, boxHeight, &fw, &fh);
    if (fw <= 0 || fh <= 0)
        return image;
    std::unique_ptr<TImage> thumb;
    if (fastThumbnail)
        thumb = image->Thumbnail(boxWidth, boxHeight);
    std::unique_ptr<TImage> fitted = TImage::Create(fw, fh);
    if (!fitted)
        return image;
    const TImage &drawn = thumb ? *thumb : *image;
    if (fitted->DrawImageRect(drawn, 0, 0, fw, fh, fastThumbnail ? ZV_INTERPOLATION_BICUBIC : interpolationMode) !=
        ZV_OK)
        return image;
    CopyMetadata(*image, *fitted);
    return fitted;
}

int BrightnessLevel(double brightness)
{
    return int(brightness * 255);
}

int ContrastLevel(double contrast)
{
    return int((contrast - 1) * 100);
}

std::unique_ptr<TImage> RenderEdits(const TImage &source, int width, int height, const TRenderParams &params)
{
    // Every caller asks for the source's own size.
    (void)width;
    (void)height;
    std::unique_ptr<TImage> work = source.Clone();
    if (!work)
        return nullptr;
    ApplyEdits(*work, params);
    CopyMetadata(source, *work);
    return work;
}

int FindEncoder(const QString &extension, ZvGuid *clsid)
{
    uint32_t count = 0, size = 0;
    if (img::GetImageEncodersSize(&count, &size) != ZV_OK || count == 0 || size < count * sizeof(ZvEncoderInfo))
        return -1;
    std::vector<ZvEncoderInfo> encoders(count);
    if (img::GetImageEncoders(count, size, encoders.data()) != ZV_OK)
        return -1;
    const QString pattern = QStringLiteral("*.%1").arg(extension.toLower());
    for (uint32_t i = 0; i < count; ++i) {
        const QString list = QString::fromUtf8(encoders[i].filenameExtension).toLower();
        if (list.contains(pattern)) {
            if (clsid)
                *clsid = encoders[i].clsid;
            return int(i);
        }
    }
    return -1;
}

void CopyMetadata(const TImage &source, TImage &target)
{
    if (source.IsNull() || target.IsNull())
        return;
    uint32_t count = 0;
    if (img::GetPropertyCount(source.Handle(), &count) != ZV_OK || count == 0)
        return;
    std::vector<uint32_t> ids(count);
    if (img::GetPropertyIdList(source.Handle(), count, ids.data()) != ZV_OK)
        return;
    std::vector<uint8_t> buffer;
    for (uint32_t id : ids) {
        uint32_t size = 0;
        if (img::GetPropertyItemSize(source.Handle(), id, &size) != ZV_OK || size == 0)
            continue;
        buffer.resize(size);
        auto *item = reinterpret_cast<ZvPropertyItem *>(buffer.data());
        if (img::GetPropertyItem(source.Handle(), id, size, item) == ZV_OK)
            img::SetPropertyItem(target.Handle(), static_cast<const ZvPropertyItem *>(item));
    }
}

bool WritePrintFile(const QString &source, const QString &target, bool copyAsIs, double scale,
                    const TRenderParams &params)
{
    if (source.isEmpty() || target.isEmpty())
        return false;
    if (copyAsIs) {
        if (QFileInfo(source).absoluteFilePath() == QFileInfo(target).absoluteFilePath())
            return QFile::exists(source);
        if (QFile::exists(target) && !QFile::remove(target))
            return false;
        return QFile::copy(source, target);
    }
    ZvGuid clsid{};
    if (FindEncoder(QFileInfo(target).suffix(), &clsid) < 0)
        return false;
    std::unique_ptr<TImage> bitmap = TImage::FromFile(source);
    if (!bitmap)
        return false;
    const int width = bitmap->Width();
    const int height = bitmap->Height();
    int fw = 0, fh = 0;
    FitSize(width, height, int(width * scale), int(height * scale), &fw, &fh);
    const bool resize = fw > 0 && fh > 0;
    // A reduced print never needs the full-size picture: the JPEG decodes
    // DCT-scaled, the edits go onto that (red-eye rectangles follow the size)
    // and the bicubic takes it the rest of the way. Time and memory drop
    // with the square of the factor.
    if (resize && (fw < width || fh < height))
        bitmap->ReduceDecode(fw, fh);
    const bool reduced = bitmap->Width() != width || bitmap->Height() != height;
    TRenderParams render = params;
    render.InterpolationMode = ZV_INTERPOLATION_HQ_BICUBIC;
    // Red-eye rectangles of a photo never shown are in the file's pixels,
    // which the pre-reduced picture no longer has.
    if (render.Width <= 0 || render.Height <= 0) {
        render.Width = width;
        render.Height = height;
    }

    // The work copy shares its pixels with the decoded file until the first
    // edit writes; dropping the file's bitmap first keeps one picture in
    // memory instead of two.
    std::unique_ptr<TImage> rendered = bitmap->Clone();
    if (!rendered)
        return false;
    bitmap.reset();
    ApplyEdits(*rendered, render, reduced);

    if (resize) {
        // Drawn into the size fitted from the file's own size, so a
        // pre-reduced picture gives the same pixel size as a full one.
        std::unique_ptr<TImage> fitted = TImage::Create(fw, fh);
        if (!fitted || fitted->DrawImageRect(*rendered, 0, 0, fw, fh, render.InterpolationMode) != ZV_OK)
            return false;
        CopyMetadata(*rendered, *fitted);
        rendered = std::move(fitted);
    }
    // Unlike a bare save, a failed write is reported: the caller then sends
    // the user's file as it is.
    return rendered->Save(target, clsid, params.JpegQuality) == ZV_OK;
}

} // namespace zv
