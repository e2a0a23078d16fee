// Window control over EWMH: attributes read from window properties, frame writes as
// _NET_MOVERESIZE_WINDOW, raise as _NET_ACTIVE_WINDOW, and observers fed by the client tracker.
#include "X11WindowControl.h"

#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <tuple>

namespace quorvel::x11 {

namespace {
constexpr const char* kCategory = "x11";

// How long an availability answer is reused: every call checks it, the window manager rarely goes.
constexpr double kAvailabilityRecheckSeconds = 1.0;
// How long a write to a maximised window waits for the window manager to restore it.
constexpr Seconds kRestoreBound{0.5};

// _NET_MOVERESIZE_WINDOW's first datum: gravity, which fields are given, and who asks.
constexpr std::uint32_t kNorthWestGravity = 1; // x,y name the frame's top-left corner
constexpr std::uint32_t kMoveX = 1u << 8;
constexpr std::uint32_t kMoveY = 1u << 9;
constexpr std::uint32_t kMoveWidth = 1u << 10;
constexpr std::uint32_t kMoveHeight = 1u << 11;
constexpr std::uint32_t kSourcePager = 2; // a pager or tool: window managers honour it without a timestamp
constexpr std::uint32_t kStateRemove = 0;
constexpr std::uint32_t kIconicState = 3;

// A protocol coordinate: X carries 16-bit positions and sizes.
std::int32_t coordinate(double value) { return static_cast<std::int32_t>(std::clamp(std::lround(value), -32768L, 32767L)); }

// The client size inside a frame of `frame` with these decorations.
std::pair<std::int32_t, std::int32_t> clientSizeIn(const Size& frame, const X11Connection::Extents& extents) {
    return {std::max(1, coordinate(frame.width - extents.left - extents.right)),
            std::max(1, coordinate(frame.height - extents.top - extents.bottom))};
}
} // namespace

X11WindowControl::X11WindowControl(X11Connection& connection, X11ClientTracker& tracker, Scheduler& scheduler,
                                   Log& log)
    : m_connection(connection), m_tracker(tracker), m_scheduler(scheduler), m_log(log) {
    m_subscription = m_tracker.subscribe([this](const X11ClientTracker::Event& event) { onTrackerEvent(event); });
    m_listener = m_connection.addListener([this](const xcb_generic_event_t& event) { onXEvent(event); });
}

X11WindowControl::~X11WindowControl() {
    m_tracker.unsubscribe(m_subscription);
    m_connection.removeListener(m_listener);
    for (auto& [window, pending] : m_pending) pending.fallback.cancel();
}

// --- Availability -------------------------------------------------------------------------------

bool X11WindowControl::isAvailable() {
    if (m_availabilityOverride) return *m_availabilityOverride;
    m_windowManagerPresent = m_connection.hasEWMHWindowManager();
    m_checkedAt = m_scheduler.now();
    return m_windowManagerPresent;
}

bool X11WindowControl::available() {
    if (m_availabilityOverride) return *m_availabilityOverride;
    if (!m_checkedAt || m_scheduler.now() - *m_checkedAt > kAvailabilityRecheckSeconds) return isAvailable();
    return m_windowManagerPresent;
}

WindowResult<XWindow> X11WindowControl::managed(WindowId window) {
    if (!available()) return WindowError::notPermitted;
    if (window == 0 || !m_tracker.isManaged(window)) return WindowError::windowGone;
    return XWindow{window};
}

bool X11WindowControl::processExists(Pid pid) const {
    return pid > 0 && (m_tracker.ownsWindows(pid) || X11ClientTracker::processRunning(pid));
}

// --- Applications -------------------------------------------------------------------------------

WindowResult<std::vector<WindowId>> X11WindowControl::windows(Pid pid) {
    if (!available()) return WindowError::notPermitted;
    if (!processExists(pid)) return WindowError::windowGone;
    std::vector<WindowId> windows;
    for (const XWindow window : m_tracker.windowsOf(pid)) windows.push_back(window);
    return windows;
}

WindowResult<WindowId> X11WindowControl::focusedWindow(Pid pid) {
    if (!available()) return WindowError::notPermitted;
    if (!processExists(pid)) return WindowError::windowGone;
    if (const auto window = focusedWindowOf(pid)) return WindowId{*window};
    return WindowError::noValue;
}

WindowResult<Pid> X11WindowControl::owner(WindowId window) {
    const auto managedWindow = managed(window);
    if (!managedWindow) return *managedWindow.error();
    const Pid owner = m_tracker.pidOf(*managedWindow);
    // A window that names no process has no application to answer for it.
    if (owner == 0) return WindowError::cannotComplete;
    return owner;
}

// --- Attributes ---------------------------------------------------------------------------------

WindowResult<WindowKind> X11WindowControl::kind(WindowId window) {
    const auto managedWindow = managed(window);
    if (!managedWindow) return *managedWindow.error();
    return kindOf(*managedWindow);
}

WindowResult<std::string> X11WindowControl::title(WindowId window) {
    const auto managedWindow = managed(window);
    if (!managedWindow) return *managedWindow.error();
    return m_connection.windowTitle(*managedWindow).value_or("");
}

WindowResult<Rect> X11WindowControl::frame(WindowId window) {
    const auto managedWindow = managed(window);
    if (!managedWindow) return *managedWindow.error();
    const auto frame = m_connection.frameRect(*managedWindow);
    if (!frame) return WindowError::windowGone;
    return visibleFrame(*managedWindow, *frame);
}

std::map<WindowId, FrameReading> X11WindowControl::frames(const std::vector<WindowId>& windows) {
    if (!available()) return {};
    xcb_connection_t* c = m_connection.raw();
    const xcb_ewmh_connection_t& ewmh = *m_connection.ewmh();
    struct Reads {
        XWindow window;
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t origin;
        xcb_get_property_cookie_t extents, state, hints;
    };
    std::vector<Reads> reads;
    for (const WindowId id : windows) {
        if (id == 0 || !m_tracker.isManaged(id)) continue;
        reads.push_back({id, xcb_get_geometry(c, id), xcb_translate_coordinates(c, id, m_connection.root(), 0, 0),
                         xcb_get_property(c, 0, id, ewmh._NET_FRAME_EXTENTS, XCB_ATOM_CARDINAL, 0, 4),
                         xcb_get_property(c, 0, id, ewmh._NET_WM_STATE, XCB_ATOM_ATOM, 0, 64),
                         xcb_icccm_get_wm_normal_hints(c, id)});
    }
    if (reads.empty()) return {};
    m_connection.noteRoundTrip(); // every request above is on its way before the first answer is awaited
    std::map<WindowId, FrameReading> read;
    for (const Reads& r : reads) {
        // Each reply is collected (or its error freed) whether or not the window is still there.
        xcb_generic_error_t* error = nullptr;
        const auto geometry = xcb_get_geometry_reply(c, r.geometry, &error);
        std::free(error);
        error = nullptr;
        const auto origin = xcb_translate_coordinates_reply(c, r.origin, &error);
        std::free(error);
        error = nullptr;
        const auto extents = xcb_get_property_reply(c, r.extents, &error);
        std::free(error);
        error = nullptr;
        const auto state = xcb_get_property_reply(c, r.state, &error);
        std::free(error);
        error = nullptr;
        xcb_size_hints_t hints{};
        const bool hinted = xcb_icccm_get_wm_normal_hints_reply(c, r.hints, &hints, &error) == 1;
        std::free(error);

        if (geometry && origin) {
            Snapshot snapshot;
            if (extents && extents->format == 32 && xcb_get_property_value_length(extents) >= 16) {
                const auto* e = static_cast<const std::uint32_t*>(xcb_get_property_value(extents));
                snapshot.extents = {double(e[0]), double(e[1]), double(e[2]), double(e[3])};
            }
            if (state && state->format == 32) {
                const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(state));
                const int count = xcb_get_property_value_length(state) / 4;
                for (int i = 0; i < count; ++i)
                    snapshot.maximised = snapshot.maximised || atoms[i] == ewmh._NET_WM_STATE_MAXIMIZED_VERT ||
                                         atoms[i] == ewmh._NET_WM_STATE_MAXIMIZED_HORZ;
            }
            Size step;
            if (hinted) {
                const bool bounded =
                    (hints.flags & XCB_ICCCM_SIZE_HINT_P_MIN_SIZE) && (hints.flags & XCB_ICCCM_SIZE_HINT_P_MAX_SIZE);
                snapshot.fixedSize = bounded && hints.min_width > 0 && hints.min_height > 0 &&
                                     hints.min_width == hints.max_width && hints.min_height == hints.max_height;
                if (hints.flags & XCB_ICCCM_SIZE_HINT_P_RESIZE_INC)
                    step = {double(std::max(0, hints.width_inc)), double(std::max(0, hints.height_inc))};
            }
            const X11Connection::Extents& e = snapshot.extents;
            read[r.window] = FrameReading{Rect{double(origin->dst_x) - e.left, double(origin->dst_y) - e.top,
                                               double(geometry->width) + e.left + e.right,
                                               double(geometry->height) + e.top + e.bottom},
                                          step};
            m_snapshots[r.window] = snapshot;
        }
        std::free(geometry);
        std::free(origin);
        std::free(extents);
        std::free(state);
    }
    if (!m_snapshotsExpiring && !m_snapshots.empty()) {
        m_snapshotsExpiring = true;
        m_scheduler.post(m_lifetime.guard([this] {
            m_snapshots.clear();
            m_snapshotsExpiring = false;
        }));
    }
    return read;
}

