#pragma once

// ZIP archives, also inside self-extracting executables: the archive comment, the
// titles of descriptive members and the member names (see archive_reader.h).

#include "archive_reader.h"
#include "file_reader.h"
#include "platform/byte_source.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tressel {

// Where the archive lies in the bytes: from start (0, or where a self-extracting
// stub ends when the archive's offsets were not adjusted for it) to end (the end of
// the end-of-central-directory record and its comment).
struct ZipWindow {
    uint64_t start = 0;
    uint64_t end = 0;
};

// Finds the end-of-central-directory record within the last 64 KiB and checks that
// the central directory it names is there; nullopt when the bytes hold no archive.
std::optional<ZipWindow> LocateZip(ByteSource& source);

// Recognised when LocateZip finds an archive. Values: the comment, setup and readme
// titles, then member names up to maxValues. Member names flagged UTF-8, or valid
// UTF-8, are kept; others are read as code page 437. Extension: see
// ArchiveExtension.
ReadResult ParseZip(ByteSource& source, const ReadRequest& request);

inline constexpr ReaderFormat kZipFormat{"zip", "zip;exe;jar;rar", &ParseZip};

class CZipReader final : public CFileReader {
public:
    CZipReader(FileInput input, bool scanAll, bool collectPreview = false)
        : CFileReader(kZipFormat, std::move(input), scanAll, collectPreview) {}
};

} // namespace tressel
