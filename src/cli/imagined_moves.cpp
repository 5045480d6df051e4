#include "imagined_moves.h"

#include "catalogue/rename_command.h"
#include "operations/move_item.h"
#include "operations/plain_move.h"
#include "platform/paths.h"

#include <cerrno>
#include <sys/stat.h>

namespace tressel::cli {

namespace {

bool EntryExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsNoFolder(const std::string& dir) {
    struct stat st;
    return !dir.empty() && ::stat(dir.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

} // namespace

bool CImaginedMoves::move(const std::string& target, std::string& used) {
    const PathParts parts = SplitPath(target);
    if (IsNoFolder(parts.dir)) {
        errno = ENOTDIR;
        return false;
    }
    std::string name = parts.fileName();
    SanitiseName(name);
    const PathParts cleaned = SplitPath(name);
    const size_t limit = FileNameLimit(parts.dir);
    name = FitFileName(cleaned.stem, "", cleaned.ext, limit);
    name = NumberClashingName(
        name,
        [&](const std::string& candidate) {
            return m_taken.count(parts.dir + candidate) > 0 || EntryExists(parts.dir + candidate);
        },
        limit);
    used = parts.dir + name;
    m_taken.insert(used);
    return true;
}

} // namespace tressel::cli
