// Screens on X11: RandR monitors (primary first) with their visible frames (minus docks' struts),
// the pointer, and screen-change notifications. X11WindowServer names its display after the
// primary monitor read here, so the desktop table and the screens agree.
#pragma once

#include "X11Connection.h"
#include "platform/Lifetime.h"
#include "platform/Scheduler.h"
#include "platform/Screens.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::x11 {

// One RandR monitor, in root coordinates (window-server space: y down from the root's top-left).
struct Monitor {
    std::string name;              // the monitor's name atom as text ("screen" on Xvfb, "eDP-1", …)
    xcb_atom_t nameAtom = 0;       // stable for the server's life; serves as the display number
    Rect bounds;
    bool primary = false;
    std::vector<std::uint32_t> outputs; // RandR outputs showing the monitor
    friend bool operator==(const Monitor&, const Monitor&) = default;
};

// "x11-monitor-<name>": the display identifier of the desktop table and of displayUUID().
std::string monitorIdentifier(const Monitor& monitor);

// Reads the monitors. Asks the server's RandR version once, at construction.
class MonitorReader {
public:
    explicit MonitorReader(X11Connection& connection);
    // Primary first (RandR's primary flag, else the server's first monitor), then in RandR's
    // order. Never empty: without RandR monitors, the whole root is one monitor named "default".
    std::vector<Monitor> read();
    bool hasRandr() const { return m_randrMonitors; }
    // The RandR extension's first event code (0 without RandR).
    std::uint8_t firstEvent() const { return m_firstEvent; }

private:
    X11Connection& m_connection;
    bool m_randrMonitors = false;
    std::uint8_t m_firstEvent = 0;
};

// Screens as the core sees them. Display numbers are the monitors' name atoms: stable while the X
// server runs and the same when a monitor of the same name comes back.
// Every rectangle and point is in root coordinates, as the server gives them.
class X11Screens final : public Screens {
public:
    X11Screens(X11Connection& connection, Scheduler& scheduler);
    ~X11Screens() override;

    std::vector<ScreenInfo> screens() override;
    std::optional<ScreenInfo> mainScreen() override;
    DisplayNumber mainDisplayId() override;
    std::optional<std::string> displayUUID(DisplayNumber display) override;
    std::vector<DisplayNumber> onlineDisplays(std::uint32_t maxCount) override;
    Rect displayBounds(DisplayNumber display) override;
    bool isBuiltin(DisplayNumber display) override;
    Point pointerLocation() override;

    // Fires on RandR screen changes, on root resizes (monitor changes send only those) and when
    // the work area changes (a dock came, went or resized): several events in one turn make one call.
    ObserverToken observeScreenParameters(std::function<void()> handler) override;
    void removeObserver(ObserverToken token) override;

    // Pure: the monitor minus the struts that reach into it. Each strut is the twelve values of
    // _NET_WM_STRUT_PARTIAL, relative to the root's edges.
    static Rect visibleBounds(const Rect& monitor, const std::vector<std::vector<std::uint32_t>>& struts,
                              double rootWidth, double rootHeight);

private:
    std::vector<std::vector<std::uint32_t>> readStruts(bool& clientListRead);
    std::vector<ScreenInfo> screensOf(const std::vector<Monitor>& monitors);
    // The current desktop's _NET_WORKAREA; none when the window manager publishes none.
    std::optional<Rect> currentWorkArea();
    // Struts of every mapped window down to three levels below the root, where window managers keep
    // their own bars (not in the client list). Read once, again after a screen or work-area change.
    const std::vector<std::vector<std::uint32_t>>& windowManagerStruts();
    std::optional<Monitor> monitor(DisplayNumber display);
    void onEvent(const xcb_generic_event_t& event);

    X11Connection& m_connection;
    Scheduler& m_scheduler;
    MonitorReader m_monitors;
    std::uint64_t m_listener = 0;
    std::map<ObserverToken, std::function<void()>> m_observers;
    ObserverToken m_nextObserver = 1;
    bool m_notifyPending = false;
    std::optional<std::vector<std::vector<std::uint32_t>>> m_windowManagerStruts;
    Lifetime m_lifetime;
};

} // namespace quorvel::x11
