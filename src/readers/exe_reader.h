#pragma once

// The executable reader: the nine version strings of an executable or library, with
// the package title in place of the description for self-extracting packages.

#include "file_reader.h"
#include "platform/byte_source.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tressel {

// The version string names in the order of the information columns.
inline constexpr std::array<const char*, 9> kVersionStringNames = {
    "FileDescription", "ProductName", "OriginalFilename", "InternalName",  "CompanyName",
    "LegalCopyright",  "Comments",    "FileVersion",      "ProductVersion"};

// A package title longer than this is cut.
inline constexpr size_t kMaxPackageTitleBytes = 500;

class CExeReader final : public CFileReader {
public:
    CExeReader(const std::string& path, bool scanAll);

    // Appends at most maxValues (and at most nine) version strings; a missing string is
    // empty text, so positions never shift.
    int extract(int maxValues) override;
    const char* extensions() const override { return "exe;dll;ocx;drv;sys;vxd;scr;cpl;ax"; }
    const char* formatName() const override { return "exe"; }

    // The size of the version-information block the probe found; 0 when none.
    uint32_t versionInfoSize() const { return m_versionInfoSize; }

private:
    uint32_t m_versionInfoSize = 0;
};

// What extract() appends, read from any source (a file, memory, fuzz input).
std::vector<std::string> ReadExeValues(ByteSource& source, int maxValues);

} // namespace tressel
