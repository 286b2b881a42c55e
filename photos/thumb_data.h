#pragma once

#include "imaging/image.h"
#include "imaging/print_render.h"
#include "photos/edit_info.h"

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>

class QPainter;

namespace zv {

// Print quality of a photo for a format.
enum { kQualityUndetermined = 0, kQualityGood = 1, kQualityMedium = 2, kQualityPoor = 3 };

// One picture file as the program knows it: its file, its display image
// and the order entries and edits made for it.
//
// Threads: a grid's loader thread calls LoadImage, FitImage, RotateImage and
// RefreshImage while the window thread calls DrawImage. Picture work runs
// one at a time per item; DrawImage and the exchange of Image share one
// guard, and while Ready is clear (Image being replaced) DrawImage draws
// nothing. Order entries and edits belong to the window thread.
class TThumbData {
public:
    explicit TThumbData(const QString &path = QString());
    // Copies file and size, shares the other item's edits; no pictures.
    TThumbData(const TThumbData &other);
    TThumbData &operator=(const TThumbData &) = delete;
    virtual ~TThumbData();

    // Order entries, by price-list format index.
    void SetQuantity(int format, int quantity);
    int GetQuantity(int format) const;
    _FormatInfo *GetFormatInfo(int format);
    // Walk of the formats with a quantity above 0; a position is
    // format * 65536 + 1, or 0 at the end.
    intptr_t GetFirstFormatPosition() const;
    void GetNextFormat(intptr_t &position, int &format, int &quantity) const;
    void SaveFormats();
    // Back to the user's file and the saved entries.
    void RestoreFormats();

    // Edits; each setter re-renders Image. Out-of-range values are ignored.
    void SetBrightness(double brightness);
    void SetContrast(double contrast);
    void SetCyanRed(int level);
    void SetMagentaGreen(int level);
    void SetYellowBlue(int level);
    double GetBrightness() const;
    double GetContrast() const;
    int GetCyanRed() const;
    int GetMagentaGreen() const;
    int GetYellowBlue() const;
    void AddRedEyeRect(int left, int top, int right, int bottom);
    int GetRedEyeCount() const;
    TRect GetRedEyeRect(int index) const;
    // Back to the unedited picture; order entries stay.
    void ResetEdits();
    // The shared record, made on first need.
    _EditInfo *GetEdits();

    // Reads WorkPath into Image (false at once when there is one). A file
    // that cannot be decoded still ends Loaded with 0 x 0. With autoRotate
    // the picture is turned as its EXIF orientation says.
    bool LoadImage(bool autoRotate = false);
    void RotateImage(int step);
    void FitImage(int width, int height);
    // Draws Image fitted and centred into the box when Ready and Loaded;
    // the rectangle drawn into goes to drawn. False when nothing was drawn.
    virtual bool DrawImage(QPainter &painter, int x, int y, int width, int height, TRect *drawn = nullptr);
    TImage *GetSourceImage();
    void RefreshImage();
    // Size of the display image (0 x 0 without one).
    QSize ImageSize() const;

    // 0 undetermined, 1 good, 2 medium, 3 poor, from the picture's size and
    // the format's size in millimetres.
    int GetPrintQuality(int formatWidth, int formatHeight) const;

    // Print files.
    std::unique_ptr<TImage> RenderEdits(const TImage &source, int width, int height);
    bool WritePrintFile(const QString &source, const QString &target, bool copyAsIs, double scale);
    // Writes the print file into folder (named `name`, else after WorkPath)
    // and makes it WorkPath; false leaves WorkPath as it was.
    bool PrepareFile(const QString &folder, bool copyAsIs, double scale, const QString &name = QString());
    // What the dispatch does: render, and when the result is missing,
    // unreadable or empty, copy the user's file instead. False only when
    // even the copy failed.
    bool PreparePrintFile(const QString &folder, double scale, const QString &name = QString());

    static void FitSize(int w, int h, int boxWidth, int boxHeight, int *fittedWidth, int *fittedHeight);

    QString Path;
    QString WorkPath;
    QString DisplayName;
    QString Extension;
    std::atomic<int32_t> Width{0};
    std::atomic<int32_t> Height{0};
    std::atomic<bool> Loaded{false};
    std::atomic<bool> Ready{false};
    _EditInfo *Edits = nullptr;
    int32_t Rotation = 0;
    int32_t InterpolationMode = ZV_INTERPOLATION_LOW_QUALITY;
    bool FastThumbnail = true;
    int32_t JpegQuality = 90;

protected:
    TRenderParams RenderParams() const;
    // Exchanges Image under the guard.
    void SetImage(std::unique_ptr<TImage> image);
    void SetReady(bool ready);

    std::unique_ptr<TImage> Image;
    std::unique_ptr<TImage> SourceImage;
    // Guards Image's exchange against drawing.
    mutable std::mutex m_imageGuard;
    // One picture operation at a time.
    std::recursive_mutex m_workGuard;
};

} // namespace zv
