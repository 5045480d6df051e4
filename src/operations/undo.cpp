#include "undo.h"

#include "plain_move.h"
#include "platform/paths.h"
#include "undo_journal.h"

#include <sys/stat.h>

namespace tressel {

namespace {

// The folder a path names, created one level deep; a failure (most often: it exists)
// shows later as a failed move.
void CreateFolderOf(const std::string& path) {
    const std::string folder = SplitPath(path).dir;
    if (!folder.empty())
        (void)::mkdir(folder.c_str(), 0777);
}

// Moves one entry for undo or redo; false when it failed.
bool ReplayMove(const std::string& from, const std::string& to) {
    CreateFolderOf(to);
    return PlainMove(from, to);
}

bool CallStep(const UndoStep& step) {
    return !step || step();
}

} // namespace

CUndoGroup::CUndoGroup() = default;

CUndoGroup::CUndoGroup(std::unique_ptr<CUndoJournal> journal) : m_journal(std::move(journal)) {}

CUndoGroup::~CUndoGroup() {
    if (!m_journal || !m_journal->created())
        return;
    // A command that moved nothing leaves nothing to take back.
    if (empty())
        m_journal->discard();
    else
        m_journal->recordEnd();
}

void CUndoGroup::intend(const std::string& source, const std::string& target) {
    if (m_journal)
        m_journal->recordIntent(source, target);
}

void CUndoGroup::add(const std::string& newPath, const std::string& oldPath) {
    if (m_journal)
        m_journal->recordDone(newPath, oldPath);
    m_entries.emplace(newPath, oldPath);
}

void CUndoGroup::failed() {
    if (m_journal)
        m_journal->recordFailed();
}

int CUndoGroup::moveBack(const UndoStep& step) {
    int failures = 0;
    bool going = true;
    for (auto it = m_entries.begin(); going && it != m_entries.end(); ++it) {
        if (!ReplayMove(it->first, it->second))
            ++failures;
        going = CallStep(step);
    }
    for (auto it = m_intended.begin(); going && it != m_intended.end(); ++it) {
        if (IntendedMoveLanded(*it) && !ReplayMove(it->target, it->source))
            ++failures;
        going = CallStep(step);
    }
    if (m_journal)
        m_journal->recordUndone();
    return failures;
}

int CUndoGroup::moveForward(const UndoStep& step) {
    int failures = 0;
    for (const auto& [newPath, oldPath] : m_entries) {
        if (!ReplayMove(oldPath, newPath))
            ++failures;
        if (!CallStep(step))
            break;
    }
    if (m_journal)
        m_journal->recordRedone();
    return failures;
}

bool IntendedMoveLanded(const IntendedMove& move) {
    struct stat atTarget, atSource;
    if (::lstat(move.target.c_str(), &atTarget) != 0 ||
        ::lstat(move.source.c_str(), &atSource) == 0)
        return false;
    // A rename keeps the inode; a copy to another file system keeps only the size.
    if (atTarget.st_dev == move.device)
        return atTarget.st_ino == move.inode;
    return static_cast<uint64_t>(atTarget.st_size) == move.size;
}

void CUndoHistory::push(std::unique_ptr<CUndoGroup> group) {
    if (!group)
        return;
    m_groups.erase(m_groups.begin(), m_groups.begin() + static_cast<ptrdiff_t>(m_cursor));
    if (CUndoJournal* journal = group->journal(); journal && journal->created())
        journal->recordEnd();
    m_groups.push_front(std::move(group));
    m_cursor = 0;
}

const CUndoGroup* CUndoHistory::nextUndo() const {
    return canUndo() ? m_groups[m_cursor].get() : nullptr;
}

const CUndoGroup* CUndoHistory::nextRedo() const {
    return canRedo() ? m_groups[m_cursor - 1].get() : nullptr;
}

int CUndoHistory::undo(const UndoStep& step, int count) {
    int failures = 0;
    for (int i = 0; i < count && m_cursor < m_groups.size(); ++i)
        failures += m_groups[m_cursor++]->moveBack(step);
    return failures;
}

int CUndoHistory::redo(const UndoStep& step, int count) {
    int failures = 0;
    for (int i = 0; i < count && m_cursor > 0; ++i)
        failures += m_groups[--m_cursor]->moveForward(step);
    return failures;
}

} // namespace tressel