const X11WindowControl::Snapshot* X11WindowControl::snapshotOf(XWindow window) const {
    const auto it = m_snapshots.find(window);
    return it == m_snapshots.end() ? nullptr : &it->second;
}

bool X11WindowControl::knownFixedSize(XWindow window) {
    if (const Snapshot* known = snapshotOf(window)) return known->fixedSize;
    return isFixedSize(window);
}

bool X11WindowControl::knownMaximised(XWindow window) {
    if (const Snapshot* known = snapshotOf(window)) return known->maximised;
    return isMaximised(window);
}

X11Connection::Extents X11WindowControl::knownExtents(XWindow window) {
    if (const Snapshot* known = snapshotOf(window)) return known->extents;
    return m_connection.frameExtents(window);
}

bool X11WindowControl::hasState(XWindow window, xcb_atom_t state) {
    const auto states = m_connection.atoms(window, m_connection.ewmh()->_NET_WM_STATE);
    return std::find(states.begin(), states.end(), state) != states.end();
}

WindowResult<bool> X11WindowControl::isMinimised(WindowId window) {
    const auto managedWindow = managed(window);
    if (!managedWindow) return *managedWindow.error();
    return hasState(*managedWindow, m_connection.ewmh()->_NET_WM_STATE_HIDDEN);
}

