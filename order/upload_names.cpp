#include "order/upload_names.h"

#include "order/price_list.h"
#include "photos/thumb_data.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace zv {

namespace {

constexpr int kMaxNameLength = 50;
constexpr float kNoRatio = 3.4e38f;
constexpr char16_t kAlwaysReplaced[] = u"&!@#$%^+=<>?";

} // namespace

QString DefaultForbiddenChars()
{
    return QStringLiteral("'\"ęóąśłżźćńĘÓĄŚŁŻŹĆŃ,");
}

QString TUploadNames::Make(const QString& displayName, bool& reencode)
{
    const QString lower = displayName.toLower();
    const qsizetype dot = lower.lastIndexOf(u'.');
    QString base = dot < 0 ? lower : lower.left(dot);
    const QString extension = dot < 0 ? QString() : lower.mid(dot);
    base.truncate(std::max<qsizetype>(0, kMaxNameLength - extension.size()));
    if (extension != u".jpg")
        reencode = true;

    const auto replace = [this](QString& text) {
        for (QChar& c : text)
            if (m_forbidden.contains(c) || std::u16string_view(kAlwaysReplaced).find(c.unicode()) != std::u16string_view::npos)
                c = u'_';
    };
    QString ext = QStringLiteral(".jpg");
    replace(base);
    replace(ext);
    const QString name = base + ext;

    const auto used = m_used.find(name);
    if (used == m_used.end()) {
        m_used.insert(name, 1);
        return name;
    }
    // A counted name may already be taken by a photo that was called so;
    // two files under one name would overwrite each other on the server.
    int n = used.value();
    QString numbered;
    do {
        numbered = QStringLiteral("%1(%2)%3").arg(base).arg(n).arg(ext);
        ++n;
    } while (m_used.contains(numbered));
    m_used[name] = n;
    m_used.insert(numbered, n);
    return numbered;
}

float MachineResolution(const QString& dpi)
{
    bool ok = false;
    const double value = dpi.trimmed().toDouble(&ok);
    const double used = ok && value > 0 ? value : 300.0;
    return float(used * 0.03937008);
}

double ScaleForResolution(TThumbData& photo, const TPriceList& prices, float resolution, bool compress,
                          bool& reencode)
{
    float ratio = kNoRatio;
    bool anyEntry = false;
    for (int f = 0; f < prices.GetSize(); ++f) {
        _FormatInfo* info = photo.GetFormatInfo(f);
        if (!info || info->Quantity == 0)
            continue;
        anyEntry = true;
        const _format& format = prices.GetAt(f);
        const int fw = format.width;
        const int fh = format.height;
        if (fw <= 0 || fh <= 0)
            continue;
        if (info->CropRect.IsEmpty()) {
            if (!photo.Loaded)
                photo.LoadImage(false);
            const int w = photo.Width;
            const int h = photo.Height;
            if (w <= 0 || h <= 0)
                continue;
            const int a = w <= h ? std::min(fw, fh) : std::max(fw, fh);
            const int b = w <= h ? std::max(fw, fh) : std::min(fw, fh);
            const float s = std::min(float(w) / float(a), float(h) / float(b));
            // The product is taken wider than the factor: 26.666666 x 150
            // must stay below 4000 and truncate to 3999.
            const int cw = int(double(s) * a);
            const int ch = int(double(s) * b);
            const int left = (w - cw) / 2;
            const int top = (h - ch) / 2;
            info->CropRect = TRect{left, top, left + cw, top + ch};
        }
        const int cw = info->CropRect.right - info->CropRect.left;
        const int ch = info->CropRect.bottom - info->CropRect.top;
        const float r = std::min(float(std::min(cw, ch)) / float(std::min(fw, fh)),
                                 float(std::max(cw, ch)) / float(std::max(fw, fh)));
        ratio = std::min(ratio, r);
    }

    if (!anyEntry || ratio >= kNoRatio || !(ratio > resolution) || !compress)
        return 1.0;
    const float factor = resolution / ratio;
    for (int f = 0; f < prices.GetSize(); ++f) {
        _FormatInfo* info = photo.GetFormatInfo(f);
        if (!info || info->Quantity == 0)
            continue;
        TRect& r = info->CropRect;
        r = TRect{int(r.left * factor), int(r.top * factor), int(r.right * factor), int(r.bottom * factor)};
    }
    reencode = true;
    return factor;
}

} // namespace zv
