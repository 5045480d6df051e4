#pragma once

// The list's columns: the name, then the information columns, headed by the version
// string names in the order the executable reader reads them. Every other reader puts
// its own kinds of text in the same places: value i goes to information column i + 1.
// Everything that counts columns derives from these.

#include <array>

namespace tressel {

inline constexpr std::array<const char*, 9> kInformationColumnNames = {
    "FileDescription", "ProductName", "OriginalFilename", "InternalName",  "CompanyName",
    "LegalCopyright",  "Comments",    "FileVersion",      "ProductVersion"};

inline constexpr int kInformationColumns = static_cast<int>(kInformationColumnNames.size());
// The name column and the information columns.
inline constexpr int kColumnCount = kInformationColumns + 1;

} // namespace tressel
