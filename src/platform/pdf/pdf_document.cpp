#include "pdf_document.h"

#include "pdf_streams.h"

#include <algorithm>
#include <set>

namespace tressel::pdf {

namespace {

constexpr size_t kTailSize = 1024;
constexpr size_t kDictionaryWindow = 4096;
constexpr size_t kStreamOutputCap = 1024 * 1024;
constexpr int kMaxSections = 32;
constexpr int kMaxSubsections = 1024;
constexpr int64_t kMaxObjectNumber = 100'000'000;

// Skips one line end (CR LF, LF or CR) at pos.
size_t AfterLineEnd(std::string_view bytes, size_t pos) {
    if (pos < bytes.size() && bytes[pos] == '\r')
        ++pos;
    if (pos < bytes.size() && bytes[pos] == '\n')
        ++pos;
    return pos;
}

// A classic entry's size, measured on the first one: 20 in a well-formed table.
size_t MeasureEntrySize(std::string_view entry) {
    const size_t end = entry.find_first_of("\r\n");
    if (end == std::string_view::npos)
        return 20;
    const size_t size = AfterLineEnd(entry, end);
    return size >= 19 && size <= 21 ? size : 20;
}

uint64_t Field(std::string_view row, size_t& pos, int64_t width) {
    uint64_t value = 0;
    for (int64_t i = 0; i < width; ++i)
        value = value << 8 | static_cast<unsigned char>(row[pos++]);
    return value;
}

} // namespace

std::optional<uint64_t> FindStartXref(ByteSource& source) {
    const uint64_t size = source.size();
    const uint64_t start = size > kTailSize ? size - kTailSize : 0;
    const std::string tail = source.read(start, kTailSize);
    const size_t at = tail.rfind("startxref");
    if (at == std::string::npos)
        return std::nullopt;
    Parser parser(tail, at + 9);
    const std::optional<int64_t> offset = parser.takeInteger();
    if (!offset)
        return std::nullopt;
    return static_cast<uint64_t>(*offset);
}

bool Document::load(uint64_t offset) {
    std::set<uint64_t> visited;
    for (int hop = 0; hop < kMaxSections && visited.insert(offset).second; ++hop) {
        std::optional<Section> section = readSection(offset);
        if (!section)
            break;
        const Object* prev = section->dictionary.find("Prev");
        const Object* hybrid = section->isStream ? nullptr : section->dictionary.find("XRefStm");
        m_sections.push_back(std::move(*section));
        // A hybrid file's stream lists the objects its classic table leaves out.
        if (hybrid && hybrid->integer() && *hybrid->integer() >= 0)
            if (std::optional<Section> stream = readStreamSection(uint64_t(*hybrid->integer())))
                m_sections.push_back(std::move(*stream));
        if (!prev || !prev->integer() || *prev->integer() < 0)
            break;
        offset = static_cast<uint64_t>(*prev->integer());
    }
    return !m_sections.empty();
}

std::optional<int64_t> Document::infoObject() const {
    for (const Section& section : m_sections)
        if (const Object* info = section.dictionary.find("Info"))
            return info->kind == Object::Kind::Reference ? std::optional(info->number)
                                                         : std::nullopt;
    return std::nullopt;
}

bool Document::encrypted() const {
    return std::any_of(m_sections.begin(), m_sections.end(), [](const Section& section) {
        return section.dictionary.find("Encrypt") != nullptr;
    });
}

std::optional<Document::Section> Document::readSection(uint64_t offset) {
    if (std::optional<Section> classic = readClassicSection(offset))
        return classic;
    return readStreamSection(offset);
}

std::optional<Document::Section> Document::readClassicSection(uint64_t offset) {
    const std::string head = m_source.read(offset, 64);
    Parser keyword(head);
    if (!keyword.takeKeyword("xref"))
        return std::nullopt;
    Section section;
    uint64_t pos = offset + keyword.position();
    for (int i = 0; i < kMaxSubsections; ++i) {
        const std::string line = m_source.read(pos, 64);
        Parser parser(line);
        if (parser.takeKeyword("trailer")) {
            const std::string trailer = m_source.read(pos + parser.position(), kDictionaryWindow);
            Parser dictionary(trailer);
            if (std::optional<Object> object = dictionary.parseObject();
                object && object->kind == Object::Kind::Dictionary)
                section.dictionary = std::move(*object);
            break;
        }
        const std::optional<int64_t> first = parser.takeInteger();
        const std::optional<int64_t> count = parser.takeInteger();
        if (!first || !count)
            break;
        size_t end = parser.position();
        while (end < line.size() && line[end] == ' ')
            ++end;
        Subsection subsection{*first, *count, pos + AfterLineEnd(line, end), 20};
        if (subsection.count > 0)
            subsection.entrySize = MeasureEntrySize(m_source.read(subsection.entries, 24));
        const uint64_t left = m_source.size() - std::min(m_source.size(), subsection.entries);
        if (uint64_t(subsection.count) > left / subsection.entrySize)
            break;
        pos = subsection.entries + uint64_t(subsection.count) * subsection.entrySize;
        section.subsections.push_back(subsection);
    }
    return section;
}

std::optional<Document::StreamObject> Document::readStreamObject(uint64_t offset) {
    const std::string window = m_source.read(offset, kDictionaryWindow);
    Parser parser(window);
    if (!parser.takeInteger() || !parser.takeInteger() || !parser.takeKeyword("obj"))
        return std::nullopt;
    std::optional<Object> dictionary = parser.parseObject();
    if (!dictionary || dictionary->kind != Object::Kind::Dictionary ||
        !parser.takeKeyword("stream"))
        return std::nullopt;
    return StreamObject{std::move(*dictionary), offset + AfterLineEnd(window, parser.position())};
}

std::optional<Document::Section> Document::readStreamSection(uint64_t offset) {
    std::optional<StreamObject> stream = readStreamObject(offset);
    if (!stream)
        return std::nullopt;
    const Object* type = stream->dictionary.find("Type");
    const Object* widths = stream->dictionary.find("W");
    if (!type || !type->isName("XRef") || !widths || widths->kind != Object::Kind::Array ||
        widths->items.size() != 3)
        return std::nullopt;
    for (const Object& width : widths->items)
        if (!width.integer() || *width.integer() < 0 || *width.integer() > 8)
            return std::nullopt;
    Section section;
    section.isStream = true;
    section.dataOffset = stream->dataOffset;
    const Object* index = stream->dictionary.find("Index");
    const Object* size = stream->dictionary.find("Size");
    if (index && index->kind == Object::Kind::Array) {
        for (size_t i = 0; i + 1 < index->items.size() && i < 2 * kMaxSubsections; i += 2)
            if (index->items[i].integer() && index->items[i + 1].integer())
                section.subsections.push_back(
                    {*index->items[i].integer(), *index->items[i + 1].integer(), 0, 0});
    } else if (size && size->integer()) {
        section.subsections.push_back({0, *size->integer(), 0, 0});
    }
    section.dictionary = std::move(stream->dictionary);
    return section;
}

std::optional<std::string> Document::decode(const StreamObject& stream) {
    const size_t cap = std::min(kStreamOutputCap, m_inflateBudget);
    std::optional<std::string> data =
        DecodeStream(m_source, stream.dictionary, stream.dataOffset, cap);
    if (data)
        m_inflateBudget -= std::min(m_inflateBudget, data->size());
    return data;
}

std::optional<Document::Entry> Document::lookUp(Section& section, int64_t number) {
    uint64_t row = 0;
    for (const Subsection& subsection : section.subsections) {
        if (subsection.count < 0 || subsection.count > kMaxObjectNumber)
            return std::nullopt;
        if (number < subsection.first || number - subsection.first >= subsection.count) {
            row += uint64_t(subsection.count);
            continue;
        }
        row += uint64_t(number - subsection.first);
        if (!section.isStream) {
            const std::string text = m_source.read(subsection.entries + row * subsection.entrySize,
                                                   subsection.entrySize);
            Parser parser(text);
            const std::optional<int64_t> offset = parser.takeInteger();
            if (!offset || !parser.takeInteger())
                return std::nullopt;
            if (parser.takeKeyword("n"))
                return Entry{Entry::Type::InFile, uint64_t(*offset), 0};
            return Entry{};
        }
        if (!section.data)
            section.data = decode({section.dictionary, section.dataOffset}).value_or(std::string());
        const std::vector<Object>& w = section.dictionary.find("W")->items;
        const int64_t widths[3] = {*w[0].integer(), *w[1].integer(), *w[2].integer()};
        const auto rowBytes = uint64_t(widths[0] + widths[1] + widths[2]);
        if (rowBytes == 0 || row >= section.data->size() / rowBytes)
            return std::nullopt;
        size_t pos = static_cast<size_t>(row * rowBytes);
        const uint64_t type = widths[0] ? Field(*section.data, pos, widths[0]) : 1;
        const uint64_t second = Field(*section.data, pos, widths[1]);
        const uint64_t third = Field(*section.data, pos, widths[2]);
        if (type == 1)
            return Entry{Entry::Type::InFile, second, 0};
        if (type == 2)
            return Entry{Entry::Type::InStream, second, third};
        return Entry{};
    }
    return std::nullopt;
}

// The newest section that lists the object in use. A free entry does not end the
// search: a hybrid file's table marks free what its stream lists.
std::optional<Document::Entry> Document::find(int64_t number) {
    if (number <= 0 || number > kMaxObjectNumber)
        return std::nullopt;
    for (Section& section : m_sections)
        if (std::optional<Entry> entry = lookUp(section, number);
            entry && entry->type != Entry::Type::Free)
            return entry;
    return std::nullopt;
}

std::optional<Object> Document::resolve(int64_t number) {
    const std::optional<Entry> entry = find(number);
    if (!entry)
        return std::nullopt;
    if (entry->type == Entry::Type::InStream)
        return objectInStream(entry->position, entry->index, number);
    const std::string window = m_source.read(entry->position, kDictionaryWindow);
    Parser parser(window);
    if (parser.takeInteger() != number || !parser.takeInteger() || !parser.takeKeyword("obj"))
        return std::nullopt;
    return parser.parseObject();
}

std::optional<Object> Document::objectInStream(uint64_t stream, uint64_t index, int64_t number) {
    auto cached = m_objectStreams.find(stream);
    if (cached == m_objectStreams.end()) {
        const std::optional<Entry> where =
            find(static_cast<int64_t>(std::min<uint64_t>(stream, kMaxObjectNumber + 1)));
        if (!where || where->type != Entry::Type::InFile)
            return std::nullopt;
        const std::optional<StreamObject> object = readStreamObject(where->position);
        if (!object)
            return std::nullopt;
        const Object* type = object->dictionary.find("Type");
        if (!type || !type->isName("ObjStm"))
            return std::nullopt;
        std::optional<std::string> data = decode(*object);
        if (!data)
            return std::nullopt;
        const Object* first = object->dictionary.find("First");
        const int64_t start = first && first->integer() ? *first->integer() : -1;
        if (start < 0 || uint64_t(start) > data->size())
            return std::nullopt;
        cached = m_objectStreams.emplace(stream, ObjectStream{start, std::move(*data)}).first;
    }
    const int64_t start = cached->second.first;
    const std::string_view data = cached->second.data;
    Parser pairs(data);
    std::optional<int64_t> offset;
    for (uint64_t i = 0; i <= index; ++i) {
        const std::optional<int64_t> object = pairs.takeInteger();
        const std::optional<int64_t> at = pairs.takeInteger();
        if (!object || !at)
            return std::nullopt;
        if (i == index && *object == number)
            offset = at;
    }
    if (!offset || uint64_t(start + *offset) >= data.size())
        return std::nullopt;
    Parser parser(data, static_cast<size_t>(start + *offset));
    return parser.parseObject();
}

} // namespace tressel::pdf
