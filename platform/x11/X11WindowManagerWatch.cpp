// The window manager watch: the check window's destruction and the root's announcement, and the
// bounded wait at start-up.
#include "X11WindowManagerWatch.h"

#include <poll.h>

#include <algorithm>

namespace quorvel::x11 {

namespace {
constexpr const char* kCategory = "x11";

bool announces(X11Connection& connection, const xcb_generic_event_t& event) {
    if ((event.response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
    const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
    // On the root, or on the check window naming itself a moment after the root named it.
    return notify.atom == connection.ewmh()->_NET_SUPPORTING_WM_CHECK;
}
} // namespace

X11WindowManagerWatch::X11WindowManagerWatch(X11Connection& connection, Scheduler& scheduler, Log& log)
    : m_connection(connection), m_scheduler(scheduler), m_log(log) {
    m_check = currentCheck();
    watch(m_check);
    m_listener = m_connection.addListener([this](const xcb_generic_event_t& event) { handle(event); });
}

X11WindowManagerWatch::~X11WindowManagerWatch() { m_connection.removeListener(m_listener); }

XWindow X11WindowManagerWatch::currentCheck() {
    if (!m_connection.hasEWMHWindowManager()) return 0;
    const auto check = m_connection.cardinals(m_connection.root(), m_connection.ewmh()->_NET_SUPPORTING_WM_CHECK,
                                              XCB_ATOM_WINDOW);
    return check.empty() ? 0 : check.front();
}

void X11WindowManagerWatch::watch(XWindow check) {
    if (check == 0) return;
    // Our own selection on the window manager's window (each connection has its own): its end, and
    // its property changes, which the connection's kept values of the window rely on.
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_generic_error_t* error = xcb_request_check(
        m_connection.raw(), xcb_change_window_attributes_checked(m_connection.raw(), check, XCB_CW_EVENT_MASK, &mask));
    // Gone already: the window manager ended between the read and the selection.
    if (error) m_scheduler.post(m_lifetime.guard([this] { recheck(); }));
    std::free(error);
}

void X11WindowManagerWatch::handle(const xcb_generic_event_t& event) {
    const bool checkGone = (event.response_type & 0x7f) == XCB_DESTROY_NOTIFY && m_check != 0 &&
                           reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window == m_check;
    if (checkGone) recheck(m_check);
    else if (announces(m_connection, event)) recheck();
}

void X11WindowManagerWatch::recheck(XWindow destroyed) {
    const XWindow now = currentCheck();
    // After a destruction whatever is there is news, even a check window that has the old one's id.
    if (destroyed == 0 && now == m_check) return;
    const bool appeared = now != 0;
    if (appeared) m_log.info(kCategory, "window manager announced itself (check window %u)", now);
    else m_log.info(kCategory, "window manager gone (check window %u destroyed)", destroyed ? destroyed : m_check);
    m_check = now;
    watch(now);
    m_scheduler.post(m_lifetime.guard([this, appeared] {
        if (onChanged) onChanged(appeared);
    }));
}

bool X11WindowManagerWatch::waitForWindowManager(X11Connection& connection, std::chrono::milliseconds timeout,
                                                 Log& log) {
    if (connection.hasEWMHWindowManager()) return true;
    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();
    log.info(kCategory, "no EWMH window manager yet — waiting up to %ld ms for one",
             static_cast<long>(timeout.count()));
    bool announced = false;
    const auto listener = connection.addListener([&](const xcb_generic_event_t& event) {
        if (announces(connection, event)) announced = true;
    });
    // Besides the announcements, a look every so often: the check window names itself a moment
    // after the root names it.
    constexpr std::chrono::milliseconds kLook{100};
    bool present = false;
    while (!present && connection.isAlive()) {
        connection.dispatch(); // replies waited for may have queued events the descriptor will not signal
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(started + timeout - Clock::now());
        if (left.count() <= 0) break;
        if (!announced) {
            pollfd descriptor{connection.fileDescriptor(), POLLIN, 0};
            ::poll(&descriptor, 1, static_cast<int>(std::min(left, kLook).count()));
            connection.dispatch();
        }
        announced = false;
        present = connection.hasEWMHWindowManager();
    }
    connection.removeListener(listener);
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    if (present)
        log.info(kCategory, "window manager announced itself after %ld ms", static_cast<long>(waited.count()));
    else
        log.error(kCategory, "no EWMH window manager after %ld ms", static_cast<long>(waited.count()));
    return present;
}

} // namespace quorvel::x11
