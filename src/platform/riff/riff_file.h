#pragma once

// A RIFF reader for AVI and WAVE files: the file-level LIST INFO data and the header
// of the first stream of a kind. Only headers are read; the media data is never
// touched. A damaged structure is read as far as it is sound: sizes past the end are
// cut to the bytes there are, and every walk is bounded in chunk count.

#include "platform/byte_source.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tressel::riff {

// The file-level INFO data is never read beyond this many bytes.
inline constexpr size_t kMaxInfoBytes = 512000;
// No list of a well-formed file comes near this many chunks; a crafted one stops here.
inline constexpr int kMaxChunksPerList = 4096;
// A stream name is a short C string; longer ones are cut.
inline constexpr size_t kMaxStreamNameBytes = 256;

constexpr uint32_t FourCC(const char (&code)[5]) {
    return uint32_t(uint8_t(code[0])) | uint32_t(uint8_t(code[1])) << 8 |
           uint32_t(uint8_t(code[2])) << 16 | uint32_t(uint8_t(code[3])) << 24;
}

inline constexpr uint32_t kStreamVideo = FourCC("vids");
inline constexpr uint32_t kStreamAudio = FourCC("auds");

struct FrameRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool isEmpty() const { return right <= left || bottom <= top; }
};

// What a stream header says about one stream. Its duration in seconds is
// length * scale / rate.
struct StreamInfo {
    uint32_t type = 0; // kStreamVideo, kStreamAudio, ...
    uint32_t scale = 0;
    uint32_t rate = 0;
    uint32_t length = 0;
    FrameRect frame;
    std::string name; // raw bytes of the stream's name, up to its first NUL
};

enum class Form { Avi, Wave };

// One chunk as found: where its data starts and how many of its bytes the file holds.
struct Chunk {
    uint32_t id = 0;
    uint64_t dataOffset = 0;
    uint64_t size = 0;     // cut to the end of the enclosing list
    uint32_t listType = 0; // for "RIFF" and "LIST" chunks: the four bytes after the size
};

class RiffFile {
public:
    // Null unless the source holds a RIFF AVI file with a header list, or a RIFF WAVE
    // file; then why, when given, tells the cause (a text of platform/read_failure.h).
    // The source must outlive the result.
    static std::optional<RiffFile> open(ByteSource& source, const char** why = nullptr);

    Form form() const { return m_form; }
    // The data of the file-level LIST INFO chunk (its list type followed by its
    // sub-chunks), at most maxBytes of it; null when the file has none.
    std::optional<std::string> readInfoList(size_t maxBytes = kMaxInfoBytes) const;
    // The first stream of the given type; null when there is none or its header is
    // damaged.
    std::optional<StreamInfo> firstStream(uint32_t type) const;

private:
    RiffFile(ByteSource& source, Form form) : m_source(&source), m_form(form) {}
    std::optional<StreamInfo> firstAviStream(uint32_t type) const;
    // One stream's header, format and name; null when the header is missing or short.
    std::optional<StreamInfo> readStreamList(const Chunk& list) const;
    std::optional<StreamInfo> waveAudioStream() const;

    ByteSource* m_source;
    Form m_form;
    std::optional<Chunk> m_info;
    std::optional<Chunk> m_headerList; // AVI "LIST hdrl"
    std::optional<Chunk> m_format;     // WAVE "fmt "
    std::optional<Chunk> m_data;       // WAVE "data"
};

// Visits the chunks between begin and end in order until visit returns false, at most
// kMaxChunksPerList of them. A chunk whose size runs past end is visited with its size
// cut and ends the walk.
template <class Visit>
void ForEachChunk(ByteSource& source, uint64_t begin, uint64_t end, Visit&& visit);

bool ReadChunkHeader(ByteSource& source, uint64_t offset, uint64_t end, Chunk& chunk,
                     uint64_t& next);

template <class Visit>
void ForEachChunk(ByteSource& source, uint64_t begin, uint64_t end, Visit&& visit) {
    uint64_t offset = begin;
    for (int count = 0; count < kMaxChunksPerList && offset < end; ++count) {
        Chunk chunk;
        uint64_t next = 0;
        if (!ReadChunkHeader(source, offset, end, chunk, next))
            return;
        if (!visit(chunk))
            return;
        offset = next;
    }
}

} // namespace tressel::riff
