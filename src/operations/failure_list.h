#pragma once

// The files a command could not handle, each with the reason, in the order they came
// up. The command-line tool prints one line per file; the window keeps the list behind
// its report line for the user to open.

#include "platform/ui_text.h"

#include <string>
#include <vector>

namespace tressel {

struct Failure {
    std::string path;
    UiText reason;
};

class CFailureList {
public:
    void add(std::string path, UiText reason) {
        m_items.push_back({std::move(path), std::move(reason)});
    }
    const std::vector<Failure>& items() const { return m_items; }
    int count() const { return static_cast<int>(m_items.size()); }
    bool empty() const { return m_items.empty(); }

private:
    std::vector<Failure> m_items;
};

// "path: reason", in English.
inline std::string FailureLine(const Failure& failure) {
    return failure.path + ": " + failure.reason.english();
}

} // namespace tressel
