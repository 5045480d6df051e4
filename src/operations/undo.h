#pragma once

// What a command moved, so that it can be taken back. A command creates one group,
// hands it to every MoveItem it makes, and pushes it onto the history when it holds
// an entry. Entries are replayed in ascending new-path order (bytes, unsigned), not in
// the order the moves happened.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tressel {

class CUndoJournal;

// Called after each entry's move during undo and redo; false abandons the rest of the
// group.
using UndoStep = std::function<bool()>;

// A move a killed command had announced but never confirmed.
struct IntendedMove {
    std::string source;
    std::string target;
    // What the source was when the move was announced, to recognise it at the target.
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
};

class CUndoGroup {
public:
    CUndoGroup();
    // A group whose every move is also written to `journal`, so that the command can
    // be taken back by a later process, even when this one is killed half-way.
    explicit CUndoGroup(std::unique_ptr<CUndoJournal> journal);
    ~CUndoGroup();
    CUndoGroup(const CUndoGroup&) = delete;
    CUndoGroup& operator=(const CUndoGroup&) = delete;

    // The move routine announces each move it is about to try...
    void intend(const std::string& source, const std::string& target);
    // ...and confirms the one that succeeded (or reports that it failed). An entry
    // whose new path is already a key is left as it was.
    void add(const std::string& newPath, const std::string& oldPath);
    void failed();

    // New path -> old path.
    const std::map<std::string, std::string>& entries() const { return m_entries; }
    uint64_t count() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty() && m_intended.empty(); }

    // Moves every entry back (then every intended move whose file is found at its
    // target with its source free); returns the number of moves that failed.
    int moveBack(const UndoStep& step);
    // Moves every entry to its new path again; returns the number of moves that failed.
    int moveForward(const UndoStep& step);

    // Moves read back from a journal (not written to it again).
    void restore(const std::string& newPath, const std::string& oldPath) {
        m_entries.emplace(newPath, oldPath);
    }
    void restoreIntended(IntendedMove move) { m_intended.push_back(std::move(move)); }
    const std::vector<IntendedMove>& intended() const { return m_intended; }
    CUndoJournal* journal() const { return m_journal.get(); }

private:
    std::map<std::string, std::string> m_entries;
    std::vector<IntendedMove> m_intended;
    std::unique_ptr<CUndoJournal> m_journal;
};

// True when an intended move is to be taken back now: its file sits at the target
// (the same file as announced) and the source name is free.
bool IntendedMoveLanded(const IntendedMove& move);

// The undo history of one list: newest group at the front; the cursor marks the newest
// applied group, groups in front of it wait for redo. Never trimmed.
class CUndoHistory {
public:
    // Takes a non-empty group; the redo branch is lost.
    void push(std::unique_ptr<CUndoGroup> group);
    bool canUndo() const { return !m_groups.empty() && m_cursor != m_groups.size(); }
    bool canRedo() const { return !m_groups.empty() && m_cursor != 0; }
    // The group the next undo or redo replays, or null.
    const CUndoGroup* nextUndo() const;
    const CUndoGroup* nextRedo() const;
    // Up to count groups; each returns the number of moves that failed.
    int undo(const UndoStep& step, int count);
    int redo(const UndoStep& step, int count);

    size_t size() const { return m_groups.size(); }

private:
    std::deque<std::unique_ptr<CUndoGroup>> m_groups;
    size_t m_cursor = 0;
};

} // namespace tressel
