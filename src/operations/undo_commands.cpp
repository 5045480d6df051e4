#include "undo_commands.h"

#include "platform/paths.h"

namespace tressel {

namespace {

std::string FolderOf(const std::string& path) {
    return SplitPath(path).dir;
}

// Every replayed move, intended ones included, is one step of the bar.
uint64_t StepCount(const CUndoGroup& group) {
    return group.count() + group.intended().size();
}

std::string FirstOldPath(const CUndoGroup& group) {
    if (!group.entries().empty())
        return group.entries().begin()->second;
    return group.intended().empty() ? std::string() : group.intended().front().source;
}

std::string FirstNewPath(const CUndoGroup& group) {
    return group.entries().empty() ? std::string() : group.entries().begin()->first;
}

} // namespace

std::string UndoSubject(const CUndoGroup& group) {
    return "Undone (" + FolderOf(FirstOldPath(group)) + ")";
}

std::string RedoSubject(const CUndoGroup& group) {
    return "Redone (" + FolderOf(FirstNewPath(group)) + ")";
}

int RunUndoCommand(CUndoHistory& history, IOperationReport& report, IProgress& progress) {
    const CUndoGroup* group = history.nextUndo();
    if (!group)
        return -1;
    const std::string subject = UndoSubject(*group);
    progress.start(StepCount(*group));
    const int failures = history.undo(
        [&progress] {
            progress.step();
            return true;
        },
        1);
    report.report(failures ? "Undo" : subject, failures);
    return failures;
}

int RunRedoCommand(CUndoHistory& history, IOperationReport& report, IProgress& progress) {
    const CUndoGroup* group = history.nextRedo();
    if (!group)
        return -1;
    const std::string subject = RedoSubject(*group);
    progress.start(group->count());
    const int failures = history.redo(
        [&progress] {
            progress.step();
            return true;
        },
        1);
    report.report(failures ? "Redo" : subject, failures);
    return failures;
}

} // namespace tressel
