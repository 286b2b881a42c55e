#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>
#include <optional>

namespace zv {

class TThumbData;
class TXmlNode;

namespace order_file {

// The root every order file starts from: "OrderList" with 29 blanks inside.
inline constexpr char kTemplate[] = "<OrderList>                             </OrderList>";

// A fresh document parsed from the template.
std::unique_ptr<TXmlNode> NewDocument();

// The "Thumb" element of a photo, or nothing when it cannot be written: an
// empty path, or one that code page 1250 cannot hold or a line end would
// break on reading back.
std::unique_ptr<TXmlNode> MakeThumb(TThumbData& photo);

// The bytes on disk: the indented text, every LF turned into CR LF as a
// text-mode write does (so lines end CR CR LF).
QByteArray FileBytes(const TXmlNode& document);

// Replaces path with bytes: a temporary file beside it, flushed to disk,
// then renamed over it. A failure leaves the old file as it was.
bool WriteAtomically(const QString& path, QByteArrayView bytes);

// The file's text with every line end removed; nothing when it cannot be read.
std::optional<QByteArray> ReadJoinedLines(const QString& path);

// Every backslash doubled, as the reader takes a backslash as an escape.
QByteArray DoubleBackslashes(QByteArrayView text);

} // namespace order_file
} // namespace zv