WindowResult<bool> X11WindowControl::isFullScreen(WindowId window) {
    const auto managedWindow = managed(window);
    if (!managedWindow) return *managedWindow.error();
    return hasState(*managedWindow, m_connection.ewmh()->_NET_WM_STATE_FULLSCREEN);
}

WindowResult<bool> X11WindowControl::canResize(WindowId window) {
    const auto managedWindow = managed(window);
    if (!managedWindow) return *managedWindow.error();
    return !isFixedSize(*managedWindow);
}

WindowKind X11WindowControl::kindOf(XWindow window) {
    const xcb_ewmh_connection_t& ewmh = *m_connection.ewmh();
    // The first type this program knows counts; unknown (vendor) types before it are skipped.
    const xcb_atom_t known[] = {ewmh._NET_WM_WINDOW_TYPE_NORMAL,        ewmh._NET_WM_WINDOW_TYPE_DIALOG,
                                ewmh._NET_WM_WINDOW_TYPE_UTILITY,       ewmh._NET_WM_WINDOW_TYPE_TOOLBAR,
                                ewmh._NET_WM_WINDOW_TYPE_MENU,          ewmh._NET_WM_WINDOW_TYPE_SPLASH,
                                ewmh._NET_WM_WINDOW_TYPE_DOCK,          ewmh._NET_WM_WINDOW_TYPE_DESKTOP,
                                ewmh._NET_WM_WINDOW_TYPE_DROPDOWN_MENU, ewmh._NET_WM_WINDOW_TYPE_POPUP_MENU,
                                ewmh._NET_WM_WINDOW_TYPE_TOOLTIP,       ewmh._NET_WM_WINDOW_TYPE_NOTIFICATION,
                                ewmh._NET_WM_WINDOW_TYPE_COMBO,         ewmh._NET_WM_WINDOW_TYPE_DND};
    std::optional<xcb_atom_t> type;
    for (const xcb_atom_t candidate : m_connection.atoms(window, ewmh._NET_WM_WINDOW_TYPE)) {
        if (std::find(std::begin(known), std::end(known), candidate) != std::end(known)) {
            type = candidate;
            break;
        }
    }
    // Before the state: the desktop and panels are on every desktop and skip the taskbar too.
    if (type && (*type == ewmh._NET_WM_WINDOW_TYPE_DESKTOP || *type == ewmh._NET_WM_WINDOW_TYPE_DOCK))
        return WindowKind::desktop;
    // On every desktop, out of the taskbar, or above or below the rest: beside the desktop's
    // windows, never one of its tiles.
    if (m_tracker.isKeptAside(window)) return WindowKind::floating;
    if (type && *type == ewmh._NET_WM_WINDOW_TYPE_DIALOG) return WindowKind::dialog;
    if (type && (*type == ewmh._NET_WM_WINDOW_TYPE_UTILITY || *type == ewmh._NET_WM_WINDOW_TYPE_TOOLBAR))
        return WindowKind::floating;
    if (type && *type != ewmh._NET_WM_WINDOW_TYPE_NORMAL) return WindowKind::other;
    // A window that names a parent belongs to it (a dialog or a secondary window), whatever its type.
    const auto parent = m_connection.cardinal(window, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW);
    return parent && *parent != XCB_WINDOW_NONE ? WindowKind::dialog : WindowKind::standard;
}

