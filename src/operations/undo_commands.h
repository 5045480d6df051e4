#pragma once

// The Undo and Redo commands: replay one group of the history, drive the progress bar
// and report one status line. The window wires its menu items and buttons to these.

#include "feedback.h"
#include "undo.h"

#include <string>

namespace tressel {

// "Undone (<folder of the first move's old path>)".
UiText UndoSubject(const CUndoGroup& group);
// "Redone (<folder of the first move's new path>)".
UiText RedoSubject(const CUndoGroup& group);

// Both do nothing and return -1 when there is nothing to undo (redo); otherwise they
// return the number of moves that failed, and report them file by file.
int RunUndoCommand(CUndoHistory& history, IOperationReport& report, IProgress& progress);
int RunRedoCommand(CUndoHistory& history, IOperationReport& report, IProgress& progress);

} // namespace tressel
