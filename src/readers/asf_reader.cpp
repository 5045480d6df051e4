#include "asf_reader.h"

#include "duration_text.h"

namespace tressel {

namespace {

const char* const kAttributeNames[] = {
    "Title",    "Author",   "WM/AlbumTitle", "Copyright", "WM/Year",
    "Duration", "WM/Genre", "Description",   "WM/Lyrics", "WM/PromotionURL"};
constexpr uint64_t kUnitsPerSecond = 10000000;

// An empty value, a text that starts with its terminator or a number that is zero
// says nothing.
bool IsBlank(const asf::Attribute& attribute) {
    if (attribute.isNumber())
        return attribute.number() == 0;
    return attribute.value.size() < 2 || (attribute.value[0] == 0 && attribute.value[1] == 0);
}

// A 64-bit value is a play time in 100-ns units; other numbers are shown in decimal.
std::string AttributeText(const asf::Attribute& attribute) {
    if (attribute.type == asf::AttributeType::Qword)
        return DurationText(attribute.number() / kUnitsPerSecond);
    if (attribute.isNumber())
        return std::to_string(attribute.number());
    return attribute.text();
}

} // namespace

CAsfReader::CAsfReader(const std::string& path, bool scanAll) : CFileReader(path) {
    if (!passesExtensionFilter(scanAll))
        return;
    // The header is all there is to read, so the file need not stay open.
    if (std::unique_ptr<FileSource> source = FileSource::open(path))
        m_header = asf::AsfHeader::read(*source);
    setRecognized(m_header.has_value());
}

int CAsfReader::extract(int maxValues) {
    if (m_header && !m_extracted) {
        m_extracted = true;
        AsfValues read = ReadAsfValues(*m_header);
        for (std::string& value : read.values)
            appendValue(std::move(value));
        m_lyrics = std::move(read.lyrics);
    }
    return CFileReader::extract(maxValues);
}

AsfValues ReadAsfValues(const asf::AsfHeader& header) {
    AsfValues result;
    for (const char* name : kAttributeNames) {
        const asf::Attribute* attribute = header.attributeByName(name);
        if (!attribute || IsBlank(*attribute))
            continue;
        result.values.push_back(AttributeText(*attribute));
        if (std::string_view(name) == "WM/Lyrics")
            result.lyrics = result.values.back();
    }
    return result;
}

} // namespace tressel
