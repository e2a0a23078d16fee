// Our own floating windows and the window manager: EWMH states set before the map, activation
// with a user time stamp, and the focus given back.
#include "X11OwnWindows.h"

#include <algorithm>
#include <vector>

namespace quorvel::x11 {

namespace {
constexpr std::uint32_t kEveryDesktop = 0xFFFFFFFF;
// Source indications of client messages.
constexpr std::uint32_t kSourceApplication = 1; // weighed against the user time stamp it carries
constexpr std::uint32_t kSourcePager = 2;       // obeyed as the user's own request
} // namespace

// A window of ours of this type on every desktop, above normal windows, out of taskbars and pagers.
void X11OwnWindows::prepareEverywhere(WindowId window, xcb_atom_t type) {
    xcb_ewmh_connection_t* ewmh = m_connection.ewmh();
    xcb_connection_t* c = m_connection.raw();
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, ewmh->_NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM, 32, 1, &type);
    const std::uint32_t everyDesktop = kEveryDesktop;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, ewmh->_NET_WM_DESKTOP, XCB_ATOM_CARDINAL, 32, 1,
                        &everyDesktop);
    // Appended: Qt keeps the states it finds and adds its own when it maps the window.
    const xcb_atom_t states[] = {ewmh->_NET_WM_STATE_STICKY, ewmh->_NET_WM_STATE_ABOVE,
                                 ewmh->_NET_WM_STATE_SKIP_TASKBAR, ewmh->_NET_WM_STATE_SKIP_PAGER};
    xcb_change_property(c, XCB_PROP_MODE_APPEND, window, ewmh->_NET_WM_STATE, XCB_ATOM_ATOM, 32, 4, states);
}

void X11OwnWindows::prepareFloatingPanel(WindowId window) {
    prepareEverywhere(window, m_connection.ewmh()->_NET_WM_WINDOW_TYPE_UTILITY);
    m_connection.sync();
}

void X11OwnWindows::prepareDock(WindowId window) {
    xcb_ewmh_connection_t* ewmh = m_connection.ewmh();
    prepareEverywhere(window, ewmh->_NET_WM_WINDOW_TYPE_DOCK);
    // A strip revealed on hover covers windows for a moment; it never pushes them aside.
    xcb_delete_property(m_connection.raw(), window, ewmh->_NET_WM_STRUT_PARTIAL);
    xcb_delete_property(m_connection.raw(), window, ewmh->_NET_WM_STRUT);
    m_connection.sync();
}

void X11OwnWindows::activate(WindowId window, InputTime time) {
    xcb_ewmh_connection_t* ewmh = m_connection.ewmh();
    // A mapped window changes desktops by asking; the window manager may have put it on one.
    m_connection.sendRootMessage(window, ewmh->_NET_WM_DESKTOP, kEveryDesktop, kSourcePager);
    const auto active = m_connection.cardinal(m_connection.root(), ewmh->_NET_ACTIVE_WINDOW, XCB_ATOM_WINDOW);
    if (time == 0) {
        m_connection.sendRootMessage(window, ewmh->_NET_ACTIVE_WINDOW, kSourcePager, XCB_CURRENT_TIME, active.value_or(0));
        return;
    }
    // Qt keeps the user time on a window of its own when it made one.
    const XWindow timeWindow = m_connection.cardinal(window, ewmh->_NET_WM_USER_TIME_WINDOW, XCB_ATOM_WINDOW).value_or(window);
    xcb_change_property(m_connection.raw(), XCB_PROP_MODE_REPLACE, timeWindow, ewmh->_NET_WM_USER_TIME,
                        XCB_ATOM_CARDINAL, 32, 1, &time);
    m_connection.sendRootMessage(window, ewmh->_NET_ACTIVE_WINDOW, kSourceApplication, time, active.value_or(0));
}

WindowId X11OwnWindows::activeWindow() {
    return m_connection.cardinal(m_connection.root(), m_connection.ewmh()->_NET_ACTIVE_WINDOW, XCB_ATOM_WINDOW)
        .value_or(0);
}

void X11OwnWindows::giveFocusBack(WindowId window) {
    xcb_ewmh_connection_t* ewmh = m_connection.ewmh();
    const auto desktop = m_connection.cardinal(window, ewmh->_NET_WM_DESKTOP);
    const auto current = m_connection.cardinal(m_connection.root(), ewmh->_NET_CURRENT_DESKTOP);
    if (!desktop || !current || (*desktop != *current && *desktop != kEveryDesktop)) return;
    const std::vector<xcb_atom_t> states = m_connection.atoms(window, ewmh->_NET_WM_STATE);
    if (std::ranges::find(states, ewmh->_NET_WM_STATE_HIDDEN) != states.end()) return;
    m_connection.sendRootMessage(window, ewmh->_NET_ACTIVE_WINDOW, kSourcePager, XCB_CURRENT_TIME, 0);
}

} // namespace quorvel::x11
