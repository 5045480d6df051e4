#pragma once

// RAR archives, RAR 4 and RAR 5, also behind a self-extracting stub: the archive
// comment, the titles of descriptive members and the member names (see
// archive_reader.h). libarchive lists and extracts; the archive headers are read here
// for the solid flag and the comment.

#include "archive_reader.h"
#include "file_reader.h"
#include "platform/byte_source.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tressel {

// A stub before the archive is searched this far for the RAR signature.
inline constexpr uint64_t kMaxRarStubSize = 0x400000;
// The listing stops after this many members.
inline constexpr size_t kMaxRarMembers = 1000;
// A comment is cut to this many bytes.
inline constexpr size_t kMaxRarCommentBytes = 8191;

// What the archive headers say, read without libarchive.
struct RarHeaders {
    uint64_t start = 0;            // where the signature is
    int version = 0;               // 4 (RAR 1.5 to 4) or 5
    uint64_t firstBlock = 0;       // RAR 4: the block after the main header
    bool encryptedHeaders = false; // RAR 4: nothing past the main header is readable
    bool solid = false;
    bool hasComment = false;
    bool commentCompressed = false; // present but not decoded
    std::string comment;            // UTF-8, as stored
};

// Finds the signature at the start or within kMaxRarStubSize, followed by a main
// header, and reads the headers up to the comment; nullopt when there is no archive.
std::optional<RarHeaders> FindRarArchive(ByteSource& source);

// Recognised when FindRarArchive finds an archive that libarchive opens. Values: the
// comment (without a leading "title="), setup and readme titles, then member names up
// to maxValues; at most kMaxRarMembers are listed. RAR 4 names without their Unicode
// form are code page 437. Extension: see ArchiveExtension.
ReadResult ParseRar(ByteSource& source, const ReadRequest& request);

inline constexpr ReaderFormat kRarFormat{"rar", "rar;exe;r00;r01;r02;r03;r04;r05", &ParseRar};

class CRarReader final : public CFileReader {
public:
    CRarReader(FileInput input, bool scanAll, bool collectPreview = false)
        : CFileReader(kRarFormat, std::move(input), scanAll, collectPreview) {}
};

} // namespace tressel
