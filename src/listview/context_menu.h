#pragma once

// What the list's context menu offers, decided without widgets: its command
// identifiers, the entries of the name submenu and the texts of the folder history.

#include "readers/columns.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tressel {

// Command identifiers of the context menu. 1 .. kColumns - 1 rename to that
// information column; the history items of Move To and Copy To follow their first
// identifier by the history position; the Ctrl menu's items start at CtrlFirst.
namespace menu {
inline constexpr int kColumns = kColumnCount;
inline constexpr int kHistorySize = 10;
inline constexpr int CopyText = kColumns + 0;
inline constexpr int CopyToChoose = kColumns + 1;
inline constexpr int Delete = kColumns + 2;
inline constexpr int Rename = kColumns + 3;
inline constexpr int Properties = kColumns + 4;
inline constexpr int MoveToChoose = kColumns + 5;
inline constexpr int ClearText = kColumns + 6;
inline constexpr int FindText = kColumns + 7;
inline constexpr int PreviewRename = kColumns + 8;
inline constexpr int MoveToHistory = kColumns + 10;
inline constexpr int CopyToHistory = kColumns + 20;
inline constexpr int CtrlFirst = 100;
inline constexpr int CtrlOpen = CtrlFirst + 0;
inline constexpr int CtrlOpenContainingFolder = CtrlFirst + 1;
inline constexpr int CtrlCopyPath = CtrlFirst + 2;
inline constexpr int CtrlProperties = CtrlFirst + 3;

inline bool IsColumn(int id) {
    return id >= 1 && id < kColumns;
}
} // namespace menu

struct NameMenuItem {
    int column;
    std::string text;
    std::string label = {}; // the reader's name for the value, for one row only
};

// One selected row: each distinct non-empty information text, in column display
// order, except the current name (cells[0]) with or without its extension. labels,
// indexed like cells, name the values (missing or empty: none).
std::vector<NameMenuItem> SingleRowNameItems(const std::vector<std::string>& cells,
                                             const std::vector<int>& displayOrder,
                                             const std::vector<std::string>& labels = {});

// A name item's text: "Artist: Radio Tressel" when the value has a label.
std::string NameItemText(const NameMenuItem& item);

// Several selected rows: the header of every information column that filled(column)
// says some selected row fills, in display order.
std::vector<NameMenuItem> MultiRowNameItems(const std::function<bool(int column)>& filled,
                                            const std::vector<std::string>& headers,
                                            const std::vector<int>& displayOrder);

// A history folder as its menu item shows it: the last path component, one trailing
// separator ignored ("/sat/Apps/" shows as "Apps").
std::string HistoryItemText(std::string_view path);

} // namespace tressel
