#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QRect>

#include <cstdint>
#include <optional>

namespace zv {

// What a window needs to take a remembered place: its normal (restored)
// geometry and whether it is maximised or minimised on top of it.
struct WindowGeometry {
    QRect normal;
    bool maximized = false;
    bool minimized = false;
};

// The 44-byte window placement record kept in the settings: eleven
// little-endian 32-bit integers in this order.
struct WindowPlacement {
    static constexpr int kSize = 44;
    static constexpr std::int32_t kShowNormal = 1;
    static constexpr std::int32_t kShowMinimized = 2;
    static constexpr std::int32_t kShowMaximized = 3;
    static constexpr std::int32_t kRestoreToMaximized = 0x2; // flags: a minimised window comes back maximised

    std::int32_t length = kSize;
    std::int32_t flags = 0;
    std::int32_t showCmd = kShowNormal;
    std::int32_t minX = -1;
    std::int32_t minY = -1;
    std::int32_t maxX = -1;
    std::int32_t maxY = -1;
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    // Nothing unless the bytes are exactly 44, the length field says 44 and
    // the normal rectangle is non-empty and within +-1048576 pixels.
    static std::optional<WindowPlacement> Parse(QByteArrayView bytes);

    // The 44 bytes of this record, as stored.
    QByteArray Build() const;

    // A record for a window with the given normal geometry and state.
    static WindowPlacement FromGeometry(const WindowGeometry& geometry);

    // The geometry to apply; right and bottom of the record are exclusive.
    WindowGeometry ToGeometry() const;
};

} // namespace zv
