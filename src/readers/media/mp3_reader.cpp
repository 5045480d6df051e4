#include "mp3_reader.h"

#include "platform/text.h"

#include <algorithm>
#include <array>
#include <optional>

namespace tressel {

namespace {

constexpr size_t kId3v2HeaderSize = 10;
constexpr size_t kId3v1Size = 128;
// A text frame longer than this is cut: a column shows one line, and a crafted tag
// must not make us read megabytes.
constexpr size_t kMaxTextBytes = 4096;
// Frames walked per tag; real tags hold a few dozen.
constexpr int kMaxFrames = 4096;
// A whole-tag unsynchronised (v2.2/v2.3) tag is decoded in memory up to this size.
constexpr size_t kMaxUnsyncTagBytes = 256 * 1024;

enum Slot { kTitle, kArtist, kYear, kAlbum, kCopyright, kSlotCount };
using Slots = std::array<std::string, kSlotCount>;
constexpr std::array<const char*, kSlotCount> kSlotLabels = {
    UI_TEXT_NOOP("Labels", "Title"), UI_TEXT_NOOP("Labels", "Artist"),
    UI_TEXT_NOOP("Labels", "Year"), UI_TEXT_NOOP("Labels", "Album"),
    UI_TEXT_NOOP("Labels", "Copyright")};

uint32_t SyncSafe32(const unsigned char* p) {
    return uint32_t(p[0] & 0x7F) << 21 | uint32_t(p[1] & 0x7F) << 14 | uint32_t(p[2] & 0x7F) << 7 |
           uint32_t(p[3] & 0x7F);
}

// Some v2.4 writers put plain integers where sync-safe ones belong; a byte with its
// top bit set cannot be sync-safe, so such a size is read as the plain number.
uint32_t FrameSize24(const unsigned char* p) {
    const bool syncSafe = ((p[0] | p[1] | p[2] | p[3]) & 0x80) == 0;
    return syncSafe ? SyncSafe32(p) : ReadBe32(p);
}

std::string RemoveUnsynchronisation(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        out.push_back(bytes[i]);
        if (static_cast<unsigned char>(bytes[i]) == 0xFF && i + 1 < bytes.size() &&
            bytes[i + 1] == 0)
            ++i;
    }
    return out;
}

int SlotOfFrame(std::string_view id, int major) {
    if (major == 2) {
        static constexpr std::array<std::string_view, kSlotCount> kIds = {"TT2", "TP1", "TYE",
                                                                          "TAL", "TCR"};
        for (int slot = 0; slot < kSlotCount; ++slot)
            if (id == kIds[slot])
                return slot;
        return -1;
    }
    if (id == "TIT2")
        return kTitle;
    if (id == "TPE1")
        return kArtist;
    // v2.4 replaced TYER by the recording time TDRC; taggers mix them up in both
    // versions, so whichever comes first is the year.
    if (id == "TYER" || id == "TDRC")
        return kYear;
    if (id == "TALB")
        return kAlbum;
    if (id == "TCOP")
        return kCopyright;
    return -1;
}

bool IsFrameIdByte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsFrameId(std::string_view id) {
    for (char c : id)
        if (!IsFrameIdByte(c))
            return false;
    return true;
}

// The text of a text frame's data: its first byte names the encoding.
std::string DecodeTextFrame(std::string_view data) {
    if (data.empty())
        return {};
    const auto encoding = static_cast<unsigned char>(data[0]);
    std::string_view text = data.substr(1);
    switch (encoding) {
    case 1: // UTF-16 with byte-order mark; without one, little-endian as most writers use
        if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFE &&
            static_cast<unsigned char>(text[1]) == 0xFF)
            return Utf16BeToUtf8(text.substr(2));
        if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF &&
            static_cast<unsigned char>(text[1]) == 0xFE)
            return Utf16LeToUtf8(text.substr(2));
        return Utf16LeToUtf8(text);
    case 2:
        return Utf16BeToUtf8(text);
    case 3:
        return ToValidUtf8(text.substr(0, text.find('\0')));
    default: // 0: ISO-8859-1, which many writers fill with their own code page or UTF-8
        return TagText(text);
    }
}

struct Id3v2Tag {
    int major = 0;
    uint8_t flags = 0;
    uint64_t end = 0; // offset of the first byte after the tag, within the source
};

