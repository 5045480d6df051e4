#include "temp_file_item.h"

#include "platform/paths.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

// The threads' directories, removed at exit when empty: the window's reading threads
// are detached, and a thread still running when the process ends never removes its own.
std::mutex g_liveMutex;
std::vector<std::string>& LiveDirectories() {
    static auto* directories = new std::vector<std::string>; // outlives every exit handler
    return *directories;
}

void RemoveLiveDirectories() {
    std::lock_guard lock(g_liveMutex);
    for (const std::string& directory : LiveDirectories())
        ::rmdir(directory.c_str()); // one still in use is not empty and stays
}

void NoteLive(const std::string& directory) {
    static std::once_flag registered;
    std::call_once(registered, [] { std::atexit(RemoveLiveDirectories); });
    std::lock_guard lock(g_liveMutex);
    LiveDirectories().push_back(directory);
}

void NoteGone(const std::string& directory) {
    std::lock_guard lock(g_liveMutex);
    std::erase(LiveDirectories(), directory);
}

class ThreadScratch {
public:
    ~ThreadScratch() { drop(); }

    const CTempFileItem& current() {
        const std::string base = TemporaryDirectory();
        // A cleaner of the temporary directory may have removed it while we ran.
        if (!m_item || m_item->path().empty() || m_base != base ||
            !IsOurDirectory(m_item->path())) {
            // Whatever took the name of a vanished directory is not ours to remove.
            if (m_item && !IsOurDirectory(m_item->path()))
                m_item->forget();
            drop();
            m_item.emplace();
            m_base = base;
            if (!m_item->path().empty())
                NoteLive(m_item->path());
        }
        return *m_item;
    }

private:
    void drop() {
        if (!m_item)
            return;
        NoteGone(m_item->path());
        m_item.reset();
    }

    std::optional<CTempFileItem> m_item;
    std::string m_base; // the temporary directory it was made in
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
    return t_scratch.current();
}

} // namespace tressel
