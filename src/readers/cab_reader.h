#pragma once

// Microsoft cabinets, also inside self-extracting executables (in a "CABINET" resource
// or appended after the sections): the titles of descriptive members and the member
// names (see archive_reader.h). Cabinets have no comment.

#include "archive_reader.h"
#include "file_reader.h"
#include "platform/byte_source.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tressel {

// Where a cabinet may start: 0 for bytes that begin with "MSCF"; in an executable the
// data of its "CABINET" resource, or else its overlay when that begins with "MSCF";
// nullopt when there is nowhere to look.
std::optional<uint64_t> FindCabinetStart(ByteSource& source);

// Recognised when the engine finds a cabinet header where FindCabinetStart points.
// Values: setup and readme titles, then member names up to maxValues. Members
// continued from a previous cabinet are not listed, and the listing never moves on to
// the next cabinet of a set. Extension: see ArchiveExtension.
ReadResult ParseCab(ByteSource& source, const ReadRequest& request);

inline constexpr ReaderFormat kCabFormat{"cab", "cab;exe", &ParseCab};

class CCabReader final : public CFileReader {
public:
    CCabReader(FileInput input, bool scanAll, bool collectPreview = false)
        : CFileReader(kCabFormat, std::move(input), scanAll, collectPreview) {}
};

} // namespace tressel