bool X11WindowControl::isFixedSize(XWindow window) {
    // WM_SIZE_HINTS: flags, four unused fields, then the minimum and maximum sizes (signed).
    const auto hints = m_connection.cardinals(window, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS);
    if (hints.size() < 9) return false;
    const std::uint32_t flags = hints[0];
    const auto value = [&](std::size_t at) { return static_cast<std::int32_t>(hints[at]); };
    const bool bounded = (flags & XCB_ICCCM_SIZE_HINT_P_MIN_SIZE) && (flags & XCB_ICCCM_SIZE_HINT_P_MAX_SIZE);
    return bounded && value(5) > 0 && value(6) > 0 && value(5) == value(7) && value(6) == value(8);
}

std::optional<XWindow> X11WindowControl::focusedWindowOf(Pid pid) {
    const auto active =
        m_connection.cardinal(m_connection.root(), m_connection.ewmh()->_NET_ACTIVE_WINDOW, XCB_ATOM_WINDOW);
    if (active && m_tracker.isManaged(*active) && m_tracker.pidOf(*active) == pid) return *active;
    // Not the active application: the window that would take focus were it activated.
    for (const XWindow window : m_tracker.windowsOf(pid))
        if (!m_tracker.isMinimised(window)) return window;
    return std::nullopt;
}

// --- Writes -------------------------------------------------------------------------------------

FrameWritten X11WindowControl::setFrame(WindowId window, const FrameChange& change) {
    const auto failed = [&](WindowError error) {
        return FrameWritten{change.origin ? WindowStatus(error) : WindowStatus(),
                            change.size ? WindowStatus(error) : WindowStatus()};
    };
    const auto managedWindow = managed(window);
    if (!managedWindow) return failed(*managedWindow.error());
    const bool finite = (!change.origin || (std::isfinite(change.origin->x) && std::isfinite(change.origin->y))) &&
                        (!change.size || (std::isfinite(change.size->width) && std::isfinite(change.size->height)));
    if (!finite) return failed(WindowError::invalidArgument);
    if (!change.origin && !change.size) return {};
    // A window read in this turn's batch was there a moment ago; its destruction is an event.
    if (!snapshotOf(*managedWindow) && !stillThere(*managedWindow, change.origin ? "moved" : "resized"))
        return failed(WindowError::cannotComplete);
    FrameWritten result;
    std::optional<Size> size = change.size;
    // A fixed-size window moves but keeps its size.
    if (size && knownFixedSize(*managedWindow)) {
        result.size = WindowError::cannotComplete;
        size.reset();
    }
    std::optional<Point> origin = change.origin;
    requestedFrame(*managedWindow, origin, size);
    if (origin || size) place(*managedWindow, origin, size);
    return result;
}

