#pragma once

// A PE32 / PE32+ image read from its file's bytes: headers, section table, overlay,
// RVA -> file offset and resources by type and name. It answers what the loader and
// the resource functions would answer for the questions the readers ask, and nothing
// more. Every size read from the file is capped and every offset checked against the
// file, so that any bytes give either an answer or none, never a crash or a hang.

#include "platform/byte_source.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tressel::pe {

inline constexpr uint16_t kResourceTypeRcData = 10;
inline constexpr uint16_t kResourceTypeVersion = 16;
inline constexpr uint16_t kVersionResourceId = 1;
// File header characteristics: the image is a library.
inline constexpr uint16_t kImageFileDll = 0x2000;
// Optional header subsystem of drivers and other native programs.
inline constexpr uint16_t kSubsystemNative = 1;

struct Section {
    std::string name; // up to eight bytes, as stored
    uint32_t virtualAddress = 0;
    uint32_t virtualSize = 0;
    uint32_t pointerToRawData = 0;
    uint32_t sizeOfRawData = 0;
};

// Where one resource lies: its data entry (the directory leaf that describes it) and
// its bytes, both as file offsets. The bytes always lie inside the file.
struct Resource {
    uint64_t dataEntryOffset = 0;
    uint32_t dataRva = 0;
    uint32_t size = 0;
    uint64_t dataOffset = 0;
    uint32_t codePage = 0;
};

// A resource type or name: a number, or a name matched without regard to ASCII case
// (the resource compiler stores names in upper case).
class ResourceKey {
public:
    ResourceKey(uint16_t id) : m_id(id) {}                          // NOLINT: implicit by design
    ResourceKey(const char* name) : m_name(name), m_isName(true) {} // NOLINT
    ResourceKey(std::string_view name) : m_name(name), m_isName(true) {} // NOLINT
    bool isName() const { return m_isName; }
    uint16_t id() const { return m_id; }
    std::string_view name() const { return m_name; }

private:
    uint16_t m_id = 0;
    std::string_view m_name;
    bool m_isName = false;
};

class PeImage {
public:
    // The parsed headers, or nullopt when the bytes are not a PE32 / PE32+ image; then
    // why, when given, tells the cause (a text of platform/read_failure.h).
    static std::optional<PeImage> parse(ByteSource& source, const char** why = nullptr);

    bool is64() const { return m_is64; }
    bool isDll() const { return (m_characteristics & kImageFileDll) != 0; }
    uint16_t subsystem() const { return m_subsystem; }
    uint16_t machine() const { return m_machine; }
    uint64_t imageBase() const { return m_imageBase; }
    uint64_t fileSize() const { return m_fileSize; }
    const std::vector<Section>& sections() const { return m_sections; }

    // Where the data after the sections begins: the end of the section raw data that
    // lies furthest into the file; 0 for an image without section data.
    uint64_t overlayStart() const;
    // Bytes beyond overlayStart() (self-extracting archives keep their payload there).
    bool hasOverlay() const { return overlayStart() < m_fileSize; }

    // The file offset of an RVA inside a section's raw data, or nullopt (an RVA in the
    // headers or in a section's uninitialised tail has no file offset).
    std::optional<uint64_t> rvaToFileOffset(uint64_t rva) const;

    // The first resource of that type and name (any language). The source must be the
    // one the image was parsed from.
    std::optional<Resource> findResource(ByteSource& source, ResourceKey type,
                                         ResourceKey name) const;

private:
    struct DataDirectory {
        uint32_t rva = 0;
        uint32_t size = 0;
    };
    static constexpr int kResourceDirectory = 2;

    std::optional<uint32_t> findDirectoryEntry(ByteSource& source, uint32_t directory,
                                               const ResourceKey* key) const;
    bool entryNameIs(ByteSource& source, uint32_t nameOffset, std::string_view name) const;
    std::optional<uint64_t> resourceOffset(uint32_t relative) const;

    bool m_is64 = false;
    uint16_t m_machine = 0;
    uint16_t m_characteristics = 0;
    uint16_t m_subsystem = 0;
    uint64_t m_imageBase = 0;
    uint64_t m_fileSize = 0;
    std::vector<Section> m_sections;
    std::vector<DataDirectory> m_directories;
};

// Up to maxBytes of a resource's data.
std::string ReadResource(ByteSource& source, const Resource& resource, size_t maxBytes);

} // namespace tressel::pe
