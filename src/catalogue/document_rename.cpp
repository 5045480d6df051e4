#include "document.h"

#include "operations/move_item.h"
#include "platform/paths.h"

#include <filesystem>
#include <sys/stat.h>

namespace tressel {

namespace {

bool SameFolder(const std::string& a, const std::string& b) {
    const auto normal = [](const std::string& folder) {
        return WithTrailingSlash(std::filesystem::path(folder).lexically_normal().string());
    };
    return normal(a) == normal(b);
}

} // namespace

bool CMarlockUtilDoc::RenameItem(int record, const std::string& newPath, CUndoGroup* group,
                                 std::string* usedPath) {
    // A vacated record has no file; its "full path" would be the open folder itself.
    if (isVacated(record) || m_folder.empty() || newPath.empty())
        return false;
    const std::string source = GetItemName(record, NameMode::Parsing);
    std::string target =
        !newPath.empty() && newPath.front() == '/' ? newPath : JoinPath(m_folder, newPath);
    if (!MoveItem(source, target, group))
        return false;
    if (usedPath)
        *usedPath = target;
    const PathParts parts = SplitPath(target);
    struct stat st;
    if (SameFolder(parts.dir, m_folder) && ::lstat(target.c_str(), &st) == 0)
        replaceItemId(record, parts.fileName());
    return true;
}

} // namespace tressel
