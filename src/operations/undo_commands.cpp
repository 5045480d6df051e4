#include "undo_commands.h"

#include "platform/paths.h"

namespace tressel {

namespace {

std::string FolderOf(const std::string& path) {
    return SplitPath(path).dir;
}

// The folder the command worked in: where its first move started (or ended).
std::string FirstPath(const CUndoGroup& group, bool oldPath) {
    if (group.entries().empty())
        return {};
    const UndoEntry& first = group.entries().front();
    return oldPath ? first.oldPath : first.newPath;
}

int Replay(CUndoHistory& history, bool back, IOperationReport& report, IProgress& progress) {
    const CUndoGroup* group = back ? history.nextUndo() : history.nextRedo();
    if (!group)
        return -1;
    const UiText subject = back ? UndoSubject(*group) : RedoSubject(*group);
    progress.start(back ? group->pendingUndo() : group->pendingRedo());
    const UndoStep step = [&progress] {
        progress.step();
        return true;
    };
    CFailureList failures;
    const int errors = back ? history.undo(step, 1, &failures) : history.redo(step, 1, &failures);
    const UiText failed = back ? UI_TEXT("Undo", "Undo") : UI_TEXT("Undo", "Redo");
    report.reportFailures(errors ? failed : subject, failures);
    return errors;
}

} // namespace

UiText UndoSubject(const CUndoGroup& group) {
    return UI_TEXT("Undo", "Undone (%1)").arg(FolderOf(FirstPath(group, true)));
}

UiText RedoSubject(const CUndoGroup& group) {
    return UI_TEXT("Undo", "Redone (%1)").arg(FolderOf(FirstPath(group, false)));
}

int RunUndoCommand(CUndoHistory& history, IOperationReport& report, IProgress& progress) {
    return Replay(history, true, report, progress);
}

int RunRedoCommand(CUndoHistory& history, IOperationReport& report, IProgress& progress) {
    return Replay(history, false, report, progress);
}

} // namespace tressel