// Where the frame data starts once the per-frame extras are skipped, and whether it
// is readable text at all (compressed and encrypted frames are not).
struct FrameData {
    size_t skip = 0;
    bool readable = true;
    bool unsynchronised = false;
};

FrameData FrameDataOf(int major, uint8_t formatFlags, bool tagUnsynchronised) {
    FrameData data;
    if (major == 3) {
        data.readable = (formatFlags & 0xC0) == 0; // compression, encryption
        data.skip = (formatFlags & 0x20) ? 1 : 0;  // group id
    } else if (major == 4) {
        data.readable = (formatFlags & 0x0C) == 0;
        data.skip = ((formatFlags & 0x40) ? 1 : 0) + ((formatFlags & 0x01) ? 4 : 0);
        data.unsynchronised = tagUnsynchronised || (formatFlags & 0x02);
    }
    return data;
}

class FrameWalker {
public:
    FrameWalker(ByteSource& source, int major, bool unsynchronisedFrames)
        : m_source(source), m_major(major), m_unsynchronisedFrames(unsynchronisedFrames) {}

    // Walks the frame headers from begin to end, reading only the frames we show and
    // seeking past every other (a cover picture costs one header read).
    void walk(uint64_t begin, uint64_t end, Slots& slots) {
        const size_t idLength = m_major == 2 ? 3 : 4;
        const size_t headerLength = m_major == 2 ? 6 : 10;
        uint64_t pos = begin;
        for (int frames = 0; frames < kMaxFrames && end - pos >= headerLength; ++frames) {
            unsigned char header[10];
            if (!m_source.readExact(pos, header, headerLength))
                return;
            const std::string_view id(reinterpret_cast<const char*>(header), idLength);
            if (!IsFrameId(id)) // padding, or the end of what is sound
                return;
            const uint64_t size = frameSize(header);
            const uint64_t dataStart = pos + headerLength;
            if (size > end - dataStart)
                return;
            const int slot = SlotOfFrame(id, m_major);
            if (slot >= 0 && slots[slot].empty())
                slots[slot] = readText(dataStart, size, m_major == 2 ? 0 : header[9]);
            if (AllFilled(slots))
                return;
            pos = dataStart + size;
        }
    }

private:
    static bool AllFilled(const Slots& slots) {
        for (const auto& text : slots)
            if (text.empty())
                return false;
        return true;
    }

    uint64_t frameSize(const unsigned char* header) const {
        if (m_major == 2)
            return uint32_t(header[3]) << 16 | uint32_t(header[4]) << 8 | header[5];
        return m_major == 4 ? FrameSize24(header + 4) : ReadBe32(header + 4);
    }

    std::string readText(uint64_t offset, uint64_t size, uint8_t formatFlags) {
        const FrameData data = FrameDataOf(m_major, formatFlags, m_unsynchronisedFrames);
        if (!data.readable || size <= data.skip)
            return {};
        const size_t length =
            static_cast<size_t>(std::min<uint64_t>(size - data.skip, kMaxTextBytes));
        std::string bytes = m_source.read(offset + data.skip, length);
        if (data.unsynchronised)
            bytes = RemoveUnsynchronisation(bytes);
        return DecodeTextFrame(bytes);
    }

    ByteSource& m_source;
    int m_major;
    bool m_unsynchronisedFrames;
};

std::optional<Id3v2Tag> ReadId3v2Header(ByteSource& source) {
    unsigned char header[kId3v2HeaderSize];
    if (!source.readExact(0, header, 3) ||
        std::string_view(reinterpret_cast<char*>(header), 3) != "ID3")
        return std::nullopt;
    Id3v2Tag tag;
    tag.end = 3;
    if (!source.readExact(0, header, kId3v2HeaderSize))
        return tag; // "ID3" and nothing sound after it: ours, without frames
    tag.major = header[3];
    tag.flags = header[5];
    tag.end = std::min<uint64_t>(kId3v2HeaderSize + SyncSafe32(header + 6), source.size());
    return tag;
}

