#include "remove_duplicates.h"

#include "duplicate_finder.h"
#include "feedback.h"
#include "move_item.h"
#include "platform/paths.h"
#include "undo.h"

#include <map>
#include <set>
#include <sys/stat.h>

namespace tressel {

namespace {

// What a file was when the run listed it; a file that no longer matches has changed.
struct Snapshot {
    ExpectedFile identity;
    int64_t modified = 0; // nanoseconds
    int64_t changed = 0;

    bool operator==(const Snapshot&) const = default;
};

struct Candidate {
    std::string name;
    std::string path;
    Snapshot snapshot;
};

int64_t Nanoseconds(const timespec& time) {
    return static_cast<int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

// The entry's snapshot when it is a non-empty regular file (never through a link).
std::optional<Snapshot> TakeSnapshot(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    Snapshot snapshot;
    snapshot.identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                         static_cast<uint64_t>(st.st_size)};
    snapshot.modified = Nanoseconds(st.st_mtim);
    snapshot.changed = Nanoseconds(st.st_ctim);
    return snapshot;
}

bool Unchanged(const Candidate& file) {
    const std::optional<Snapshot> now = TakeSnapshot(file.path);
    return now && *now == file.snapshot;
}

class DuplicateRemoval {
public:
    DuplicateRemoval(const std::string& folder, CUndoGroup* group,
                     const RemoveDuplicatesOptions& options)
        : m_folder(WithTrailingSlash(folder)), m_group(group), m_options(options) {}

    RemoveDuplicatesResult run(const std::vector<std::string>& names) {
        const std::multimap<uint64_t, Candidate> sizeIndex = indexBySize(names);
        if (m_options.progress)
            m_options.progress->start(sizeIndex.size());
        for (auto it = sizeIndex.begin();
             it != sizeIndex.end() && !m_result.cancelled && m_result.stopped.empty();) {
            const auto end = sizeIndex.upper_bound(it->first);
            std::vector<const Candidate*> sameSize;
            for (; it != end; ++it) {
                sameSize.push_back(&it->second);
                stepAndCheck();
            }
            if (sameSize.size() >= 2)
                removeCopiesAmong(sameSize);
        }
        if (m_group && m_result.stopped.empty() && !m_group->finish())
            m_result.stopped = m_group->journalError();
        return m_result;
    }

private:
    // The files that take part, by size; one name per file (the first of its links).
    std::multimap<uint64_t, Candidate> indexBySize(const std::vector<std::string>& names) {
        std::multimap<uint64_t, Candidate> index;
        std::set<std::pair<uint64_t, uint64_t>> seen;
        for (const std::string& name : names) {
            Candidate file{name, m_folder + name, {}};
            const std::optional<Snapshot> snapshot = TakeSnapshot(file.path);
            if (!snapshot || snapshot->identity.size == 0)
                continue;
            if (!seen.insert({snapshot->identity.device, snapshot->identity.inode}).second)
                continue;
            file.snapshot = *snapshot;
            index.emplace(snapshot->identity.size, std::move(file));
        }
        return index;
    }

    void stepAndCheck() {
        if (m_options.progress)
            m_options.progress->step();
        // Cancelling takes effect once the current size is done.
        if (m_options.cancel && m_options.cancel->cancelRequested())
            m_result.cancelled = true;
    }

    void trouble(const Candidate& file, DuplicateTrouble what) {
        if (what != DuplicateTrouble::Unreadable) {
            ++m_result.errors;
            m_result.failures.add(file.path, DuplicateTroubleText(what));
        }
        if (m_options.onTrouble)
            m_options.onTrouble(file.name, what);
    }

    void removeCopiesAmong(const std::vector<const Candidate*>& sameSize) {
        std::map<std::string, const Candidate*> byPath;
        std::vector<std::string> paths;
        for (const Candidate* file : sameSize) {
            byPath.emplace(file->path, file);
            paths.push_back(file->path);
        }
        CDuplicateFinder finder(std::move(paths), sameSize.front()->snapshot.identity.size);
        const std::multimap<uint32_t, std::string>& sets = finder.run();
        for (const CDuplicateFinder::Trouble& t : finder.troubles()) {
            const Candidate& file = *byPath.at(t.path);
            // A file that cannot be opened because it vanished or was replaced changed.
            const bool unreadable =
                t.problem == CDuplicateFinder::Problem::Unreadable && Unchanged(file);
            trouble(file, unreadable ? DuplicateTrouble::Unreadable : DuplicateTrouble::Changed);
        }
        for (auto it = sets.begin(); it != sets.end();) {
            const auto end = sets.upper_bound(it->first);
            std::vector<const Candidate*> sameChecksum;
            for (; it != end; ++it)
                sameChecksum.push_back(byPath.at(it->second));
            if (sameChecksum.size() >= 2)
                removeConfirmedCopies(sameChecksum);
        }
    }

