#include "pe_image.h"

#include "platform/read_failure.h"
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

// Field offsets, as the image format names them.
constexpr size_t kDosNewHeaderOffset = 0x3C; // e_lfanew: where "PE\0\0" stands
constexpr size_t kSignatureSize = 4;
// In the file header (after the signature):
constexpr size_t kCoffMachine = 0;
constexpr size_t kCoffNumberOfSections = 2;
constexpr size_t kCoffSizeOfOptionalHeader = 16;
constexpr size_t kCoffCharacteristics = 18;
// In the optional header; PE32+ drops BaseOfData and widens ImageBase and the stack and
// heap sizes, which moves the directory count.
constexpr size_t kOptMagic = 0;
constexpr size_t kOptImageBase32 = 28;
constexpr size_t kOptImageBase64 = 24;
constexpr size_t kOptSubsystem = 68;
constexpr size_t kOptNumberOfRvaAndSizes32 = 92;
constexpr size_t kOptNumberOfRvaAndSizes64 = 108;
constexpr size_t kNumberOfRvaAndSizesSize = 4;
constexpr size_t kDataDirectorySize = 8;
constexpr size_t kDataDirectoryRva = 0;
constexpr size_t kDataDirectorySizeField = 4;
// In a section header:
constexpr size_t kSectionNameSize = 8;
constexpr size_t kSectionVirtualSize = 8;
constexpr size_t kSectionVirtualAddress = 12;
constexpr size_t kSectionSizeOfRawData = 16;
constexpr size_t kSectionPointerToRawData = 20;
// In a resource directory header and a resource data entry:
constexpr size_t kDirectoryNamedEntries = 12;
constexpr size_t kDirectoryIdEntries = 14;
constexpr size_t kDirectoryEntryName = 0;
constexpr size_t kDirectoryEntryOffsetToData = 4;
constexpr size_t kDataEntryRva = 0;
constexpr size_t kDataEntrySizeField = 4;
constexpr size_t kDataEntryCodePage = 8;

Section SectionFrom(const unsigned char* header) {
    Section s;
    const auto* name = reinterpret_cast<const char*>(header);
    s.name.assign(name, std::find(name, name + kSectionNameSize, '\0'));
    s.virtualSize = ReadLe32(header + kSectionVirtualSize);
    s.virtualAddress = ReadLe32(header + kSectionVirtualAddress);
    s.sizeOfRawData = ReadLe32(header + kSectionSizeOfRawData);
    s.pointerToRawData = ReadLe32(header + kSectionPointerToRawData);
    return s;
}

std::nullopt_t Fail(const char** why, const char* reason) {
    if (why)
        *why = reason;
    return std::nullopt;
}

} // namespace

std::optional<PeImage> PeImage::parse(ByteSource& source, const char** why) {
    unsigned char dos[kDosHeaderSize];
    if (source.read(0, 2) != "MZ")
        return Fail(why, failure::kNotThisFormat);
    if (!source.readExact(0, dos, sizeof dos))
        return Fail(why, failure::kTruncatedHeader);
    const uint64_t peOffset = ReadLe32(dos + kDosNewHeaderOffset);

    unsigned char coffBytes[kSignatureSize + kCoffHeaderSize];
    if (!source.readExact(peOffset, coffBytes, sizeof coffBytes))
        return Fail(why, failure::kTruncatedHeader);
    // A DOS program, or another kind of new executable.
    if (std::string_view(reinterpret_cast<const char*>(coffBytes), kSignatureSize) !=
        std::string_view("PE\0\0", kSignatureSize))
        return Fail(why, failure::kNotThisFormat);
    const unsigned char* coff = coffBytes + kSignatureSize;
    PeImage image;
    image.m_fileSize = source.size();
    image.m_machine = ReadLe16(coff + kCoffMachine);
    const uint16_t sectionCount = ReadLe16(coff + kCoffNumberOfSections);
    const uint16_t optionalSize = ReadLe16(coff + kCoffSizeOfOptionalHeader);
    image.m_characteristics = ReadLe16(coff + kCoffCharacteristics);
    if (sectionCount > kMaxSections)
        return Fail(why, failure::kDamagedHeader);

    // The optional header is at most a few hundred bytes; its size field is 16 bits.
    const uint64_t optionalOffset = peOffset + sizeof coffBytes;
    std::string optional = source.read(optionalOffset, optionalSize);
    if (optional.size() != optionalSize || optionalSize < 2)
        return Fail(why, failure::kTruncatedHeader);
    const auto* opt = reinterpret_cast<const unsigned char*>(optional.data());
    const uint16_t magic = ReadLe16(opt + kOptMagic);
    if (magic != kMagicPe32 && magic != kMagicPe32Plus)
        return Fail(why, failure::kUnsupportedVersion);
    image.m_is64 = magic == kMagicPe32Plus;
    const size_t countOffset = image.m_is64 ? kOptNumberOfRvaAndSizes64 : kOptNumberOfRvaAndSizes32;
    const size_t directoriesOffset = countOffset + kNumberOfRvaAndSizesSize;
    if (optionalSize < directoriesOffset)
        return Fail(why, failure::kTruncatedHeader);
    image.m_imageBase =
        image.m_is64 ? ReadLe64(opt + kOptImageBase64) : ReadLe32(opt + kOptImageBase32);
    image.m_subsystem = ReadLe16(opt + kOptSubsystem);
    const size_t room = (optionalSize - directoriesOffset) / kDataDirectorySize;
    const size_t directoryCount =
        std::min<size_t>({ReadLe32(opt + countOffset), room, kMaxDataDirectories});
    for (size_t i = 0; i < directoryCount; ++i) {
        const unsigned char* d = opt + directoriesOffset + kDataDirectorySize * i;
        image.m_directories.push_back(
            {ReadLe32(d + kDataDirectoryRva), ReadLe32(d + kDataDirectorySizeField)});
    }

    const uint64_t tableOffset = optionalOffset + optionalSize;
    const std::string table = source.read(tableOffset, sectionCount * kSectionHeaderSize);
    if (table.size() != sectionCount * kSectionHeaderSize)
        return Fail(why, failure::kTruncatedHeader);
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
    const uint32_t named = ReadLe16(header + kDirectoryNamedEntries);
    const uint32_t total = named + ReadLe16(header + kDirectoryIdEntries);
    if (total == 0 || total > kMaxDirectoryEntries)
        return std::nullopt;
    const std::string entries =
        source.read(*at + kDirectoryHeaderSize, total * kDirectoryEntrySize);
    const uint32_t complete = static_cast<uint32_t>(entries.size() / kDirectoryEntrySize);
    for (uint32_t i = 0; i < complete; ++i) {
        const char* entry = entries.data() + i * kDirectoryEntrySize;
        const uint32_t nameField = ReadLe32(entry + kDirectoryEntryName);
        const uint32_t data = ReadLe32(entry + kDirectoryEntryOffsetToData);
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
    resource.dataRva = ReadLe32(entry + kDataEntryRva);
    resource.size = ReadLe32(entry + kDataEntrySizeField);
    resource.codePage = ReadLe32(entry + kDataEntryCodePage);
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
