// What the window manager is asked about our own floating windows (the switcher panel): to keep
// them on every desktop, above normal windows and out of taskbars and pagers, to give them the
// focus as the user's request with the time stamp of the input that opened them, and to give the
// focus back when they close. The windows themselves are Qt's; this speaks for them.
#pragma once

#include "X11Connection.h"
#include "platform/Types.h"

namespace quorvel::x11 {

class X11OwnWindows {
public:
    explicit X11OwnWindows(X11Connection& connection) : m_connection(connection) {}

    // Before each map of the window (the window manager reads these when it maps it and drops
    // them when it is unmapped): a utility window on every desktop, above others, skipped by
    // taskbars and pagers. Waits until the server has them, so a map request sent on another
    // connection comes after.
    void prepareFloatingPanel(WindowId window);
    // Before each map of a window that never takes the focus (the desktop strip): a dock, which
    // the window manager keeps above normal windows and never tiles, on every desktop, skipped by
    // taskbars and pagers. No strut: it reserves no space. Waits until the server has them.
    void prepareDock(WindowId window);
    // After the map: keeps it on every desktop and asks for it to become the active window as the
    // application's own request made at `time`, the user time of the input that opened it (also
    // written as the window's user time). Without a time stamp it asks as a pager does.
    void activate(WindowId window, InputTime time);
    // The active window (_NET_ACTIVE_WINDOW); 0 for none.
    WindowId activeWindow();
    // Makes `window` active again, as a pager does, only when it still exists, is not minimised
    // and is on the desktop shown now: giving it the focus must never switch desktops.
    void giveFocusBack(WindowId window);

private:
    void prepareEverywhere(WindowId window, xcb_atom_t type);

    X11Connection& m_connection;
};

} // namespace quorvel::x11
