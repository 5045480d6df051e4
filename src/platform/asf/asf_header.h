#pragma once

// An ASF header reader: the attributes of an ASF, WMA or WMV file by name, with their
// types, as the header objects give them. Only the header object is read. Every size
// and count taken from the file is capped, so a crafted header costs little.

#include "platform/byte_source.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tressel::asf {

// A value longer than this is not kept (cover pictures live in the same objects).
inline constexpr size_t kMaxValueBytes = 256 * 1024;
// All kept values together never exceed this.
inline constexpr size_t kMaxStoredBytes = 4 * 1024 * 1024;
// Attribute names are short; longer ones are not kept.
inline constexpr size_t kMaxNameBytes = 1024;
// No header of a real file holds this many attributes or objects.
inline constexpr size_t kMaxAttributes = 1024;
inline constexpr int kMaxObjects = 1024;

enum class AttributeType { String, Binary, Bool, Dword, Qword, Word, Guid };

struct Attribute {
    std::string name; // UTF-8
    AttributeType type = AttributeType::String;
    // The value's bytes as stored: UTF-16LE for strings, little-endian for numbers.
    std::string value;

    bool isNumber() const;
    // A number value (at most its first eight bytes, little-endian).
    uint64_t number() const;
    // The value read as a NUL-terminated UTF-16LE string, in UTF-8.
    std::string text() const;
};

class AsfHeader {
public:
    // Null unless the source begins with an ASF header object; then why, when given,
    // tells the cause (a text of platform/read_failure.h).
    static std::optional<AsfHeader> read(ByteSource& source, const char** why = nullptr);

    // The file-level attribute of that name (names match exactly), or null. Where
    // several objects name the same attribute, the content description wins, then the
    // extended content description, then the metadata, then the metadata library.
    // "Duration" is the play duration less the preroll, in 100-ns units (a Qword).
    const Attribute* attributeByName(std::string_view name) const;
    const std::vector<Attribute>& attributes() const { return m_attributes; }
    // Whether the header declares a video stream.
    bool hasVideo() const { return m_hasVideo; }

private:
    friend class HeaderParser;
    void add(Attribute attribute);

    std::vector<Attribute> m_attributes;
    size_t m_storedBytes = 0;
    bool m_hasVideo = false;
};

} // namespace tressel::asf
