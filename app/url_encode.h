#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace zv {

// Form-encodes bytes: ASCII letters and digits stay, a blank becomes "+",
// every other byte (all of 0x80..0xFF included) becomes "%XX", upper-case hex.
QByteArray UrlEncodeBytes(QByteArrayView bytes);

// Replaces text, in place, by the encoding of its code page 1250 bytes; the
// result is plain ASCII. When text holds a character that code page 1250
// cannot hold, text is left unchanged and the result is false.
bool UrlEncode(QString& text);

} // namespace zv
