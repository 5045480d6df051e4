#pragma once

// Builders of RIFF and ASF structures for tests that need files no tool would write:
// damaged ones, and exact values such as a two-hour stream.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tressel::test {

inline std::string LeBytes(uint64_t value, int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += static_cast<char>(value >> (8 * i));
    return out;
}
inline std::string Le16(uint64_t v) {
    return LeBytes(v, 2);
}
inline std::string Le32(uint64_t v) {
    return LeBytes(v, 4);
}
inline std::string Le64(uint64_t v) {
    return LeBytes(v, 8);
}

// ---- RIFF ----

// A chunk with the size its data has (or the size given), padded to an even length.
inline std::string RiffChunk(std::string_view id, std::string_view data,
                             int64_t declaredSize = -1) {
    std::string out(id);
    out += Le32(declaredSize < 0 ? data.size() : static_cast<uint64_t>(declaredSize));
    out += data;
    if (data.size() % 2)
        out += '\0';
    return out;
}
inline std::string RiffList(std::string_view type, std::string_view body) {
    return RiffChunk("LIST", std::string(type) + std::string(body));
}
inline std::string RiffFile(std::string_view form, std::string_view body) {
    return RiffChunk("RIFF", std::string(form) + std::string(body));
}

struct Rect16 {
    int16_t left = 0, top = 0, right = 0, bottom = 0;
};

// AVISTREAMHEADER: 56 bytes, the frame rectangle as four 16-bit numbers at its end.
inline std::string StreamHeader(std::string_view type, uint32_t scale, uint32_t rate,
                                uint32_t length, Rect16 frame = {}) {
    std::string out(type);
    out += std::string(4, '\0');  // handler
    out += std::string(12, '\0'); // flags, priority, language, initial frames
    out += Le32(scale) + Le32(rate) + Le32(0) + Le32(length);
    out += std::string(12, '\0'); // buffer size, quality, sample size
    for (int16_t v : {frame.left, frame.top, frame.right, frame.bottom})
        out += Le16(static_cast<uint16_t>(v));
    return out;
}

// BITMAPINFOHEADER (40 bytes).
inline std::string BitmapHeader(int32_t width, int32_t height) {
    return Le32(40) + Le32(static_cast<uint32_t>(width)) + Le32(static_cast<uint32_t>(height)) +
           Le16(1) + Le16(24) + std::string(24, '\0');
}

// WAVEFORMATEX without its extra size (16 bytes).
inline std::string WaveFormat(uint32_t sampleRate, uint16_t channels, uint16_t bits) {
    const uint16_t blockAlign = static_cast<uint16_t>(channels * bits / 8);
    return Le16(1) + Le16(channels) + Le32(sampleRate) + Le32(sampleRate * blockAlign) +
           Le16(blockAlign) + Le16(bits);
}

inline std::string StreamList(std::string_view header, std::string_view format = {},
                              std::string_view name = {}) {
    std::string body = RiffChunk("strh", header);
    if (!format.empty())
        body += RiffChunk("strf", format);
    if (!name.empty())
        body += RiffChunk("strn", std::string(name) + '\0');
    return RiffList("strl", body);
}

inline std::string InfoList(std::initializer_list<std::pair<const char*, std::string>> tags) {
    std::string body;
    for (const auto& [id, text] : tags)
        body += RiffChunk(id, text + '\0');
    return RiffList("INFO", body);
}

inline std::string AviFile(std::string_view headerBody, std::string_view afterHeader = {}) {
    return RiffFile("AVI ", RiffList("hdrl", RiffChunk("avih", std::string(56, '\0')) +
                                                 std::string(headerBody)) +
                                std::string(afterHeader) + RiffList("movi", ""));
}

// ---- ASF ----

using GuidBytes = std::array<unsigned char, 16>;

