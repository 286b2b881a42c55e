#include "photos/thumb_data.h"

#include "imaging/imaging_library.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace zv {

namespace {

constexpr double kMinBrightness = -0.21;
constexpr double kMaxBrightness = 0.21;
constexpr double kMinContrast = 0.49;
constexpr double kMaxContrast = 1.51;
constexpr uint32_t kOrientationProperty = 0x0112; // IFD0 tag, group code 0

QString FileNameOf(const QString &path)
{
    return QFileInfo(path).fileName();
}

QString ExtensionOf(const QString &path)
{
    const QString name = FileNameOf(path);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

// EXIF orientation as quarter turns clockwise; 0 for none or a mirrored one.
int OrientationSteps(const TImage &image)
{
    uint32_t size = 0;
    if (image.IsNull() || img::GetPropertyItemSize(image.Handle(), kOrientationProperty, &size) != ZV_OK ||
        size < sizeof(ZvPropertyItem) + 2)
        return 0;
    std::vector<uint8_t> buffer(size);
    auto *item = reinterpret_cast<ZvPropertyItem *>(buffer.data());
    if (img::GetPropertyItem(image.Handle(), kOrientationProperty, size, item) != ZV_OK || item->length < 2)
        return 0;
    const auto *v = static_cast<const uint8_t *>(item->value);
    switch (v[0] | (v[1] << 8)) {
    case 6: return 1;
    case 3: return 2;
    case 8: return 3;
    default: return 0;
    }
}

} // namespace

TThumbData::TThumbData(const QString &path)
    : Path(path), WorkPath(path), DisplayName(FileNameOf(path)), Extension(ExtensionOf(path))
{
}

TThumbData::TThumbData(const TThumbData &other)
    : Path(other.Path),
      WorkPath(other.WorkPath),
      DisplayName(other.DisplayName),
      Extension(other.Extension),
      Width(other.Width.load()),
      Height(other.Height.load()),
      FastThumbnail(other.FastThumbnail)
{
    Edits = const_cast<TThumbData &>(other).GetEdits();
    ++Edits->RefCount;
}

TThumbData::~TThumbData()
{
    if (Edits) {
        if (Edits->RefCount <= 1)
            delete Edits;
        else
            --Edits->RefCount;
    }
}

_EditInfo *TThumbData::GetEdits()
{
    if (!Edits)
        Edits = new _EditInfo;
    return Edits;
}

void TThumbData::SetQuantity(int format, int quantity)
{
    if (format < 0)
        return;
    _EditInfo *e = GetEdits();
    if (format >= e->Formats.size())
        e->Formats.resize(format + 1);
    e->Formats[format].Quantity = std::max(0, quantity);
}

int TThumbData::GetQuantity(int format) const
{
    if (!Edits || format < 0 || format >= Edits->Formats.size())
        return 0;
    return Edits->Formats[format].Quantity;
}

_FormatInfo *TThumbData::GetFormatInfo(int format)
{
    if (!Edits || format < 0 || format >= Edits->Formats.size())
        return nullptr;
    return &Edits->Formats[format];
}

intptr_t TThumbData::GetFirstFormatPosition() const
{
    if (!Edits)
        return 0;
    for (int i = 0; i < Edits->Formats.size(); ++i)
        if (Edits->Formats[i].Quantity > 0)
            return intptr_t(i) * 65536 + 1;
    return 0;
}

void TThumbData::GetNextFormat(intptr_t &position, int &format, int &quantity) const
{
    const int index = int((position - 1) / 65536);
    if (position <= 0 || !Edits || index >= Edits->Formats.size()) {
        position = 0;
        return;
    }
    format = index;
    quantity = Edits->Formats[index].Quantity;
    position = 0;
    for (int i = index + 1; i < Edits->Formats.size(); ++i) {
        if (Edits->Formats[i].Quantity > 0) {
            position = intptr_t(i) * 65536 + 1;
            break;
        }
    }
}

void TThumbData::SaveFormats()
{
    _EditInfo *e = GetEdits();
    e->SavedFormats = e->Formats;
}

void TThumbData::RestoreFormats()
{
    WorkPath = Path;
    _EditInfo *e = GetEdits();
    e->Formats = e->SavedFormats;
}

void TThumbData::SetBrightness(double brightness)
{
    if (brightness < kMinBrightness || brightness > kMaxBrightness)
        return;
    GetEdits()->Brightness = brightness;
    Edits->Modified = true;
    RefreshImage();
}

void TThumbData::SetContrast(double contrast)
{
    if (contrast < kMinContrast || contrast > kMaxContrast)
        return;
    GetEdits()->Contrast = contrast;
    Edits->Modified = true;
    RefreshImage();
}

void TThumbData::SetCyanRed(int level)
{
    GetEdits()->CyanRed = level;
    Edits->Modified = true;
    RefreshImage();
}

void TThumbData::SetMagentaGreen(int level)
{
    GetEdits()->MagentaGreen = level;
    Edits->Modified = true;
    RefreshImage();
}

void TThumbData::SetYellowBlue(int level)
{
    GetEdits()->YellowBlue = level;
    Edits->Modified = true;
    RefreshImage();
}

double TThumbData::GetBrightness() const { return Edits ? Edits->Brightness : 0.0; }
double TThumbData::GetContrast() const { return Edits ? Edits->Contrast : 1.0; }
int TThumbData::GetCyanRed() const { return Edits ? Edits->CyanRed : 0; }
int TThumbData::GetMagentaGreen() const { return Edits ? Edits->MagentaGreen : 0; }
int TThumbData::GetYellowBlue() const { return Edits ? Edits->YellowBlue : 0; }

void TThumbData::AddRedEyeRect(int left, int top, int right, int bottom)
{
    GetEdits()->RedEyeRects.append(TRect{left, top, right, bottom});
    Edits->Modified = true;
    RefreshImage();
}

int TThumbData::GetRedEyeCount() const
{
    return Edits ? int(Edits->RedEyeRects.size()) : 0;
}

TRect TThumbData::GetRedEyeRect(int index) const
{
    if (!Edits || index < 0 || index >= Edits->RedEyeRects.size())
        return TRect{};
    return Edits->RedEyeRects[index];
}

void TThumbData::ResetEdits()
{
    _EditInfo *e = GetEdits();
    e->Contrast = 1.0;
    e->Brightness = 0.0;
    e->CyanRed = e->MagentaGreen = e->YellowBlue = 0;
    e->RedEyeRects.clear();
    e->Modified = true;
    RefreshImage();
    e->Modified = false;
}

void TThumbData::SetImage(std::unique_ptr<TImage> image)
{
    std::unique_ptr<TImage> old;
    {
        std::lock_guard lock(m_imageGuard);
        old = std::exchange(Image, std::move(image));
    }
    // The old picture goes outside the guard: freeing 100 MB takes a while.
}

void TThumbData::SetReady(bool ready)
{
    std::lock_guard lock(m_imageGuard);
    Ready = ready;
}

bool TThumbData::LoadImage(bool autoRotate)
{
    std::lock_guard work(m_workGuard);
    {
        std::lock_guard lock(m_imageGuard);
        if (Image)
            return false;
        Ready = false;
    }
    std::unique_ptr<TImage> image = TImage::FromFile(WorkPath);
    Width = image ? image->Width() : 0;
    Height = image ? image->Height() : 0;
    const int steps = autoRotate && image ? OrientationSteps(*image) : 0;
    SetImage(std::move(image));
    Loaded = true;
    SetReady(true);
    if (steps)
        RotateImage(steps);
    return true;
}

void TThumbData::RotateImage(int step)
{
    if (step < 1 || step > 3)
        return;
    std::lock_guard work(m_workGuard);
    std::lock_guard lock(m_imageGuard);
    if (!Image)
        return;
    // Turned under the guard: it changes Image in place, and a display
    // image turns in a few milliseconds.
    const bool wasReady = Ready;
    Ready = false;
    Image->RotateFlip(step);
    Rotation = (Rotation + 90 * step) % 360;
    Ready = wasReady;
}

void TThumbData::FitImage(int width, int height)
{
    std::lock_guard work(m_workGuard);
    std::unique_ptr<TImage> current;
    {
        std::lock_guard lock(m_imageGuard);
        if (!Image)
            return;
        Ready = false;
        current = std::move(Image);
    }
    SetImage(zv::FitImage(std::move(current), width, height, FastThumbnail, InterpolationMode));
    SetReady(true);
}

bool TThumbData::DrawImage(QPainter &painter, int x, int y, int width, int height, TRect *drawn)
{
    std::lock_guard lock(m_imageGuard);
    if (!Ready || !Loaded || !Image)
        return false;
    int fw = 0, fh = 0;
    FitSize(Image->Width(), Image->Height(), width, height, &fw, &fh);
    const int left = x + (width - fw) / 2;
    const int top = y + (height - fh) / 2;
    Image->Draw(painter, QRect(left, top, fw, fh), InterpolationMode);
    if (drawn)
        *drawn = TRect{left, top, left + fw, top + fh};
    return true;
}

QSize TThumbData::ImageSize() const
{
    std::lock_guard lock(m_imageGuard);
    return Image ? QSize(Image->Width(), Image->Height()) : QSize(0, 0);
}

TImage *TThumbData::GetSourceImage()
{
    std::lock_guard work(m_workGuard);
    if (SourceImage)
        return SourceImage.get();
    QSize size = ImageSize();
    if (size.isEmpty())
        return nullptr;
    // The display image may be turned; the source stays unturned.
    if (Rotation == 90 || Rotation == 270)
        size.transpose();
    std::unique_ptr<TImage> fresh = TImage::FromFile(WorkPath);
    if (!fresh)
        return nullptr;
    SourceImage = zv::FitImage(std::move(fresh), size.width(), size.height(), FastThumbnail, InterpolationMode);
    return SourceImage.get();
}

void TThumbData::RefreshImage()
{
    std::lock_guard work(m_workGuard);
    if (!Edits || !Edits->Modified || ImageSize().isEmpty())
        return;
    TImage *source = GetSourceImage();
    if (!source)
        return;
    SetReady(false);
    std::unique_ptr<TImage> rendered = RenderEdits(*source, source->Width(), source->Height());
    if (rendered) {
        if (Rotation != 0)
            rendered->RotateFlip(Rotation / 90);
        SetImage(std::move(rendered));
    }
    SetReady(true);
}

int TThumbData::GetPrintQuality(int formatWidth, int formatHeight) const
{
    if (!Loaded)
        return kQualityUndetermined;
    const int formatSide = std::max(formatWidth, formatHeight);
    // A format without a size says nothing about quality.
    if (formatSide <= 0)
        return kQualityUndetermined;
    const double score = 25.0 * std::max(Width.load(), Height.load()) / formatSide;
    if (score > 250)
        return kQualityGood;
    if (score > 150)
        return kQualityMedium;
    return kQualityPoor;
}

TRenderParams TThumbData::RenderParams() const
{
    TRenderParams p;
    p.Width = Width;
    p.Height = Height;
    p.InterpolationMode = InterpolationMode;
    p.FastThumbnail = FastThumbnail;
    p.JpegQuality = JpegQuality;
    if (Edits) {
        for (const TRect &r : Edits->RedEyeRects)
            p.RedEyeRects.append(ZvRect{r.left, r.top, r.right, r.bottom});
        p.CyanRed = Edits->CyanRed;
        p.MagentaGreen = Edits->MagentaGreen;
        p.YellowBlue = Edits->YellowBlue;
        p.Brightness = Edits->Brightness;
        p.Contrast = Edits->Contrast;
    }
    return p;
}

std::unique_ptr<TImage> TThumbData::RenderEdits(const TImage &source, int width, int height)
{
    return zv::RenderEdits(source, width, height, RenderParams());
}

bool TThumbData::WritePrintFile(const QString &source, const QString &target, bool copyAsIs, double scale)
{
    return zv::WritePrintFile(source, target, copyAsIs, scale, RenderParams());
}

bool TThumbData::PrepareFile(const QString &folder, bool copyAsIs, double scale, const QString &name)
{
    const QFileInfo work(WorkPath);
    const QString fileName = work.fileName();
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString base = dot < 0 ? fileName : fileName.left(dot);
    const QString extension = dot < 0 ? QString() : fileName.mid(dot);
    QString dir = folder;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    const QString target = dir + (name.isEmpty() ? base + extension : name);
    if (!WritePrintFile(Path, target, copyAsIs, scale))
        return false;
    // A copy keeps the user file's permissions; the working copy must be ours.
    QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner | QFileDevice::ReadOwner);
    WorkPath = target;
    return true;
}

bool TThumbData::PreparePrintFile(const QString &folder, double scale, const QString &name)
{
    if (PrepareFile(folder, false, scale, name)) {
        const QFileInfo written(WorkPath);
        QFile probe(WorkPath);
        if (written.size() > 0 && probe.open(QIODevice::ReadOnly))
            return true;
    }
    return PrepareFile(folder, true, scale, name);
}

void TThumbData::FitSize(int w, int h, int boxWidth, int boxHeight, int *fittedWidth, int *fittedHeight)
{
    zv::FitSize(w, h, boxWidth, boxHeight, fittedWidth, fittedHeight);
}

} // namespace zv
