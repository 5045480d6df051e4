#include "exe_reader.h"

#include "platform/pe/pe_image.h"
#include "platform/pe/version_info.h"
#include "platform/text.h"

#include <optional>

namespace tressel {

namespace {

constexpr size_t kPackageTestValues = 4;
constexpr char kPackageTitleLabel[] = UI_TEXT_NOOP("Labels", "Package title");

// US English with the Windows-1252 code page: the table most files carry.
std::string DefaultTableKey() {
    return pe::TableKey(0x0409, 0x04E4);
}

bool TableHasAnyField(const pe::VersionInfo& info, const std::string& key) {
    for (const char* name : kVersionStringNames) {
        if (info.findString(key, name))
            return true;
    }
    return false;
}

// The US English table when it holds a FileVersion, else the first translation's
// table. Files often name in their translation a table they do not have; then the
// first table the block does have is read rather than nothing at all.
std::string ChooseTableKey(const pe::VersionInfo& info) {
    const std::string preferred = DefaultTableKey();
    if (info.findString(preferred, "FileVersion"))
        return preferred;
    std::string key = preferred;
    if (!info.translations().empty())
        key = pe::TableKey(info.translations().front().language,
                           info.translations().front().codePage);
    if (!TableHasAnyField(info, key) && !info.stringTables().empty())
        return info.stringTables().front().key;
    return key;
}

// The two common packaging stubs describe themselves, not the package, in their
// version resource; their names give them away.
bool IsPackageStub(const std::vector<std::string>& values) {
    return StartsWithNoCase(values[2], "wextract") || StartsWithNoCase(values[3], "wextract") ||
           StartsWithNoCase(values[3], "sfxcab");
}

// The start of a UTF-8 character that the end of text cuts short, or npos.
size_t PartialCharacterStart(std::string_view text) {
    size_t at = text.size();
    while (at > 0 && text.size() - at < 3 &&
           (static_cast<unsigned char>(text[at - 1]) & 0xC0) == 0x80)
        --at;
    if (at == 0 || static_cast<unsigned char>(text[at - 1]) < 0xC0)
        return std::string_view::npos;
    return at - 1;
}

// The title is a C string: it ends at its first NUL. When the length cap cut a UTF-8
// title inside a character, the partial character is dropped rather than the whole
// title being read as Windows-1252.
std::string TitleText(std::string raw, bool capped) {
    const size_t nul = raw.find('\0');
    if (nul != std::string::npos) {
        raw.resize(nul);
        capped = false;
    }
    if (capped && !IsValidUtf8(raw)) {
        const size_t partial = PartialCharacterStart(raw);
        if (partial != std::string::npos && IsValidUtf8(std::string_view(raw).substr(0, partial)))
            raw.resize(partial);
    }
    return RawToUtf8(raw);
}

std::optional<std::string> ReadPackageTitle(const pe::PeImage& image, ByteSource& source) {
    const std::optional<pe::Resource> title =
        image.findResource(source, pe::kResourceTypeRcData, "TITLE");
    if (!title)
        return std::nullopt;
    return TitleText(pe::ReadResource(source, *title, kMaxPackageTitleBytes),
                     title->size > kMaxPackageTitleBytes);
}

const char* ImageExtension(const pe::PeImage& image) {
    if (image.isDll())
        return "dll";
    return image.subsystem() == pe::kSubsystemNative ? "sys" : "exe";
}

void ReadVersionStrings(const pe::VersionInfo& info, int maxValues, ReadResult& result) {
    const std::string key = ChooseTableKey(info);
    for (const char* name : kVersionStringNames) {
        if (static_cast<int>(result.values.size()) >= maxValues)
            break;
        result.add(name, info.findString(key, name).value_or(std::string()));
    }
}

} // namespace

std::string ExecutableExtension(ByteSource& source) {
    const std::optional<pe::PeImage> image = pe::PeImage::parse(source, nullptr);
    return image ? ImageExtension(*image) : "exe";
}

ReadResult ParseExe(ByteSource& source, const ReadRequest& request) {
    ReadResult result(kExeFormat.name);
    const char* why = nullptr;
    const std::optional<pe::PeImage> image = pe::PeImage::parse(source, &why);
    if (!image)
        return result.refuse(why);
    const std::optional<pe::Resource> version = pe::FindVersionResource(*image, source);
    if (!version || version->size == 0)
        return result.refuse(kNoVersionResource);
    result.accept(ImageExtension(*image));
    result.moreValues = request.maxValues < static_cast<int>(kVersionStringNames.size());
    if (request.maxValues <= 0)
        return result;
    const std::optional<std::string> block = pe::ReadVersionBlock(source, *version);
    if (!block)
        return result;
    ReadVersionStrings(pe::VersionInfo::parse(*block), request.maxValues, result);
    if (result.values.size() >= kPackageTestValues && IsPackageStub(result.values)) {
        if (std::optional<std::string> title = ReadPackageTitle(*image, source)) {
            result.values[0] = std::move(*title);
            result.labels[0] = kPackageTitleLabel;
        }
    }
    return result;
}

} // namespace tressel
