#include "group_files.h"

#include "feedback.h"
#include "move_item.h"
#include "plain_move.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "undo.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <map>
#include <set>
#include <sys/stat.h>

namespace tressel {

namespace {

// A folder of its own: a symbolic link to a folder elsewhere would take the files out
// of the folder, where its undo journal may not follow them.
bool IsRealDirectory(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool EntryExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// The sub-folders of a folder by their case-folded names, each with its spellings in
// byte order; folders the run creates join them, so that a dry run sees what a real
// run would.
class CSubFolders {
public:
    explicit CSubFolders(const std::string& folder) {
        DIR* dir = ::opendir(folder.c_str());
        if (!dir)
            return;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            const bool maybeDir = entry->d_type == DT_DIR || entry->d_type == DT_UNKNOWN;
            if (maybeDir && IsRealDirectory(folder + name))
                add(name);
        }
        ::closedir(dir);
    }

    // The existing folder for key: spelled as key, or else the first whose name
    // matches it without regard to case; empty when there is none.
    std::string find(const std::string& key) const {
        const auto it = m_folders.find(ToLowerAscii(key));
        if (it == m_folders.end())
            return {};
        return it->second.count(key) ? key : *it->second.begin();
    }
    void add(const std::string& name) { m_folders[ToLowerAscii(name)].insert(name); }

private:
    std::map<std::string, std::set<std::string>> m_folders;
};

// The folder name a key gives in folder: cleaned and cut to the file system's length.
std::string FolderNameOf(std::string key, size_t nameLimit) {
    CleanFolderName(key);
    return key.empty() ? key : FitFileName(key, "", "", nameLimit);
}

class CGrouping {
public:
    CGrouping(const std::string& folder, CUndoGroup* group, const GroupOptions& options)
        : m_folder(WithTrailingSlash(folder)), m_subFolders(m_folder), m_group(group),
          m_options(options) {}

    GroupResult groupByKey(const std::vector<GroupItem>& items) {
        // Keys equal but for letter case make one group, its files in row order.
        struct Group {
            std::string firstKey;
            std::vector<const std::string*> names;
        };
        std::map<std::string, Group> groups;
        size_t entries = 0;
        const size_t limit = FileNameLimit(m_folder);
        for (const GroupItem& item : items) {
            const std::string key = FolderNameOf(item.key, limit);
            if (key.empty())
                continue;
            Group& group = groups[ToLowerAscii(key)];
            if (group.names.empty())
                group.firstKey = key;
            group.names.push_back(&item.name);
            ++entries;
        }
        start(entries);
        for (const auto& [folded, group] : groups) {
            if (finished())
                break;
            std::string folderName = m_subFolders.find(group.firstKey);
            if (folderName.empty() && group.names.size() < 2) {
                step(); // a lone file whose folder does not exist stays
                continue;
            }
            if (folderName.empty())
                folderName = group.firstKey;
            for (const std::string* name : group.names) {
                if (finished())
                    break;
                moveInto(folderName, *name);
                step();
            }
        }
        return end();
    }

    GroupResult groupInto(const std::vector<std::string>& names, const std::string& text) {
        const std::string key = FolderNameOf(text, FileNameLimit(m_folder));
        std::string folderName = m_subFolders.find(key);
        if (folderName.empty())
            folderName = key;
        start(names.size());
        for (const std::string& name : names) {
            if (key.empty() || finished())
                break;
            moveInto(folderName, name);
            step();
        }
        return end();
    }

private:
    void start(size_t count) {
        if (m_options.progress)
            m_options.progress->start(count);
    }
    void step() {
        if (m_options.progress)
            m_options.progress->step();
    }

    bool finished() {
        if (!m_result.cancelled && m_options.cancel && m_options.cancel->cancelRequested())
            m_result.cancelled = true;
        if (m_result.stopped.empty() && m_group && !m_group->canRecord())
            m_result.stopped = m_group->journalError(); // no move without a record of it
        return m_result.cancelled || !m_result.stopped.empty();
    }

    void moveInto(const std::string& folderName, const std::string& name) {
        const std::string source = m_folder + name;
        const std::string folder = m_folder + folderName;
        if (EntryExists(folder) && !IsRealDirectory(folder))
            return failed(name, folderName + " is not a folder");
        std::string target = folder + "/" + name;
        errno = 0;
        const bool moved =
            m_options.move ? m_options.move(source, target) : MoveItem(source, target, m_group);
        if (!moved && m_group && !m_group->canRecord()) {
            m_result.stopped = m_group->journalError();
            return;
        }
        if (!moved)
            return failed(name, errno ? std::strerror(errno) : "could not be moved");
        m_subFolders.add(folderName);
        ++m_result.done;
        if (m_options.onMove)
            m_options.onMove(name, folderName + "/" + BaseName(target));
    }

    void failed(const std::string& name, const std::string& reason) {
        ++m_result.errors;
        m_result.failures.add(m_folder + name, reason);
        if (m_options.onError)
            m_options.onError(name);
    }

    GroupResult end() {
        if (m_group && m_result.stopped.empty() && !m_group->finish())
            m_result.stopped = m_group->journalError();
        return std::move(m_result);
    }

    std::string m_folder;
    CSubFolders m_subFolders;
    CUndoGroup* m_group;
    const GroupOptions& m_options;
    GroupResult m_result;
};

} // namespace

void CleanFolderName(std::string& name) {
    SanitiseName(name);
}

GroupResult GroupFiles(const std::string& folder, const std::vector<GroupItem>& items,
                       CUndoGroup* group, const GroupOptions& options) {
    if (folder.empty())
        return {}; // no folder is open
    return CGrouping(folder, group, options).groupByKey(items);
}

bool ShouldGroupInto(const std::string& folder, const std::string& text, size_t selectedRows) {
    if (text.empty() || folder.empty())
        return false;
    if (selectedRows >= 2)
        return true;
    // The folder the files would go to: the cleaned text, found without regard to case.
    const std::string dir = WithTrailingSlash(folder);
    return !CSubFolders(dir).find(FolderNameOf(text, FileNameLimit(dir))).empty();
}

GroupResult GroupIntoFolder(const std::string& folder, const std::vector<std::string>& names,
                            const std::string& text, CUndoGroup* group,
                            const GroupOptions& options) {
    if (folder.empty() || text.empty())
        return {};
    return CGrouping(folder, group, options).groupInto(names, text);
}

UiText GroupSubject(const GroupResult& result) {
    return result.errors > 0 ? UI_TEXT("Grouping", "Grouping files (%1 done)").arg(result.done)
                             : UI_TEXT("Grouping", "Grouped %1 File(s)").arg(result.done);
}

UiText GroupStatus(const GroupResult& result) {
    UiText status = ReportText(GroupSubject(result), result.errors);
    if (!result.stopped.empty())
        return ThenSentence(std::move(status), JournalStopText(result.stopped));
    return status;
}

} // namespace tressel