    // Equal checksums make candidates; only equal bytes make copies. Files that differ
    // from the first (a checksum collision) are sorted out among themselves again.
    void removeConfirmedCopies(std::vector<const Candidate*> files) {
        while (files.size() >= 2 && m_result.stopped.empty()) {
            const Candidate& kept = *files.front();
            std::vector<const Candidate*> different;
            bool keptChanged = false;
            for (size_t i = 1; i < files.size(); ++i) {
                const Candidate& copy = *files[i];
                if (keptChanged || !m_result.stopped.empty()) {
                    different.push_back(&copy);
                    continue;
                }
                const std::optional<bool> same =
                    SameBytes(kept.path, kept.snapshot.identity, copy.path, copy.snapshot.identity);
                if (same && !*same) {
                    different.push_back(&copy);
                } else if (!Unchanged(kept)) {
                    keptChanged = true;
                    trouble(kept, DuplicateTrouble::Changed);
                    different.push_back(&copy);
                } else if (!same || !Unchanged(copy)) {
                    trouble(copy, DuplicateTrouble::Changed);
                } else {
                    moveCopy(copy, kept);
                }
            }
            files = std::move(different);
        }
    }

    void moveCopy(const Candidate& copy, const Candidate& kept) {
        if (m_group && !m_group->canRecord()) {
            m_result.stopped = m_group->journalError();
            return; // no move without a record of it
        }
        std::string target = m_folder + kDuplicatesFolder + "/" + copy.name;
        const bool moved = m_options.move ? m_options.move(copy.path, target)
                                          : MoveItem(copy.path, target, m_group);
        if (!moved && m_group && !m_group->canRecord()) {
            m_result.stopped = m_group->journalError();
            return;
        }
        if (!moved) {
            trouble(copy, DuplicateTrouble::MoveFailed);
            return;
        }
        ++m_result.removed;
        if (m_options.onMove)
            m_options.onMove(copy.name, std::string(kDuplicatesFolder) + "/" + BaseName(target),
                             kept.name);
    }

    std::string m_folder;
    CUndoGroup* m_group;
    const RemoveDuplicatesOptions& m_options;
    RemoveDuplicatesResult m_result;
};

} // namespace

RemoveDuplicatesResult RemoveDuplicates(const std::string& folder,
                                        const std::vector<std::string>& names, CUndoGroup* group,
                                        const RemoveDuplicatesOptions& options) {
    if (folder.empty())
        return {}; // no folder is open
    return DuplicateRemoval(folder, group, options).run(names);
}

UiText RemovedDupsText(int removed) {
    return UI_TEXT("Duplicates", "%1 dups Removed").arg(removed);
}

UiText RemovalSubject(int removed) {
    return UI_TEXT("Duplicates", "remove (%1)").arg(RemovedDupsText(removed));
}

UiText RemoveDuplicatesStatus(const RemoveDuplicatesResult& result) {
    UiText status = result.errors > 0 ? ReportText(RemovalSubject(result.removed), result.errors)
                                      : RemovedDupsText(result.removed);
    if (!result.stopped.empty())
        return ThenSentence(std::move(status), JournalStopText(result.stopped));
    return status;
}

UiText DuplicateTroubleText(DuplicateTrouble trouble) {
    switch (trouble) {
    case DuplicateTrouble::Unreadable:
        return UI_TEXT("Duplicates", "could not be read; left alone");
    case DuplicateTrouble::Changed:
        return UI_TEXT("Duplicates", "changed or vanished while it was compared; left alone");
    case DuplicateTrouble::MoveFailed:
        return UI_TEXT("Duplicates", "could not be moved");
    }
    return {};
}

} // namespace tressel
