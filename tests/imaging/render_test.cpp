#include "imaging/color_mapping.h"
#include "imaging/print_render.h"
#include "photos/thumb_data.h"
#include "tests/imaging/test_pictures.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

namespace zv {
namespace {

using test::ModuleTest;
using test::Near;
using test::Pixels;

// A grey photo with a red pupil at (100, 200)-(140, 230).
QImage WithRedPupil(int w, int h, double s = 1.0)
{
    QImage img = test::Filled(w, h, QColor(128, 128, 128));
    QPainter p(&img);
    p.fillRect(QRect(int(100 * s), int(200 * s), int(40 * s), int(30 * s)), QColor(210, 25, 25));
    return img;
}

TEST_F(ModuleTest, UneditedPrintFileKeepsSizeAndCameraData)
{
    const QString src = Path("IMG_1.JPG");
    ASSERT_TRUE(test::WriteJpeg(src, test::Filled(400, 300, QColor(60, 120, 180))));
    test::AddCameraData(src);
    TThumbData item(src);
    QTemporaryDir out;
    ASSERT_TRUE(item.PrepareFile(out.path(), false, 1.0));
    EXPECT_EQ(item.WorkPath, out.filePath("IMG_1.JPG"));
    EXPECT_EQ(item.Path, src);
    auto written = TImage::FromFile(item.WorkPath);
    ASSERT_TRUE(written);
    EXPECT_EQ(QSize(written->Width(), written->Height()), QSize(400, 300));
    EXPECT_EQ(test::ExifValue(item.WorkPath, "Exif.Image.Make"), "Tevaro Optics");
    EXPECT_EQ(test::ExifValue(item.WorkPath, "Exif.Photo.DateTimeOriginal"), "2021:06:01 12:00:00");
    EXPECT_TRUE(Near(Pixels(written->Handle()).pixel(200, 150), qRgb(60, 120, 180), 4));
}

TEST_F(ModuleTest, ScaledPrintFileAndNamedTarget)
{
    const QString src = Path("big.bmp");
    ASSERT_TRUE(test::Filled(400, 300, Qt::white).save(src, "bmp"));
    TThumbData item(src);
    QTemporaryDir out;
    // A BMP sent under a ".jpg" upload name is written as JPEG.
    ASSERT_TRUE(item.PrepareFile(out.path(), false, 0.5, "7.jpg"));
    EXPECT_EQ(item.WorkPath, out.filePath("7.jpg"));
    QFile f(item.WorkPath);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(3).startsWith("\xff\xd8\xff"));
    auto written = TImage::FromFile(item.WorkPath);
    EXPECT_EQ(QSize(written->Width(), written->Height()), QSize(200, 150));
}

TEST_F(ModuleTest, TargetWithoutEncoderFailsAndLeavesWorkPath)
{
    const QString src = Path("p.jpg");
    ASSERT_TRUE(test::WriteJpeg(src, test::Filled(40, 30, Qt::blue)));
    TThumbData item(src);
    QTemporaryDir out;
    EXPECT_FALSE(item.PrepareFile(out.path(), false, 1.0, "p.xyz"));
    EXPECT_EQ(item.WorkPath, src);
    EXPECT_FALSE(QFile::exists(out.filePath("p.xyz")));
    EXPECT_FALSE(item.WritePrintFile(QString(), out.filePath("q.jpg"), false, 1.0));
    EXPECT_FALSE(item.WritePrintFile(src, QString(), true, 1.0));
    // The dispatch's way: a failed render becomes a plain copy.
    ASSERT_TRUE(item.PreparePrintFile(out.path(), 1.0, "p.xyz"));
    EXPECT_EQ(QFileInfo(item.WorkPath).size(), QFileInfo(src).size());
}

TEST_F(ModuleTest, ReadOnlyUserFileGivesWritableTarget)
{
    const QString src = Path("ro.jpg");
    ASSERT_TRUE(test::WriteJpeg(src, test::Filled(40, 30, Qt::blue)));
    ASSERT_TRUE(QFile::setPermissions(src, QFile::ReadOwner | QFile::ReadGroup));
    QTemporaryDir out;
    for (bool copyAsIs : {true, false}) {
        TThumbData item(src);
        ASSERT_TRUE(item.PrepareFile(out.path(), copyAsIs, 1.0)) << copyAsIs;
        EXPECT_TRUE(QFileInfo(item.WorkPath).isWritable()) << copyAsIs;
    }
    // A second copy replaces the first.
    TThumbData again(src);
    EXPECT_TRUE(again.PrepareFile(out.path(), true, 1.0));
}

TEST_F(ModuleTest, EditsAreBurntIntoThePrintFile)
{
    const QString src = Path("eye.bmp");
    ASSERT_TRUE(WithRedPupil(400, 300).save(src, "bmp"));
    TThumbData item(src);
    ASSERT_TRUE(item.LoadImage());
    item.AddRedEyeRect(100, 200, 140, 230);
    item.SetBrightness(0.1); // level 25
    QTemporaryDir out;
    ASSERT_TRUE(item.PrepareFile(out.path(), false, 1.0, "eye.png"));
    const QImage px = Pixels(TImage::FromFile(item.WorkPath)->Handle());
    EXPECT_TRUE(Near(px.pixel(120, 215), qRgb(25 + 25, 25 + 25, 25 + 25), 2)) << std::hex << px.pixel(120, 215);
    EXPECT_TRUE(Near(px.pixel(10, 10), qRgb(153, 153, 153), 0));
}

// The red-eye rectangles are kept in the file's pixels and scaled to the
// picture they are applied to.
TEST_F(ModuleTest, RedEyeRectangleFollowsTheSourceSize)
{
    const QString full = Path("full.bmp");
    const QString half = Path("half.bmp");
    ASSERT_TRUE(WithRedPupil(2000, 1500).save(full, "bmp"));
    ASSERT_TRUE(WithRedPupil(1000, 750, 0.5).save(half, "bmp"));
    TThumbData item(full);
    ASSERT_TRUE(item.LoadImage());
    item.AddRedEyeRect(100, 200, 140, 230);
    struct {
        QString path;
        QPoint inside, outsideBelow;
    } cases[] = {{full, {139, 229}, {120, 231}}, {half, {69, 114}, {60, 116}}};
    for (const auto &c : cases) {
        auto source = TImage::FromFile(c.path);
        auto rendered = item.RenderEdits(*source, source->Width(), source->Height());
        ASSERT_TRUE(rendered);
        const QImage px = Pixels(rendered->Handle());
        EXPECT_LT(qRed(px.pixel(c.inside)), 60) << c.path.toStdString();
        EXPECT_EQ(px.pixel(c.outsideBelow), qRgb(128, 128, 128)) << c.path.toStdString();
    }
}

// A reduced print decodes the JPEG pre-reduced; what the user gets must be
// the print of the full-size path: the same pixel size, the pupil in place
// and the same picture within the noise of a resampling.
struct ReducedCase {
    const char *name;
    int width, height;
    double scale;
    bool shown; // the item was loaded, so its size frames the rectangles
};

class ReducedPrint : public ModuleTest, public ::testing::WithParamInterface<ReducedCase> {};

double Psnr(const QImage &a, const QImage &b)
{
    double sum = 0.0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)})
                sum += d * d;
        }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