Rect X11WindowControl::visibleFrame(XWindow window, const Rect& frame) {
    return withoutShadow(frame, clientSideShadow(m_connection, window));
}

Rect X11WindowControl::withoutShadow(const Rect& frame, const X11Connection::Extents& shadow) {
    return {frame.x + shadow.left, frame.y + shadow.top, std::max(1.0, frame.width - shadow.left - shadow.right),
            std::max(1.0, frame.height - shadow.top - shadow.bottom)};
}

void X11WindowControl::requestedFrame(XWindow window, std::optional<Point>& origin, std::optional<Size>& size) {
    if (!origin && !size) return;
    const auto shadow = clientSideShadow(m_connection, window);
    if (origin) *origin = {origin->x - shadow.left, origin->y - shadow.top};
    if (size) *size = {size->width + shadow.left + shadow.right, size->height + shadow.top + shadow.bottom};
}

X11Connection::Extents X11WindowControl::clientSideShadow(X11Connection& connection, XWindow window) {
    return shadowExtents(connection.cardinals(window, connection.atom("_GTK_FRAME_EXTENTS")));
}

X11Connection::Extents X11WindowControl::shadowExtents(const std::vector<std::uint32_t>& values) {
    // Left, right, top, bottom; a margin no toolkit would draw (or a malformed value) counts as none.
    constexpr std::uint32_t kWidestShadow = 200;
    if (values.size() != 4 || std::any_of(values.begin(), values.end(), [](std::uint32_t v) { return v > kWidestShadow; }))
        return {};
    return {double(values[0]), double(values[1]), double(values[2]), double(values[3])};
}

WindowStatus X11WindowControl::setMinimised(WindowId window, bool minimise) {
    const auto managedWindow = managed(window);
    if (!managedWindow) return *managedWindow.error();
    if (!stillThere(*managedWindow, minimise ? "minimised" : "restored")) return WindowError::cannotComplete;
    if (minimise) m_connection.sendRootMessage(*managedWindow, m_connection.atom("WM_CHANGE_STATE"), kIconicState);
    else activate(*managedWindow); // activating restores a minimised window, as restoring focuses it
    return {};
}

WindowStatus X11WindowControl::raise(WindowId window) {
    const auto managedWindow = managed(window);
    if (!managedWindow) return *managedWindow.error();
    activate(*managedWindow);
    return {};
}

bool X11WindowControl::stillThere(XWindow window, const char* what) {
    xcb_generic_error_t* error = nullptr;
    m_connection.noteRoundTrip();
    auto* geometry = xcb_get_geometry_reply(m_connection.raw(), xcb_get_geometry(m_connection.raw(), window), &error);
    const bool there = geometry != nullptr && error == nullptr;
    std::free(geometry);
    std::free(error);
    // Gone before the client list says so: report it once, the list will follow.
    if (!there && m_reportedGone.insert(window).second)
        m_log.error(kCategory, "window %u is gone — it cannot be %s", window, what);
    return there;
}

bool X11WindowControl::isMaximised(XWindow window) {
    const xcb_ewmh_connection_t& ewmh = *m_connection.ewmh();
    const auto states = m_connection.atoms(window, ewmh._NET_WM_STATE);
    return std::any_of(states.begin(), states.end(), [&](xcb_atom_t state) {
        return state == ewmh._NET_WM_STATE_MAXIMIZED_VERT || state == ewmh._NET_WM_STATE_MAXIMIZED_HORZ;
    });
}

void X11WindowControl::place(XWindow window, std::optional<Point> origin, std::optional<Size> frameSize) {
    if (const auto pending = m_pending.find(window); pending != m_pending.end()) {
        if (origin) pending->second.origin = origin;
        if (frameSize) pending->second.frameSize = frameSize;
        if (pending->second.restored) moveResize(window, origin, frameSize);
        return;
    }
    if (!knownMaximised(window)) {
        moveResize(window, origin, frameSize);
        return;
    }
    // The window manager ignores moves of a maximised window, and restoring it changes its frame
    // extents: restore it, place it once its state says so, and again when its extents follow
    // (the state may be announced first); after a bound the window is left to itself.
    const xcb_ewmh_connection_t& ewmh = *m_connection.ewmh();
    m_connection.sendRootMessage(window, ewmh._NET_WM_STATE, kStateRemove, ewmh._NET_WM_STATE_MAXIMIZED_VERT,
                                 ewmh._NET_WM_STATE_MAXIMIZED_HORZ, kSourcePager);
    PendingFrame& pending = m_pending[window];
    pending.origin = origin;
    pending.frameSize = frameSize;
    pending.restored = false;
    pending.fallback = m_scheduler.after(kRestoreBound, m_lifetime.guard([this, window] {
        const auto it = m_pending.find(window);
        if (it == m_pending.end()) return;
        const PendingFrame last = it->second;
        m_pending.erase(it);
        if (!last.restored && m_tracker.isManaged(window)) moveResize(window, last.origin, last.frameSize);
    }));
}

