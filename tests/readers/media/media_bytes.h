#pragma once

// Builders of tag bytes for the media reader tests, so that each test states the
// bytes it is about.

#include "platform/byte_source.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tressel::test {

inline std::string Be16(uint32_t v) {
    return {char(v >> 8), char(v)};
}
inline std::string Be24(uint32_t v) {
    return {char(v >> 16), char(v >> 8), char(v)};
}
inline std::string Be32(uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
inline std::string Le32(uint32_t v) {
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}
inline std::string SyncSafe(uint32_t v) {
    return {char((v >> 21) & 0x7F), char((v >> 14) & 0x7F), char((v >> 7) & 0x7F), char(v & 0x7F)};
}

// One ID3v2 frame. major 2 has 3-letter ids and 3-byte sizes; 3 plain and 4
// sync-safe 4-byte sizes, followed by the two flag bytes.
inline std::string Id3Frame(int major, std::string_view id, std::string_view data,
                            uint8_t formatFlags = 0) {
    const auto size = static_cast<uint32_t>(data.size());
    std::string frame(id);
    if (major == 2)
        frame += Be24(size);
    else
        frame += (major == 4 ? SyncSafe(size) : Be32(size)) + std::string{'\0', char(formatFlags)};
    return frame + std::string(data);
}

// A text frame in ISO-8859-1 (encoding byte 0).
inline std::string Id3Text(int major, std::string_view id, std::string_view text) {
    return Id3Frame(major, id, std::string(1, '\0') + std::string(text));
}

inline std::string Id3Tag(int major, std::string_view frames, uint8_t flags = 0,
                          size_t padding = 0) {
    const std::string body = std::string(frames) + std::string(padding, '\0');
    return "ID3" + std::string{char(major), '\0', char(flags)} +
           SyncSafe(static_cast<uint32_t>(body.size())) + body;
}

inline std::string Fixed(std::string_view text, size_t width, char pad = '\0') {
    std::string field(text.substr(0, width));
    field.resize(width, pad);
    return field;
}

inline std::string Id3v1(std::string_view title, std::string_view artist, std::string_view album,
                         std::string_view year, std::string_view comment) {
    return "TAG" + Fixed(title, 30) + Fixed(artist, 30) + Fixed(album, 30) + Fixed(year, 4) +
           Fixed(comment, 30) + std::string(1, '\xFF');
}

// Bytes held in memory, counting what the parser read.
class CountingSource final : public ByteSource {
public:
    explicit CountingSource(std::string bytes) : m_bytes(std::move(bytes)), m_memory(m_bytes) {}
    uint64_t size() const override { return m_memory.size(); }
    size_t readAt(uint64_t offset, void* buffer, size_t n) override {
        const size_t got = m_memory.readAt(offset, buffer, n);
        bytesRead += got;
        return got;
    }
    uint64_t bytesRead = 0;

private:
    std::string m_bytes;
    MemorySource m_memory;
};

} // namespace tressel::test
