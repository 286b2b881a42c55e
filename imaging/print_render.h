#pragma once

#include "imaging/image.h"

#include <QList>
#include <QString>

#include <memory>

namespace zv {

// What a photo item hands to the edit pipeline: its file size, drawing
// settings and edits.
struct TRenderParams {
    int Width = 0;  // pixel size of the photo's file, the frame of RedEyeRects
    int Height = 0;
    int InterpolationMode = ZV_INTERPOLATION_LOW_QUALITY;
    bool FastThumbnail = true;
    int JpegQuality = 90;
    QList<ZvRect> RedEyeRects;
    int CyanRed = 0;
    int MagentaGreen = 0;
    int YellowBlue = 0;
    double Brightness = 0.0;
    double Contrast = 1.0;
};

// w x h fitted into the box: the smaller scale of the two, in single
// precision, each side truncated.
void FitSize(int w, int h, int boxWidth, int boxHeight, int *fittedWidth, int *fittedHeight);

// The picture scaled to fit the box, its metadata along; with fastThumbnail
// the module's quick reduced picture is taken first and drawn bicubic,
// otherwise the picture itself with interpolationMode. The input when
// scaling fails (no module, empty box).
std::unique_ptr<TImage> FitImage(std::unique_ptr<TImage> image, int boxWidth, int boxHeight, bool fastThumbnail,
                                 int interpolationMode);

// The edits burnt into a copy of source: red-eye rectangles (scaled from
// Width x Height to the source), colour balance, brightness and contrast.
// No picture when the copy cannot be made.
std::unique_ptr<TImage> RenderEdits(const TImage &source, int width, int height, const TRenderParams &params);

// Index of the first encoder whose extension list holds "*.<ext>" (any
// case) and its class id; -1 when none.
int FindEncoder(const QString &extension, ZvGuid *clsid);

// Copies every metadata item of source onto target; unreadable items skipped.
void CopyMetadata(const TImage &source, TImage &target);

// Level of brightness and contrast given to the module.
int BrightnessLevel(double brightness);
int ContrastLevel(double contrast);

// Writes the print file: a plain copy (replacing the target), or the source
// decoded, edited, scaled by `scale` with high-quality bicubic and saved with
// the encoder of the target's extension at params.JpegQuality, metadata
// kept. A JPEG reduced to half or less decodes DCT-scaled and is edited at
// that size; the pixel size is that of the full path. False when a path is
// empty, no encoder fits, the source cannot be decoded or the file cannot be
// written (the module never leaves half a file).
bool WritePrintFile(const QString &source, const QString &target, bool copyAsIs, double scale,
                    const TRenderParams &params);

} // namespace zv
