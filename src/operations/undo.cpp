#include "undo.h"

#include "feedback.h"
#include "plain_move.h"
#include "platform/paths.h"
#include "undo_journal.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace tressel {

namespace {

// Modification times a copy keeps may be rounded by the file system it lands on (FAT
// keeps two seconds).
constexpr int64_t kMtimeSlackNs = int64_t(2'000'000'000);
constexpr size_t kResolvedFolderCache = 16;

using Lookup = std::function<std::optional<FileIdentity>(const std::string&)>;

std::optional<FileIdentity> LookOnDisk(const std::string& path) {
    return FileIdentity::Of(path);
}

// The folder a path names, created one level deep; a failure (most often: it exists)
// shows later as a failed move.
void CreateFolderOf(const std::string& path) {
    const std::string folder = SplitPath(path).dir;
    if (!folder.empty())
        (void)::mkdir(folder.c_str(), 0777);
}

std::optional<std::string> RealFolder(const std::string& folder) {
    char* real = ::realpath(folder.c_str(), nullptr);
    if (!real)
        return std::nullopt;
    std::string text = WithTrailingSlash(real);
    std::free(real);
    return text;
}

// The folder of path still is the folder that was recorded: no link on the way now
// leads elsewhere. A missing folder (to be created again) is judged by its parent.
bool FolderIsWhereRecorded(const std::string& path) {
    const std::string folder = SplitPath(path).dir;
    if (const auto real = RealFolder(folder))
        return *real == folder;
    const std::string parent = SplitPath(folder.substr(0, folder.size() - 1)).dir;
    const auto realParent = RealFolder(parent);
    return !realParent || *realParent == parent;
}

bool CallStep(const UndoStep& step) {
    return !step || step();
}

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

// What to do with one entry now. Undo moves newPath -> oldPath, redo the reverse.
ReplayStep DecideStep(const UndoEntry& entry, bool back, const Lookup& look) {
    ReplayStep step;
    step.from = back ? entry.newPath : entry.oldPath;
    step.to = back ? entry.oldPath : entry.newPath;
    step.interrupted = !entry.confirmed;
    const auto atFrom = look(step.from);
    const auto atTo = look(step.to);
    const bool oursAtFrom = atFrom && entry.identity.sameFile(*atFrom);
    if (!oursAtFrom) {
        if (atTo && entry.identity.sameFile(*atTo)) {
            step.kind = entry.confirmed ? ReplayStep::AlreadyDone : ReplayStep::NeverMoved;
            return step;
        }
        if (!entry.confirmed) {
            step.kind = ReplayStep::NeverMoved;
            return step;
        }
        step.kind = ReplayStep::Lost;
        step.reason =
            atFrom
                ? UI_TEXT("Undo", "another file has taken its place; the moved file is not there")
                : UI_TEXT("Undo", "it is no longer there (deleted, or moved by hand)");
        return step;
    }
    step.kind = ReplayStep::Refused;
    // One entry under two names (a change of letter case where case is ignored) is free.
    if (atTo && !atTo->sameEntry(*atFrom))
        step.reason = UI_TEXT("Undo", "cannot go back to %1: another file has that name")
                          .arg(Quoted(step.to));
    else if (!FolderIsWhereRecorded(step.from) || !FolderIsWhereRecorded(step.to))
        step.reason = UI_TEXT("Undo", "its folder now leads elsewhere through a symbolic link");
    else
        step.kind = ReplayStep::Move;
    return step;
}

} // namespace

std::optional<FileIdentity> FileIdentity::Of(const std::string& path) {
    struct statx st;
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME,
                &st) != 0)
        return std::nullopt;
    FileIdentity id;
    id.device = makedev(st.stx_dev_major, st.stx_dev_minor);
    id.inode = st.stx_ino;
    id.size = st.stx_size;
    id.mtimeNs = int64_t(st.stx_mtime.tv_sec) * 1'000'000'000 + st.stx_mtime.tv_nsec;
    id.hasMtime = true;
    if (st.stx_mask & STATX_BTIME) {
        id.birthNs = int64_t(st.stx_btime.tv_sec) * 1'000'000'000 + st.stx_btime.tv_nsec;
        id.hasBirth = id.birthNs != 0;
    }
    return id;
}

