// What the strip reads of the X server besides the desktops and monitors (X11Screens): the tray
// icons on screen, whether the active window is full screen on a monitor, and the pointer over
// the strips' trigger regions, watched through XInput 2 raw motion on the root so that no window
// of ours covers the top edge. The app combines these with the Qt strip windows.
#pragma once

#include "X11Connection.h"
#include "platform/Lifetime.h"
#include "platform/Scheduler.h"

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace quorvel::x11 {

class X11StripFacts {
public:
    X11StripFacts(X11Connection& connection, Scheduler& scheduler);
    ~X11StripFacts();
    X11StripFacts(const X11StripFacts&) = delete;
    X11StripFacts& operator=(const X11StripFacts&) = delete;

    // The root frames of the icons embedded by the owner of _NET_SYSTEM_TRAY_S<screen>: the mapped
    // windows carrying _XEMBED_INFO inside the owner, or, when the owner is not shown itself,
    // inside the docks listed by the window manager. Empty without a tray.
    std::vector<Rect> trayIconFrames();
    // Whether the active window is in the full-screen state and its frame's centre lies in
    // `monitorFrame` (root coordinates).
    bool activeWindowFullScreen(const Rect& monitorFrame);
    // Reports entering (true) and leaving (false) each region. Raw motion is selected on the root
    // while regions are given; the pointer is queried at most once per event-loop turn however many
    // motions arrive. A new call replaces the regions (a region kept under the same name keeps its
    // inside state); an empty map deselects raw motion and forgets the callback.
    void watchPointer(std::map<std::string, Rect> regions,
                      std::function<void(const std::string& region, bool inside)> onChange);
    // Whether raw motion is selected now; false as well where the server lacks XInput 2.
    bool watching() const { return m_selected; }
    // Pointer queries made so far (coalescing makes this far fewer than motion events).
    std::uint64_t pointerQueries() const { return m_queries; }

private:
    void select(bool on);
    void onEvent(const xcb_generic_event_t& event);
    void queryPointer();

    X11Connection& m_connection;
    Scheduler& m_scheduler;
    std::uint8_t m_xinputOpcode = 0; // 0: no XInput 2.2 on this server
    std::uint64_t m_listener = 0;
    bool m_selected = false;
    bool m_queryPosted = false;
    std::uint64_t m_queries = 0;
    std::map<std::string, Rect> m_regions;
    std::set<std::string> m_inside;
    std::function<void(const std::string&, bool)> m_onChange;
    Lifetime m_lifetime;
};

} // namespace quorvel::x11
