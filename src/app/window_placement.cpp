#include "window_placement.h"

#include <QtEndian>

#include <array>

namespace tressel {

namespace {
constexpr int kFields = WindowPlacement::kSize / 4;
}

QByteArray WindowPlacement::toBytes() const {
    const std::array<qint32, kFields> fields = {kSize,
                                                flags,
                                                showCommand,
                                                -1,
                                                -1,
                                                -1,
                                                -1,
                                                normal.left(),
                                                normal.top(),
                                                normal.left() + normal.width(),
                                                normal.top() + normal.height()};
    QByteArray bytes(kSize, '\0');
    for (int i = 0; i < kFields; ++i)
        qToLittleEndian<qint32>(fields[static_cast<size_t>(i)], bytes.data() + 4 * i);
    return bytes;
}

std::optional<WindowPlacement> WindowPlacement::fromBytes(const QByteArray& bytes) {
    if (bytes.size() != kSize)
        return std::nullopt;
    std::array<qint32, kFields> fields{};
    for (int i = 0; i < kFields; ++i)
        fields[static_cast<size_t>(i)] = qFromLittleEndian<qint32>(bytes.constData() + 4 * i);
    WindowPlacement placement;
    placement.flags = fields[1];
    placement.showCommand = fields[2];
    placement.normal = QRect(QPoint(fields[7], fields[8]), QPoint(fields[9] - 1, fields[10] - 1));
    return placement;
}

} // namespace tressel
