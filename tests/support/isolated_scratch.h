#pragma once

// For tests of code that makes scratch files: points $TMPDIR at a private, empty folder
// for the life of the object, and says what was left in it.

#include "temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace tressel::test {

class IsolatedScratch {
public:
    IsolatedScratch() {
        if (const char* old = std::getenv("TMPDIR"))
            m_old = old;
        setenv("TMPDIR", m_outer.mkdir("tmp").c_str(), 1);
    }
    ~IsolatedScratch() {
        if (m_old)
            setenv("TMPDIR", m_old->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    IsolatedScratch(const IsolatedScratch&) = delete;
    IsolatedScratch& operator=(const IsolatedScratch&) = delete;

    // The files and links below the scratch folder or beside it: an escape shows as
    // either. Folders are not counted: the readers keep one per thread there.
    size_t entriesLeft() const {
        size_t count = 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_outer.path()))
            count += !entry.is_directory() || entry.is_symlink();
        return count;
    }

private:
    TempDir m_outer;
    std::optional<std::string> m_old;
};

} // namespace tressel::test
