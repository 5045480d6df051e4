#include "foreground_window.h"

#include <QGuiApplication>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <algorithm>
#include <cstdlib>

namespace tressel {

namespace {

// A window may name itself with any length; the list shows a line of it.
constexpr uint32_t kMaxTitleBytes = 4096;

class CX11ForegroundWindow : public IForegroundWindow {
public:
    static std::unique_ptr<CX11ForegroundWindow> Connect() {
        auto source = std::unique_ptr<CX11ForegroundWindow>(new CX11ForegroundWindow());
        return source->m_ready ? std::move(source) : nullptr;
    }

    ~CX11ForegroundWindow() override {
        if (m_ready)
            xcb_ewmh_connection_wipe(&m_ewmh);
        if (m_connection)
            xcb_disconnect(m_connection);
    }

    std::optional<ForegroundWindow> foreground() override {
        xcb_window_t active = XCB_WINDOW_NONE;
        if (!xcb_ewmh_get_active_window_reply(
                &m_ewmh, xcb_ewmh_get_active_window(&m_ewmh, m_screen), &active, nullptr) ||
            active == XCB_WINDOW_NONE)
            return std::nullopt;
        return ForegroundWindow{active, titleOf(active)};
    }

private:
    CX11ForegroundWindow() {
        m_connection = xcb_connect(nullptr, &m_screen);
        if (!m_connection || xcb_connection_has_error(m_connection))
            return;
        xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(m_connection, &m_ewmh);
        m_ready = cookies && xcb_ewmh_init_atoms_replies(&m_ewmh, cookies, nullptr);
    }

    // _NET_WM_NAME in UTF-8, or else the legacy WM_NAME (Latin-1).
    std::string titleOf(xcb_window_t window) {
        xcb_ewmh_get_utf8_strings_reply_t name;
        if (xcb_ewmh_get_wm_name_reply(&m_ewmh, xcb_ewmh_get_wm_name(&m_ewmh, window), &name,
                                       nullptr)) {
            std::string title(name.strings, std::min(name.strings_len, kMaxTitleBytes));
            xcb_ewmh_get_utf8_strings_reply_wipe(&name);
            return title;
        }
        xcb_get_property_reply_t* reply =
            xcb_get_property_reply(m_connection,
                                   xcb_get_property(m_connection, 0, window, XCB_ATOM_WM_NAME,
                                                    XCB_ATOM_STRING, 0, kMaxTitleBytes / 4),
                                   nullptr);
        if (!reply)
            return {};
        const auto* bytes = static_cast<const unsigned char*>(xcb_get_property_value(reply));
        const int length = std::max(0, xcb_get_property_value_length(reply));
        const QString latin1 =
            QString::fromLatin1(reinterpret_cast<const char*>(bytes), std::min(length, 4096));
        std::free(reply);
        return latin1.toStdString();
    }

    xcb_connection_t* m_connection = nullptr;
    int m_screen = 0;
    xcb_ewmh_connection_t m_ewmh{};
    bool m_ready = false;
};

} // namespace

std::unique_ptr<IForegroundWindow> MakeDesktopForegroundWindow() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    return CX11ForegroundWindow::Connect();
}

} // namespace tressel