// Offset of the first frame: the extended header, when the flags announce one, is skipped.
uint64_t FirstFrameOffset(ByteSource& source, const Id3v2Tag& tag, uint64_t begin) {
    if (!(tag.flags & 0x40) || tag.major < 3)
        return begin;
    unsigned char size[4];
    if (!source.readExact(begin, size, 4))
        return tag.end;
    // v2.3 counts the bytes after the size field; v2.4 counts the whole header.
    return begin + (tag.major == 3 ? 4 + uint64_t(ReadBe32(size)) : uint64_t(SyncSafe32(size)));
}

void WalkFrames(ByteSource& source, const Id3v2Tag& tag, Slots& slots) {
    if (tag.major < 2 || tag.major > 4 || tag.end <= kId3v2HeaderSize)
        return;
    if (tag.major == 2 && (tag.flags & 0x40)) // v2.2 compression was never defined
        return;
    const bool unsynchronised = tag.flags & 0x80;
    if (unsynchronised && tag.major < 4) {
        // Before v2.4 the whole tag, frame headers included, is unsynchronised, so the
        // frame sizes only make sense in the decoded bytes.
        const size_t length =
            static_cast<size_t>(std::min<uint64_t>(tag.end - kId3v2HeaderSize, kMaxUnsyncTagBytes));
        const std::string decoded = RemoveUnsynchronisation(source.read(kId3v2HeaderSize, length));
        MemorySource memory(decoded);
        Id3v2Tag inner = tag;
        inner.end = decoded.size();
        FrameWalker(memory, tag.major, false)
            .walk(std::min<uint64_t>(FirstFrameOffset(memory, inner, 0), inner.end), inner.end,
                  slots);
        return;
    }
    FrameWalker(source, tag.major, unsynchronised)
        .walk(std::min(FirstFrameOffset(source, tag, kId3v2HeaderSize), tag.end), tag.end, slots);
}

void AddId3v2Values(const Slots& slots, ReadResult& result) {
    if (!slots[kTitle].empty() && !slots[kArtist].empty())
        result.add(UI_TEXT_NOOP("Labels", "Artist - Title"),
                   ArtistDashTitle(slots[kArtist], slots[kTitle]));
    for (size_t slot = 0; slot < slots.size(); ++slot)
        if (!slots[slot].empty())
            result.add(kSlotLabels[slot], slots[slot]);
}

std::string TrimTrailingBlanks(std::string text) {
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

// A fixed-width ID3v1 field: up to its first NUL, trailing blanks dropped.
std::string Id3v1Field(std::string_view record, size_t offset, size_t width) {
    return TrimTrailingBlanks(TagText(record.substr(offset, width)));
}

bool AddId3v1Values(ByteSource& source, uint64_t v2End, ReadResult& result) {
    const uint64_t size = source.size();
    // The trailer lies after the ID3v2 tag, never inside it.
    if (size < kId3v1Size || size - kId3v1Size < v2End)
        return false;
    const std::string record = source.read(size - kId3v1Size, kId3v1Size);
    if (record.size() != kId3v1Size || record.compare(0, 3, "TAG") != 0)
        return false;
    const std::string artist = Id3v1Field(record, 33, 30);
    const std::string title = TagText(std::string_view(record).substr(3, 30));
    if (artist.empty())
        result.add(UI_TEXT_NOOP("Labels", "Title"), title);
    else
        result.add(UI_TEXT_NOOP("Labels", "Artist - Title"), ArtistDashTitle(artist, title));
    result.add(UI_TEXT_NOOP("Labels", "Album"), Id3v1Field(record, 63, 30));
    result.add(UI_TEXT_NOOP("Labels", "Year"), Id3v1Field(record, 93, 4));
    // A v1.1 track number follows a NUL in the comment's place.
    result.add(UI_TEXT_NOOP("Labels", "Comment"), Id3v1Field(record, 97, 30));
    return true;
}

} // namespace

ReadResult ParseMp3(ByteSource& source, const ReadRequest&) {
    ReadResult result(kMp3Format.name);
    uint64_t v2End = 0;
    bool tagged = false;
    if (const std::optional<Id3v2Tag> tag = ReadId3v2Header(source)) {
        tagged = true;
        v2End = tag->end;
        Slots slots;
        WalkFrames(source, *tag, slots);
        AddId3v2Values(slots, result);
    }
    if (AddId3v1Values(source, v2End, result))
        tagged = true;
    if (!tagged)
        return result.refuse(kNoId3Tag);
    result.accept("mp3");
    return result;
}

} // namespace tressel
