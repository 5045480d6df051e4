#pragma once

// The commands the undo journals of a folder record, as any later process sees them:
// which one Undo takes back, which one Redo does again, and the replay itself. The
// command-line tool and the window share these, so both check and report alike.

#include "feedback.h"
#include "undo_journal.h"

#include <string>
#include <vector>

namespace tressel {

// The newest command not taken back yet; a running one stands in the way. Null when
// every command is undone.
const JournalSummary* NewestToUndo(const std::vector<JournalSummary>& journals);

// The command Redo does again: the newest commands are undone, the oldest of them is
// next; a partly undone command below them is finished first. Null when the newest
// command is applied (a new command drops the redo), is running, or nothing undone is
// left to move.
const JournalSummary* NextToRedo(const std::vector<JournalSummary>& journals);

struct JournalReplay {
    // Why the journal could not be taken up (in use, damaged); nothing moved then.
    std::string error;
    // The report's subject: "Undone (...)" or "Redone (...)", or just "Undo" or "Redo"
    // when a file could not move.
    UiText subject;
    CFailureList failures;
    int errors = 0;
};

// Takes the command of the journal at `path` back (back true) or does it again, newest
// move first on the way back. A file moves only when the file at its place is the one
// the command (or its undo) left there, and nothing is overwritten; a file that cannot
// move is listed and stays to be replayed. Every step is recorded in the journal.
// `progress` (if any) counts the moves.
JournalReplay ReplayJournal(const std::string& path, bool back, IProgress* progress = nullptr);

} // namespace tressel