void X11WindowControl::applyPending(XWindow window) {
    const auto it = m_pending.find(window);
    if (it == m_pending.end() || !m_tracker.isManaged(window)) return;
    moveResize(window, it->second.origin, it->second.frameSize);
}

void X11WindowControl::onConfigure(const xcb_configure_notify_event_t& notify) {
    // The size asked for has landed once the client has it inside the frame the window has now.
    const auto requested = m_requestedFrame.find(notify.window);
    if (requested == m_requestedFrame.end() || notify.event != notify.window) return;
    const auto size = clientSizeIn(requested->second, m_connection.frameExtents(notify.window));
    if (size == std::pair<std::int32_t, std::int32_t>(notify.width, notify.height)) m_requestedFrame.erase(requested);
}

std::optional<std::pair<std::pair<std::int32_t, std::int32_t>, std::uint32_t>>
X11WindowControl::clientSize(XWindow window) {
    const auto cookie = xcb_get_geometry(m_connection.raw(), window);
    m_connection.noteRoundTrip();
    xcb_generic_error_t* error = nullptr;
    auto* geometry = xcb_get_geometry_reply(m_connection.raw(), cookie, &error);
    std::free(error);
    if (!geometry) return std::nullopt; // gone
    const std::pair<std::int32_t, std::int32_t> size(geometry->width, geometry->height);
    std::free(geometry);
    return std::pair(size, cookie.sequence);
}

bool X11WindowControl::landingReceived(XWindow window, std::pair<std::int32_t, std::int32_t> clientSize,
                                       std::uint32_t readAt) {
    return m_connection.anyReceived([&](const xcb_generic_event_t& event) {
        // An event carries the last of our requests the server had handled when it was sent.
        if ((event.response_type & 0x7f) != XCB_CONFIGURE_NOTIFY || event.full_sequence >= readAt) return false;
        const auto& notify = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
        return notify.event == window && notify.window == window &&
               clientSize == std::pair<std::int32_t, std::int32_t>(notify.width, notify.height);
    });
}

