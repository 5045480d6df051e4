#pragma once

// Where the title watch learns which window is in front and what its title says.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tressel {

struct ForegroundWindow {
    uint64_t id = 0;   // the window system's identifier, comparable with QWidget::winId()
    std::string title; // UTF-8, as the window names itself
};

class IForegroundWindow {
public:
    virtual ~IForegroundWindow() = default;
    // The window in front now; nullopt when none is known.
    virtual std::optional<ForegroundWindow> foreground() = 0;
};

// The desktop's own source: X11's active window and its EWMH name. Null when the
// program does not run on X11, where no other program's title can be read.
std::unique_ptr<IForegroundWindow> MakeDesktopForegroundWindow();

} // namespace tressel
