#include "imaging/image.h"
#include "imaging/print_render.h"
#include "tests/imaging/test_pictures.h"

#include <QImageWriter>

#include <gtest/gtest.h>

namespace zv {
namespace {

using test::ModuleTest;
using test::Near;
using test::Pixels;

// A picture with a marked top-left corner, to see turns and decoders agree.
QImage Marked(int w, int h)
{
    QImage img = test::Filled(w, h, QColor(40, 90, 200));
    for (int y = 0; y < h / 4; ++y)
        for (int x = 0; x < w / 4; ++x)
            img.setPixel(x, y, qRgb(230, 210, 30));
    return img;
}

struct DecodeCase {
    const char *name;
    const char *file;
    bool (*write)(const QString &path);
    QRgb center;
    int tolerance;
};

const DecodeCase kDecodeCases[] = {
    {"BaselineJpeg", "a.jpg", [](const QString &p) { return test::WriteJpeg(p, Marked(64, 48)); },
     qRgb(40, 90, 200), 8},
    {"ProgressiveJpeg", "a.jpg", [](const QString &p) { return test::WriteJpeg(p, Marked(64, 48), 95, true); },
     qRgb(40, 90, 200), 8},
    {"GreyscaleJpeg", "a.jpeg",
     [](const QString &p) { return test::WriteJpeg(p, test::Filled(64, 48, QColor(120, 120, 120)).convertToFormat(QImage::Format_Grayscale8)); },
     qRgb(120, 120, 120), 3},
    {"CmykJpeg", "a.jpg", [](const QString &p) { return test::WriteCmykJpeg(p, 64, 48, 255, 0, 0, 255); },
     qRgb(255, 0, 0), 8},
    {"Tiff", "a.tif", [](const QString &p) { return Marked(64, 48).save(p, "tiff"); }, qRgb(40, 90, 200), 0},
    {"Bmp", "a.bmp", [](const QString &p) { return Marked(64, 48).save(p, "bmp"); }, qRgb(40, 90, 200), 0},
};

class DecodeTest : public ModuleTest, public ::testing::WithParamInterface<DecodeCase> {};

TEST_P(DecodeTest, ReadsSizeAndPixels)
{
    const DecodeCase &c = GetParam();
    const QString path = Path(c.file);
    ASSERT_TRUE(c.write(path));
    auto image = TImage::FromFile(path);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->Width(), 64);
    EXPECT_EQ(image->Height(), 48);
    const QImage px = Pixels(image->Handle());
    ASSERT_EQ(px.size(), QSize(64, 48));
    EXPECT_TRUE(Near(px.pixel(40, 30), c.center, c.tolerance)) << std::hex << px.pixel(40, 30);
    EXPECT_EQ(qAlpha(px.pixel(40, 30)), 255);
}

INSTANTIATE_TEST_SUITE_P(Formats, DecodeTest, ::testing::ValuesIn(kDecodeCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ModuleTest, RefusesWhatIsNoPicture)
{
    EXPECT_EQ(TImage::FromFile(Path("missing.jpg")), nullptr);
    QFile junk(Path("junk.jpg"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("\xff\xd8\xff not really a picture");
    junk.close();
    EXPECT_EQ(TImage::FromFile(Path("junk.jpg")), nullptr);
    ZvBitmap *b = nullptr;
    EXPECT_EQ(img::CreateBitmapFromFile(Path("junk.jpg").toUtf8().constData(), &b), ZV_UNKNOWN_IMAGE_FORMAT);
    EXPECT_EQ(img::CreateBitmapFromScan0(10, 10, 0, 0x1234, static_cast<void *>(nullptr), &b), ZV_INVALID_PARAMETER);
}

TEST_F(ModuleTest, QuarterTurnsClockwise)
{
    ASSERT_TRUE(Marked(40, 20).save(Path("m.bmp"), "bmp"));
    struct {
        int step;
        QSize size;
        QPoint marked;
    } cases[] = {{1, {20, 40}, {18, 2}}, {2, {40, 20}, {38, 18}}, {3, {20, 40}, {2, 38}}};
    for (const auto &c : cases) {
        auto image = TImage::FromFile(Path("m.bmp"));
        ASSERT_EQ(image->RotateFlip(c.step), ZV_OK);
        const QImage px = Pixels(image->Handle());
        EXPECT_EQ(px.size(), c.size) << c.step;
        EXPECT_EQ(px.pixel(c.marked), qRgb(230, 210, 30)) << c.step;
        EXPECT_EQ(image->Width(), c.size.width());
    }
}

TEST_F(ModuleTest, ScalingKeepsFlatColourAndAveragesDetail)
{
    QImage checker(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            checker.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    ASSERT_TRUE(checker.save(Path("c.bmp"), "bmp"));
    ASSERT_TRUE(test::Filled(64, 64, QColor(10, 200, 90)).save(Path("f.bmp"), "bmp"));
    for (int mode : {ZV_INTERPOLATION_BICUBIC, ZV_INTERPOLATION_HQ_BICUBIC}) {
        auto flat = FitImage(TImage::FromFile(Path("f.bmp")), 16, 16, false, mode);
        ASSERT_EQ(flat->Width(), 16);
        const QImage fp = Pixels(flat->Handle());
        EXPECT_TRUE(Near(fp.pixel(0, 0), qRgb(10, 200, 90), 0));
        EXPECT_TRUE(Near(fp.pixel(8, 8), qRgb(10, 200, 90), 0));
        auto grey = FitImage(TImage::FromFile(Path("c.bmp")), 16, 16, false, mode);
        const QImage gp = Pixels(grey->Handle());
        // A fine checker reduced 4x is mid grey, not an aliasing pattern.
        EXPECT_TRUE(Near(gp.pixel(8, 8), qRgb(128, 128, 128), 6)) << std::hex << gp.pixel(8, 8);
    }
}

// Which path served the thumbnail shows in its colour: the embedded
// thumbnail is red, the picture blue.
struct ThumbCase {
    const char *name;
    QSize thumbnail; // embedded, empty for none
    QSize box;
    bool embeddedServes;
};

const ThumbCase kThumbCases[] = {
    {"EmbeddedLargeEnough", {160, 120}, {90, 90}, true},
    {"EmbeddedTooSmallForBox", {160, 120}, {180, 180}, false},
    {"EmbeddedOfOtherAspect", {160, 160}, {90, 90}, false},
    {"NoEmbedded", {}, {90, 90}, false},
};

class ThumbnailTest : public ModuleTest, public ::testing::WithParamInterface<ThumbCase> {};

TEST_P(ThumbnailTest, TakesTheCheapestSourceThatIsLargeEnough)
{
    const ThumbCase &c = GetParam();
    const QString path = Path("t.jpg");
    ASSERT_TRUE(test::WriteJpeg(path, test::Filled(1600, 1200, QColor(20, 40, 220))));
    test::AddCameraData(path, c.thumbnail.isEmpty() ? QImage() : test::Filled(c.thumbnail.width(), c.thumbnail.height(), Qt::red));
    auto image = TImage::FromFile(path);
    ASSERT_TRUE(image);
    auto thumb = image->Thumbnail(c.box.width(), c.box.height());
    ASSERT_TRUE(thumb);
    int fw = 0, fh = 0;
    FitSize(1600, 1200, c.box.width(), c.box.height(), &fw, &fh);
    EXPECT_GE(thumb->Width(), fw);
    EXPECT_GE(thumb->Height(), fh);
    const QImage px = Pixels(thumb->Handle());
    const QRgb center = px.pixel(px.width() / 2, px.height() / 2);
    EXPECT_EQ(qRed(center) > 200, c.embeddedServes) << std::hex << center;
    if (!c.embeddedServes) {
        // A DCT-scaled decode: well below the full size.
        EXPECT_LE(thumb->Width(), 400);
    }
    // The picture itself was never decoded for this, and still fits fully.
    auto fitted = FitImage(std::move(image), c.box.width(), c.box.height(), true, ZV_INTERPOLATION_LOW_QUALITY);
    EXPECT_EQ(QSize(fitted->Width(), fitted->Height()), QSize(fw, fh));
}

INSTANTIATE_TEST_SUITE_P(Sources, ThumbnailTest, ::testing::ValuesIn(kThumbCases),
                         [](const auto &info) { return std::string(info.param.name); });

// Effects on known pixels.
struct EffectCase {
    const char *name;
    QRgb before;
    int redEye; // 1: red-eye over the whole picture
    int cyanRed, magentaGreen, yellowBlue;
    int brightness, contrast;
    QRgb after;
    int tolerance;
};

const EffectCase kEffectCases[] = {
    {"NeutralGreyStaysUnderZeroLevels", qRgb(128, 128, 128), 0, 0, 0, 0, 0, 0, qRgb(128, 128, 128), 0},
    {"NeutralColourStaysUnderZeroLevels", qRgb(17, 200, 93), 0, 0, 0, 0, 0, 0, qRgb(17, 200, 93), 0},
    {"RedPupilBecomesDark", qRgb(200, 30, 30), 1, 0, 0, 0, 0, 0, qRgb(30, 30, 30), 1},
    {"SkinSurvivesRedEye", qRgb(220, 170, 140), 1, 0, 0, 0, 0, 0, qRgb(220, 170, 140), 0},
    {"GreySurvivesRedEye", qRgb(90, 90, 90), 1, 0, 0, 0, 0, 0, qRgb(90, 90, 90), 0},
    {"BalanceTowardsRedLiftsRedMidTones", qRgb(128, 128, 128), 0, 50, 0, 0, 0, 0, qRgb(157, 128, 128), 1},
    {"BalanceTowardsYellowLowersBlue", qRgb(128, 128, 128), 0, 0, 0, -50, 0, 0, qRgb(128, 128, 96), 1},
    {"BalanceKeepsWhiteAndBlack", qRgb(255, 0, 255), 0, 100, 100, -100, 0, 0, qRgb(255, 0, 255), 0},
    {"EqualBalanceKeepsGreyGrey", qRgb(100, 100, 100), 0, 30, 30, 30, 0, 0, qRgb(120, 120, 120), 1},
    {"BrightnessAddsItsLevel", qRgb(100, 150, 200), 0, 0, 0, 0, 51, 0, qRgb(151, 201, 251), 0},
    {"BrightnessClipsAtWhite", qRgb(250, 10, 128), 0, 0, 0, 0, 51, 0, qRgb(255, 61, 179), 0},
    {"ContrastStretchesAroundMidGrey", qRgb(28, 128, 228), 0, 0, 0, 0, 0, 50, qRgb(0, 128, 255), 0},
    {"NegativeContrastFlattens", qRgb(28, 128, 228), 0, 0, 0, 0, 0, -50, qRgb(78, 128, 178), 0},
};

class EffectTest : public ModuleTest, public ::testing::WithParamInterface<EffectCase> {};

TEST_P(EffectTest, MapsKnownPixels)
{
    const EffectCase &c = GetParam();
    ASSERT_TRUE(test::Filled(8, 8, QColor::fromRgb(c.before)).save(Path("e.bmp"), "bmp"));
    auto image = TImage::FromFile(Path("e.bmp"));
    if (c.redEye) {
        ASSERT_EQ(image->ApplyRedEye(ZvRect{0, 0, 8, 8}), ZV_OK);
    }
    ASSERT_EQ(image->ApplyColorBalance(c.cyanRed, c.magentaGreen, c.yellowBlue), ZV_OK);
    ASSERT_EQ(image->ApplyBrightnessContrast(c.brightness, c.contrast), ZV_OK);
    const QRgb got = Pixels(image->Handle()).pixel(4, 4);
    EXPECT_TRUE(Near(got, c.after, c.tolerance)) << std::hex << got << " want " << c.after;
}

INSTANTIATE_TEST_SUITE_P(Pixels, EffectTest, ::testing::ValuesIn(kEffectCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ModuleTest, RedEyeStaysInsideItsRectangleAndRefusesBadLevels)
{
    ASSERT_TRUE(test::Filled(20, 10, QColor(200, 30, 30)).save(Path("r.bmp"), "bmp"));
    auto image = TImage::FromFile(Path("r.bmp"));
    // Partly outside the picture: clipped, not refused.
    ASSERT_EQ(image->ApplyRedEye(ZvRect{-5, -5, 10, 5}), ZV_OK);
    const QImage px = Pixels(image->Handle());
    EXPECT_TRUE(Near(px.pixel(2, 2), qRgb(30, 30, 30), 1));
    EXPECT_EQ(px.pixel(12, 2), qRgb(200, 30, 30));
    EXPECT_EQ(px.pixel(2, 7), qRgb(200, 30, 30));
    EXPECT_EQ(image->ApplyBrightnessContrast(256, 0), ZV_INVALID_PARAMETER);
    EXPECT_EQ(image->ApplyBrightnessContrast(0, -101), ZV_INVALID_PARAMETER);
    EXPECT_EQ(image->ApplyColorBalance(0, 101, 0), ZV_INVALID_PARAMETER);
    EXPECT_EQ(Pixels(image->Handle()).pixel(12, 2), qRgb(200, 30, 30));
}

struct EncoderCase {
    const char *extension;
    bool found;
    const char *mime;
};

class FindEncoderTest : public ModuleTest, public ::testing::WithParamInterface<EncoderCase> {};

TEST_P(FindEncoderTest, ByExtensionInAnyCase)
{
    ZvGuid clsid{};
    const int index = FindEncoder(QString::fromLatin1(GetParam().extension), &clsid);
    EXPECT_EQ(index >= 0, GetParam().found);
    if (index >= 0) {
        std::vector<ZvEncoderInfo> all(8);
        uint32_t count = 0, size = 0;
        img::GetImageEncodersSize(&count, &size);
        all.resize(count);
        img::GetImageEncoders(count, size, all.data());
        EXPECT_STREQ(all[size_t(index)].mimeType, GetParam().mime);
        EXPECT_EQ(std::memcmp(&all[size_t(index)].clsid, &clsid, sizeof clsid), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Extensions, FindEncoderTest,
                         ::testing::Values(EncoderCase{"JPG", true, "image/jpeg"}, EncoderCase{"jpeg", true, "image/jpeg"},
                                           EncoderCase{"tif", true, "image/tiff"}, EncoderCase{"TIFF", true, "image/tiff"},
                                           EncoderCase{"png", true, "image/png"}, EncoderCase{"bmp", true, "image/bmp"},
                                           EncoderCase{"xyz", false, ""}),
                         [](const auto &info) { return std::string(info.param.extension); });

TEST_F(ModuleTest, MetadataTravelsThroughPropertyItemsAndSaving)
{
    const QString src = Path("cam.jpg");
    ASSERT_TRUE(test::WriteJpeg(src, test::Filled(320, 240, Qt::gray)));
    test::AddCameraData(src, test::Filled(160, 120, Qt::red));
    auto source = TImage::FromFile(src);
    auto target = TImage::Create(100, 75);
    ASSERT_TRUE(source && target);
    CopyMetadata(*source, *target);

    uint32_t count = 0;
    ASSERT_EQ(img::GetPropertyCount(target->Handle(), &count), ZV_OK);
    EXPECT_GT(count, 4u);
    const uint32_t makeId = 0x010f; // IFD0 Make
    uint32_t size = 0;
    ASSERT_EQ(img::GetPropertyItemSize(target->Handle(), makeId, &size), ZV_OK);
    std::vector<uint8_t> buf(size);
    auto *item = reinterpret_cast<ZvPropertyItem *>(buf.data());
    ASSERT_EQ(img::GetPropertyItem(target->Handle(), makeId, size, item), ZV_OK);
    EXPECT_EQ(item->type, 2);
    EXPECT_STREQ(static_cast<const char *>(item->value), "Tevaro Optics");
    // A buffer too small is refused, not overrun.
    EXPECT_EQ(img::GetPropertyItem(target->Handle(), makeId, size - 1, item), ZV_INVALID_PARAMETER);

    for (const char *ext : {"jpg", "png", "tif"}) {
        ZvGuid clsid{};
        ASSERT_GE(FindEncoder(ext, &clsid), 0);
        const QString out = Path(QStringLiteral("out.%1").arg(ext));
        ASSERT_EQ(target->Save(out, clsid, 90), ZV_OK) << ext;
        EXPECT_EQ(test::ExifValue(out, "Exif.Image.Model"), "TX-100") << ext;
        EXPECT_EQ(test::ExifValue(out, "Exif.Photo.PixelXDimension"), "100") << ext;
        EXPECT_EQ(test::ExifValue(out, "Exif.Photo.PixelYDimension"), "75") << ext;
        EXPECT_EQ(test::IptcValue(out, "Iptc.Application2.Caption"), "Lake at dawn") << ext;
        auto reread = TImage::FromFile(out);
        ASSERT_TRUE(reread) << ext;
        EXPECT_EQ(reread->Width(), 100);
    }
    // The old embedded thumbnail no longer shows the pixels: it is dropped.
    EXPECT_EQ(test::ExifValue(Path("out.jpg"), "Exif.Thumbnail.JPEGInterchangeFormat"), "");
}

} // namespace
} // namespace zv
