#include "app/url_encode.h"

#include "app/cp1250.h"

namespace zv {

QByteArray UrlEncodeBytes(QByteArrayView bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
            out.append(ch);
        } else if (b == ' ') {
            out.append('+');
        } else {
            out.append('%');
            out.append(kHex[b >> 4]);
            out.append(kHex[b & 0x0F]);
        }
    }
    return out;
}

bool UrlEncode(QString& text)
{
    const std::optional<QByteArray> bytes = cp1250::encode(text);
    if (!bytes)
        return false;
    text = QString::fromLatin1(UrlEncodeBytes(*bytes));
    return true;
}

} // namespace zv