bool FileIdentity::sameFile(const FileIdentity& seen) const {
    if (device == seen.device)
        return sameEntry(seen);
    if (size != seen.size)
        return false;
    if (!hasMtime || !seen.hasMtime)
        return true;
    const int64_t apart = mtimeNs > seen.mtimeNs ? mtimeNs - seen.mtimeNs : seen.mtimeNs - mtimeNs;
    return apart <= kMtimeSlackNs;
}

CUndoGroup::CUndoGroup() = default;

CUndoGroup::CUndoGroup(std::unique_ptr<CUndoJournal> journal) : m_journal(std::move(journal)) {}

std::unique_ptr<CUndoGroup> CUndoGroup::Journaled(const std::string& folder,
                                                  const std::string& command) {
    std::string error;
    auto journal = CUndoJournal::create(folder, command, &error);
    auto group = std::make_unique<CUndoGroup>(std::move(journal));
    if (!group->m_journal)
        group->m_journalError = error.empty() ? "unknown error" : error;
    return group;
}

CUndoGroup::~CUndoGroup() {
    if (!m_journal || !m_journal->created())
        return;
    // A command that moved nothing leaves nothing to take back.
    if (empty())
        m_journal->discard();
    else
        m_journal->recordEnd();
}

bool CUndoGroup::journalOk() const {
    return !m_journal || m_journal->ok();
}

std::string CUndoGroup::journalError() const {
    if (!m_journalError.empty())
        return m_journalError;
    return journalOk() ? std::string() : m_journal->error();
}

bool CUndoGroup::finish() {
    if (m_journal && m_journal->created() && !empty())
        m_journal->recordEnd();
    return canRecord();
}

std::string CUndoGroup::resolved(const std::string& path) {
    const PathParts parts = SplitPath(path);
    for (const auto& [folder, real] : m_folders) {
        if (folder == parts.dir)
            return real + parts.fileName();
    }
    if (m_folders.size() == kResolvedFolderCache)
        m_folders.clear();
    m_folders.emplace_back(parts.dir, JournalFolderKey(parts.dir.empty() ? "." : parts.dir));
    return m_folders.back().second + parts.fileName();
}

bool CUndoGroup::intend(const std::string& source, const std::string& target) {
    if (!canRecord())
        return false;
    if (m_journal)
        m_journal->recordIntent(resolved(source), resolved(target));
    return canRecord();
}

void CUndoGroup::add(const std::string& newPath, const std::string& oldPath) {
    UndoEntry entry;
    entry.newPath = resolved(newPath);
    entry.oldPath = resolved(oldPath);
    entry.identity = FileIdentity::Of(entry.newPath).value_or(FileIdentity{});
    if (m_journal)
        m_journal->recordDone(entry.newPath, entry.oldPath, entry.identity);
    m_entries.push_back(std::move(entry));
}

void CUndoGroup::failed() {
    if (m_journal)
        m_journal->recordFailed();
}

uint64_t CUndoGroup::pendingUndo() const {
    uint64_t pending = 0;
    for (const UndoEntry& entry : m_entries)
        pending += entry.state == EntryState::Applied;
    return pending;
}

uint64_t CUndoGroup::pendingRedo() const {
    uint64_t pending = 0;
    for (const UndoEntry& entry : m_entries)
        pending += entry.state == EntryState::Undone;
    return pending;
}

void CUndoGroup::forgetUndone() {
    std::erase_if(m_entries, [](const UndoEntry& e) { return e.state == EntryState::Undone; });
}

int CUndoGroup::moveBack(const UndoStep& step, CFailureList* failures) {
    return replay(true, step, failures);
}

int CUndoGroup::moveForward(const UndoStep& step, CFailureList* failures) {
    return replay(false, step, failures);
}

