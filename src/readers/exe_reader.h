#pragma once

// The executable reader: the nine version strings of an executable or library, with
// the package title in place of the description for self-extracting packages.

#include "columns.h"
#include "file_reader.h"
#include "platform/byte_source.h"

#include <string>

namespace tressel {

// The version string names in the order of the information columns, which they head.
inline constexpr const auto& kVersionStringNames = kInformationColumnNames;

// A package title longer than this is cut.
inline constexpr size_t kMaxPackageTitleBytes = 500;

inline constexpr char kNoVersionResource[] = UI_TEXT_NOOP("Reading", "no version resource");

// Recognised when the image has a version resource. Appends at most maxValues (and at
// most nine) version strings, labelled with their names; a missing string is empty
// text, so positions never shift. With maxValues 0 the strings are not read at all.
// Extension: "dll" for a library, "sys" for a native driver, else "exe".
ReadResult ParseExe(ByteSource& source, const ReadRequest& request);

// The extension an executable image should carry, version resource or not: "dll",
// "sys" or "exe" as above; "exe" for a program that is no PE image (MS-DOS).
std::string ExecutableExtension(ByteSource& source);

inline constexpr ReaderFormat kExeFormat{"exe", "exe;dll;ocx;drv;sys;vxd;scr;cpl;ax", &ParseExe};

// The only reader that honours maxValues: its probe finds the version resource, and
// extract() reads the file again for the strings.
class CExeReader final : public CFileReader {
public:
    CExeReader(FileInput input, bool scanAll)
        : CFileReader(kExeFormat, std::move(input), scanAll) {}
};

} // namespace tressel
