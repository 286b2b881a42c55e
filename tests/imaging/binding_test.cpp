#include "imaging/image.h"
#include "imaging/imaging_library.h"
#include "imaging/print_render.h"
#include "photos/thumb_data.h"
#include "tests/imaging/test_pictures.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zv {
namespace {

using test::ModuleFolder;

class BindingTest : public ::testing::Test {
protected:
    void TearDown() override { UnloadImagingLibrary(); }
};

TEST_F(BindingTest, LoadsOnceAndUnloadEmptiesEverySlot)
{
    SetImagingLibraryFolder(ModuleFolder());
    ASSERT_TRUE(LoadImagingLibrary());
    EXPECT_EQ(FilledImagingSlotCount(), ImagingSlotCount());
    const auto before = ImagingTable().CreateBitmapFromFile;

    EXPECT_FALSE(LoadImagingLibrary());
    EXPECT_EQ(ImagingTable().CreateBitmapFromFile, before);
    EXPECT_EQ(FilledImagingSlotCount(), ImagingSlotCount());

    UnloadImagingLibrary();
    EXPECT_FALSE(IsImagingLibraryLoaded());
    EXPECT_EQ(FilledImagingSlotCount(), 0);
    // Loads again after an unload.
    EXPECT_TRUE(LoadImagingLibrary());
}

TEST_F(BindingTest, ShutdownLeavesEverySlotEmpty)
{
    SetImagingLibraryFolder(ModuleFolder());
    uintptr_t token = 0;
    ImagingStartup(&token);
    ASSERT_TRUE(IsImagingLibraryLoaded());
    ImagingShutdown(token);
    EXPECT_FALSE(IsImagingLibraryLoaded());
    EXPECT_EQ(FilledImagingSlotCount(), 0);
}

// Without the module the program runs: empty slots answer 1 or nothing,
// photos load as 0 x 0 and print files become plain copies.
class MissingModuleTest : public BindingTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_empty.isValid() && m_work.isValid());
        SetImagingLibraryFolder(m_empty.path());
        ImagingStartup(&m_token);
        m_photo = m_work.filePath("photo.jpg");
        ASSERT_TRUE(test::WriteJpeg(m_photo, test::Filled(300, 200, Qt::darkGreen)));
    }
    void TearDown() override { ImagingShutdown(m_token); }

    QTemporaryDir m_empty;
    QTemporaryDir m_work;
    QString m_photo;
    uintptr_t m_token = 0;
};

TEST_F(MissingModuleTest, ForwardersOfEmptySlotsFail)
{
    EXPECT_FALSE(IsImagingLibraryLoaded());
    EXPECT_FALSE(LoadImagingLibrary());
    ZvBitmap *bitmap = nullptr;
    EXPECT_EQ(img::CreateBitmapFromFile("/nowhere.jpg", &bitmap), ZV_GENERIC_ERROR);
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_EQ(img::Alloc(size_t(16)), nullptr);
    img::Free(static_cast<void *>(nullptr));
    EXPECT_EQ(img::ApplyBrightnessContrast(nullptr, 10, 10), ZV_GENERIC_ERROR);
    EXPECT_EQ(TImage::FromFile(m_photo), nullptr);
    EXPECT_EQ(FindEncoder("jpg", nullptr), -1);
}

TEST_F(MissingModuleTest, PhotoLoadsAsZeroByZeroAndPrintsPoor)
{
    TThumbData item(m_photo);
    EXPECT_EQ(item.GetPrintQuality(100, 150), kQualityUndetermined);
    EXPECT_TRUE(item.LoadImage());
    EXPECT_TRUE(item.Loaded);
    EXPECT_EQ(item.Width, 0);
    EXPECT_EQ(item.Height, 0);
    EXPECT_EQ(item.GetPrintQuality(100, 150), kQualityPoor);
    item.FitImage(90, 90);
    item.SetBrightness(0.1);
    EXPECT_TRUE(item.ImageSize().isEmpty());
}

TEST_F(MissingModuleTest, PrintFileFallsBackToCopy)
{
    TThumbData item(m_photo);
    item.SetBrightness(0.1);
    QTemporaryDir out;
    EXPECT_FALSE(item.PrepareFile(out.path(), false, 0.5));
    EXPECT_EQ(item.WorkPath, m_photo);
    ASSERT_TRUE(item.PreparePrintFile(out.path(), 0.5));
    EXPECT_EQ(item.WorkPath, out.filePath("photo.jpg"));
    QFile a(m_photo), b(item.WorkPath);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());
}

} // namespace
} // namespace zv
