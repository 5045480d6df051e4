#include "file_commands.h"

#include "operations/feedback.h"
#include "operations/plain_move.h"
#include "operations/undo.h"
#include "platform/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tressel {

namespace fs = std::filesystem;

namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

QString FromBytes(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string ToBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// A trash keeps each file in its "files" folder with a ".trashinfo" beside in "info".
bool IsInTrashFolder(const QString& trashed) {
    const QFileInfo info(trashed);
    QDir files = info.absoluteDir();
    if (files.dirName() != "files")
        return false;
    QDir trash = files;
    return trash.cdUp() &&
           QFileInfo(trash.filePath("info/" + info.fileName() + ".trashinfo")).isFile();
}

std::string LastName(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string InFolder(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

// Whether folder is the source folder itself or lies below it.
bool IsWithin(const std::string& folder, const std::string& source) {
    std::error_code ec;
    const std::string outer = fs::weakly_canonical(source, ec).string();
    const std::string inner = fs::weakly_canonical(folder, ec).string();
    return inner == outer || inner.rfind(outer + "/", 0) == 0;
}

// name[1].ext, name[2].ext, ...: the first name no entry has.
std::string FreeName(const std::string& target) {
    const PathParts parts = SplitPath(target);
    std::string candidate = target;
    for (int n = 1; Exists(candidate); ++n)
        candidate = parts.dir + parts.stem + "[" + std::to_string(n) + "]" + parts.ext;
    return candidate;
}

bool CopyEntry(const std::string& from, const std::string& to, UiText& reason) {
    std::error_code ec;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (!ec)
        return true;
    reason = ec.message();
    std::error_code ignored;
    fs::remove_all(to, ignored); // the target did not exist before: only our partial copy goes
    return false;
}

// Moves under the given name (no cleaning, no numbering), recorded for undo.
bool MoveEntry(const std::string& from, const std::string& to, CUndoGroup* group, UiText& reason) {
    if (group && !group->intend(from, to)) {
        reason = UI_TEXT("FileCommands", "the move could not be recorded for undo");
        return false;
    }
    if (PlainMove(from, to)) {
        if (group)
            group->add(to, from);
        return true;
    }
    reason = errno == EXDEV
                 ? UI_TEXT("FileCommands",
                           "a folder cannot be moved to another file system: copy it instead")
                 : UiText(std::strerror(errno));
    if (group)
        group->failed();
    return false;
}

} // namespace

bool EnsureHomeTrash(UiText& reason) {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty()) {
        reason = UI_TEXT("FileCommands", "no data folder to hold the trash");
        return false;
    }
    for (const char* part : {"/Trash/files", "/Trash/info"}) {
        if (!QDir().mkpath(data + part)) {
            reason = UI_TEXT("FileCommands", "cannot make the trash folder %1")
                         .arg(ToBytes(data + part));
            return false;
        }
    }
    return true;
}

bool MoveToTrash(const std::string& path, UiText& reason, std::string* trashedPath) {
    if (!Exists(path)) {
        reason = UI_TEXT("FileCommands", "not found");
        return false;
    }
    if (!EnsureHomeTrash(reason))
        return false;
    QFile file(FromBytes(path));
    if (!file.moveToTrash()) {
        reason = file.errorString().toStdString();
        return false;
    }
    const std::string trashed = ToBytes(file.fileName());
    if (!Exists(path) && Exists(trashed) && IsInTrashFolder(file.fileName())) {
        if (trashedPath)
            *trashedPath = trashed;
        return true;
    }
    reason = UI_TEXT("FileCommands", "the trash did not take it");
    if (!Exists(path) && Exists(trashed) && !PlainMove(trashed, path))
        reason = UI_TEXT("FileCommands", "the trash did not take it; it is now at %1").arg(trashed);
    return false;
}

bool DeletePermanently(const std::string& path, UiText& reason) {
    std::error_code ec;
    // remove_all removes a symbolic link itself and never descends through one.
    if (fs::remove_all(path, ec) > 0 && !ec)
        return true;
    reason = ec ? UiText(ec.message()) : UI_TEXT("FileCommands", "not found");
    return false;
}

int RemoveEmptyDirectories(const std::vector<std::string>& paths) {
    int removed = 0;
    for (const std::string& path : paths) {
        struct stat st;
        if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::rmdir(path.c_str()) == 0)
            ++removed;
    }
    return removed;
}

UiText DirsDeletedText(int count) {
    return UI_TEXT("FileCommands", "%1 Dir(s) deleted").arg(count);
}

void RememberTargetFolder(QStringList& history, const QString& path, int capacity) {
    history.removeAll(path);
    history.prepend(path);
    while (history.size() > capacity)
        history.removeLast();
}

TransferResult TransferItems(const std::vector<std::string>& sources,
                             const TransferRequest& request) {
    TransferResult result;
    if (request.progress)
        request.progress->start(sources.size());
    for (const std::string& source : sources) {
        if (request.cancel && request.cancel->cancelRequested()) {
            result.cancelled = true;
            break;
        }
        std::string target = InFolder(request.targetFolder, LastName(source));
        UiText reason;
        bool ok = false;
        if (IsWithin(request.targetFolder, source)) {
            reason = UI_TEXT("FileCommands", "a folder cannot go into itself");
        } else if (Exists(target) && NamesSameEntry(target, source)) {
            // Already in that folder: a copy becomes a second file, a move has nothing to do.
            if (request.move)
                reason = UI_TEXT("FileCommands", "already in that folder");
            else
                ok = CopyEntry(source, FreeName(target), reason);
        } else {
            const ExistingTarget answer = !Exists(target) ? ExistingTarget::Replace
                                          : request.ask   ? request.ask(target)
                                                          : ExistingTarget::Skip;
            if (answer == ExistingTarget::Cancel) {
                result.cancelled = true;
                break;
            }
            if (answer == ExistingTarget::Skip) {
                ++result.skipped;
                if (request.progress)
                    request.progress->step();
                continue;
            }
            if (answer == ExistingTarget::KeepBoth)
                target = FreeName(target);
            UiText why;
            if (Exists(target) && !MoveToTrash(target, why, nullptr)) {
                reason = UI_TEXT("FileCommands", "the existing %1 could not go to the trash: %2")
                             .arg(target)
                             .arg(why);
            } else {
                ok = request.move ? MoveEntry(source, target, request.group, reason)
                                  : CopyEntry(source, target, reason);
            }
        }
        if (ok)
            ++result.done;
        else
            result.failures.add(source, reason);
        if (request.progress)
            request.progress->step();
    }
    return result;
}

} // namespace tressel
