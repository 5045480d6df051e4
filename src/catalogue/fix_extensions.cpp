#include "fix_extensions.h"

#include "document.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <algorithm>
#include <initializer_list>
#include <sys/stat.h>

namespace tressel {

namespace {

using Family = std::initializer_list<std::string_view>;

// Extensions that name the same content; the first is the one given.
const std::initializer_list<Family> kFamilies = {
    {"exe", "scr", "com"},
    {"dll", "ocx", "cpl", "drv", "ax", "acm"},
    {"html", "htm", "shtml", "xhtml"},
    {"jpg", "jpeg", "jpe", "jfif"},
    {"tif", "tiff"},
    {"mpg", "mpeg"},
    {"rm", "ra", "ram", "rmvb"},
    {"ogg", "oga", "ogx"},
};

// Formats that are ZIP archives inside, each known by its own extension.
const Family kZipContainers = {"jar",  "war",  "ear",  "apk",   "aar", "xpi",  "crx",
                               "docx", "xlsx", "pptx", "odt",   "ods", "odp",  "odg",
                               "epub", "kmz",  "ipa",  "nupkg", "whl", "vsix", "3mf"};

bool Contains(const Family& family, std::string_view lowerExtension) {
    return std::find(family.begin(), family.end(), lowerExtension) != family.end();
}

const Family* FamilyOf(std::string_view lowerExtension) {
    for (const Family& family : kFamilies)
        if (Contains(family, lowerExtension))
            return &family;
    return nullptr;
}

// The family's first extension, or the extension itself.
std::string UsualExtension(std::string_view lowerExtension) {
    const Family* family = FamilyOf(lowerExtension);
    return std::string(family ? *family->begin() : lowerExtension);
}

std::string_view WithoutDot(std::string_view ext) {
    return ext.empty() ? ext : ext.substr(1);
}

} // namespace

bool ExtensionFitsContent(std::string_view extension, const ContentType& type) {
    const std::string lower = ToLowerAscii(extension);
    if (lower.empty())
        return false;
    for (const std::string& own : type.extensions) {
        if (lower == own)
            return true;
        if (const Family* family = FamilyOf(own); family && Contains(*family, lower))
            return true;
    }
    return type.extension() == "zip" && Contains(kZipContainers, lower);
}

std::string ExtensionToGive(std::string_view name, const ContentType& type) {
    const PathParts parts = SplitPath(name);
    if (name.empty() || name.front() == '.')
        return {};
    const std::string_view current = WithoutDot(parts.ext);
    if (type.text) {
        return current.empty() && CMarlockUtilDoc::IsNumberedName(name) ? std::string("txt")
                                                                        : std::string();
    }
    if (type.extensions.empty() || ExtensionFitsContent(current, type))
        return {};
    if (type.weak && !CMarlockUtilDoc::IsNumberedName(name))
        return {};
    return UsualExtension(type.extension());
}

std::string NameWithExtension(std::string_view name, std::string_view extension) {
    const PathParts parts = SplitPath(name);
    if (EqualsNoCase(WithoutDot(SplitPath(parts.stem).ext), extension))
        return parts.stem;
    return parts.stem + "." + std::string(extension);
}

bool IsPlainFile(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<ExtensionFix> PlanExtensionFix(const std::string& folder, const std::string& name) {
    const std::string path = folder + name;
    if (name.empty() || name.front() == '.' || !IsPlainFile(path))
        return std::nullopt;
    const ContentType type = IdentifyContent(path);
    const std::string extension = ExtensionToGive(name, type);
    if (extension.empty())
        return std::nullopt;
    return ExtensionFix{name, NameWithExtension(name, extension), type.description};
}

} // namespace tressel
