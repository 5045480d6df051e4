#pragma once

// Cabinets written record by record, so that tests control every field: several
// folders, reserve areas, set fields, split blocks, broken checksums and sizes.

#include "readers/cabinet/cabinet.h"

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tressel::test::cab {

inline constexpr uint16_t kStored = 0;
inline constexpr uint16_t kMszip = 1;

enum class Sum { Computed, Zero, Wrong };

struct Block {
    std::string data;
    uint32_t uncompressed = 0; // 0 marks the first part of a block split across cabinets
    Sum sum = Sum::Computed;
};

struct Folder {
    uint16_t type = kStored;
    std::vector<Block> blocks;
};

struct Member {
    std::string name;
    uint32_t size = 0;
    uint32_t offset = 0;
    uint16_t folder = 0;
    uint16_t attributes = 0x20;
};

struct Cabinet {
    uint16_t version = 0x0103;
    uint16_t setId = 0x4B1D;
    uint16_t index = 0;
    bool reserve = false;
    uint16_t headerReserve = 0;
    uint8_t folderReserve = 0;
    uint8_t blockReserve = 0;
    std::string previousCabinet, previousDisk, nextCabinet, nextDisk;
    std::vector<Folder> folders;
    std::vector<Member> members;

    // Adds a folder holding these members one after another; returns its data.
    std::string addFolder(uint16_t type,
                          const std::vector<std::pair<std::string, std::string>>& contents);
};

inline std::string Le16(uint32_t v) {
    return {char(v & 0xFF), char((v >> 8) & 0xFF)};
}
inline std::string Le32(uint32_t v) {
    return Le16(v & 0xFFFF) + Le16(v >> 16);
}

// An MSZIP block: "CK" and a raw Deflate stream that may refer into history.
inline std::string MszipBlock(std::string_view chunk, std::string_view history) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    if (!history.empty())
        deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(history.data()),
                             uInt(history.size()));
    std::string out(deflateBound(&z, uLong(chunk.size())) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(chunk.data()));
    z.avail_in = uInt(chunk.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return "CK" + out;
}

// A folder's data cut into 32 KiB blocks, stored or MSZIP-compressed.
inline std::vector<Block> Blocks(std::string_view data, uint16_t type) {
    std::vector<Block> blocks;
    for (size_t at = 0; at < data.size(); at += 32768) {
        const std::string_view chunk = data.substr(at, 32768);
        const size_t historyStart = at > 32768 ? at - 32768 : 0;
        const std::string_view history = data.substr(historyStart, at - historyStart);
        blocks.push_back({type == kMszip ? MszipBlock(chunk, history) : std::string(chunk),
                          uint32_t(chunk.size())});
    }
    return blocks;
}

inline std::string
Cabinet::addFolder(uint16_t type,
                   const std::vector<std::pair<std::string, std::string>>& contents) {
    std::string data;
    for (const auto& [name, bytes] : contents) {
        members.push_back(
            {name, uint32_t(bytes.size()), uint32_t(data.size()), uint16_t(folders.size())});
        data += bytes;
    }
    folders.push_back({type, Blocks(data, type)});
    return data;
}

inline std::string Filled(size_t size, char fill) {
    return std::string(size, fill);
}

inline std::string Build(const Cabinet& cab) {
    const bool hasPrevious = !cab.previousCabinet.empty();
    const bool hasNext = !cab.nextCabinet.empty();
    std::string tail; // everything after the 36-byte header, up to the folders
    if (cab.reserve)
        tail += Le16(cab.headerReserve) + char(cab.folderReserve) + char(cab.blockReserve) +
                Filled(cab.headerReserve, 'H');
    if (hasPrevious)
        tail += cab.previousCabinet + '\0' + cab.previousDisk + '\0';
    if (hasNext)
        tail += cab.nextCabinet + '\0' + cab.nextDisk + '\0';

    std::string files;
    for (const Member& m : cab.members)
        files += Le32(m.size) + Le32(m.offset) + Le16(m.folder) + Le16(0x5A21) + Le16(0x6000) +
                 Le16(m.attributes) + m.name + '\0';
    const size_t foldersAt = 36 + tail.size();
    const size_t filesAt = foldersAt + cab.folders.size() * (8 + cab.folderReserve);
    size_t dataAt = filesAt + files.size();

    std::string folders, blocks;
    for (const Folder& folder : cab.folders) {
        folders += Le32(uint32_t(dataAt + blocks.size())) + Le16(uint32_t(folder.blocks.size())) +
                   Le16(folder.type) + Filled(cab.folderReserve, 'F');
        for (const Block& block : folder.blocks) {
            const std::string fields = Le16(uint32_t(block.data.size())) +
                                       Le16(block.uncompressed) + Filled(cab.blockReserve, 'B');
            uint32_t sum = CabChecksum(fields.data(), fields.size(),
                                       CabChecksum(block.data.data(), block.data.size(), 0));
            if (block.sum == Sum::Zero)
                sum = 0;
            else if (block.sum == Sum::Wrong)
                sum ^= 0x00010000;
            blocks += Le32(sum) + fields + block.data;
        }
    }
    const uint16_t flags = (hasPrevious ? 1 : 0) | (hasNext ? 2 : 0) | (cab.reserve ? 4 : 0);
    const size_t total = dataAt + blocks.size();
    const std::string header =
        "MSCF" + Le32(0) + Le32(uint32_t(total)) + Le32(0) + Le32(uint32_t(filesAt)) + Le32(0) +
        Le16(cab.version) + Le16(uint32_t(cab.folders.size())) +
        Le16(uint32_t(cab.members.size())) + Le16(flags) + Le16(cab.setId) + Le16(cab.index);
    return header + tail + folders + files + blocks;
}

} // namespace tressel::test::cab
