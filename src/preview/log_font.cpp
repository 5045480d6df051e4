#include "log_font.h"

#include <QtEndian>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace tressel {

namespace {

constexpr int kFaceNameOffset = 28;
constexpr int kFaceNameBytes = 32;
constexpr int kNormalWeight = 400;

void PutInt(QByteArray& record, int offset, int32_t value) {
    qToLittleEndian(value, record.data() + offset);
}

int32_t IntAt(const QByteArray& record, int offset) {
    return qFromLittleEndian<int32_t>(record.constData() + offset);
}

// The face name's UTF-8 bytes cut to fit before the NUL, at a character boundary.
QByteArray FaceNameBytes(const QString& family) {
    QByteArray bytes = family.toUtf8();
    int cut = std::min<int>(bytes.size(), kFaceNameBytes - 1);
    while (cut > 0 && cut < bytes.size() && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
        --cut;
    return bytes.left(cut);
}

} // namespace

// The height is stored negative: the character height in pixels (a point size at 96
// dots per inch).
QByteArray LogFontFromQFont(const QFont& font) {
    QByteArray record(kLogFontBytes, '\0');
    const int pixels =
        font.pixelSize() > 0 ? font.pixelSize() : qRound(font.pointSizeF() * 96.0 / 72.0);
    PutInt(record, 0, -pixels);
    PutInt(record, 16, font.weight());
    record[20] = font.italic() ? 1 : 0;
    record[21] = font.underline() ? 1 : 0;
    record[22] = font.strikeOut() ? 1 : 0;
    record[27] = font.fixedPitch() ? 1 : 2; // fixed or variable pitch
    const QByteArray face = FaceNameBytes(font.family());
    std::copy(face.begin(), face.end(), record.begin() + kFaceNameOffset);
    return record;
}

std::optional<QFont> QFontFromLogFont(const QByteArray& record) {
    if (record.size() != kLogFontBytes)
        return std::nullopt;
    const QByteArray faceField = record.mid(kFaceNameOffset, kFaceNameBytes);
    QFont font(QString::fromUtf8(faceField.left(faceField.indexOf('\0'))));
    const int32_t height = IntAt(record, 0);
    if (height != 0)
        font.setPixelSize(std::abs(height));
    const int32_t weight = IntAt(record, 16);
    font.setWeight(
        static_cast<QFont::Weight>(weight > 0 ? std::clamp(weight, 1, 1000) : kNormalWeight));
    font.setItalic(record[20] != 0);
    font.setUnderline(record[21] != 0);
    font.setStrikeOut(record[22] != 0);
    return font;
}

} // namespace tressel
