#include "order/order_file.h"

#include "app/cp1250.h"
#include "app/message_box.h"
#include "app/string_table.h"
#include "net/lenient_number.h"
#include "net/xml/xml_node.h"
#include "order/zelvio_doc.h"
#include "photos/thumb_data.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <unistd.h>

namespace zv {

namespace order_file {

namespace {

QByteArray Number(int value)
{
    return QByteArray::number(value);
}

// "%f": six decimals, independent of the user's locale.
QByteArray Decimal(double value)
{
    return QByteArray::number(value, 'f', 6);
}

void AddAttr(TXmlNode& node, const char* name, const QByteArray& value)
{
    node.AddAttr(TXmlNode::MakeAttr(name, value));
}

void AddEdges(TXmlNode& node, const TRect& rect)
{
    AddAttr(node, "Bottom", Number(rect.bottom));
    AddAttr(node, "Left", Number(rect.left));
    AddAttr(node, "Right", Number(rect.right));
    AddAttr(node, "Top", Number(rect.top));
}

} // namespace

std::unique_ptr<TXmlNode> NewDocument()
{
    auto document = std::make_unique<TXmlNode>();
    document->Parse(QByteArrayView(kTemplate), _XmlParseInfo::Reply());
    return document;
}

QByteArray DoubleBackslashes(QByteArrayView text)
{
    QByteArray out = text.toByteArray();
    out.replace("\\", "\\\\");
    return out;
}

std::unique_ptr<TXmlNode> MakeThumb(TThumbData& photo)
{
    if (photo.Path.isEmpty())
        return nullptr;
    const std::optional<QByteArray> path = cp1250::encode(photo.Path);
    // Line ends are dropped when the file is read back, so such a path would
    // come back as another one.
    if (!path || path->contains('\r') || path->contains('\n'))
        return nullptr;

    auto thumb = TXmlNode::MakeChild("Thumb");
    AddAttr(*thumb, "Path", DoubleBackslashes(*path));

    intptr_t position = photo.GetFirstFormatPosition();
    while (position != 0) {
        int format = 0;
        int quantity = 0;
        photo.GetNextFormat(position, format, quantity);
        TXmlNode* info = thumb->AddChild(TXmlNode::MakeChild("FormatInfo"));
        AddAttr(*info, "Format", Number(format));
        AddAttr(*info, "Quantity", Number(quantity));
        const _FormatInfo* entry = photo.GetFormatInfo(format);
        if (entry && entry->HasCropRect)
            AddEdges(*info->AddChild(TXmlNode::MakeChild("Kadr")), entry->CropRect);
    }
    for (int i = 0; i < photo.GetRedEyeCount(); ++i)
        AddEdges(*thumb->AddChild(TXmlNode::MakeChild("RedEyeRect")), photo.GetRedEyeRect(i));

    TXmlNode* colors = thumb->AddChild(TXmlNode::MakeChild("Colors"));
    AddAttr(*colors, "R", Number(photo.GetCyanRed()));
    AddAttr(*colors, "G", Number(photo.GetMagentaGreen()));
    AddAttr(*colors, "B", Number(photo.GetYellowBlue()));
    AddAttr(*colors, "Contrast", Decimal(photo.GetContrast()));
    AddAttr(*colors, "Brightness", Decimal(photo.GetBrightness()));
    return thumb;
}

QByteArray FileBytes(const TXmlNode& document)
{
    QByteArray text = document.Write(_XmlWriteOptions::OrderFile());
    text.replace("\n", "\r\n");
    return text;
}

bool WriteAtomically(const QString& path, QByteArrayView bytes)
{
    if (path.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning() << "order file: cannot open" << path << file.errorString();
        return false;
    }
    if (file.write(bytes.data(), bytes.size()) != bytes.size() || !file.flush() || ::fsync(file.handle()) != 0) {
        qWarning() << "order file: cannot write" << path << file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        qWarning() << "order file: cannot replace" << path << file.errorString();
        return false;
    }
    return true;
}

std::optional<QByteArray> ReadJoinedLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    text.replace("\r", "");
    text.replace("\n", "");
    return text;
}

} // namespace order_file

