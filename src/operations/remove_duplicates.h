#pragma once

// Remove Duplicates: moves every copy of a file of the open folder but the first into
// the folder's "Duplicates/" sub-folder, recording the moves in one undo group. Files
// are grouped by size, candidates found by CRC-32 (CDuplicateFinder) and every copy
// confirmed byte for byte against the file that stays before it is moved. Empty files,
// symbolic links and anything but regular files never take part; hard links to one
// file count as one file. A file that changes or vanishes during the run is left
// alone and reported.

#include "failure_list.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tressel {

class CUndoGroup;
class ICancelCheck;
class IProgress;

inline constexpr char kDuplicatesFolder[] = "Duplicates";

enum class DuplicateTrouble {
    Unreadable, // could not be opened; takes no part
    Changed,    // changed or vanished while the run looked at it; left alone
    MoveFailed,
};

struct RemoveDuplicatesOptions {
    IProgress* progress = nullptr;
    ICancelCheck* cancel = nullptr;
    // Moves a copy (full paths); target is in/out as with MoveItem. Unset: MoveItem
    // with the command's undo group. A dry run passes one that moves nothing.
    std::function<bool(const std::string& source, std::string& target)> move;
    // A copy moved: its name, its path in the folder afterwards ("Duplicates/a[1].txt")
    // and the name of the file that stays.
    std::function<void(const std::string& name, const std::string& movedTo,
                       const std::string& kept)>
        onMove;
    std::function<void(const std::string& name, DuplicateTrouble trouble)> onTrouble;
};

struct RemoveDuplicatesResult {
    int removed = 0;
    // Failed moves and files left alone because they changed, each in failures.
    int errors = 0;
    CFailureList failures;
    bool cancelled = false;
    // Why the run stopped before its next move: the undo journal failed.
    std::string stopped;
};

// What the user is told about a file the run left alone.
UiText DuplicateTroubleText(DuplicateTrouble trouble);

// names: entries of folder in the order that decides which copy stays (the first).
// A group that can no longer record its moves stops the run before its next move.
RemoveDuplicatesResult RemoveDuplicates(const std::string& folder,
                                        const std::vector<std::string>& names, CUndoGroup* group,
                                        const RemoveDuplicatesOptions& options = {});

// "5 dups Removed".
UiText RemovedDupsText(int removed);
// The report subject of a run with errors: "remove (5 dups Removed)".
UiText RemovalSubject(int removed);
// The status line of a run: "5 dups Removed", or after errors
// "2 error(s) ocurred while remove (5 dups Removed)", followed by the reason when the
// undo journal stopped the run.
UiText RemoveDuplicatesStatus(const RemoveDuplicatesResult& result);

} // namespace tressel
