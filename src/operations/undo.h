#pragma once

// What a command moved, so that it can be taken back. A command creates one group,
// hands it to every MoveItem it makes, and pushes it onto the history when it holds
// an entry. Entries are kept in the order the moves happened: undo replays them newest
// first, redo in that order, so that a chain (b -> a, then c -> b) goes back too.
//
// Before a file is moved back (or forth again) the group checks that what sits at its
// place is the file the command moved (device and inode; size and modification time
// after a copy across file systems); anything else is refused and reported, never
// moved. A move that fails stays to be replayed: running Undo again finishes the job.

#include "failure_list.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tressel {

class CUndoJournal;

// Called after each entry's move during undo and redo; false abandons the rest of the
// group.
using UndoStep = std::function<bool()>;

// What a file was at one place, to recognise it there later.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t mtimeNs = 0;
    bool hasMtime = false;
    // The birth time tells a new file from an old one that had the same inode number.
    int64_t birthNs = 0;
    bool hasBirth = false;

    // The entry at path itself (a link is not followed); nothing when there is none.
    static std::optional<FileIdentity> Of(const std::string& path);
    // The same file: the same entry (device, inode and, where both are known, birth
    // time), or after a copy to another file system (a new device) the same size and
    // modification time.
    bool sameFile(const FileIdentity& seen) const;
    bool sameEntry(const FileIdentity& seen) const {
        return device == seen.device && inode == seen.inode &&
               (!hasBirth || !seen.hasBirth || birthNs == seen.birthNs);
    }
};

enum class EntryState {
    Applied, // the file is at its new path
    Undone,  // the file is back at its old path
    Gone,    // nothing left to replay: the move never happened, or the file is lost
};

struct UndoEntry {
    std::string newPath;
    std::string oldPath;
    // The file where it is now: at newPath while applied, at oldPath once undone.
    FileIdentity identity;
    // False for a move a killed command announced but never confirmed: it may never
    // have happened, so a file not found at its target is no error.
    bool confirmed = true;
    EntryState state = EntryState::Applied;
};

// One planned or made step of a replay.
struct ReplayStep {
    enum Kind {
        Move,        // from -> to
        AlreadyDone, // the file already is at `to` (an undo killed half-way)
        NeverMoved,  // an announced move that never happened
        Lost,        // the file is at neither place: reported, nothing left to do
        Refused,     // reported and kept, to be tried again
    } kind = Move;
    std::string from;
    std::string to;
    UiText reason;
    // A move a killed command announced, never confirmed.
    bool interrupted = false;
};

class CUndoGroup {
public:
    CUndoGroup();
    // A group whose every move is also written to `journal`, so that the command can
    // be taken back by a later process, even when this one is killed half-way.
    explicit CUndoGroup(std::unique_ptr<CUndoJournal> journal);
    // A group journalled for a command on `folder`. When the journal cannot be made,
    // the group refuses every move and journalError() says why.
    static std::unique_ptr<CUndoGroup> Journaled(const std::string& folder,
                                                 const std::string& command);
    ~CUndoGroup();
    CUndoGroup(const CUndoGroup&) = delete;
    CUndoGroup& operator=(const CUndoGroup&) = delete;

    // The move routine announces each move it is about to try (false: the move must
    // not be made, it could not be recorded)...
    bool intend(const std::string& source, const std::string& target);
    // ...and confirms the one that succeeded (or reports that it failed). Paths are
    // recorded with their folders resolved.
    void add(const std::string& newPath, const std::string& oldPath);
    void failed();

    // False once moves can no longer be recorded; a command stops then.
    bool canRecord() const { return m_journalError.empty() && journalOk(); }
    std::string journalError() const;
    // Records that the command is over; false when its journal could not be synced.
    bool finish();

    const std::vector<UndoEntry>& entries() const { return m_entries; }
    uint64_t count() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    // Entries undo (redo) would replay.
    uint64_t pendingUndo() const;
    uint64_t pendingRedo() const;

    // Moves every applied entry back, newest first; returns the number of files that
    // could not go back, each also added to `failures` with the reason.
    int moveBack(const UndoStep& step, CFailureList* failures = nullptr);
    // Moves every undone entry to its new path again, in the order the moves happened.
    int moveForward(const UndoStep& step, CFailureList* failures = nullptr);
    // What moveBack would do now, step by step, changing nothing.
    std::vector<ReplayStep> planBack() const;

    // An entry read back from a journal (not written to it again).
    void restore(UndoEntry entry) { m_entries.push_back(std::move(entry)); }
    // After a new command: undone entries cannot be redone any more.
    void forgetUndone();
    CUndoJournal* journal() const { return m_journal.get(); }

private:
    bool journalOk() const;
    int replay(bool back, const UndoStep& step, CFailureList* failures);
    std::string resolved(const std::string& path);

    std::vector<UndoEntry> m_entries;
    std::unique_ptr<CUndoJournal> m_journal;
    std::string m_journalError;
    // Folders already resolved by this command: unresolved -> resolved.
    std::vector<std::pair<std::string, std::string>> m_folders;
};

// The history of one list: newest group at the front. Groups in front of the cursor
// are undone and wait for redo; the group at the cursor is the newest with moves still
// applied (some of its moves may be back already, after a failed step); groups behind
// it are applied. Never trimmed.
class CUndoHistory {
public:
    // Takes a non-empty group; the redo branch is lost.
    void push(std::unique_ptr<CUndoGroup> group);
    bool canUndo() const { return m_cursor < m_groups.size(); }
    bool canRedo() const { return nextRedo() != nullptr; }
    // The group the next undo or redo replays, or null.
    CUndoGroup* nextUndo() const;
    CUndoGroup* nextRedo() const;
    // Up to count groups; each returns the number of moves that failed. A group whose
    // moves did not all go back stays in place, so that the next undo finishes it.
    int undo(const UndoStep& step, int count, CFailureList* failures = nullptr);
    int redo(const UndoStep& step, int count, CFailureList* failures = nullptr);

    size_t size() const { return m_groups.size(); }
    // The group writing the journal at `path`, or null: a journal this history holds is
    // locked by it, and replayed through it.
    CUndoGroup* groupWithJournal(const std::string& path) const;

private:
    std::deque<std::unique_ptr<CUndoGroup>> m_groups;
    size_t m_cursor = 0;
};

} // namespace tressel
