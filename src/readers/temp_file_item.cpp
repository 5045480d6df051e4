#include "temp_file_item.h"

#include "platform/paths.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace tressel {

namespace {

// mkdtemp picks an unpredictable name and creates the directory private to us, so no
// other user can plant or read anything in it.
std::string MakeScratchDirectory() {
    const char* base = std::getenv("TMPDIR");
    std::string templ = JoinPath(base && *base ? base : "/tmp", "tmpXXXXXX");
    if (!::mkdtemp(templ.data()))
        return {};
    return templ;
}

} // namespace

CTempFileItem::CTempFileItem() : CFileReader(MakeScratchDirectory()) {}

CTempFileItem::~CTempFileItem() {
    if (m_path.empty())
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

} // namespace tressel
