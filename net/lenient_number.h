#pragma once

#include <QByteArrayView>

namespace zv {

// Numbers in replies are read leniently: optional leading white space and
// sign, then the leading digits; the rest is ignored; no digits give 0.
int LenientInt(QByteArrayView text);
// The same with a fraction and an exponent.
double LenientDouble(QByteArrayView text);

} // namespace zv
