#include "app/cp1250.h"
#include "net/xml/xml_node.h"
#include "order/order_file.h"
#include "order/zelvio_doc.h"
#include "order_test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace zv {
namespace {

using test::MakeFile;
using test::Message;
using test::RecordingMessageBox;

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The working file holds the root alone (its blank text is what was read).
void ExpectNoPhotosIn(const QString& path)
{
    const QByteArray bytes = ReadAll(path);
    EXPECT_TRUE(bytes.startsWith("\r\r\n<OrderList")) << bytes.toStdString();
    EXPECT_FALSE(bytes.contains("Thumb")) << bytes.toStdString();
    TXmlNode root;
    ASSERT_TRUE(root.Parse(bytes, _XmlParseInfo::Reply()));
    EXPECT_EQ(root.name, "OrderList");
    EXPECT_EQ(root.ChildCount(), 0);
}

class OrderFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_photos = m_dir.path() + "/photos";
        QDir().mkpath(m_photos);
        Prepare(m_doc);
    }

    void Prepare(TZelvioDoc& doc)
    {
        doc.workingFolder = m_dir.path() + "/work";
        doc.orderFilePath = doc.workingFolder + "/Order.xml";
        QDir().mkpath(doc.workingFolder);
    }

    QString Photo(const QString& name)
    {
        const QString path = m_photos + "/" + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write("picture");
        return path;
    }

    // The Thumb text of a photo, as the order file holds it.
    static QByteArray ThumbText(TThumbData& photo)
    {
        return order_file::MakeThumb(photo)->Write(_XmlWriteOptions::PackedFields());
    }

    QTemporaryDir m_dir;
    QString m_photos;
    TZelvioDoc m_doc;
    RecordingMessageBox m_messages;
};

TEST_F(OrderFileTest, WritesTheExactLayout)
{
    const QString path = Photo(QString::fromUtf8("zdjęcie a\\b.jpg"));
    ASSERT_TRUE(m_doc.SetQuantity(path, 0, 2));
    ASSERT_TRUE(m_doc.SetQuantity(path, 3, 1));
    TThumbData* photo = m_doc.photos().GetAt(0);
    photo->GetFormatInfo(0)->CropRect = {10, 20, 310, 220};
    photo->GetFormatInfo(0)->HasCropRect = true;
    photo->AddRedEyeRect(1, 2, 3, 4);
    photo->SetCyanRed(5);
    photo->SetMagentaGreen(-3);
    photo->SetContrast(1.1);
    photo->SetBrightness(-0.05);

    ASSERT_TRUE(m_doc.SaveOrder(0));

    QByteArray filePath = *cp1250::encode(path);
    filePath.replace("\\", "\\\\");
    const QByteArray expected =
        "\r\r\n<OrderList>"
        "\r\r\n\t<Thumb Path=\"" + filePath + "\" >"
        "\r\r\n\t\t<FormatInfo Format=\"0\" Quantity=\"2\" >"
        "\r\r\n\t\t\t<Kadr Bottom=\"220\" Left=\"10\" Right=\"310\" Top=\"20\" />"
        "\r\r\n\t\t</FormatInfo>"
        "\r\r\n\t\t<FormatInfo Format=\"3\" Quantity=\"1\" />"
        "\r\r\n\t\t<RedEyeRect Bottom=\"4\" Left=\"1\" Right=\"3\" Top=\"2\" />"
        "\r\r\n\t\t<Colors R=\"5\" G=\"-3\" B=\"0\" Contrast=\"1.100000\" Brightness=\"-0.050000\" />"
        "\r\r\n\t</Thumb>"
        "\r\r\n\t" + QByteArray(29, ' ') +
        "\r\r\n</OrderList>";
    EXPECT_EQ(ReadAll(m_doc.orderFilePath), expected);
    EXPECT_TRUE(m_messages.texts().isEmpty());
    // Nothing but the order file is left in the folder.
    EXPECT_EQ(QDir(m_doc.workingFolder).entryList(QDir::Files | QDir::Hidden), QStringList{"Order.xml"});
}