void X11WindowControl::onXEvent(const xcb_generic_event_t& event) {
    if ((event.response_type & 0x7f) == XCB_CONFIGURE_NOTIFY) {
        const auto& configure = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
        m_snapshots.erase(configure.window); // its frame changed
        if (!m_requestedFrame.empty()) onConfigure(configure);
        return;
    }
    if ((event.response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return;
    const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
    m_snapshots.erase(notify.window); // what was read of it may have changed
    if (m_pending.empty()) return;
    const auto pending = m_pending.find(notify.window);
    if (pending == m_pending.end()) return;
    if (notify.atom == m_connection.ewmh()->_NET_WM_STATE && !pending->second.restored &&
        !isMaximised(notify.window)) {
        pending->second.restored = true;
        applyPending(notify.window);
    } else if (notify.atom == m_connection.ewmh()->_NET_FRAME_EXTENTS && pending->second.restored) {
        applyPending(notify.window);
    }
}

void X11WindowControl::moveResize(XWindow window, std::optional<Point> origin, std::optional<Size> frameSize) {
    const MoveResize request = placement(window, origin, frameSize);
    sendMoveResize(window, request.flags, request.x, request.y, request.width, request.height);
}

X11WindowControl::MoveResize X11WindowControl::placement(XWindow window, std::optional<Point> origin,
                                                         std::optional<Size> frameSize) {
    // NorthWest gravity: x,y name the frame's top-left corner on Openbox, IceWM and Fluxbox alike.
    MoveResize request;
    request.flags = kNorthWestGravity | (kSourcePager << 12);
    if (origin) {
        request.flags |= kMoveX | kMoveY;
        request.x = coordinate(origin->x);
        request.y = coordinate(origin->y);
    }
    if (frameSize) {
        // The size names the frame; the window manager is asked for the client inside it.
        std::tie(request.width, request.height) = clientSizeIn(*frameSize, knownExtents(window));
        // Its landing is heard through the configure notifications the client tracker selects.
        m_requestedFrame[window] = *frameSize;
    } else if (const auto client = clientSize(window)) {
        // A move carries the size too: Fluxbox takes a missing height as the frame's inner height
        // and grows the window by its decorations at every move. While a size write is on its way
        // the size asked for, so the move does not undo it; afterwards the size the window has. It
        // may have landed and been changed since (by the user) with the news not yet dispatched:
        // the events the server sent before the read tell.
        std::tie(request.width, request.height) = client->first;
        if (const auto requested = m_requestedFrame.find(window); requested != m_requestedFrame.end()) {
            const auto size = clientSizeIn(requested->second, m_connection.frameExtents(window));
            if (size == client->first || landingReceived(window, size, client->second))
                m_requestedFrame.erase(requested); // landed
            else std::tie(request.width, request.height) = size;
        }
    } else {
        return request; // gone: the message will not matter
    }
    if (request.width > 0 && request.height > 0) request.flags |= kMoveWidth | kMoveHeight;
    return request;
}

bool X11WindowControl::moveResizeSupported() {
    if (!m_moveResizeSupported) {
        const xcb_ewmh_connection_t& ewmh = *m_connection.ewmh();
        const auto supported = m_connection.atoms(m_connection.root(), ewmh._NET_SUPPORTED);
        m_moveResizeSupported =
            std::find(supported.begin(), supported.end(), ewmh._NET_MOVERESIZE_WINDOW) != supported.end();
        if (!*m_moveResizeSupported)
            m_log.info(kCategory, "_NET_MOVERESIZE_WINDOW unavailable — placing windows with ConfigureWindow");
    }
    return *m_moveResizeSupported;
}

void X11WindowControl::sendMoveResize(XWindow window, std::uint32_t flags, std::int32_t x, std::int32_t y,
                                      std::int32_t width, std::int32_t height) {
    if (moveResizeSupported()) {
        m_connection.sendRootMessage(window, m_connection.ewmh()->_NET_MOVERESIZE_WINDOW, flags,
                                     static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y),
                                     static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
        return;
    }
    // The window manager redirects a client's configure and, with the default (north-west)
    // gravity, puts the frame's corner at x, y: the same request in the older form.
    std::uint16_t mask = 0;
    std::uint32_t values[4];
    int count = 0;
    if (flags & kMoveX) {
        mask |= XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y;
        values[count++] = static_cast<std::uint32_t>(x);
        values[count++] = static_cast<std::uint32_t>(y);
    }
    if (flags & kMoveWidth) {
        mask |= XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT;
        values[count++] = static_cast<std::uint32_t>(width);
        values[count++] = static_cast<std::uint32_t>(height);
    }
    if (mask == 0) return;
    xcb_configure_window(m_connection.raw(), window, mask, values);
    m_connection.flush();
}

void X11WindowControl::activate(XWindow window) {
    m_connection.sendRootMessage(window, m_connection.ewmh()->_NET_ACTIVE_WINDOW, kSourcePager, XCB_CURRENT_TIME,
                                 m_tracker.activeWindow());
}

// --- Observers ----------------------------------------------------------------------------------

WindowResult<WindowObserverId> X11WindowControl::createObserver(Pid pid, ObserverCallback callback) {
    if (!available()) return WindowError::notPermitted;
    if (!processExists(pid)) return WindowError::windowGone;
    if (!callback) return WindowError::invalidArgument;
    const WindowObserverId id = m_nextObserver++;
    m_observers[id] = Observer{pid, std::move(callback)};
    return id;
}

WindowStatus X11WindowControl::watch(WindowObserverId observer, WindowEvent event, std::optional<WindowId> window,
                                     std::optional<std::uint64_t> context) {
    if (!available()) return WindowError::notPermitted;
    const auto it = m_observers.find(observer);
    if (it == m_observers.end()) return WindowError::observerGone;
    // Application-wide events are watched on the application, the others on one of its windows.
    if (isApplicationEvent(event) == window.has_value()) return WindowError::unsupported;
    if (window) {
        // Events are delivered to the observer of the window's owner only: a window of another
        // process is none of this observer's, as if it were gone.
        if (!m_tracker.isManaged(*window) || m_tracker.pidOf(*window) != it->second.pid) return WindowError::windowGone;
    } else if (!processExists(it->second.pid)) {
        return WindowError::windowGone;
    }
    const std::optional<XWindow> target = window ? std::optional<XWindow>(*window) : std::nullopt;
    for (const Registration& r : m_registrations)
        if (r.observer == observer && r.event == event && r.window == target) return WindowError::alreadyWatching;
    m_registrations.push_back({observer, event, target, context});
    return {};
}

void X11WindowControl::releaseObserver(WindowObserverId observer) {
    std::erase_if(m_registrations, [&](const Registration& r) { return r.observer == observer; });
    m_observers.erase(observer);
}

void X11WindowControl::onTrackerEvent(const X11ClientTracker::Event& event) {
    using Kind = X11ClientTracker::Event::Kind;
    switch (event.kind) {
    case Kind::windowAdded:
        if (event.pid != 0) deliver(event.pid, event.window, WindowEvent::windowCreated);
        break;
    case Kind::windowRemoved:
        m_reportedGone.erase(event.window);
        m_requestedFrame.erase(event.window);
        if (const auto pending = m_pending.find(event.window); pending != m_pending.end()) {
            pending->second.fallback.cancel();
            m_pending.erase(pending);
        }
        if (event.pid != 0) deliver(event.pid, event.window, WindowEvent::windowDestroyed);
        // The window is gone: its registrations go with it (the delivery above is already queued).
        std::erase_if(m_registrations, [window = event.window](const Registration& r) { return r.window == window; });
        break;
    case Kind::activeWindowChanged:
        if (const Pid pid = m_tracker.pidOf(event.window); event.window != 0 && pid != 0)
            deliver(pid, event.window, WindowEvent::focusedWindowChanged);
        break;
    case Kind::windowStateChanged:
        if (event.pid != 0)
            deliver(event.pid, event.window, event.minimisedNow ? WindowEvent::minimised : WindowEvent::restored);
        break;
    case Kind::windowDesktopChanged:
    case Kind::keptAsideChanged:
        // A window that starts or stops being kept aside leaves or joins the desktop's windows as
        // one sent to another desktop does: both ask where it belongs now.
        if (event.pid != 0) deliver(event.pid, event.window, WindowEvent::desktopChanged);
        break;
    case Kind::fullScreenChanged:
        if (event.pid != 0)
            deliver(event.pid, event.window,
                    event.fullScreenNow ? WindowEvent::fullScreenEntered : WindowEvent::fullScreenLeft);
        break;
    case Kind::currentDesktopChanged:
        break;
    case Kind::frameChanged:
        // At most one per window per turn of the loop: a move and a resize, or an animation's
        // several writes read in one go, are one change.
        if (event.pid != 0 && m_framesChanged.insert(event.window).second) {
            m_scheduler.post(m_lifetime.guard([this, pid = event.pid, window = event.window] {
                m_framesChanged.erase(window);
                if (m_tracker.isManaged(window)) deliver(pid, window, WindowEvent::frameChanged);
            }));
        }
        break;
    }
}

void X11WindowControl::deliver(Pid pid, XWindow window, WindowEvent event) {
    const bool applicationWide = isApplicationEvent(event);
    for (const Registration& r : m_registrations) {
        if (r.event != event || (applicationWide ? r.window.has_value() : r.window != window)) continue;
        const auto observer = m_observers.find(r.observer);
        if (observer == m_observers.end() || observer->second.pid != pid) continue;
        m_scheduler.post(m_lifetime.guard([this, id = r.observer, window, event, context = r.context] {
            const auto it = m_observers.find(id);
            if (it == m_observers.end()) return;
            // The callback may release its own observer: keep the function alive while it runs.
            const ObserverCallback callback = it->second.callback;
            callback(id, event, window, context);
        }));
    }
}

} // namespace quorvel::x11