int CUndoGroup::replay(bool back, const UndoStep& step, CFailureList* failures) {
    const EntryState pending = back ? EntryState::Applied : EntryState::Undone;
    const EntryState settled = back ? EntryState::Undone : EntryState::Applied;
    int errors = 0;
    auto fail = [&](const std::string& path, const UiText& reason) {
        ++errors;
        if (failures)
            failures->add(path, reason);
    };
    const size_t n = m_entries.size();
    for (size_t i = 0; i < n; ++i) {
        const size_t index = back ? n - 1 - i : i;
        UndoEntry& entry = m_entries[index];
        if (entry.state != pending)
            continue;
        if (!journalOk()) {
            // Without a record of this step a later run could not tell where files are.
            fail(m_journal->path(), JournalStopText(m_journal->error()));
            break;
        }
        ReplayStep plan = DecideStep(entry, back, LookOnDisk);
        if (plan.kind == ReplayStep::Move) {
            CreateFolderOf(plan.to);
            if (PlainMove(plan.from, plan.to)) {
                plan.kind = ReplayStep::AlreadyDone;
            } else {
                const std::string why = std::strerror(errno);
                fail(plan.from,
                     UI_TEXT("Undo", "cannot be moved to %1: %2").arg(Quoted(plan.to)).arg(why));
            }
        }
        if (plan.kind == ReplayStep::AlreadyDone) {
            entry.state = settled;
            entry.identity = FileIdentity::Of(plan.to).value_or(entry.identity);
        } else if (plan.kind == ReplayStep::NeverMoved || plan.kind == ReplayStep::Lost) {
            entry.state = EntryState::Gone;
        }
        if (plan.kind == ReplayStep::Lost || plan.kind == ReplayStep::Refused)
            fail(plan.from, plan.reason);
        if (m_journal && entry.state != pending)
            m_journal->recordReplayed(index, entry);
        if (!CallStep(step))
            break;
    }
    if (m_journal && (back ? pendingUndo() : pendingRedo()) == 0)
        back ? m_journal->recordUndone() : m_journal->recordRedone();
    return errors;
}

std::vector<ReplayStep> CUndoGroup::planBack() const {
    // The folder as the plan leaves it: paths moved away from and moved to so far.
    std::map<std::string, std::optional<FileIdentity>> changed;
    const Lookup look = [&changed](const std::string& path) {
        const auto it = changed.find(path);
        return it != changed.end() ? it->second : FileIdentity::Of(path);
    };
    std::vector<ReplayStep> plan;
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) {
        if (it->state != EntryState::Applied)
            continue;
        plan.push_back(DecideStep(*it, true, look));
        if (plan.back().kind == ReplayStep::Move) {
            changed[plan.back().to] = look(plan.back().from);
            changed[plan.back().from] = std::nullopt;
        }
    }
    return plan;
}

void CUndoHistory::push(std::unique_ptr<CUndoGroup> group) {
    if (!group)
        return;
    m_groups.erase(m_groups.begin(), m_groups.begin() + static_cast<ptrdiff_t>(m_cursor));
    if (!m_groups.empty())
        m_groups.front()->forgetUndone();
    group->finish();
    m_groups.push_front(std::move(group));
    m_cursor = 0;
}

CUndoGroup* CUndoHistory::nextUndo() const {
    return canUndo() ? m_groups[m_cursor].get() : nullptr;
}

CUndoGroup* CUndoHistory::nextRedo() const {
    // A group partly undone (or partly redone) is finished first.
    if (m_cursor < m_groups.size() && m_groups[m_cursor]->pendingRedo() > 0)
        return m_groups[m_cursor].get();
    return m_cursor > 0 ? m_groups[m_cursor - 1].get() : nullptr;
}

CUndoGroup* CUndoHistory::groupWithJournal(const std::string& path) const {
    for (const auto& group : m_groups) {
        if (group->journal() && group->journal()->path() == path)
            return group.get();
    }
    return nullptr;
}

int CUndoHistory::undo(const UndoStep& step, int count, CFailureList* failures) {
    int errors = 0;
    for (int i = 0; i < count && m_cursor < m_groups.size(); ++i) {
        CUndoGroup& group = *m_groups[m_cursor];
        errors += group.moveBack(step, failures);
        if (group.pendingUndo() > 0)
            break;
        ++m_cursor;
    }
    return errors;
}

int CUndoHistory::redo(const UndoStep& step, int count, CFailureList* failures) {
    int errors = 0;
    for (int i = 0; i < count; ++i) {
        CUndoGroup* group = nextRedo();
        if (!group)
            break;
        errors += group->moveForward(step, failures);
        const bool inFront = m_cursor > 0 && group == m_groups[m_cursor - 1].get();
        // Back behind the cursor once anything of it is applied, or nothing is left.
        if (inFront && (group->pendingUndo() > 0 || group->pendingRedo() == 0))
            --m_cursor;
        if (group->pendingRedo() > 0)
            break;
    }
    return errors;
}

} // namespace tressel
