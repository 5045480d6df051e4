#pragma once

// What grouping groups a file by: the Group menu's modes and the key each gives.

#include <string>
#include <string_view>

namespace tressel {

class CMarlockUtilDoc;

// Mode 0 groups by registered type, 1 by extension, 2 to 11 by the text of list column
// mode - 2 (2 is the name, 3 the first information column).
enum GroupMode : int {
    GroupByType = 0,
    GroupByExtension = 1,
    GroupByFirstColumn = 2,
    GroupByLastColumn = 11,
};

// The type folder of a record: its type name in the plural ("Zip archives").
std::string TypeGroupKey(const CMarlockUtilDoc& doc, int record);
// The extension folder of a name: its extension without the dot ("" for none).
std::string ExtensionGroupKey(std::string_view name);

} // namespace tressel
