// The window manager coming and going, as its check window shows it: _NET_SUPPORTING_WM_CHECK on
// the root naming a window that names itself. A restart, a crash or a switch to another window
// manager destroys that window; the next one announces a new one. Also the wait for a window
// manager at start-up. Reports to TilingCoordinator through app/main.cpp.
#pragma once

#include "X11Connection.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"

#include <chrono>
#include <cstdint>
#include <functional>

namespace quorvel::x11 {

class X11WindowManagerWatch {
public:
    X11WindowManagerWatch(X11Connection& connection, Scheduler& scheduler, Log& log);
    ~X11WindowManagerWatch();
    X11WindowManagerWatch(const X11WindowManagerWatch&) = delete;
    X11WindowManagerWatch& operator=(const X11WindowManagerWatch&) = delete;

    // Called on the main queue: false when the window manager's check window went away, true when
    // a window manager announced itself (a new one may replace another without a gap between).
    std::function<void(bool present)> onChanged;
    bool present() const { return m_check != 0; }

    // Blocks until a window manager announces EWMH support, for at most `timeout`, watching the
    // root's _NET_SUPPORTING_WM_CHECK. For start-up, before the event loop runs. True when one does.
    static bool waitForWindowManager(X11Connection& connection, std::chrono::milliseconds timeout, Log& log);

private:
    void handle(const xcb_generic_event_t& event);
    // `destroyed`: the check window whose destruction was heard, or 0.
    void recheck(XWindow destroyed = 0);
    // The check window of the window manager running now, or 0.
    XWindow currentCheck();
    // Selects the check window's destruction.
    void watch(XWindow check);

    X11Connection& m_connection;
    Scheduler& m_scheduler;
    Log& m_log;
    std::uint64_t m_listener = 0;
    XWindow m_check = 0;
    Lifetime m_lifetime;
};

} // namespace quorvel::x11
