#include "version_info.h"

#include "pe_image.h"
#include "platform/text.h"

#include <algorithm>
#include <cstdio>

namespace tressel::pe {

namespace {

constexpr size_t kNodeHeaderSize = 6; // wLength, wValueLength, wType
constexpr size_t kNodeLength = 0;
constexpr size_t kNodeValueLength = 2;
constexpr size_t kNodeType = 4;
constexpr uint16_t kTextValue = 1;

size_t AlignTo4(size_t offset) {
    return (offset + 3) & ~size_t(3);
}

// One node of the block: a length, a value, a key, and children after the value.
// Offsets are relative to the block, whose start the 32-bit alignment counts from.
struct Node {
    std::string key;
    size_t valueOffset = 0;
    size_t valueBytes = 0;
    size_t childrenOffset = 0;
    size_t end = 0;
};

// The node at offset, or nullopt when it does not fit its parent. A length that runs
// past the parent is cut to it, as compilers have been known to get the padding of the
// last child wrong.
std::optional<Node> ReadNode(std::string_view block, size_t offset, size_t limit) {
    if (offset > limit || limit - offset < kNodeHeaderSize)
        return std::nullopt;
    const uint16_t length = ReadLe16(block.data() + offset + kNodeLength);
    const uint16_t valueLength = ReadLe16(block.data() + offset + kNodeValueLength);
    const uint16_t type = ReadLe16(block.data() + offset + kNodeType);
    if (length < kNodeHeaderSize)
        return std::nullopt;
    Node node;
    node.end = std::min(limit, offset + length);
    size_t keyEnd = offset + kNodeHeaderSize;
    while (keyEnd + 2 <= node.end && ReadLe16(block.data() + keyEnd) != 0)
        keyEnd += 2;
    node.key =
        Utf16LeToUtf8(block.substr(offset + kNodeHeaderSize, keyEnd - offset - kNodeHeaderSize));
    node.valueOffset = std::min(node.end, AlignTo4(keyEnd + 2));
    node.valueBytes = std::min<size_t>(node.end - node.valueOffset,
                                       type == kTextValue ? size_t(valueLength) * 2 : valueLength);
    node.childrenOffset = std::min(node.end, AlignTo4(node.valueOffset + node.valueBytes));
    return node;
}

// Calls visit for each child of parent in order. Every node is at least six bytes
// long, so the walk always moves on and ends at the parent's end.
template <class Visit> void ForEachChild(std::string_view block, const Node& parent, Visit visit) {
    size_t offset = parent.childrenOffset;
    while (std::optional<Node> child = ReadNode(block, offset, parent.end)) {
        visit(*child);
        offset = AlignTo4(child->end);
    }
}

// A string's value runs to its terminating NUL; the length field is not trusted, as
// some compilers count it in bytes and others in characters.
std::string StringValue(std::string_view block, const Node& node) {
    if (node.valueBytes == 0)
        return {};
    return Utf16LeToUtf8(block.substr(node.valueOffset, node.end - node.valueOffset));
}

VersionStringTable ReadStringTable(std::string_view block, const Node& tableNode) {
    VersionStringTable table{tableNode.key, {}};
    ForEachChild(block, tableNode, [&](const Node& string) {
        table.strings.emplace_back(string.key, StringValue(block, string));
    });
    return table;
}

std::vector<Translation> ReadTranslations(std::string_view block, const Node& node) {
    std::vector<Translation> out;
    for (size_t at = node.valueOffset; at + 4 <= node.valueOffset + node.valueBytes; at += 4)
        out.push_back({ReadLe16(block.data() + at), ReadLe16(block.data() + at + 2)});
    return out;
}

} // namespace

VersionInfo VersionInfo::parse(std::string_view block) {
    VersionInfo info;
    const std::optional<Node> root = ReadNode(block, 0, block.size());
    if (!root)
        return info;
    ForEachChild(block, *root, [&](const Node& child) {
        if (EqualsNoCase(child.key, "StringFileInfo")) {
            ForEachChild(block, child, [&](const Node& table) {
                info.m_tables.push_back(ReadStringTable(block, table));
            });
        } else if (EqualsNoCase(child.key, "VarFileInfo")) {
            ForEachChild(block, child, [&](const Node& var) {
                if (EqualsNoCase(var.key, "Translation") && info.m_translations.empty())
                    info.m_translations = ReadTranslations(block, var);
            });
        }
    });
    return info;
}

const VersionStringTable* VersionInfo::findTable(std::string_view tableKey) const {
    for (const VersionStringTable& table : m_tables) {
        if (EqualsNoCase(table.key, tableKey))
            return &table;
    }
    return nullptr;
}

std::optional<std::string> VersionInfo::findString(std::string_view tableKey,
                                                   std::string_view name) const {
    const VersionStringTable* table = findTable(tableKey);
    if (!table)
        return std::nullopt;
    for (const auto& [key, value] : table->strings) {
        if (EqualsNoCase(key, name))
            return value;
    }
    return std::nullopt;
}

std::string TableKey(uint16_t language, uint16_t codePage) {
    char key[9];
    std::snprintf(key, sizeof key, "%04x%04x", unsigned(language), unsigned(codePage));
    return key;
}

std::optional<Resource> FindVersionResource(const PeImage& image, ByteSource& source) {
    return image.findResource(source, kResourceTypeVersion, kVersionResourceId);
}

std::optional<std::string> ReadVersionBlock(ByteSource& source, const Resource& resource) {
    if (resource.size == 0)
        return std::nullopt;
    return ReadResource(source, resource, kMaxVersionBlockSize);
}

namespace {

std::optional<Resource> FindVersionResource(ByteSource& source) {
    const std::optional<PeImage> image = PeImage::parse(source);
    if (!image)
        return std::nullopt;
    return FindVersionResource(*image, source);
}

} // namespace

uint32_t VersionInfoSize(ByteSource& source) {
    const std::optional<Resource> resource = FindVersionResource(source);
    return resource ? resource->size : 0;
}

std::optional<std::string> ReadVersionBlock(ByteSource& source) {
    const std::optional<Resource> resource = FindVersionResource(source);
    return resource ? ReadVersionBlock(source, *resource) : std::nullopt;
}

} // namespace tressel::pe
