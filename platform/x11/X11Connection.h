// The backend's own X connection: EWMH atoms, property reads that answer "absent" instead of
// failing, client messages to the window manager, and event dispatch to the backend's parts. Every
// X error is absorbed here: logged once per kind, never fatal. A lost connection is reported once.
#pragma once

#include "platform/Log.h"
#include "platform/Types.h"

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvel::x11 {

using XWindow = xcb_window_t;

class X11Connection {
public:
    using EventListener = std::function<void(const xcb_generic_event_t& event)>;

    // Connects to `display` (or $DISPLAY when empty); none when no X server answers.
    static std::unique_ptr<X11Connection> open(const std::string& display, Log& log);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    xcb_connection_t* raw() const { return m_connection; }
    // The display this connection reached (":1"), for programs started on the same server.
    const std::string& displayName() const { return m_displayName; }
    xcb_ewmh_connection_t* ewmh() { return &m_ewmh; }
    int screenNumber() const { return m_screenNumber; }
    xcb_screen_t* screen() const { return m_screen; }
    XWindow root() const { return m_screen->root; }
    // For an event loop to watch; call dispatch() when it is readable.
    int fileDescriptor() const;

    // Whether a window manager announces EWMH support (_NET_SUPPORTING_WM_CHECK on the root and on
    // its own check window).
    bool hasEWMHWindowManager();

    // Reads and routes every queued event; returns false once the connection is gone.
    bool dispatch();
    // Whether an event already received but not yet dispatched (read while waiting for a reply)
    // satisfies `test`: what the server said before the latest round trip, which the listeners
    // will hear on the next dispatch. Leaves the events in place.
    bool anyReceived(const std::function<bool(const xcb_generic_event_t& event)>& test);
    bool isAlive();
    // Called once when the connection to the X server is lost.
    std::function<void()> onConnectionLost;
    // Listeners see every event (errors are absorbed before them). Returns a token for removal.
    std::uint64_t addListener(EventListener listener);
    void removeListener(std::uint64_t token);
    // Round trip: every request sent so far has been processed when this returns.
    void sync();
    void flush() { xcb_flush(m_connection); }

    xcb_atom_t atom(const std::string& name);

    // Property reads; a missing window, property or wrong format answers none or empty.
    std::optional<std::uint32_t> cardinal(XWindow window, xcb_atom_t property, xcb_atom_t type = XCB_ATOM_CARDINAL);
    std::vector<std::uint32_t> cardinals(XWindow window, xcb_atom_t property, xcb_atom_t type = XCB_ATOM_CARDINAL);
    std::optional<std::string> text(XWindow window, xcb_atom_t property, xcb_atom_t type);
    // _NET_WM_NAME, else WM_NAME.
    std::optional<std::string> windowTitle(XWindow window);
    std::optional<std::uint32_t> windowPid(XWindow window);
    // WM_CLASS: instance and class.
    std::optional<std::pair<std::string, std::string>> windowClass(XWindow window);
    std::vector<xcb_atom_t> atoms(XWindow window, xcb_atom_t property);

    // The name every part of the backend gives a window's application: WM_CLASS's class, else its
    // instance, else the process name from /proc, else none. The process is `owner` when the
    // caller knows it (X-Resource names the process that made the window), else _NET_WM_PID's.
    std::optional<std::string> applicationName(XWindow window, std::optional<Pid> owner = std::nullopt);
    // _NET_FRAME_EXTENTS: the decoration the window manager draws around the client (left, right,
    // top, bottom); zeros when it declares none.
    struct Extents {
        double left = 0, right = 0, top = 0, bottom = 0;
    };
    Extents frameExtents(XWindow window);
    // The client window's rectangle in root coordinates; none when the window is gone.
    std::optional<Rect> clientRect(XWindow window);
    // The outer frame: the client rectangle grown by the frame extents. Tiles are frames.
    std::optional<Rect> frameRect(XWindow window);

    // A client message to the root, as EWMH asks of pagers and tools.
    void sendRootMessage(XWindow window, xcb_atom_t type, std::uint32_t d0, std::uint32_t d1 = 0, std::uint32_t d2 = 0,
                         std::uint32_t d3 = 0, std::uint32_t d4 = 0);

    // The outcome of a checked request: 0 for success, else the X error code (logged once per kind).
    std::uint8_t check(xcb_void_cookie_t cookie, const char* what);
    // Logs an X error once per (request, error code) pair.
    void absorb(const xcb_generic_error_t& error, const char* what);

    // Properties of watched windows (the root, and every window whose property changes this
    // connection selects) are kept once read: a change made after the read is announced by a
    // PropertyNotify numbered at or after the read, which drops the value when it is received
    // (read from the socket, dispatched or not). A watched window's destruction drops them all.
    // Reads of other windows always ask the server.
    void watchProperties(XWindow window);
    // The kept value of a watched window's property, as cardinals() would answer it; none when
    // nothing is kept (the caller reads it its own way).
    std::optional<std::vector<std::uint32_t>> keptCardinals(XWindow window, xcb_atom_t property,
                                                            xcb_atom_t type = XCB_ATOM_CARDINAL);
    void forgetProperties(XWindow window);
    // Reads what is not kept yet of these properties of these watched windows, every request sent
    // before the first answer is awaited: one round trip (none when everything is kept). Answers
    // whether it waited for the server.
    bool prefetch(const std::vector<XWindow>& windows, const std::vector<xcb_atom_t>& properties);

    Log& log() { return m_log; }

    // Round trips: every wait for a reply of the server. The helpers here count their own; code
    // that waits for replies itself calls noteRoundTrip once per batch it collects. For the
    // latency probe and its figures.
    void noteRoundTrip() { ++m_roundTrips; }
    std::uint64_t roundTrips() const { return m_roundTrips; }
    // How many requests this connection has sent so far (the sequence number of the last one).
    // Costs a request of its own (a no-op), which it counts.
    std::uint64_t requestsSent();

private:
    X11Connection(xcb_connection_t* connection, int screenNumber, Log& log);
    void lost();

    xcb_connection_t* m_connection;
    std::string m_displayName;
    int m_screenNumber;
    xcb_screen_t* m_screen = nullptr;
    xcb_ewmh_connection_t m_ewmh{};
    bool m_ewmhReady = false;
    Log& m_log;
    bool m_lostReported = false;
    std::map<std::string, xcb_atom_t> m_atoms;
    std::map<std::uint64_t, EventListener> m_listeners;
    // Events taken out of xcb's queue by anyReceived, dispatched before any newer one.
    std::deque<std::unique_ptr<xcb_generic_event_t, decltype(&std::free)>> m_received;
    std::uint64_t m_nextListener = 1;
    std::set<std::pair<std::string, int>> m_loggedErrors;
    std::uint64_t m_roundTrips = 0;
    // Sequence numbers are 32 bits on the wire: the count carries over their wrap.
    std::uint64_t m_sequenceBase = 0;
    unsigned m_lastSequence = 0;

    // A kept property value (any type; readers filter by the type they ask for).
    struct Kept {
        std::uint32_t readAt = 0; // sequence number of the read
        xcb_atom_t type = XCB_ATOM_NONE;
        std::uint8_t format = 0;
        std::string bytes;
    };
    // The kept value, when no change heard since the read says otherwise.
    const Kept* kept(XWindow window, xcb_atom_t property);
    // Keeps the reply of the read numbered `readAt`, when the window is watched.
    void keep(XWindow window, xcb_atom_t property, std::uint32_t readAt, const xcb_get_property_reply_t& reply);
    // Drops what a received event makes stale.
    void forgetChanged(const xcb_generic_event_t& event);
    // A property read through the kept values: the raw value, none when the window is gone.
    std::optional<Kept> readProperty(XWindow window, xcb_atom_t property, xcb_atom_t type, std::uint32_t maxLongs);
    std::set<XWindow> m_watched;
    std::map<XWindow, std::map<xcb_atom_t, Kept>> m_kept;
};

} // namespace quorvel::x11
