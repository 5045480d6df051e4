#pragma once

// A PDF file's cross-reference data, as far as finding one object needs it: the chain
// of sections from "startxref" through "Prev" (classic tables with their trailers,
// cross-reference streams, and the streams of hybrid files), and objects found through
// it, also inside compressed object streams. Every read is bounded: sections, bytes
// per dictionary, and the data inflated per stream and in all.

#include "pdf_objects.h"
#include "platform/byte_source.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tressel::pdf {

// The offset a file's last "startxref" within its last 1024 bytes gives.
std::optional<uint64_t> FindStartXref(ByteSource& source);

class Document {
public:
    explicit Document(ByteSource& source) : m_source(source) {}

    // Reads the chain of sections starting at offset; false when no section is there.
    bool load(uint64_t offset);
    // The reference of the newest trailer's /Info, or nothing.
    std::optional<int64_t> infoObject() const;
    // Any trailer of the chain names an /Encrypt dictionary.
    bool encrypted() const;
    // The object with this number, from the newest section that lists it.
    std::optional<Object> resolve(int64_t number);

private:
    struct Subsection {
        int64_t first = 0;
        int64_t count = 0;
        uint64_t entries = 0; // a classic table's first entry
        size_t entrySize = 20;
    };
    struct Section {
        bool isStream = false;
        std::vector<Subsection> subsections;
        Object dictionary; // the trailer, or the cross-reference stream's dictionary
        uint64_t dataOffset = 0;
        std::optional<std::string> data; // a stream's entries, once decoded
    };
    struct Entry {
        enum class Type { Free, InFile, InStream } type = Type::Free;
        uint64_t position = 0; // the offset in the file, or the object stream's number
        uint64_t index = 0;    // the place in the object stream
    };
    struct StreamObject {
        Object dictionary;
        uint64_t dataOffset = 0;
    };

    std::optional<Section> readSection(uint64_t offset);
    std::optional<Section> readClassicSection(uint64_t offset);
    std::optional<Section> readStreamSection(uint64_t offset);
    std::optional<StreamObject> readStreamObject(uint64_t offset);
    std::optional<std::string> decode(const StreamObject& stream);
    std::optional<Entry> lookUp(Section& section, int64_t number);
    std::optional<Entry> find(int64_t number);
    std::optional<Object> objectInStream(uint64_t stream, uint64_t index, int64_t number);

    ByteSource& m_source;
    std::vector<Section> m_sections;
    struct ObjectStream {
        int64_t first = 0; // where the objects start, after the pairs of number and offset
        std::string data;
    };
    std::map<uint64_t, ObjectStream> m_objectStreams;
    size_t m_inflateBudget = 8 * 1024 * 1024;
};

} // namespace tressel::pdf
