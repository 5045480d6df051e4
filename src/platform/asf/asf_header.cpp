#include "asf_header.h"

#include "platform/read_failure.h"
#include "platform/text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

namespace tressel::asf {

namespace {

using Guid = std::array<unsigned char, 16>;

// GUIDs as they stand in the file (the first three fields little-endian).
constexpr Guid kHeaderObject = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kFileProperties = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                  0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kContentDescription = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                      0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kExtendedContentDescription = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                              0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
constexpr Guid kHeaderExtension = {0xB5, 0x03, 0xBF, 0x5F, 0x2E, 0xA9, 0xCF, 0x11,
                                   0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kMetadata = {0xEA, 0xCB, 0xF8, 0xC5, 0xAF, 0x5B, 0x77, 0x48,
                            0x84, 0x67, 0xAA, 0x8C, 0x44, 0xFA, 0x4C, 0xCA};
constexpr Guid kStreamProperties = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                    0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kVideoMedia = {0xC0, 0xEF, 0x19, 0xBC, 0x4D, 0x5B, 0xCF, 0x11,
                              0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};
constexpr Guid kMetadataLibrary = {0x94, 0x1C, 0x23, 0x44, 0x98, 0x94, 0xD1, 0x49,
                                   0xA1, 0x41, 0x1D, 0x13, 0x4E, 0x45, 0x70, 0x54};

constexpr uint64_t kObjectHeaderBytes = 24; // GUID and 64-bit size
constexpr uint64_t kHeaderObjectBytes = 30; // plus object count and two reserved bytes
// Reserved GUID and reserved word, then the data size, before the extension's own objects.
constexpr uint64_t kHeaderExtensionReserved = 18;
constexpr uint64_t kFilePropertiesBytes = 104;
// File properties fields, counted from the end of the object header.
constexpr size_t kFilePlayDuration = 40;
constexpr size_t kFilePreroll = 56;
constexpr size_t kFileFlags = 64;
constexpr uint32_t kBroadcastFlag = 1;
constexpr uint64_t kUnitsPerMillisecond = 10000;

const char* const kContentDescriptionNames[] = {"Title", "Author", "Copyright", "Description",
                                                "Rating"};

std::optional<AttributeType> TypeFromCode(uint16_t code) {
    if (code > static_cast<uint16_t>(AttributeType::Guid))
        return std::nullopt;
    return static_cast<AttributeType>(code);
}

// Sequential reads inside [begin, end) of a source, through a small window so that a
// header of many short fields costs a few reads, not one per field.
class Cursor {
public:
    Cursor(ByteSource& source, uint64_t begin, uint64_t end)
        : m_source(source), m_pos(begin), m_end(end) {}

    uint64_t position() const { return m_pos; }
    uint64_t remaining() const { return m_end - m_pos; }

    bool skip(uint64_t n) {
        if (n > remaining())
            return false;
        m_pos += n;
        return true;
    }
    bool bytes(size_t n, std::string& out) {
        if (n > remaining())
            return false;
        if (!inWindow(n) && n > kWindowBytes) {
            out = m_source.read(m_pos, n);
        } else {
            if (!inWindow(n))
                fillWindow();
            if (!inWindow(n))
                return false;
            out.assign(m_window, static_cast<size_t>(m_pos - m_windowStart), n);
        }
        if (out.size() != n)
            return false;
        m_pos += n;
        return true;
    }
    bool u16(uint16_t& v) { return little(v, 2); }
    bool u32(uint32_t& v) { return little(v, 4); }
    bool u64(uint64_t& v) { return little(v, 8); }
    bool guid(Guid& g) {
        std::string raw;
        if (!bytes(g.size(), raw))
            return false;
        std::memcpy(g.data(), raw.data(), g.size());
        return true;
    }

private:
    static constexpr size_t kWindowBytes = 64 * 1024;

    template <class T> bool little(T& v, size_t n) {
        std::string raw;
        if (!bytes(n, raw))
            return false;
        uint64_t value = 0;
        for (size_t i = n; i-- > 0;)
            value = value << 8 | static_cast<unsigned char>(raw[i]);
        v = static_cast<T>(value);
        return true;
    }
    bool inWindow(size_t n) const {
        return m_pos >= m_windowStart && m_pos - m_windowStart <= m_window.size() &&
               n <= m_window.size() - (m_pos - m_windowStart);
    }
    void fillWindow() {
        m_windowStart = m_pos;
        m_window = m_source.read(
            m_pos, static_cast<size_t>(std::min<uint64_t>(kWindowBytes, remaining())));
    }

    ByteSource& m_source;
    uint64_t m_pos;
    uint64_t m_end;
    uint64_t m_windowStart = 0;
    std::string m_window;
};

struct ObjectSpan {
    uint64_t begin = 0; // first byte after the object header
    uint64_t end = 0;
};

std::string Le64Bytes(uint64_t value) {
    std::string out(8, '\0');
    for (int i = 0; i < 8; ++i)
        out[static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
    return out;
}

} // namespace

// Finds the header objects that carry attributes and reads them in order of precedence.
class HeaderParser {
public:
    HeaderParser(ByteSource& source, AsfHeader& header) : m_source(source), m_header(header) {}

    void parse(uint64_t end) {
        walkObjects(kHeaderObjectBytes, end);
        if (m_contentDescription)
            readContentDescription(*m_contentDescription);
        if (m_extendedContent)
            readExtendedContent(*m_extendedContent);
        if (m_metadata)
            readMetadata(*m_metadata);
        if (m_metadataLibrary)
            readMetadata(*m_metadataLibrary);
        if (m_fileProperties)
            readFileProperties(*m_fileProperties);
    }

private:
    void walkObjects(uint64_t begin, uint64_t end) {
        uint64_t offset = begin;
        while (m_objectCount < kMaxObjects && end - offset >= kObjectHeaderBytes) {
            ++m_objectCount;
            Cursor cursor(m_source, offset, end);
            Guid id;
            uint64_t size = 0;
            if (!cursor.guid(id) || !cursor.u64(size) || size < kObjectHeaderBytes)
                return;
            const ObjectSpan span{offset + kObjectHeaderBytes,
                                  size > end - offset ? end : offset + size};
            noteObject(id, span);
            if (size > end - offset)
                return;
            offset += size;
        }
    }

    void noteObject(const Guid& id, const ObjectSpan& span) {
        auto keepFirst = [&](std::optional<ObjectSpan>& slot) {
            if (!slot)
                slot = span;
        };
        if (id == kFileProperties)
            keepFirst(m_fileProperties);
        else if (id == kStreamProperties)
            noteStream(span);
        else if (id == kContentDescription)
            keepFirst(m_contentDescription);
        else if (id == kExtendedContentDescription)
            keepFirst(m_extendedContent);
        else if (id == kMetadata)
            keepFirst(m_metadata);
        else if (id == kMetadataLibrary)
            keepFirst(m_metadataLibrary);
        else if (id == kHeaderExtension && !m_inExtension)
            walkHeaderExtension(span);
    }

    // A stream properties object starts with its stream type.
    void noteStream(const ObjectSpan& span) {
        Cursor cursor(m_source, span.begin, span.end);
        Guid type;
        if (cursor.guid(type) && type == kVideoMedia)
            m_header.m_hasVideo = true;
    }

    void walkHeaderExtension(const ObjectSpan& span) {
        Cursor cursor(m_source, span.begin, span.end);
        uint32_t dataSize = 0;
        if (!cursor.skip(kHeaderExtensionReserved) || !cursor.u32(dataSize))
            return;
        m_inExtension = true;
        walkObjects(cursor.position(),
                    cursor.position() + std::min<uint64_t>(dataSize, cursor.remaining()));
        m_inExtension = false;
    }

    void readContentDescription(const ObjectSpan& span) {
        Cursor cursor(m_source, span.begin, span.end);
        uint16_t lengths[std::size(kContentDescriptionNames)];
        for (uint16_t& length : lengths)
            if (!cursor.u16(length))
                return;
        for (size_t i = 0; i < std::size(lengths); ++i) {
            std::string value;
            if (!cursor.bytes(lengths[i], value))
                return;
            if (!value.empty())
                m_header.add(
                    {kContentDescriptionNames[i], AttributeType::String, std::move(value)});
        }
    }

    void readExtendedContent(const ObjectSpan& span) {
        Cursor cursor(m_source, span.begin, span.end);
        uint16_t count = 0;
        if (!cursor.u16(count))
            return;
        for (uint16_t i = 0; i < count; ++i) {
            uint16_t nameLength = 0, typeCode = 0, valueLength = 0;
            std::string name;
            if (!cursor.u16(nameLength) || !readName(cursor, nameLength, name) ||
                !cursor.u16(typeCode) || !cursor.u16(valueLength))
                return;
            if (!readValue(cursor, std::move(name), typeCode, valueLength))
                return;
        }
    }

    // The metadata and metadata library objects share one record layout; only records
    // of stream 0 are attributes of the file.
    void readMetadata(const ObjectSpan& span) {
        Cursor cursor(m_source, span.begin, span.end);
        uint16_t count = 0;
        if (!cursor.u16(count))
            return;
        for (uint16_t i = 0; i < count; ++i) {
            uint16_t language = 0, stream = 0, nameLength = 0, typeCode = 0;
            uint32_t valueLength = 0;
            std::string name;
            if (!cursor.u16(language) || !cursor.u16(stream) || !cursor.u16(nameLength) ||
                !cursor.u16(typeCode) || !cursor.u32(valueLength) ||
                !readName(cursor, nameLength, name))
                return;
            if (stream != 0) {
                if (!cursor.skip(valueLength))
                    return;
                continue;
            }
            if (!readValue(cursor, std::move(name), typeCode, valueLength))
                return;
        }
    }

    // A name too long to keep comes back empty, which no lookup matches.
    bool readName(Cursor& cursor, uint16_t length, std::string& name) {
        if (length > kMaxNameBytes)
            return cursor.skip(length);
        std::string raw;
        if (!cursor.bytes(length, raw))
            return false;
        name = Utf16LeToUtf8(raw);
        return true;
    }

    bool readValue(Cursor& cursor, std::string name, uint16_t typeCode, uint64_t length) {
        const std::optional<AttributeType> type = TypeFromCode(typeCode);
        if (!type || name.empty() || length > kMaxValueBytes)
            return cursor.skip(length);
        std::string value;
        if (!cursor.bytes(static_cast<size_t>(length), value))
            return false;
        m_header.add({std::move(name), *type, std::move(value)});
        return true;
    }

    void readFileProperties(const ObjectSpan& span) {
        std::string fields;
        Cursor cursor(m_source, span.begin, span.end);
        if (!cursor.bytes(kFilePropertiesBytes - kObjectHeaderBytes, fields))
            return;
        const uint64_t playDuration = ReadLe64(fields.data() + kFilePlayDuration);
        const uint64_t prerollMs = ReadLe64(fields.data() + kFilePreroll);
        const uint32_t flags = ReadLe32(fields.data() + kFileFlags);
        // A broadcast file does not know its duration.
        if (flags & kBroadcastFlag)
            return;
        const uint64_t preroll = prerollMs > playDuration / kUnitsPerMillisecond
                                     ? playDuration
                                     : prerollMs * kUnitsPerMillisecond;
        m_header.add({"Duration", AttributeType::Qword, Le64Bytes(playDuration - preroll)});
    }

    ByteSource& m_source;
    AsfHeader& m_header;
    int m_objectCount = 0;
    bool m_inExtension = false;
    std::optional<ObjectSpan> m_fileProperties;
    std::optional<ObjectSpan> m_contentDescription;
    std::optional<ObjectSpan> m_extendedContent;
    std::optional<ObjectSpan> m_metadata;
    std::optional<ObjectSpan> m_metadataLibrary;
};

bool Attribute::isNumber() const {
    return type == AttributeType::Bool || type == AttributeType::Dword ||
           type == AttributeType::Qword || type == AttributeType::Word;
}

uint64_t Attribute::number() const {
    uint64_t result = 0;
    for (size_t i = std::min<size_t>(value.size(), 8); i-- > 0;)
        result = result << 8 | static_cast<unsigned char>(value[i]);
    return result;
}

std::string Attribute::text() const {
    return Utf16LeToUtf8(value);
}

std::optional<AsfHeader> AsfHeader::read(ByteSource& source, const char** why) {
    Cursor cursor(source, 0, source.size());
    Guid id;
    uint64_t size = 0;
    if (!cursor.guid(id) || id != kHeaderObject) {
        if (why)
            *why = failure::kNotThisFormat;
        return std::nullopt;
    }
    if (!cursor.u64(size) || size < kHeaderObjectBytes || source.size() < kHeaderObjectBytes) {
        if (why)
            *why = failure::kTruncatedHeader;
        return std::nullopt;
    }
    AsfHeader header;
    HeaderParser(source, header).parse(std::min(size, source.size()));
    return header;
}

const Attribute* AsfHeader::attributeByName(std::string_view name) const {
    auto found = std::find_if(m_attributes.begin(), m_attributes.end(),
                              [&](const Attribute& a) { return a.name == name; });
    return found == m_attributes.end() ? nullptr : &*found;
}

void AsfHeader::add(Attribute attribute) {
    if (m_attributes.size() >= kMaxAttributes || attributeByName(attribute.name) ||
        attribute.value.size() > kMaxStoredBytes - m_storedBytes)
        return;
    m_storedBytes += attribute.value.size();
    m_attributes.push_back(std::move(attribute));
}

} // namespace tressel::asf