TEST_F(OrderFileTest, RoundTripRestoresEverythingInReverseOrder)
{
    const QString paths[] = {Photo("a.jpg"), Photo("back\\slash\\\\twice.jpg"), Photo(QString::fromUtf8("żółć & \"q\".tif"))};
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(m_doc.SetQuantity(paths[i], i, i + 1));
    TThumbData* b = m_doc.photos().GetAt(1);
    m_doc.SetQuantity(paths[1], 4, 7);
    b->GetFormatInfo(4)->CropRect = {-5, 0, 100, 66};
    b->GetFormatInfo(4)->HasCropRect = true;
    b->AddRedEyeRect(10, 11, 12, 13);
    b->AddRedEyeRect(20, 21, 22, 23);
    b->SetYellowBlue(-100);
    b->SetBrightness(0.2);
    ASSERT_TRUE(m_doc.SaveOrder(215));
    EXPECT_EQ(m_doc.OrderFilePathFor(215), m_doc.workingFolder + "/215.xml");

    TZelvioDoc restored;
    Prepare(restored);
    auto document = std::make_unique<TXmlNode>();
    ASSERT_TRUE(restored.LoadOrderFile(*document, 215));
    ASSERT_TRUE(restored.RestoreOrder(*document));

    ASSERT_EQ(restored.photos().GetSize(), 3);
    for (int i = 0; i < 3; ++i) {
        TThumbData* original = m_doc.photos().GetAt(i);
        TThumbData* back = restored.photos().GetAt(2 - i);
        EXPECT_EQ(back->Path, original->Path);
        EXPECT_EQ(ThumbText(*back), ThumbText(*original));
        // Only the edited photo is re-rendered when the order is sent again.
        EXPECT_EQ(back->Edits && back->Edits->Modified, original == b) << i;
    }
    // The order's totals follow the restored quantities.
    EXPECT_EQ(restored.photos().GetFormatTotal(4), 7);
    EXPECT_EQ(restored.photos().GetFormatTotal(2), 3);
    EXPECT_TRUE(m_messages.texts().isEmpty());
}

TEST_F(OrderFileTest, RestoreReportsMissingFilesInOneMessageAndEmptiesTheWorkingFile)
{
    const QString a = Photo("a.jpg"), b = Photo("b.jpg"), c = Photo("c.jpg");
    for (const QString& p : {a, b, c})
        m_doc.SetQuantity(p, 0, 1);
    ASSERT_TRUE(m_doc.SaveOrder(0));
    QFile::remove(a);
    QFile::remove(c);

    TZelvioDoc restored;
    Prepare(restored);
    auto document = std::make_unique<TXmlNode>();
    ASSERT_TRUE(restored.LoadOrderFile(*document, 0));
    restored.RestoreOrder(*document);

    ASSERT_EQ(restored.photos().GetSize(), 1);
    EXPECT_EQ(restored.photos().GetAt(0)->Path, b);
    ASSERT_EQ(m_messages.texts().size(), 1);
    EXPECT_EQ(m_messages.texts()[0], Message(32808, c) + "\n" + Message(32808, a) + "\n");
    EXPECT_EQ(m_messages.icons()[0], MsgIcon::Warning);

    ExpectNoPhotosIn(restored.orderFilePath);
    auto again = std::make_unique<TXmlNode>();
    EXPECT_FALSE(restored.LoadOrderFile(*again, 0));
}

