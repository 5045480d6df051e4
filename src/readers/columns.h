#pragma once

// The list's columns: the name, then the information columns, headed by the version
// string names in the order the executable reader reads them. Every other reader puts
// its own kinds of text in the same places: value i goes to information column i + 1.
// Everything that counts columns derives from these.

#include "platform/ui_text.h"

#include <array>

namespace tressel {

// The window translates them in the context "Columns"; the command-line tool keeps them.
inline constexpr std::array<const char*, 9> kInformationColumnNames = {
    UI_TEXT_NOOP("Columns", "FileDescription"),  UI_TEXT_NOOP("Columns", "ProductName"),
    UI_TEXT_NOOP("Columns", "OriginalFilename"), UI_TEXT_NOOP("Columns", "InternalName"),
    UI_TEXT_NOOP("Columns", "CompanyName"),      UI_TEXT_NOOP("Columns", "LegalCopyright"),
    UI_TEXT_NOOP("Columns", "Comments"),         UI_TEXT_NOOP("Columns", "FileVersion"),
    UI_TEXT_NOOP("Columns", "ProductVersion")};

inline constexpr int kInformationColumns = static_cast<int>(kInformationColumnNames.size());
// The name column and the information columns.
inline constexpr int kColumnCount = kInformationColumns + 1;

} // namespace tressel
