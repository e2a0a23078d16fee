// The window server on X11: EWMH desktops as the desktop table (one display carrying every
// desktop, named after the primary monitor; see X11Screens.h), _NET_WM_DESKTOP for a window's
// desktops, and _NET_CLIENT_LIST_STACKING as the window list.
#pragma once

#include "X11Connection.h"
#include "X11Screens.h"
#include "platform/WindowServer.h"

#include <optional>
#include <string>
#include <vector>

namespace quorvel::x11 {

// Window-list layers: only ordinary application windows are 0, as the core expects.
namespace layers {
inline constexpr int desktop = -1;
inline constexpr int normal = 0;
inline constexpr int floating = 3; // dialogs, utilities, toolbars, splash screens
inline constexpr int dock = 20;
inline constexpr int popup = 101;  // menus, tooltips, notifications
} // namespace layers

class X11WindowServer final : public WindowServer {
public:
    // Asks once whether a window manager announces EWMH support; without one nothing resolves.
    X11WindowServer(X11Connection& connection, Log& log);

    bool resolves(Function function) const override;
    ConnectionId defaultConnection() override { return kConnection; }
    // Desktop ids are EWMH desktop indexes + 1; 0 means none.
    Json copyManagedDisplaySpaces(ConnectionId connection) override;
    SpaceId getActiveSpace(ConnectionId connection) override;
    void moveWindowsToManagedSpace(ConnectionId connection, const std::vector<WindowId>& windows,
                                   SpaceId space) override;
    // Only for the display the desktop table names.
    void managedDisplaySetCurrentSpace(ConnectionId connection, const std::string& display, SpaceId space) override;

    // Shows the window's desktop and activates the window, as a pager does: window managers mark a
    // window on another desktop as demanding attention rather than switching to it.
    void activate(WindowId window);
    // Keeps one of our own windows out of taskbars and pagers. For a window not mapped yet (the
    // window manager reads the states when it maps it).
    void skipTaskbarAndPager(WindowId window);
    // The union of the windows' desktops (every desktop for a sticky window); a window that is gone
    // adds nothing. The mask is not read: X11 has no narrower question to ask.
    std::optional<Json> copySpacesForWindows(ConnectionId connection, int mask,
                                             const std::vector<WindowId>& windows) override;
    // Managed client windows, front to back. On screen: on the current desktop (or every desktop)
    // and not minimised. `relativeTo` is not read. Null when the window manager publishes no client
    // list at all: that is no answer, not an empty desktop.
    Json copyWindowList(unsigned options, WindowId relativeTo) override;

    static constexpr ConnectionId kConnection = 1;

    // The display identifier the desktop table carries.
    std::string displayIdentifier();

private:
    std::optional<std::uint32_t> desktopCount();
    std::optional<std::uint32_t> currentDesktop();
    int layerOf(const std::vector<xcb_atom_t>& types, bool transient);

    X11Connection& m_connection;
    Log& m_log;
    MonitorReader m_monitors;
    bool m_ewmh = false;
};

} // namespace quorvel::x11
