#pragma once

// RAR 4 and RAR 5 archives built byte by byte from the published format: stored
// members, the solid flag, a stored comment. No free program writes RAR archives.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tressel::test {

struct RarMember {
    std::string name; // RAR 4: bytes as stored (code page 437); RAR 5: UTF-8
    std::string data;
};

struct RarArchive {
    std::vector<RarMember> members;
    std::string comment; // none when empty
    bool solid = false;
    std::string stub; // bytes before the signature, as a self-extracting stub
};

inline void PutRarLe(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline uint32_t RarCrc(const std::string& bytes) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// RAR 4: a block is CRC16 (low half of the CRC-32 of the rest), type, flags, size.
inline std::string Rar4Block(uint8_t type, uint16_t flags, const std::string& fields) {
    std::string rest;
    rest += static_cast<char>(type);
    PutRarLe(rest, flags, 2);
    PutRarLe(rest, 7 + fields.size(), 2);
    rest += fields;
    std::string block;
    PutRarLe(block, RarCrc(rest) & 0xFFFF, 2);
    return block + rest;
}

// A file (0x74) or service (0x7A) block with its stored data.
inline std::string Rar4FileBlock(uint8_t type, uint16_t flags, const std::string& name,
                                 const std::string& data) {
    std::string fields;
    PutRarLe(fields, data.size(), 4);  // packed size
    PutRarLe(fields, data.size(), 4);  // unpacked size
    fields += '\0';                    // host: MS-DOS
    PutRarLe(fields, RarCrc(data), 4); // data CRC
    PutRarLe(fields, 0x5A210000, 4);   // 2025-01-01 as a DOS time
    fields += static_cast<char>(29);   // version needed: 2.9
    fields += static_cast<char>(0x30); // method: stored
    PutRarLe(fields, name.size(), 2);
    PutRarLe(fields, 0x20, 4); // attributes: archive
    fields += name;
    return Rar4Block(type, static_cast<uint16_t>(0x8000 | flags), fields) + data;
}

inline std::string BuildRar4(const RarArchive& archive) {
    std::string out = archive.stub + std::string("Rar!\x1a\x07\x00", 7);
    out += Rar4Block(0x73, archive.solid ? 0x0008 : 0, std::string(6, '\0'));
    if (!archive.comment.empty())
        out += Rar4FileBlock(0x7A, 0, "CMT", archive.comment);
    for (size_t i = 0; i < archive.members.size(); ++i) {
        const uint16_t solidFlag = archive.solid && i > 0 ? 0x0010 : 0;
        out += Rar4FileBlock(0x74, solidFlag, archive.members[i].name, archive.members[i].data);
    }
    return out + Rar4Block(0x7B, 0x4000, "");
}

inline void PutVint(std::string& out, uint64_t value) {
    do {
        out += static_cast<char>((value & 0x7F) | (value > 0x7F ? 0x80 : 0));
        value >>= 7;
    } while (value);
}

// RAR 5: a header is CRC-32 of the rest, size, type, flags, fields.
inline std::string Rar5Header(uint64_t type, uint64_t flags, const std::string& fields) {
    std::string body;
    PutVint(body, type);
    PutVint(body, flags);
    body += fields;
    std::string rest;
    PutVint(rest, body.size());
    rest += body;
    std::string header;
    PutRarLe(header, RarCrc(rest), 4);
    return header + rest;
}

// A file (2) or service (3) header with its stored data.
inline std::string Rar5FileHeader(uint64_t type, const std::string& name, const std::string& data) {
    std::string fields;
    PutVint(fields, data.size()); // data size (header flag 0x0002)
    PutVint(fields, 0x0004);      // file flags: data CRC present
    PutVint(fields, data.size()); // unpacked size
    PutVint(fields, 0x20);        // attributes
    PutRarLe(fields, RarCrc(data), 4);
    // Stored data continues no window, so even a solid archive's stored members carry no
    // solid flag (libarchive refuses one that does).
    PutVint(fields, 0); // stored, version 0
    PutVint(fields, 0); // host: Windows
    PutVint(fields, name.size());
    fields += name;
    return Rar5Header(type, 0x0002, fields) + data;
}

inline std::string BuildRar5(const RarArchive& archive) {
    std::string out = archive.stub + std::string("Rar!\x1a\x07\x01\x00", 8);
    std::string mainFields;
    PutVint(mainFields, archive.solid ? 0x0004 : 0);
    out += Rar5Header(1, 0, mainFields);
    if (!archive.comment.empty())
        out += Rar5FileHeader(3, "CMT", archive.comment);
    for (size_t i = 0; i < archive.members.size(); ++i)
        out += Rar5FileHeader(2, archive.members[i].name, archive.members[i].data);
    return out + Rar5Header(5, 0, std::string(1, '\0'));
}

} // namespace tressel::test
