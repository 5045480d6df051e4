#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tressel::test {

// A private scratch folder that is removed, with everything in it, when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's path, with a trailing slash.
    const std::string& path() const { return m_path; }
    std::string file(std::string_view name) const { return m_path + std::string(name); }

    // Writes a file (creating parent folders) and returns its full path.
    std::string write(std::string_view name, std::string_view bytes) const;
    std::string mkdir(std::string_view name) const;
    // The entries' paths relative to the folder, sorted, each followed by ";"; with
    // recursive, those inside sub-folders too.
    std::string listing(bool recursive = false) const;

private:
    std::string m_path;
};

std::string ReadWholeFile(const std::string& path);
// Every regular file of a folder as "name=content;", in name order.
std::string FolderSnapshot(const std::string& folder);
bool PathExists(const std::string& path);
// Path of a file under the source tree, e.g. SourcePath("samples/x").
std::string SourcePath(std::string_view relative);

} // namespace tressel::test
