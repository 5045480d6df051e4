#pragma once

// A dry run's moves: the name the move routine would give a file in its target folder,
// given the folders as they are and the names this run would already have taken.

#include <set>
#include <string>

namespace tressel::cli {

class CImaginedMoves {
public:
    // False where the real move would fail: the target's folder is taken by something
    // that is not a folder.
    bool move(const std::string& target, std::string& used);

private:
    std::set<std::string> m_taken;
};

} // namespace tressel::cli