TEST_P(ReducedPrint, MatchesTheFullSizePath)
{
    const ReducedCase &c = GetParam();
    const int w = c.width, h = c.height;
    QImage picture(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            picture.setPixel(x, y,
                             qRgb(60 + x * 150 / w, 40 + y * 160 / h, 90 + int(40 * std::sin(x * 0.05 + y * 0.03))));
    QPainter(&picture).fillRect(QRect(601, 403, 60, 46), QColor(210, 25, 25));
    const QString src = Path("eye.jpg");
    ASSERT_TRUE(test::WriteJpeg(src, picture));

    TThumbData item(src);
    if (c.shown) {
        ASSERT_TRUE(item.LoadImage());
    }
    item.AddRedEyeRect(601, 403, 661, 449);
    item.SetCyanRed(10);
    item.SetBrightness(0.08);
    item.SetContrast(1.12);
    QTemporaryDir out;
    ASSERT_TRUE(item.WritePrintFile(src, out.filePath("print.png"), false, c.scale));
    const QImage print = Pixels(TImage::FromFile(out.filePath("print.png"))->Handle());

    auto source = TImage::FromFile(src);
    ASSERT_TRUE(source);
    auto full = FitImage(item.RenderEdits(*source, w, h), int(w * c.scale), int(h * c.scale), false,
                         ZV_INTERPOLATION_HQ_BICUBIC);
    ASSERT_TRUE(full);
    const QImage expected = Pixels(full->Handle());
    ASSERT_EQ(print.size(), expected.size());

    const QPoint pupil(int(631 * c.scale), int(426 * c.scale));
    EXPECT_LT(qRed(print.pixel(pupil)), 90) << std::hex << print.pixel(pupil);
    // No red fringe along the rectangle's edges (a truncated rectangle leaves
    // about 70 levels; blends at the edge are corrected a little less).
    int redder = 0;
    for (int y = int(403 * c.scale) - 1; y <= int(449 * c.scale) + 1; ++y)
        for (int x = int(601 * c.scale) - 1; x <= int(661 * c.scale) + 1; ++x)
            redder = std::max(redder, qRed(print.pixel(x, y)) - qRed(expected.pixel(x, y)));
    EXPECT_LE(redder, 30);
    EXPECT_GT(Psnr(print, expected), 35.0);
}

INSTANTIATE_TEST_SUITE_P(Scales, ReducedPrint,
                         ::testing::Values(ReducedCase{"Half", 1200, 800, 0.443, true},
                                           ReducedCase{"Quarter", 1200, 800, 0.2, true},
                                           ReducedCase{"Eighth", 1200, 800, 0.1, true},
                                           ReducedCase{"AboveHalf", 1200, 800, 0.7, true},
                                           ReducedCase{"SizeNotDivisible", 1203, 801, 0.1, true},
                                           ReducedCase{"NeverShown", 1200, 800, 0.443, false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(EditLevels, FromPhotoValues)
{
    EXPECT_EQ(BrightnessLevel(0.2), 51);
    EXPECT_EQ(BrightnessLevel(-0.2), -51);
    EXPECT_EQ(ContrastLevel(1.5), 50);
    EXPECT_EQ(ContrastLevel(0.5), -50);
    EXPECT_EQ(ContrastLevel(1.0), 0);
}

struct SliderCase {
    const char *name;
    int position;
    double brightness, contrast;
};

class SliderMapping : public ::testing::TestWithParam<SliderCase> {};

TEST_P(SliderMapping, PositionsAndValues)
{
    const SliderCase &c = GetParam();
    EXPECT_NEAR(BrightnessFromPosition(c.position), c.brightness, 1e-6);
    EXPECT_NEAR(ContrastFromPosition(c.position), c.contrast, 1e-6);
    EXPECT_EQ(LevelFromPosition(c.position), c.position);
    EXPECT_EQ(PositionFromLevel(c.position), c.position);
}

INSTANTIATE_TEST_SUITE_P(Colour, SliderMapping,
                         ::testing::Values(SliderCase{"Minimum", -50, -0.2, 0.5}, SliderCase{"Neutral", 0, 0.0, 1.0},
                                           SliderCase{"Maximum", 50, 0.2, 1.5}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(SliderMapping, BackFromStoredValuesTruncates)
{
    EXPECT_EQ(PositionFromBrightness(0.1), 25);
    // 0.25 x 99.9999985098839 is just below 25.
    EXPECT_EQ(PositionFromContrast(1.25), 24);
    EXPECT_EQ(PositionFromContrast(1.0), 0);
    EXPECT_EQ(PositionFromBrightness(-0.2), -50);
    EXPECT_EQ(BrightnessLevel(BrightnessFromPosition(50)), 51);
    EXPECT_EQ(ContrastLevel(ContrastFromPosition(50)), 50);
}

} // namespace
} // namespace zv
