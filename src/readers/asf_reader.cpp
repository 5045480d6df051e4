#include "asf_reader.h"

#include "duration_text.h"
#include "platform/asf/asf_header.h"

#include <optional>

namespace tressel {

namespace {

struct Field {
    const char* attribute;
    const char* label;
};
constexpr Field kFields[] = {{"Title", UI_TEXT_NOOP("Labels", "Title")},
                             {"Author", UI_TEXT_NOOP("Labels", "Author")},
                             {"WM/AlbumTitle", UI_TEXT_NOOP("Labels", "Album")},
                             {"Copyright", UI_TEXT_NOOP("Labels", "Copyright")},
                             {"WM/Year", UI_TEXT_NOOP("Labels", "Year")},
                             {"Duration", UI_TEXT_NOOP("Labels", "Duration")},
                             {"WM/Genre", UI_TEXT_NOOP("Labels", "Genre")},
                             {"Description", UI_TEXT_NOOP("Labels", "Description")},
                             {"WM/Lyrics", UI_TEXT_NOOP("Labels", "Lyrics")},
                             {"WM/PromotionURL", UI_TEXT_NOOP("Labels", "Promotion URL")}};
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

ReadResult ParseAsf(ByteSource& source, const ReadRequest& request) {
    ReadResult result(kAsfFormat.name);
    const char* why = nullptr;
    const std::optional<asf::AsfHeader> header = asf::AsfHeader::read(source, &why);
    if (!header)
        return result.refuse(why);
    result.accept(header->hasVideo() ? "wmv" : "wma");
    for (const Field& field : kFields) {
        const asf::Attribute* attribute = header->attributeByName(field.attribute);
        if (!attribute || IsBlank(*attribute))
            continue;
        result.add(field.label, AttributeText(*attribute));
        if (request.collectPreview && std::string_view(field.attribute) == "WM/Lyrics")
            result.preview = result.values.back();
    }
    return result;
}

} // namespace tressel
