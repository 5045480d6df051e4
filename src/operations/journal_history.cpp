#include "journal_history.h"

#include "undo_commands.h"

namespace tressel {

const JournalSummary* NewestToUndo(const std::vector<JournalSummary>& journals) {
    for (const JournalSummary& journal : journals) {
        if (journal.running || journal.contents.state() != JournalState::Undone)
            return &journal;
    }
    return nullptr;
}

namespace {

bool HasUndoneMoves(const JournalContents& contents) {
    for (const UndoEntry& entry : contents.entries) {
        if (entry.state == EntryState::Undone)
            return true;
    }
    return false;
}

} // namespace

const JournalSummary* NextToRedo(const std::vector<JournalSummary>& journals) {
    const JournalSummary* next = nullptr;
    for (const JournalSummary& journal : journals) {
        if (journal.running)
            break;
        const JournalState state = journal.contents.state();
        // A replay cut short (a file that could not move) is finished first.
        if (state == JournalState::PartlyUndone && HasUndoneMoves(journal.contents))
            return &journal;
        if (state != JournalState::Undone)
            break;
        if (HasUndoneMoves(journal.contents))
            next = &journal;
    }
    return next;
}

JournalReplay ReplayJournal(const std::string& path, bool back, IProgress* progress) {
    JournalReplay replay;
    std::unique_ptr<CUndoGroup> group = LoadJournalGroup(path, &replay.error);
    if (!group)
        return replay;
    if (progress)
        progress->start(back ? group->pendingUndo() : group->pendingRedo());
    const UndoStep step = [progress] {
        if (progress)
            progress->step();
        return true;
    };
    if (group->empty()) {
        // A command whose every move was announced and none made: nothing to replay.
        const auto contents = ReadJournal(path);
        const std::string folder = contents ? contents->folder : std::string();
        replay.subject = back ? UI_TEXT("Undo", "Undone (%1)").arg(folder)
                              : UI_TEXT("Undo", "Redone (%1)").arg(folder);
    } else {
        replay.subject = back ? UndoSubject(*group) : RedoSubject(*group);
    }
    replay.errors =
        back ? group->moveBack(step, &replay.failures) : group->moveForward(step, &replay.failures);
    if (replay.errors)
        replay.subject = back ? UI_TEXT("Undo", "Undo") : UI_TEXT("Undo", "Redo");
    return replay;
}

} // namespace tressel
