#include "temp_dir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace tressel::test {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/tressel-test-XXXXXX";
    if (!mkdtemp(templ.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = templ + "/";
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests make folders read-only to provoke failures; give write access back first.
    for (auto it = fs::recursive_directory_iterator(m_path, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            ::chmod(it->path().c_str(), 0700);
    }
    ::chmod(m_path.c_str(), 0700);
    fs::remove_all(m_path, ec);
}

std::string TempDir::write(std::string_view name, std::string_view bytes) const {
    const std::string full = file(name);
    fs::create_directories(fs::path(full).parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + full);
    return full;
}

std::string TempDir::mkdir(std::string_view name) const {
    const std::string full = file(name);
    fs::create_directories(full);
    return full;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool PathExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::string SourcePath(std::string_view relative) {
    return std::string(TRESSEL_SOURCE_DIR) + "/" + std::string(relative);
}

std::string FolderSnapshot(const std::string& folder) {
    std::vector<std::string> lines;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_regular_file())
            lines.push_back(entry.path().filename().string() + "=" +
                            ReadWholeFile(entry.path().string()));
    }
    std::sort(lines.begin(), lines.end());
    std::string all;
    for (const auto& line : lines)
        all += line + ";";
    return all;
}

std::string TempDir::listing(bool recursive) const {
    std::vector<std::string> names;
    const auto add = [&](const std::filesystem::directory_entry& entry) {
        names.push_back(entry.path().string().substr(m_path.size()));
    };
    if (recursive) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_path))
            add(entry);
    } else {
        for (const auto& entry : std::filesystem::directory_iterator(m_path))
            add(entry);
    }
    std::sort(names.begin(), names.end());
    std::string all;
    for (const auto& name : names)
        all += name + ";";
    return all;
}

} // namespace tressel::test
