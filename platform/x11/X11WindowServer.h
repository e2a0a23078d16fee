// The window server on X11: EWMH desktops as the desktop table (one display carrying every
// desktop, named after the primary monitor; see X11Screens.h), _NET_WM_DESKTOP for a window's
// desktops, and _NET_CLIENT_LIST_STACKING as the window list. A call resting on a hint the window
// manager does not list in _NET_SUPPORTED is unavailable.
#pragma once

#include "X11Connection.h"
#include "X11Screens.h"
#include "platform/WindowServer.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvel::x11 {

// Window-list layers: only ordinary application windows are 0, as the core expects; the desktop
// window and docks are the desktop elements.
namespace layers {
inline constexpr int desktop = -1;
inline constexpr int normal = 0;
inline constexpr int floating = 3; // dialogs, utilities, toolbars, splash screens
// Normal windows on every desktop, out of the taskbar, or kept above or below the others: never
// a desktop's own windows.
inline constexpr int aside = 4;
inline constexpr int dock = 20;
inline constexpr int popup = 101;  // menus, tooltips, notifications
} // namespace layers

class X11WindowServer final : public WindowServer {
public:
    // Asks once which hints the window manager announces; without an EWMH window manager, none.
    X11WindowServer(X11Connection& connection, Log& log);

    bool announces(DesktopHint hint) const override;
    // Desktop ids are EWMH desktop indexes + 1; 0 means none.
    Answer<DesktopTable> desktopTable() override;
    Answer<SpaceId> currentDesktop() override;
    Outcome moveWindowsToDesktop(const std::vector<WindowId>& windows, SpaceId desktop) override;
    // Only for the display the desktop table names.
    Outcome setCurrentDesktop(const std::string& display, SpaceId desktop) override;
    // Every desktop for a sticky window; nothing for a window that is gone or not placed yet.
    Answer<std::vector<SpaceId>> desktopsOfWindow(WindowId window) override;
    // Managed client windows, front to back. On screen: on the current desktop (or every desktop)
    // and not minimised. No answer when the window manager publishes no client list at all.
    Answer<std::vector<WindowInfo>> windows(WindowFilter filter) override;

    // Shows the window's desktop and activates the window, as a pager does: window managers mark a
    // window on another desktop as demanding attention rather than switching to it.
    void activate(WindowId window);
    // When `window` (one of ours, about to go) is the active window: activates the topmost normal
    // window of the desktop shown, or else gives the focus to no window. Otherwise does nothing.
    void handFocusAwayFrom(WindowId window);
    // The window that takes the focus from `window`: the topmost normal window, not ours, placed on
    // the desktop shown. None when there is no such window.
    std::optional<WindowId> focusSuccessor(WindowId window);
    // Keeps one of our own windows out of taskbars and pagers. For a window not mapped yet (the
    // window manager reads the states when it maps it).
    void skipTaskbarAndPager(WindowId window);

    // The display identifier the desktop table carries.
    std::string displayIdentifier();

private:
    std::optional<std::uint32_t> desktopCount();
    std::optional<std::uint32_t> currentDesktopIndex();
    int layerOf(const std::vector<xcb_atom_t>& types, bool transient);
    // On every desktop, skipping the taskbar, or kept above or below (from _NET_WM_STATE and
    // _NET_WM_DESKTOP).
    bool isKeptAside(const std::vector<xcb_atom_t>& states, std::optional<std::uint32_t> desktop);

    X11Connection& m_connection;
    Log& m_log;
    MonitorReader m_monitors;
    std::set<DesktopHint> m_announced;
};

} // namespace quorvel::x11
