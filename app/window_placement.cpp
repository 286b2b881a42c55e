#include "app/window_placement.h"

#include <QtEndian>

namespace zv {
namespace {

constexpr std::int32_t kCoordinateLimit = 1 << 20;

bool within(std::int32_t v)
{
    return v >= -kCoordinateLimit && v <= kCoordinateLimit;
}

} // namespace

std::optional<WindowPlacement> WindowPlacement::Parse(QByteArrayView bytes)
{
    if (bytes.size() != kSize)
        return std::nullopt;
    std::int32_t v[11];
    for (int i = 0; i < 11; ++i)
        v[i] = qFromLittleEndian<std::int32_t>(bytes.data() + 4 * i);
    WindowPlacement p;
    p.length = v[0];
    p.flags = v[1];
    p.showCmd = v[2];
    p.minX = v[3];
    p.minY = v[4];
    p.maxX = v[5];
    p.maxY = v[6];
    p.left = v[7];
    p.top = v[8];
    p.right = v[9];
    p.bottom = v[10];
    if (p.length != kSize)
        return std::nullopt;
    if (!within(p.left) || !within(p.top) || !within(p.right) || !within(p.bottom))
        return std::nullopt;
    if (p.right <= p.left || p.bottom <= p.top)
        return std::nullopt;
    return p;
}

QByteArray WindowPlacement::Build() const
{
    const std::int32_t v[11] = {length, flags, showCmd, minX, minY, maxX, maxY,
                                left, top, right, bottom};
    QByteArray out(kSize, Qt::Uninitialized);
    for (int i = 0; i < 11; ++i)
        qToLittleEndian<std::int32_t>(v[i], out.data() + 4 * i);
    return out;
}

WindowPlacement WindowPlacement::FromGeometry(const WindowGeometry& geometry)
{
    WindowPlacement p;
    const QRect& r = geometry.normal;
    p.left = r.x();
    p.top = r.y();
    p.right = r.x() + r.width();
    p.bottom = r.y() + r.height();
    if (geometry.minimized) {
        p.showCmd = kShowMinimized;
        if (geometry.maximized)
            p.flags |= kRestoreToMaximized;
    } else if (geometry.maximized) {
        p.showCmd = kShowMaximized;
    }
    return p;
}

WindowGeometry WindowPlacement::ToGeometry() const
{
    WindowGeometry g;
    g.normal = QRect(left, top, right - left, bottom - top);
    // 2, 6 and 7 are the minimising show commands, 3 the maximising one.
    g.minimized = showCmd == kShowMinimized || showCmd == 6 || showCmd == 7;
    g.maximized = showCmd == kShowMaximized || (g.minimized && (flags & kRestoreToMaximized));
    return g;
}

} // namespace zv
