#include "temp_file_item.h"

#include "platform/paths.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tressel {

namespace {

std::string TemporaryDirectory() {
    const char* base = std::getenv("TMPDIR");
    return base && *base ? base : "/tmp";
}

// mkdtemp picks an unpredictable name and creates the directory private to us, so no
// other user can plant or read anything in it.
std::string MakeScratchDirectory() {
    std::string templ = JoinPath(TemporaryDirectory(), "tmpXXXXXX");
    if (!::mkdtemp(templ.data()))
        return {};
    return templ;
}

bool IsOurDirectory(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

struct ThreadScratch {
    std::optional<CTempFileItem> item;
    std::string base; // the temporary directory it was made in
};

thread_local ThreadScratch t_scratch;

} // namespace

CTempFileItem::CTempFileItem() : CFileReader(MakeScratchDirectory()) {}

CTempFileItem::~CTempFileItem() {
    if (m_path.empty())
        return;
    // The title selection deletes each member once read, so the directory is most
    // often empty and one rmdir does it.
    if (::rmdir(m_path.c_str()) == 0)
        return;
    // remove_all removes symbolic links, never what they point to.
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string CTempFileItem::memberPath(std::string_view name) const {
    // Names from archives made on Windows separate folders with backslashes.
    const size_t separator = name.find_last_of("/\\");
    const std::string leaf(separator == std::string_view::npos ? name : name.substr(separator + 1));
    if (m_path.empty() || leaf.empty() || leaf == "." || leaf == "..")
        return {};
    return JoinPath(m_path, leaf);
}

int CTempFileItem::createMember(std::string_view name) const {
    const std::string target = memberPath(name);
    if (target.empty())
        return -1;
    return ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

const CTempFileItem& ThreadScratchDirectory() {
    ThreadScratch& scratch = t_scratch;
    const std::string base = TemporaryDirectory();
    // A cleaner of the temporary directory may have removed it while we ran.
    if (!scratch.item || scratch.item->path().empty() || scratch.base != base ||
        !IsOurDirectory(scratch.item->path())) {
        // Whatever took the name of a vanished directory is not ours to remove.
        if (scratch.item && !IsOurDirectory(scratch.item->path()))
            scratch.item->forget();
        scratch.item.emplace();
        scratch.base = base;
    }
    return *scratch.item;
}

} // namespace tressel