TEST_F(OrderFileTest, RestoringASentOrderKeepsTheSavedWorkingOrder)
{
    m_doc.SetQuantity(Photo("a.jpg"), 0, 1);
    ASSERT_TRUE(m_doc.SaveOrder(0));
    ASSERT_TRUE(m_doc.SaveOrder(7));
    const QByteArray working = ReadAll(m_doc.orderFilePath);

    TZelvioDoc restored;
    Prepare(restored);
    auto document = std::make_unique<TXmlNode>();
    ASSERT_TRUE(restored.LoadOrderFile(*document, 7));
    restored.RestoreOrder(*document, 7);
    EXPECT_EQ(restored.photos().GetSize(), 1);
    EXPECT_EQ(ReadAll(m_doc.orderFilePath), working);
}

TEST_F(OrderFileTest, RestoreReadsLeniently)
{
    const QString a = Photo("a.jpg"), b = Photo("b.jpg");
    QByteArray text = "<OrderList><Other/><thumb Path=\"" + a.toUtf8() + "\">"
                      "<formatinfo Format=\"1\" Quantity=\"2\"><Kadr Left=\"5\" Top=\"6\" Right=\"50\" Bottom=\"60\"/></formatinfo>"
                      "<FormatInfo Format=\"7\" Quantity=\"3\"/>"
                      "<FormatInfo Quantity=\"9\"/>"
                      "<RedEyeRect Left=\"1\" Right=\"2\"/>"
                      "<Colors R=\"-7\" Contrast=\"9.0\"/>"
                      "</thumb>"
                      "<Thumb Path=\"\"/>"
                      "<Thumb Path=\"" + a.toUtf8() + "\"><FormatInfo Format=\"0\" Quantity=\"4\"/></Thumb>"
                      "<Thumb Path=\"" + b.toUtf8() + "\"/></OrderList>";
    QFile file(m_doc.orderFilePath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();

    auto document = std::make_unique<TXmlNode>();
    ASSERT_TRUE(m_doc.LoadOrderFile(*document, 0));
    m_doc.RestoreOrder(*document);

    // Last first: b, then a with format 0; the earlier entry for a is dropped.
    ASSERT_EQ(m_doc.photos().GetSize(), 2);
    EXPECT_EQ(m_doc.photos().GetAt(0)->Path, b);
    TThumbData* photo = m_doc.photos().GetAt(1);
    EXPECT_EQ(photo->GetQuantity(0), 4);
    EXPECT_EQ(photo->GetQuantity(1), 0);
    EXPECT_TRUE(m_messages.texts().isEmpty());
    ExpectNoPhotosIn(m_doc.orderFilePath);
}

TEST_F(OrderFileTest, RestoredEntriesKeepUnknownFormatsAndMissingEdgesCarryOver)
{
    const QString a = Photo("a.jpg");
    QByteArray text = "<OrderList><Thumb Path=\"" + a.toUtf8() + "\">"
                      "<FormatInfo Format=\"1\" Quantity=\"2\"><Kadr Left=\"5\" Top=\"6\" Right=\"50\" Bottom=\"60\"/></FormatInfo>"
                      "<FormatInfo Format=\"7\" Quantity=\"3\"/>"
                      "<RedEyeRect Left=\"1\" Right=\"2\"/>"
                      "<Colors R=\"-7\" Contrast=\"9.0\" Brightness=\"0.1\"/>"
                      "</Thumb></OrderList>";
    QFile file(m_doc.orderFilePath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    _format only;
    only.minPrices = {{1, 0, 1.0f}};
    m_doc.priceList().Add(only);
    m_doc.priceList().Add(only);

    auto document = std::make_unique<TXmlNode>();
    ASSERT_TRUE(m_doc.LoadOrderFile(*document, 0));
    m_doc.RestoreOrder(*document);
    ASSERT_EQ(m_doc.photos().GetSize(), 1);
    TThumbData* photo = m_doc.photos().GetAt(0);
    EXPECT_EQ(photo->GetFormatInfo(1)->CropRect, (TRect{5, 6, 50, 60}));
    EXPECT_TRUE(photo->GetFormatInfo(1)->HasCropRect);
    EXPECT_EQ(photo->GetQuantity(7), 3);
    EXPECT_EQ(photo->GetRedEyeRect(0), (TRect{1, 6, 2, 60}));
    EXPECT_EQ(photo->GetCyanRed(), -7);
    EXPECT_DOUBLE_EQ(photo->GetContrast(), 1.0); // out of range: refused
    EXPECT_DOUBLE_EQ(photo->GetBrightness(), 0.1);

    // Format 7 is kept and saved again, but never priced.
    const _OrderTotals totals = m_doc.ComputeTotals(false);
    EXPECT_EQ(totals.prints, 5);
    EXPECT_FLOAT_EQ(totals.price, 2.0f);
    ASSERT_TRUE(m_doc.SaveOrder(0));
    EXPECT_TRUE(ReadAll(m_doc.orderFilePath).contains("<FormatInfo Format=\"7\" Quantity=\"3\" />"));
}

TEST_F(OrderFileTest, APathCodePage1250CannotHoldIsReportedAndLeftOut)
{
    const QString bad = Photo(QString::fromUtf8("写真.jpg"));
    const QString lineEnd = Photo("two\nlines.jpg");
    const QString good = Photo("good.jpg");
    for (const QString& p : {bad, lineEnd, good})
        ASSERT_TRUE(m_doc.SetQuantity(p, 0, 1));

    ASSERT_TRUE(m_doc.SaveOrder(0));
    ASSERT_EQ(m_messages.texts().size(), 1);
    EXPECT_EQ(m_messages.texts()[0], Message(32865, bad) + "\n" + Message(32865, lineEnd) + "\n");

    TZelvioDoc restored;
    Prepare(restored);
    auto document = std::make_unique<TXmlNode>();
    ASSERT_TRUE(restored.LoadOrderFile(*document, 0));
    EXPECT_EQ(document->ChildCount(), 1);
    restored.RestoreOrder(*document);
    ASSERT_EQ(restored.photos().GetSize(), 1);
    EXPECT_EQ(restored.photos().GetAt(0)->Path, good);
}

TEST_F(OrderFileTest, LoadFailsForMissingBrokenAndEmptyFiles)
{
    auto document = std::make_unique<TXmlNode>();
    EXPECT_FALSE(m_doc.LoadOrderFile(*document, 0));
    for (const QByteArray& text : {QByteArray(), QByteArray("<OrderList>"), QByteArray("<OrderList></OrderList>"),
                                   QByteArray("garbage"), QByteArray("<OrderList><Thumb Path=\"x\"")}) {
        QFile file(m_doc.orderFilePath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        auto doc = std::make_unique<TXmlNode>();
        EXPECT_FALSE(m_doc.LoadOrderFile(*doc, 0)) << text.toStdString();
    }
}

TEST_F(OrderFileTest, AnUnwritableFolderIsSilentAndReported)
{
    m_doc.SetQuantity(Photo("a.jpg"), 0, 1);
    ASSERT_TRUE(m_doc.SaveOrder(0));
    const QByteArray before = ReadAll(m_doc.orderFilePath);

    // Another order replaces the file whole, never in part.
    m_doc.SetQuantity(Photo("b.jpg"), 0, 1);
    ASSERT_TRUE(m_doc.SaveOrder(0));
    EXPECT_NE(ReadAll(m_doc.orderFilePath), before);
    EXPECT_EQ(QDir(m_doc.workingFolder).entryList(QDir::Files | QDir::Hidden), QStringList{"Order.xml"});

    m_doc.workingFolder = m_dir.path() + "/gone";
    m_doc.orderFilePath = m_doc.workingFolder + "/Order.xml";
    EXPECT_FALSE(m_doc.SaveOrder(0));
    EXPECT_FALSE(m_doc.SaveOrder(3));
    EXPECT_FALSE(QFileInfo::exists(m_doc.workingFolder));
    EXPECT_TRUE(m_messages.texts().isEmpty());
}

} // namespace
} // namespace zv