inline constexpr GuidBytes kAsfHeaderGuid = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                             0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
inline constexpr GuidBytes kAsfFilePropertiesGuid = {
    0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11, 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
inline constexpr GuidBytes kAsfContentDescriptionGuid = {
    0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
inline constexpr GuidBytes kAsfExtendedContentGuid = {
    0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11, 0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
inline constexpr GuidBytes kAsfHeaderExtensionGuid = {
    0xB5, 0x03, 0xBF, 0x5F, 0x2E, 0xA9, 0xCF, 0x11, 0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
inline constexpr GuidBytes kAsfMetadataGuid = {0xEA, 0xCB, 0xF8, 0xC5, 0xAF, 0x5B, 0x77, 0x48,
                                               0x84, 0x67, 0xAA, 0x8C, 0x44, 0xFA, 0x4C, 0xCA};
inline constexpr GuidBytes kAsfMetadataLibraryGuid = {
    0x94, 0x1C, 0x23, 0x44, 0x98, 0x94, 0xD1, 0x49, 0xA1, 0x41, 0x1D, 0x13, 0x4E, 0x45, 0x70, 0x54};

// Value type codes as the extended content description and metadata objects store them.
enum AsfTypeCode : uint16_t {
    kAsfString = 0,
    kAsfBinary = 1,
    kAsfBool = 2,
    kAsfDword = 3,
    kAsfQword = 4,
    kAsfWord = 5
};

// ASCII text as NUL-terminated UTF-16LE.
inline std::string Utf16z(std::string_view ascii) {
    std::string out;
    for (char c : ascii)
        out += std::string{c, '\0'};
    return out + std::string(2, '\0');
}

inline std::string AsfObject(const GuidBytes& guid, std::string_view body,
                             int64_t declaredSize = -1) {
    std::string out(reinterpret_cast<const char*>(guid.data()), guid.size());
    out += Le64(declaredSize < 0 ? 24 + body.size() : static_cast<uint64_t>(declaredSize));
    return out + std::string(body);
}

inline std::string AsfHeader(std::string_view objects, uint32_t count = 0) {
    return AsfObject(kAsfHeaderGuid, Le32(count) + "\x01\x02" + std::string(objects));
}

inline std::string AsfFileProperties(uint64_t playDuration, uint64_t prerollMs,
                                     uint32_t flags = 2) {
    std::string body(16, '\0'); // file id
    body += Le64(0) + Le64(0) + Le64(0);
    body += Le64(playDuration) + Le64(playDuration) + Le64(prerollMs) + Le32(flags);
    body += Le32(3200) + Le32(3200) + Le32(0);
    return AsfObject(kAsfFilePropertiesGuid, body);
}

// Each text is given as stored: pass Utf16z("...") or "" for none.
inline std::string AsfContentDescription(std::string_view title, std::string_view author,
                                         std::string_view copyright, std::string_view description,
                                         std::string_view rating = {}) {
    std::string body;
    for (auto text : {title, author, copyright, description, rating})
        body += Le16(text.size());
    for (auto text : {title, author, copyright, description, rating})
        body += text;
    return AsfObject(kAsfContentDescriptionGuid, body);
}

struct AsfRecord {
    std::string name; // ASCII
    uint16_t type = kAsfString;
    std::string value; // as stored
    uint16_t stream = 0;
};

inline std::string AsfExtendedContent(std::initializer_list<AsfRecord> records) {
    std::string body = Le16(records.size());
    for (const AsfRecord& r : records) {
        const std::string name = Utf16z(r.name);
        body += Le16(name.size()) + name + Le16(r.type) + Le16(r.value.size()) + r.value;
    }
    return AsfObject(kAsfExtendedContentGuid, body);
}

inline std::string AsfMetadata(const GuidBytes& guid, std::initializer_list<AsfRecord> records) {
    std::string body = Le16(records.size());
    for (const AsfRecord& r : records) {
        const std::string name = Utf16z(r.name);
        body += Le16(0) + Le16(r.stream) + Le16(name.size()) + Le16(r.type) + Le32(r.value.size()) +
                name + r.value;
    }
    return AsfObject(guid, body);
}

inline std::string AsfHeaderExtension(std::string_view objects) {
    return AsfObject(kAsfHeaderExtensionGuid,
                     std::string(16, '\0') + Le16(6) + Le32(objects.size()) + std::string(objects));
}

} // namespace tressel::test
