#pragma once

// The version-information block of an executable (the VS_VERSIONINFO resource): its
// string tables, as "\StringFileInfo\<lang><codepage>\<Name>" addresses them, and its
// "\VarFileInfo\Translation" list. Strings are UTF-16LE in the file and UTF-8 here.

#include "platform/byte_source.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tressel::pe {

// The block's 16-bit length field bounds it; a larger resource is never read whole.
inline constexpr size_t kMaxVersionBlockSize = 0xFFFF;

struct VersionStringTable {
    std::string key; // eight hexadecimal digits as stored: language, then code page
    std::vector<std::pair<std::string, std::string>> strings; // name, value
};

struct Translation {
    uint16_t language = 0;
    uint16_t codePage = 0;
};

class VersionInfo {
public:
    // The tables found in the block; a damaged node ends the list it is in.
    static VersionInfo parse(std::string_view block);

    const std::vector<VersionStringTable>& stringTables() const { return m_tables; }
    const std::vector<Translation>& translations() const { return m_translations; }

    // The value of name in the table tableKey, both matched without regard to ASCII
    // case; nullopt when the table or the name is missing.
    std::optional<std::string> findString(std::string_view tableKey, std::string_view name) const;
    const VersionStringTable* findTable(std::string_view tableKey) const;

private:
    std::vector<VersionStringTable> m_tables;
    std::vector<Translation> m_translations;
};

// "040904e4": a table key as the version functions build it, lower-case hexadecimal.
std::string TableKey(uint16_t language, uint16_t codePage);

class PeImage;
struct Resource;

// The version resource of an image already parsed, and its block (at most
// kMaxVersionBlockSize bytes; nullopt when the resource is empty).
std::optional<Resource> FindVersionResource(const PeImage& image, ByteSource& source);
std::optional<std::string> ReadVersionBlock(ByteSource& source, const Resource& resource);

// The size of the file's version-information block (0 when it has none), and the
// block itself (at most kMaxVersionBlockSize bytes), read from a PE image.
uint32_t VersionInfoSize(ByteSource& source);
std::optional<std::string> ReadVersionBlock(ByteSource& source);

} // namespace tressel::pe
