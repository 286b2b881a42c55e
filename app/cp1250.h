#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace zv::cp1250 {

// Encodes text into code page 1250 bytes. Returns nothing when any character
// has no byte in the code page; nothing is ever replaced silently.
std::optional<QByteArray> encode(QStringView text);

// Decodes code page 1250 bytes. The five bytes the code page leaves undefined
// (0x81, 0x83, 0x88, 0x90, 0x98) decode to the control characters of the same
// value, so that every byte string survives decode + encode unchanged.
QString decode(QByteArrayView bytes);

} // namespace zv::cp1250
