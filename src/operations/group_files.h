#pragma once

// Grouping: moves files of a folder into sub-folders named after something they have
// in common (their type, their extension, a column's text, a searched text), recording
// the moves in one undo group. A file goes into its group's folder only when the group
// holds two or more files or the folder exists already.
//
// Keys that differ only in letter case make one group, and all its files go into one
// folder: the existing sub-folder whose name matches the key without regard to case,
// or else a new one spelled as the group's first key. (On a file system that tells
// case apart, "ZIP" and "zip" would otherwise be two folders of one file each.)
//
// A folder name held by anything but a folder of the folder's own (a file, or a symbolic
// link, which would take the files elsewhere) fails the moves of its group.

#include "failure_list.h"

#include <functional>
#include <string>
#include <vector>

namespace tressel {

class CUndoGroup;
class ICancelCheck;
class IProgress;

// A text made fit to be a folder name: a leading '.', every character a name may not
// hold and every control character become '_'.
void CleanFolderName(std::string& name);

// One file of the folder (its name in the folder) and the text it is grouped by, as
// read; an empty key leaves the file where it is.
struct GroupItem {
    std::string name;
    std::string key;
};

struct GroupOptions {
    IProgress* progress = nullptr;
    // Asked before each move: Esc stops the moves, keeping those made.
    ICancelCheck* cancel = nullptr;
    // Moves a file (full paths); target is in/out as with MoveItem. Unset: MoveItem
    // with the command's undo group. A dry run passes one that moves nothing.
    std::function<bool(const std::string& source, std::string& target)> move;
    // A file moved: its name and where it is now, relative to the folder ("exe/a.exe").
    std::function<void(const std::string& name, const std::string& movedTo)> onMove;
    std::function<void(const std::string& name)> onError;
};

struct GroupResult {
    int done = 0;
    int errors = 0;
    CFailureList failures;
    bool cancelled = false;
    // Why the run stopped before its next move: the undo journal failed.
    std::string stopped;
};

// Groups items (in row order) into sub-folders of folder, one per key.
GroupResult GroupFiles(const std::string& folder, const std::vector<GroupItem>& items,
                       CUndoGroup* group, const GroupOptions& options = {});

// Whether "Group All" goes on: text is not empty, and two or more rows are selected
// or text names an existing folder in folder.
bool ShouldGroupInto(const std::string& folder, const std::string& text, size_t selectedRows);

// Moves the files named (in row order) into the sub-folder named after text.
GroupResult GroupIntoFolder(const std::string& folder, const std::vector<std::string>& names,
                            const std::string& text, CUndoGroup* group,
                            const GroupOptions& options = {});

// The report's subject: "Grouped 12 File(s)", or with errors "Grouping files (12 done)".
UiText GroupSubject(const GroupResult& result);
// The status line: ReportText of the subject, followed by the reason when the undo
// journal stopped the run.
UiText GroupStatus(const GroupResult& result);

} // namespace tressel