namespace {

bool NameIsNoCase(const TXmlNode& node, const char* name)
{
    return node.type == XmlNodeType::Element && node.name.compare(name, Qt::CaseInsensitive) == 0;
}

// Reads the present edges into rect; missing ones keep their value.
void ReadEdges(const TXmlNode& node, TRect& rect)
{
    if (auto v = node.AttrValue("Bottom"))
        rect.bottom = LenientInt(*v);
    if (auto v = node.AttrValue("Left"))
        rect.left = LenientInt(*v);
    if (auto v = node.AttrValue("Right"))
        rect.right = LenientInt(*v);
    if (auto v = node.AttrValue("Top"))
        rect.top = LenientInt(*v);
}

void ReadPhoto(const TXmlNode& thumb, TThumbData& photo)
{
    // Edges a rectangle leaves out are those of the one read before it.
    TRect last;
    for (const auto& child : thumb.children) {
        if (NameIsNoCase(*child, "FormatInfo")) {
            const auto format = child->AttrValue("Format");
            const auto quantity = child->AttrValue("Quantity");
            if (format && quantity)
                photo.SetQuantity(LenientInt(*format), LenientInt(*quantity));
            if (const TXmlNode* kadr = child->FindChild("Kadr")) {
                ReadEdges(*kadr, last);
                if (_FormatInfo* entry = format ? photo.GetFormatInfo(LenientInt(*format)) : nullptr) {
                    entry->CropRect = last;
                    entry->HasCropRect = true;
                }
            }
        } else if (NameIsNoCase(*child, "Colors")) {
            // Only values that differ from the photo's own are set: every
            // setter marks the photo edited, and an unedited photo must go
            // to the laboratory as the user's file, not re-encoded.
            if (auto v = child->AttrValue("R"); v && LenientInt(*v) != photo.GetCyanRed())
                photo.SetCyanRed(LenientInt(*v));
            if (auto v = child->AttrValue("G"); v && LenientInt(*v) != photo.GetMagentaGreen())
                photo.SetMagentaGreen(LenientInt(*v));
            if (auto v = child->AttrValue("B"); v && LenientInt(*v) != photo.GetYellowBlue())
                photo.SetYellowBlue(LenientInt(*v));
            if (auto v = child->AttrValue("Contrast"); v && LenientDouble(*v) != photo.GetContrast())
                photo.SetContrast(LenientDouble(*v));
            if (auto v = child->AttrValue("Brightness"); v && LenientDouble(*v) != photo.GetBrightness())
                photo.SetBrightness(LenientDouble(*v));
        } else if (NameIsNoCase(*child, "RedEyeRect")) {
            ReadEdges(*child, last);
            photo.AddRedEyeRect(last.left, last.top, last.right, last.bottom);
        }
    }
}

} // namespace

QString TZelvioDoc::OrderFilePathFor(int number) const
{
    if (number == 0)
        return orderFilePath;
    if (workingFolder.isEmpty())
        return QString();
    return workingFolder + QLatin1Char('/') + QString::number(number) + QStringLiteral(".xml");
}

bool TZelvioDoc::SaveOrder(int number)
{
    std::unique_ptr<TXmlNode> document = order_file::NewDocument();
    QString errors;
    for (int i = 0; i < m_photos.GetSize(); ++i) {
        TThumbData* photo = m_photos.GetAt(i);
        if (std::unique_ptr<TXmlNode> thumb = order_file::MakeThumb(*photo))
            document->AddChild(std::move(thumb));
        else
            errors += LoadString(32865).replace(QLatin1String("%s"), photo->Path) + QLatin1Char('\n');
    }
    if (!errors.isEmpty())
        ShowMessage(errors, MsgIcon::Warning);
    return SaveOrderFile(*document, number);
}

bool TZelvioDoc::SaveOrderFile(const TXmlNode& document, int number)
{
    return order_file::WriteAtomically(OrderFilePathFor(number), order_file::FileBytes(document));
}

bool TZelvioDoc::LoadOrderFile(TXmlNode& document, int number)
{
    const QString path = OrderFilePathFor(number);
    if (path.isEmpty() || !QFileInfo::exists(path))
        return false;
    const std::optional<QByteArray> text = order_file::ReadJoinedLines(path);
    if (!text)
        return false;
    return document.Parse(*text, _XmlParseInfo::Reply()).has_value() && document.ChildCount() > 0;
}

bool TZelvioDoc::RestoreOrder(TXmlNode& document, int number)
{
    QString errors;
    for (int i = document.ChildCount() - 1; i >= 0; --i) {
        TXmlNode* child = document.ChildAt(i);
        if (NameIsNoCase(*child, "Thumb")) {
            const QString path = cp1250::decode(child->AttrValue("Path").value_or(QByteArray()));
            if (path.isEmpty()) {
                // Nothing to restore, and nothing to report.
            } else if (!QFileInfo(path).isFile()) {
                errors += LoadString(32808).replace(QLatin1String("%s"), path) + QLatin1Char('\n');
            } else {
                auto photo = std::make_unique<TThumbData>(path);
                ReadPhoto(*child, *photo);
                if (m_photos.Add(photo.get()) >= 0)
                    photo.release();
            }
        }
        document.RemoveChild(child);
    }
    // Restored quantities were set on the photos; the order's totals follow.
    RecountFormats();
    if (m_views)
        m_views->RefreshOrder();
    // Emptying the working file for a sent order would lose a saved one.
    if (number == 0)
        SaveOrderFile(document, 0);
    if (!errors.isEmpty())
        ShowMessage(errors, MsgIcon::Warning);
    if (m_views)
        m_views->ShowOrderContents();
    return true;
}

} // namespace zv
