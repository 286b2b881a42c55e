#include "photos/thumbs_array.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zv {
namespace {

class ThumbsArrayTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString Make(const QString &name, int bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(bytes, 'x'));
        return path;
    }
    QTemporaryDir m_dir;
};

TEST_F(ThumbsArrayTest, AddRefusesDuplicatesAndNumbersNames)
{
    TThumbsArray items;
    const QString a = Make("IMG_7.JPG", 100);
    const QString b = Make("IMG_8.jpeg", 50);
    items.NextNumber = 1;
    EXPECT_EQ(items.AddFile(a), 0);
    EXPECT_EQ(items.AddFile(a), -1);
    EXPECT_EQ(items.GetSize(), 1);
    EXPECT_EQ(items.GetAt(0)->DisplayName, "1.JPG");
    EXPECT_EQ(items.NextNumber, 2);
    EXPECT_EQ(items.AddFile(b), 1);
    EXPECT_EQ(items.GetAt(1)->DisplayName, "2.jpeg");
    EXPECT_EQ(items.TotalSize, 150);

    EXPECT_EQ(items.AddFile(QString()), -1);
    EXPECT_EQ(items.AddFile(m_dir.filePath("missing.jpg")), -1);
    EXPECT_EQ(items.IndexOf(b), 1);
    EXPECT_EQ(items.Find(a), items.GetAt(0));
    EXPECT_EQ(items.IndexOf(a.toLower()), -1) << "paths compare case-sensitively";
    EXPECT_EQ(items.GetAt(2), nullptr);
    EXPECT_EQ(items.GetAt(-1), nullptr);

    // A refused item stays the caller's.
    TThumbData duplicate(a);
    EXPECT_EQ(items.Add(&duplicate), -1);
}

TEST_F(ThumbsArrayTest, RemovingKeepsTotalSizeHonest)
{
    TThumbsArray items;
    const QString a = Make("a.jpg", 100);
    const QString b = Make("b.jpg", 40);
    items.AddFile(a);
    items.AddFile(b);
    items.RemoveAt(5);
    EXPECT_EQ(items.GetSize(), 2);
    items.RemoveAt(0);
    EXPECT_EQ(items.TotalSize, 40);
    EXPECT_EQ(items.GetAt(0)->Path, b);
    // The file grew since it was added; the last removal still ends at 0.
    Make("b.jpg", 4000);
    items.RemoveAt(0);
    EXPECT_EQ(items.GetSize(), 0);
    EXPECT_EQ(items.TotalSize, 0);

    items.AddFile(a);
    items.RemoveAll();
    EXPECT_EQ(items.GetSize(), 0);
    EXPECT_EQ(items.TotalSize, 0);
}

TEST_F(ThumbsArrayTest, FormatTotals)
{
    TThumbsArray items;
    items.AddFile(Make("a.jpg", 1));
    items.AddFile(Make("b.jpg", 1));
    items.GetAt(0)->SetQuantity(2, 3);
    items.GetAt(1)->SetQuantity(2, 4);
    items.GetAt(1)->SetQuantity(0, 1);
    EXPECT_EQ(items.GetFormatTotal(2), 0) << "nothing counted yet";
    items.CountFormat(2);
    items.CountFormat(7);
    EXPECT_EQ(items.GetFormatTotal(2), 7);
    EXPECT_EQ(items.GetFormatTotal(7), 0);
    EXPECT_EQ(items.GetFormatTotal(0), 0);
}

TEST_F(ThumbsArrayTest, ScanFolderTakesPictureFilesOnly)
{
    for (const char *name : {"a.JPG", "b.tif", "c.png", "d.jpeg", "jpg", "f.Bmp", "g.TIFF", "h.jpg.txt"})
        Make(name, 10);
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("e.jpg"));
    Make("e.jpg/inner.jpg", 10);

    QStringList names;
    for (const QString &path : ListPictureFiles(m_dir.path()))
        names << QFileInfo(path).fileName();
    names.sort();
    EXPECT_EQ(names, (QStringList{"a.JPG", "b.tif", "d.jpeg", "f.Bmp", "g.TIFF"}));

    TThumbsArray items;
    EXPECT_EQ(ScanFolder(items, m_dir.path()), 5);
    EXPECT_EQ(ScanFolder(items, m_dir.path()), 0) << "paths already present are refused";
    EXPECT_EQ(items.GetSize(), 5);
    EXPECT_EQ(ScanFolder(items, m_dir.filePath("missing")), 0);
}

} // namespace
} // namespace zv
