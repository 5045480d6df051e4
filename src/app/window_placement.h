#pragma once

// The stored window placement: a 44-byte record of eleven 32-bit little-endian
// integers (length, flags, show command, minimised position, maximised position,
// normal rectangle as left, top, right, bottom).

#include <QByteArray>
#include <QRect>

#include <optional>

namespace tressel {

struct WindowPlacement {
    static constexpr int kSize = 44;
    static constexpr int kShowNormal = 1;
    static constexpr int kShowMinimized = 2;
    static constexpr int kShowMaximized = 3;

    int flags = 0;
    int showCommand = kShowNormal;
    QRect normal;

    QByteArray toBytes() const;
    // Nothing unless bytes holds exactly one record.
    static std::optional<WindowPlacement> fromBytes(const QByteArray& bytes);
};

} // namespace tressel
