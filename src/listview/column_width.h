#pragma once

// The "MaxCol width:" value: the widest an information column may grow, in pixels.

#include <QString>

#include <algorithm>
#include <optional>

namespace tressel::column_width {

inline constexpr int kMin = 10;
inline constexpr int kMax = 255;
inline constexpr int kDefault = kMax;
// Settings/MaxColSize: the box's text as the user left it.
inline constexpr const char* kSettingsKey = "MaxColSize";

inline int Clamp(long long value) {
    return static_cast<int>(std::clamp<long long>(value, kMin, kMax));
}

// The box's text as a width within the limits; nullopt when it is no decimal number.
inline std::optional<int> Parse(const QString& text) {
    bool ok = false;
    const long long value = text.trimmed().toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return Clamp(value);
}

} // namespace tressel::column_width
