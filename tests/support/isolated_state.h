#pragma once

// For tests that move files with a journal: points $XDG_STATE_HOME (where undo
// journals live) at a private, empty folder for the life of the object.

#include "temp_dir.h"

#include <cstdlib>
#include <optional>
#include <string>

namespace tressel::test {

class IsolatedState {
public:
    IsolatedState() {
        if (const char* old = std::getenv("XDG_STATE_HOME"))
            m_old = old;
        setenv("XDG_STATE_HOME", m_home.path().c_str(), 1);
    }
    ~IsolatedState() {
        if (m_old)
            setenv("XDG_STATE_HOME", m_old->c_str(), 1);
        else
            unsetenv("XDG_STATE_HOME");
    }
    IsolatedState(const IsolatedState&) = delete;
    IsolatedState& operator=(const IsolatedState&) = delete;

private:
    TempDir m_home;
    std::optional<std::string> m_old;
};

} // namespace tressel::test
