#include "pe_image.h"

#include "platform/text.h"

#include <algorithm>

namespace tressel::pe {

namespace {

constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr size_t kDosHeaderSize = 64;
constexpr size_t kCoffHeaderSize = 20;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kMaxDataDirectories = 16;
// The loader refuses more; a larger count is a damaged or hostile header.
constexpr uint16_t kMaxSections = 96;
// Real resource directories hold a few hundred entries at most per level.
constexpr uint32_t kMaxDirectoryEntries = 4096;
constexpr size_t kDirectoryHeaderSize = 16;
constexpr size_t kDirectoryEntrySize = 8;
constexpr size_t kDataEntrySize = 16;
constexpr uint32_t kSubdirectoryFlag = 0x80000000;

Section SectionFrom(const unsigned char* header) {
    Section s;
    const auto* name = reinterpret_cast<const char*>(header);
    s.name.assign(name, std::find(name, name + 8, '\0'));
    s.virtualSize = ReadLe32(header + 8);
    s.virtualAddress = ReadLe32(header + 12);
    s.sizeOfRawData = ReadLe32(header + 16);
    s.pointerToRawData = ReadLe32(header + 20);
    return s;
}

} // namespace

std::optional<PeImage> PeImage::parse(ByteSource& source) {
    unsigned char dos[kDosHeaderSize];
    if (!source.readExact(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
        return std::nullopt;
    const uint64_t peOffset = ReadLe32(dos + 0x3C);

    unsigned char coff[4 + kCoffHeaderSize];
    if (!source.readExact(peOffset, coff, sizeof coff) ||
        std::string_view(reinterpret_cast<const char*>(coff), 4) != std::string_view("PE\0\0", 4))
        return std::nullopt;
    PeImage image;
    image.m_fileSize = source.size();
    image.m_machine = ReadLe16(coff + 4);
    const uint16_t sectionCount = ReadLe16(coff + 6);
    const uint16_t optionalSize = ReadLe16(coff + 20);
    image.m_characteristics = ReadLe16(coff + 22);
    if (sectionCount > kMaxSections)
        return std::nullopt;

    // The optional header is at most a few hundred bytes; its size field is 16 bits.
    const uint64_t optionalOffset = peOffset + sizeof coff;
    std::string optional = source.read(optionalOffset, optionalSize);
    if (optional.size() != optionalSize || optionalSize < 2)
        return std::nullopt;
    const auto* opt = reinterpret_cast<const unsigned char*>(optional.data());
    const uint16_t magic = ReadLe16(opt);
    if (magic != kMagicPe32 && magic != kMagicPe32Plus)
        return std::nullopt;
    image.m_is64 = magic == kMagicPe32Plus;
    const size_t countOffset = image.m_is64 ? 108 : 92;
    const size_t directoriesOffset = countOffset + 4;
    if (optionalSize < directoriesOffset)
        return std::nullopt;
    image.m_imageBase = image.m_is64 ? ReadLe64(opt + 24) : ReadLe32(opt + 28);
    const size_t room = (optionalSize - directoriesOffset) / 8;
    const size_t directoryCount =
        std::min<size_t>({ReadLe32(opt + countOffset), room, kMaxDataDirectories});
    for (size_t i = 0; i < directoryCount; ++i) {
        const unsigned char* d = opt + directoriesOffset + 8 * i;
        image.m_directories.push_back({ReadLe32(d), ReadLe32(d + 4)});
    }

    const uint64_t tableOffset = optionalOffset + optionalSize;
    const std::string table = source.read(tableOffset, sectionCount * kSectionHeaderSize);
    if (table.size() != sectionCount * kSectionHeaderSize)
        return std::nullopt;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        const auto* header =
            reinterpret_cast<const unsigned char*>(table.data()) + i * kSectionHeaderSize;
        image.m_sections.push_back(SectionFrom(header));
    }
    return image;
}

uint64_t PeImage::overlayStart() const {
    uint64_t end = 0;
    for (const Section& s : m_sections) {
        if (s.sizeOfRawData != 0)
            end = std::max(end, uint64_t(s.pointerToRawData) + s.sizeOfRawData);
    }
    return end;
}

std::optional<uint64_t> PeImage::rvaToFileOffset(uint64_t rva) const {
    for (const Section& s : m_sections) {
        if (rva >= s.virtualAddress && rva < uint64_t(s.virtualAddress) + s.sizeOfRawData)
            return uint64_t(s.pointerToRawData) + (rva - s.virtualAddress);
    }
    return std::nullopt;
}

std::optional<uint64_t> PeImage::resourceOffset(uint32_t relative) const {
    if (m_directories.size() <= kResourceDirectory)
        return std::nullopt;
    const DataDirectory& resources = m_directories[kResourceDirectory];
    if (resources.rva == 0 || resources.size == 0)
        return std::nullopt;
    return rvaToFileOffset(uint64_t(resources.rva) + relative);
}

bool PeImage::entryNameIs(ByteSource& source, uint32_t nameOffset, std::string_view name) const {
    const std::optional<uint64_t> at = resourceOffset(nameOffset);
    unsigned char length[2];
    if (!at || !source.readExact(*at, length, 2) || ReadLe16(length) != name.size())
        return false;
    const std::string units = source.read(*at + 2, name.size() * 2);
    if (units.size() != name.size() * 2)
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const uint16_t unit = ReadLe16(units.data() + 2 * i);
        if (unit > 0x7F || ToLowerAscii(char(unit)) != ToLowerAscii(name[i]))
            return false;
    }
    return true;
}

// The OffsetToData field of the directory's entry for key, or of its first entry when
// key is null. A directory is always entered from its parent's entry, three levels
// deep at most, so a directory that points back at itself cannot make this loop.
std::optional<uint32_t> PeImage::findDirectoryEntry(ByteSource& source, uint32_t directory,
                                                    const ResourceKey* key) const {
    const std::optional<uint64_t> at = resourceOffset(directory);
    unsigned char header[kDirectoryHeaderSize];
    if (!at || !source.readExact(*at, header, sizeof header))
        return std::nullopt;
    const uint32_t named = ReadLe16(header + 12);
    const uint32_t total = named + ReadLe16(header + 14);
    if (total == 0 || total > kMaxDirectoryEntries)
        return std::nullopt;
    const std::string entries =
        source.read(*at + kDirectoryHeaderSize, total * kDirectoryEntrySize);
    const uint32_t complete = static_cast<uint32_t>(entries.size() / kDirectoryEntrySize);
    for (uint32_t i = 0; i < complete; ++i) {
        const char* entry = entries.data() + i * kDirectoryEntrySize;
        const uint32_t nameField = ReadLe32(entry);
        const uint32_t data = ReadLe32(entry + 4);
        if (!key)
            return data;
        const bool isName = (nameField & kSubdirectoryFlag) != 0;
        if (isName != key->isName())
            continue;
        if (isName ? entryNameIs(source, nameField & ~kSubdirectoryFlag, key->name())
                   : (nameField & 0xFFFF) == key->id())
            return data;
    }
    return std::nullopt;
}

std::optional<Resource> PeImage::findResource(ByteSource& source, ResourceKey type,
                                              ResourceKey name) const {
    const std::optional<uint32_t> typeEntry = findDirectoryEntry(source, 0, &type);
    if (!typeEntry || !(*typeEntry & kSubdirectoryFlag))
        return std::nullopt;
    const std::optional<uint32_t> nameEntry =
        findDirectoryEntry(source, *typeEntry & ~kSubdirectoryFlag, &name);
    if (!nameEntry || !(*nameEntry & kSubdirectoryFlag))
        return std::nullopt;
    const std::optional<uint32_t> languageEntry =
        findDirectoryEntry(source, *nameEntry & ~kSubdirectoryFlag, nullptr);
    if (!languageEntry || (*languageEntry & kSubdirectoryFlag))
        return std::nullopt;

    const std::optional<uint64_t> entryOffset = resourceOffset(*languageEntry);
    unsigned char entry[kDataEntrySize];
    if (!entryOffset || !source.readExact(*entryOffset, entry, sizeof entry))
        return std::nullopt;
    Resource resource;
    resource.dataEntryOffset = *entryOffset;
    resource.dataRva = ReadLe32(entry);
    resource.size = ReadLe32(entry + 4);
    resource.codePage = ReadLe32(entry + 8);
    const std::optional<uint64_t> dataOffset = rvaToFileOffset(resource.dataRva);
    if (!dataOffset || *dataOffset > m_fileSize || resource.size > m_fileSize - *dataOffset)
        return std::nullopt;
    resource.dataOffset = *dataOffset;
    return resource;
}

std::string ReadResource(ByteSource& source, const Resource& resource, size_t maxBytes) {
    return source.read(resource.dataOffset, std::min<size_t>(resource.size, maxBytes));
}

} // namespace tressel::pe
