#pragma once

// Our ACE library: finds an ACE archive (also behind a self-extracting stub), reads its
// main header with the archive comment and its file headers, and unpacks members that
// are stored or compressed with ACE 1.0 LZ77. Members packed with the ACE 2.0 modes,
// encrypted ones and those split across volumes are listed but never unpacked.
//
// Everything is read through a ByteSource: every count, length and offset taken from
// the file is checked against what the source holds before it is used, and a damaged
// archive ends the operation with a status, never a crash or a hang.

#include "platform/byte_source.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tressel::ace {

// A stub before the archive is searched this far for the main header.
inline constexpr uint64_t kMaxStubSize = 0x400000;
// Where the signature sits inside the main header.
inline constexpr size_t kSignatureOffset = 7;
inline constexpr std::string_view kSignature = "**ACE**";

// Header types and flags.
inline constexpr uint8_t kMainHeader = 0;
inline constexpr uint8_t kFileHeader32 = 1;
inline constexpr uint8_t kFileHeader64 = 3;
inline constexpr uint16_t kFlagAddSize = 0x0001;
inline constexpr uint16_t kFlagComment = 0x0002;
inline constexpr uint16_t kFlag64Bit = 0x0004;
inline constexpr uint16_t kFlagNtSecurity = 0x0400;    // file headers
inline constexpr uint16_t kFlagMultiVolume = 0x0800;   // main header
inline constexpr uint16_t kFlagAdvert = 0x1000;        // main header
inline constexpr uint16_t kFlagContinuedFrom = 0x1000; // file headers
inline constexpr uint16_t kFlagContinuedTo = 0x2000;   // file headers
inline constexpr uint16_t kFlagPassword = 0x4000;      // file headers
inline constexpr uint16_t kFlagSolid = 0x8000;

// Compression types of a member.
inline constexpr uint8_t kStored = 0;
inline constexpr uint8_t kLz77 = 1;
inline constexpr uint8_t kBlocked = 2; // ACE 2.0: listed, never unpacked

inline constexpr uint32_t kDirectoryAttribute = 0x10;

// The format's CRC-32 (the usual polynomial without the final inversion); header
// checksums are its low 16 bits.
uint32_t Crc32(std::string_view bytes, uint32_t crc = 0xFFFFFFFF);
uint16_t Crc16(std::string_view bytes);

struct Archive {
    uint64_t start = 0;       // where the main header starts
    uint64_t firstHeader = 0; // the header after the main header
    uint16_t flags = 0;
    uint8_t versionToExtract = 0;
    uint8_t volume = 0;
    bool hasComment = false;
    bool commentDamaged = false; // present but not decodable
    std::string comment;         // decompressed, bytes as stored (OEM code page)

    bool solid() const { return flags & kFlagSolid; }
    bool multiVolume() const { return flags & kFlagMultiVolume; }
};

struct Member {
    std::string name; // bytes as stored (OEM code page), '\' between folders; at most 4 KiB
    uint64_t dataAt = 0;
    uint64_t packedSize = 0;
    uint64_t size = 0;
    uint32_t crc = 0; // of the unpacked bytes
    uint32_t attributes = 0;
    uint16_t flags = 0;
    uint16_t parameters = 0; // low 4 bits: dictionary size as a power of two, less 10
    uint8_t method = 0;
    uint8_t quality = 0;
    bool dataCutShort = false; // the packed data reaches past the end of the source

    bool encrypted() const { return flags & kFlagPassword; }
    bool split() const { return flags & (kFlagContinuedFrom | kFlagContinuedTo); }
    bool continuedFromPrevious() const { return flags & kFlagContinuedFrom; }
    bool directory() const { return attributes & kDirectoryAttribute; }
    unsigned dictionaryBits() const;
};

// The first main header with a good checksum whose signature lies within kMaxStubSize
// of the start; nullopt when there is none. Only the first 64 signatures found are
// looked at.
std::optional<Archive> FindArchive(ByteSource& source);

// The file headers after the main header, in order, at most maxMembers. The walk ends
// at the end of the source, at a header that is cut short or fails its checksum, and
// after a member whose data is cut short (that member is still listed).
std::vector<Member> ListMembers(ByteSource& source, const Archive& archive, size_t maxMembers);

// Decompresses an archive comment (or a member comment) as the headers store it;
// nullopt when the bits are damaged.
std::optional<std::string> DecompressComment(std::string_view packed);

enum class Status {
    Ok,
    Unsupported, // ACE 2.0 modes, encrypted, split across volumes, or after such a
                 // member in a solid archive
    Damaged,     // bad codes, a copy from before the start, a wrong CRC
    CutShort,    // the packed data ends before the member does
    Refused,     // the sink refused the bytes
};

// Receives unpacked bytes; false stops the run with Status::Refused.
using Sink = std::function<bool(const uint8_t* data, size_t size)>;

class Lz77Decoder;

// Unpacks members of one archive. In a solid archive the members before the wanted
// one are unpacked too (their bytes go nowhere), since each continues the previous
// one's dictionary; members asked for in order are unpacked once.
class Extractor {
public:
    Extractor(ByteSource& source, const std::vector<Member>& members, bool solid);
    ~Extractor();
    Extractor(const Extractor&) = delete;
    Extractor& operator=(const Extractor&) = delete;

    Status extract(size_t index, const Sink& sink);

private:
    Status unpack(const Member& member, const Sink* sink);
    Status unpackStored(const Member& member, const Sink* sink, uint32_t& crc);
    Status unpackLz77(const Member& member, const Sink* sink, uint32_t& crc);
    void prepareDecoder(size_t upTo);

    ByteSource& m_source;
    const std::vector<Member>& m_members;
    bool m_solid;
    std::unique_ptr<Lz77Decoder> m_decoder;
    unsigned m_decoderBits = 0;
    size_t m_next = 0;           // solid: the member the dictionary stands before
    Status m_chain = Status::Ok; // solid: what stopped the chain, once something did
};

} // namespace tressel::ace
