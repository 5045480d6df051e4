#pragma once

// The 60-byte font record the preview keeps as CurFont: height, width, escapement,
// orientation and weight as 32-bit little-endian integers, then italic, underline,
// strike-out, character set, output precision, clip precision, quality and pitch as
// bytes, then a 32-byte face name ending in NUL.

#include <QByteArray>
#include <QFont>

#include <optional>

namespace tressel {

inline constexpr int kLogFontBytes = 60;

QByteArray LogFontFromQFont(const QFont& font);
// Nothing unless the block is exactly kLogFontBytes long.
std::optional<QFont> QFontFromLogFont(const QByteArray& record);

} // namespace tressel
