#include "photos/thumb_data.h"
#include "tests/imaging/test_pictures.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace zv {
namespace {

using test::ModuleTest;

struct QualityCase {
    const char *name;
    int width, height;
    int quality;
};

class PrintQuality : public ::testing::TestWithParam<QualityCase> {};

TEST_P(PrintQuality, ScoreAgainstA100By150Format)
{
    TThumbData item("a.jpg");
    EXPECT_EQ(item.GetPrintQuality(100, 150), kQualityUndetermined);
    item.Width = GetParam().width;
    item.Height = GetParam().height;
    EXPECT_EQ(item.GetPrintQuality(100, 150), kQualityUndetermined) << "never loaded";
    item.Loaded = true;
    EXPECT_EQ(item.GetPrintQuality(100, 150), GetParam().quality);
    EXPECT_EQ(item.GetPrintQuality(150, 100), GetParam().quality);
}

INSTANTIATE_TEST_SUITE_P(Scores, PrintQuality,
                         ::testing::Values(QualityCase{"Score500IsGood", 3000, 2000, kQualityGood},
                                           QualityCase{"Score250IsMedium", 1000, 1500, kQualityMedium},
                                           QualityCase{"Score150IsPoor", 600, 900, kQualityPoor},
                                           QualityCase{"UnreadableIsPoor", 0, 0, kQualityPoor}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(PrintQuality, FormatWithoutSizeIsUndetermined)
{
    TThumbData item("a.jpg");
    item.Loaded = true;
    item.Width = 3000;
    EXPECT_EQ(item.GetPrintQuality(0, 0), kQualityUndetermined);
}

TEST(ThumbData, StartsAsTheTableSays)
{
    TThumbData item("/photos/trip/IMG_7.JPG");
    EXPECT_EQ(item.WorkPath, item.Path);
    EXPECT_EQ(item.DisplayName, "IMG_7.JPG");
    EXPECT_EQ(item.Extension, "JPG");
    EXPECT_EQ(TThumbData("/photos/noext").Extension, "");
    EXPECT_FALSE(item.Loaded);
    EXPECT_FALSE(item.Ready);
    EXPECT_EQ(item.Edits, nullptr);
    EXPECT_EQ(item.InterpolationMode, 1);
    EXPECT_TRUE(item.FastThumbnail);
    EXPECT_EQ(item.JpegQuality, 90);
    EXPECT_EQ(item.GetFirstFormatPosition(), 0);
    EXPECT_EQ(item.GetFormatInfo(0), nullptr);
}

TEST(ThumbData, QuantitiesAndTheFormatWalk)
{
    TThumbData item("a.jpg");
    item.SetQuantity(5, 2);
    ASSERT_EQ(item.Edits->Formats.size(), 6);
    for (int f = 0; f < 5; ++f)
        EXPECT_EQ(item.GetQuantity(f), 0);
    intptr_t pos = item.GetFirstFormatPosition();
    EXPECT_EQ(pos, 5 * 65536 + 1);
    int format = -1, quantity = -1;
    item.GetNextFormat(pos, format, quantity);
    EXPECT_EQ(format, 5);
    EXPECT_EQ(quantity, 2);
    EXPECT_EQ(pos, 0);

    item.SetQuantity(1, -3);
    EXPECT_EQ(item.GetQuantity(1), 0);
    item.SetQuantity(-1, 4);
    EXPECT_EQ(item.Edits->Formats.size(), 6);
    EXPECT_EQ(item.GetQuantity(99), 0);
    EXPECT_EQ(item.GetQuantity(-1), 0);

    item.SetQuantity(0, 1);
    item.SetQuantity(3, 7);
    std::vector<std::pair<int, int>> walked;
    for (pos = item.GetFirstFormatPosition(); pos != 0;) {
        item.GetNextFormat(pos, format, quantity);
        walked.emplace_back(format, quantity);
    }
    EXPECT_EQ(walked, (std::vector<std::pair<int, int>>{{0, 1}, {3, 7}, {5, 2}}));
}

TEST(ThumbData, SaveAndRestoreFormatsBracketThePreparation)
{
    TThumbData item("/p/a.jpg");
    item.SetQuantity(0, 2);
    item.GetFormatInfo(0)->CropRect = TRect{1, 2, 3, 4};
    item.SaveFormats();
    item.GetFormatInfo(0)->CropRect = TRect{9, 9, 99, 99};
    item.SetQuantity(2, 1);
    item.WorkPath = "/tmp/work/1.jpg";
    item.RestoreFormats();
    EXPECT_EQ(item.WorkPath, "/p/a.jpg");
    EXPECT_EQ(item.Edits->Formats.size(), 1);
    EXPECT_EQ(item.GetFormatInfo(0)->CropRect, (TRect{1, 2, 3, 4}));
}

TEST(ThumbData, EditRangesAndReset)
{
    TThumbData item("a.jpg");
    item.SetBrightness(0.25);
    item.SetContrast(1.6);
    EXPECT_EQ(item.GetBrightness(), 0.0);
    EXPECT_EQ(item.GetContrast(), 1.0);
    item.SetBrightness(-0.2);
    item.SetContrast(0.5);
    EXPECT_EQ(item.GetBrightness(), -0.2);
    EXPECT_EQ(item.GetContrast(), 0.5);
    item.SetCyanRed(-100);
    item.SetMagentaGreen(7);
    item.SetYellowBlue(100);
    item.AddRedEyeRect(1, 2, 3, 4);
    EXPECT_EQ(item.GetRedEyeCount(), 1);
    EXPECT_EQ(item.GetRedEyeRect(0), (TRect{1, 2, 3, 4}));
    EXPECT_EQ(item.GetRedEyeRect(1), TRect{});
    item.SetQuantity(2, 3);
    item.GetFormatInfo(2)->CropRect = TRect{5, 5, 50, 50};

    item.ResetEdits();
    EXPECT_EQ(item.GetRedEyeCount(), 0);
    EXPECT_EQ(item.GetBrightness(), 0.0);
    EXPECT_EQ(item.GetContrast(), 1.0);
    EXPECT_EQ(item.GetCyanRed() | item.GetMagentaGreen() | item.GetYellowBlue(), 0);
    EXPECT_FALSE(item.Edits->Modified);
    EXPECT_EQ(item.GetQuantity(2), 3);
    EXPECT_EQ(item.GetFormatInfo(2)->CropRect, (TRect{5, 5, 50, 50}));
}

TEST(ThumbData, CopySharesEditsUntilTheLastOneGoes)
{
    auto original = std::make_unique<TThumbData>("/p/a.jpg");
    original->Width = 300;
    original->FastThumbnail = false;
    original->JpegQuality = 70;
    auto copy = std::make_unique<TThumbData>(*original);
    ASSERT_NE(original->Edits, nullptr);
    EXPECT_EQ(copy->Edits, original->Edits);
    EXPECT_EQ(original->Edits->RefCount, 2);
    EXPECT_EQ(copy->Width, 300);
    EXPECT_FALSE(copy->FastThumbnail);
    EXPECT_EQ(copy->JpegQuality, 90);
    EXPECT_FALSE(copy->Loaded);
    copy->SetQuantity(1, 4);
    EXPECT_EQ(original->GetQuantity(1), 4);
    original.reset();
    EXPECT_EQ(copy->Edits->RefCount, 1);
    EXPECT_EQ(copy->GetQuantity(1), 4);
}

class PhotoPictureTest : public ModuleTest {};

TEST_F(PhotoPictureTest, LoadFitTurnAndDraw)
{
    const QString path = Path("a.jpg");
    ASSERT_TRUE(test::WriteJpeg(path, test::Filled(800, 600, QColor(200, 100, 50))));
    TThumbData item(path);
    ASSERT_TRUE(item.LoadImage());
    EXPECT_FALSE(item.LoadImage()) << "Image exists already";
    EXPECT_TRUE(item.Loaded && item.Ready);
    EXPECT_EQ(item.Width, 800);
    EXPECT_EQ(item.Height, 600);
    item.FitImage(90, 90);
    EXPECT_EQ(item.ImageSize(), QSize(90, 67));
    item.RotateImage(1);
    EXPECT_EQ(item.Rotation, 90);
    EXPECT_EQ(item.ImageSize(), QSize(67, 90));
    EXPECT_EQ(item.Width, 800) << "the file's size stays";

    QImage canvas(200, 100, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    TRect drawn;
    ASSERT_TRUE(item.DrawImage(painter, 10, 0, 100, 100, &drawn));
    painter.end();
    // 67 x 90 fitted into 100 x 100 is 74 x 100, centred.
    EXPECT_EQ(drawn, (TRect{23, 0, 97, 100}));
    EXPECT_TRUE(test::Near(canvas.pixel(60, 50), qRgb(200, 100, 50), 6));
    EXPECT_EQ(canvas.pixel(5, 50), qRgb(0, 0, 0));

    // Edits re-render the turned display image from the unturned source.
    item.SetBrightness(0.2);
    const QSize turned = item.ImageSize();
    EXPECT_EQ(turned.width(), 67);
    EXPECT_NEAR(turned.height(), 90, 1) << "refitted to the display size, truncating";
    QImage after(100, 100, QImage::Format_RGB32);
    QPainter p2(&after);
    ASSERT_TRUE(item.DrawImage(p2, 0, 0, 100, 100));
    p2.end();
    EXPECT_TRUE(test::Near(after.pixel(50, 50), qRgb(251, 151, 101), 6)) << std::hex << after.pixel(50, 50);
}

TEST_F(PhotoPictureTest, UndecodableFileEndsLoadedWithZeroSize)
{
    const QString path = Path("broken.jpg");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("garbage");
    f.close();
    TThumbData item(path);
    EXPECT_TRUE(item.LoadImage());
    EXPECT_TRUE(item.Loaded);
    EXPECT_EQ(item.Width, 0);
    EXPECT_EQ(item.GetPrintQuality(100, 150), kQualityPoor);
    QImage canvas(10, 10, QImage::Format_RGB32);
    QPainter painter(&canvas);
    EXPECT_FALSE(item.DrawImage(painter, 0, 0, 10, 10));
}

// A loader thread replaces pictures while the window thread draws: every
// draw sees either no picture or a whole one, never one being freed.
TEST_F(PhotoPictureTest, LoaderSwapsWhileTheWindowDraws)
{
    const QString path = Path("s.jpg");
    ASSERT_TRUE(test::WriteJpeg(path, test::Filled(640, 480, QColor(10, 160, 70))));
    TThumbData item(path);
    ASSERT_TRUE(item.LoadImage());
    item.FitImage(120, 120);

    std::mutex m;
    std::condition_variable cv;
    bool drawerStarted = false;
    bool loaderDone = false;
    int rounds = 0;
    std::thread loader([&] {
        {
            std::unique_lock lock(m);
            cv.wait(lock, [&] { return drawerStarted; });
        }
        for (int i = 0; i < 40; ++i) {
            item.RotateImage(1);
            item.SetCyanRed(i % 2 ? 20 : 0);
            item.FitImage(90 + i % 3, 90);
        }
        std::lock_guard lock(m);
        loaderDone = true;
        cv.notify_all();
    });

    QImage canvas(120, 120, QImage::Format_RGB32);
    int drawnWhole = 0;
    for (;;) {
        {
            std::lock_guard lock(m);
            if (!drawerStarted) {
                drawerStarted = true;
                cv.notify_all();
            }
            if (loaderDone)
                break;
        }
        canvas.fill(Qt::black);
        QPainter painter(&canvas);
        TRect drawn;
        if (item.DrawImage(painter, 0, 0, 120, 120, &drawn)) {
            painter.end();
            const QRgb c = canvas.pixel((drawn.left + drawn.right) / 2, (drawn.top + drawn.bottom) / 2);
            EXPECT_GT(qGreen(c), 120) << std::hex << c;
            ++drawnWhole;
        }
        ++rounds;
    }
    loader.join();
    EXPECT_GT(rounds, 0);
    EXPECT_TRUE(item.Ready);
    EXPECT_EQ(item.Rotation, 0);
    (void)drawnWhole;
}

} // namespace
} // namespace zv
