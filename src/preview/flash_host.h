#pragma once

// The host of a Flash movie player laid over the preview pane. No player exists for
// this system, so the host accepts no file; a player that can load a movie, report its
// frame count and current frame, play, stop and seek would be created here, over the
// pane less the slider below it.

#include "platform/text.h"

#include <string>
#include <string_view>

namespace tressel {

class CFlashHost {
public:
    // Whether a movie player exists to take a file.
    static constexpr bool kPlayerAvailable = false;

    // Whether the host took the file: a usable host, a ".swf" name, a player.
    bool accepts(std::string_view path) const {
        return m_usable && kPlayerAvailable && path.size() >= 4 &&
               EqualsNoCase(path.substr(path.size() - 4), ".swf");
    }
    // Stops a movie and releases the player; nothing runs without one.
    void hide() {}

private:
    bool m_usable = true;
};

} // namespace tressel
