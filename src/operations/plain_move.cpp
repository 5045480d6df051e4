#include "plain_move.h"

#include "platform/paths.h"
#include "platform/text.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace tressel {

namespace {

constexpr size_t kCopyChunk = 1 << 20;
// A symbolic link's text is a path; anything longer is not a link we re-create.
constexpr size_t kMaxLinkText = 1 << 16;
constexpr int kTemporaryNameTries = 100;

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now and reports the error a late write-back may surface.
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool SameEntry(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL)
        return false;
    // A file system without RENAME_NOREPLACE: a check, then a plain rename. Only the
    // moment between the two is unprotected.
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool CopyContent(int in, int out) {
    std::unique_ptr<char[]> buffer(new char[kCopyChunk]);
    for (;;) {
        const ssize_t got = ::read(in, buffer.get(), kCopyChunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (!WriteAll(out, buffer.get(), static_cast<size_t>(got)))
            return false;
    }
}

// Owner (where we may set it), mode and times of the source, then the data on disk.
bool FinishCopy(int out, const struct stat& source) {
    if (::geteuid() == 0)
        (void)::fchown(out, source.st_uid, source.st_gid); // best effort
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    return ::fchmod(out, source.st_mode & 07777) == 0 && ::futimens(out, times) == 0 &&
           ::fsync(out) == 0;
}

// A file written to while it was copied would lose the new bytes when the source goes.
bool SourceUnchanged(int in, const struct stat& before) {
    struct stat after;
    if (::fstat(in, &after) != 0)
        return false;
    if (after.st_size != before.st_size || after.st_mtim.tv_sec != before.st_mtim.tv_sec ||
        after.st_mtim.tv_nsec != before.st_mtim.tv_nsec) {
        errno = EAGAIN;
        return false;
    }
    return true;
}

// Copies a regular file to a new file at `to`; a failure removes what was written.
bool CopyRegularFile(const std::string& from, const std::string& to, const struct stat& seen) {
    Fd in(::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (!in.valid() || ::fstat(in.get(), &st) != 0)
        return false;
    if (!S_ISREG(st.st_mode) || !SameEntry(st, seen)) {
        errno = EAGAIN; // replaced under us: leave both alone
        return false;
    }
    Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.valid())
        return false;
    if (CopyContent(in.get(), out.get()) && SourceUnchanged(in.get(), st) &&
        FinishCopy(out.get(), st) && out.close())
        return true;
    const int error = errno;
    out.close();
    ::unlink(to.c_str());
    errno = error;
    return false;
}

bool CopySymbolicLink(const std::string& from, const std::string& to, const struct stat& seen) {
    const size_t capacity =
        seen.st_size > 0 ? std::min<size_t>(static_cast<size_t>(seen.st_size) + 1, kMaxLinkText)
                         : PATH_MAX;
    std::string text(capacity, '\0');
    const ssize_t length = ::readlink(from.c_str(), text.data(), text.size());
    if (length < 0)
        return false;
    if (static_cast<size_t>(length) >= text.size()) {
        errno = ENAMETOOLONG; // grew since we looked, or longer than we handle
        return false;
    }
    text.resize(static_cast<size_t>(length));
    if (::symlink(text.c_str(), to.c_str()) != 0)
        return false;
    if (::geteuid() == 0)
        (void)::lchown(to.c_str(), seen.st_uid, seen.st_gid); // best effort
    const struct timespec times[2] = {seen.st_atim, seen.st_mtim};
    (void)::utimensat(AT_FDCWD, to.c_str(), times, AT_SYMLINK_NOFOLLOW); // best effort
    return true;
}

bool MoveAcrossFileSystems(const std::string& from, const std::string& to) {
    struct stat st;
    if (::lstat(from.c_str(), &st) != 0)
        return false;
    bool copied = false;
    if (S_ISREG(st.st_mode))
        copied = CopyRegularFile(from, to, st);
    else if (S_ISLNK(st.st_mode))
        copied = CopySymbolicLink(from, to, st);
    else
        errno = EXDEV; // folders and special files do not cross file systems
    if (!copied)
        return false;
    if (::unlink(from.c_str()) == 0)
        return true;
    // The source cannot go: undo the copy so that exactly one of the two remains.
    const int error = errno;
    ::unlink(to.c_str());
    errno = error;
    return false;
}

bool DiffersOnlyInCase(const std::string& from, const std::string& to) {
    if (from == to || !EqualsNoCase(from, to))
        return false;
    struct stat a, b;
    return ::lstat(from.c_str(), &a) == 0 && ::lstat(to.c_str(), &b) == 0 && SameEntry(a, b);
}

size_t Utf8BoundaryAtOrBefore(std::string_view text, size_t cut) {
    // A character starts at most three bytes before any byte of it.
    for (size_t back = 0; back < 4 && cut > back; ++back) {
        const auto c = static_cast<unsigned char>(text[cut - back]);
        if ((c & 0xC0) != 0x80)
            return cut - back;
    }
    return cut;
}

std::string_view CutAtCharacter(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes)
        return text;
    return text.substr(0, Utf8BoundaryAtOrBefore(text, maxBytes));
}

} // namespace

bool RenameViaTemporaryName(const std::string& from, const std::string& to) {
    const std::string folder = SplitPath(from).dir;
    std::string temporary;
    for (int attempt = 0;; ++attempt) {
        if (attempt == kTemporaryNameTries)
            return false;
        temporary =
            folder + ".tressel-case-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        if (RenameNoReplace(from, temporary))
            break;
        if (errno != EEXIST)
            return false;
    }
    if (RenameNoReplace(temporary, to))
        return true;
    const int error = errno;
    RenameNoReplace(temporary, from);
    errno = error;
    return false;
}

bool PlainMove(const std::string& from, const std::string& to) {
    if (from == to) {
        struct stat st;
        return ::lstat(from.c_str(), &st) == 0;
    }
    if (RenameNoReplace(from, to))
        return true;
    if (errno == EXDEV)
        return MoveAcrossFileSystems(from, to);
    if (errno == EEXIST && DiffersOnlyInCase(from, to))
        return RenameViaTemporaryName(from, to);
    return false;
}

bool NamesSameEntry(const std::string& path, const std::string& entry) {
    struct stat first, second;
    return EqualsNoCase(path, entry) && ::lstat(path.c_str(), &first) == 0 &&
           ::lstat(entry.c_str(), &second) == 0 && SameEntry(first, second);
}

size_t FileNameLimit(const std::string& folder) {
    const long limit = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<size_t>(limit) : NAME_MAX;
}

std::string FitFileName(std::string_view stem, std::string_view suffix, std::string_view ext,
                        size_t limit) {
    std::string name;
    if (stem.size() + suffix.size() + ext.size() <= limit || suffix.size() >= limit) {
        name.append(stem).append(suffix).append(ext);
        return name;
    }
    if (suffix.size() + ext.size() < limit) {
        name.append(CutAtCharacter(stem, limit - suffix.size() - ext.size()));
        name.append(suffix).append(ext);
        return name;
    }
    name.append(suffix).append(CutAtCharacter(ext, limit - suffix.size()));
    return name;
}

} // namespace tressel
