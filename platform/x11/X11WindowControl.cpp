// Accessibility over EWMH: attributes read from window properties, frame writes as
// _NET_MOVERESIZE_WINDOW, raise as _NET_ACTIVE_WINDOW, and observers fed by the client tracker.
#include "X11Accessibility.h"

#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace quorvel::x11 {

namespace {
constexpr const char* kCategory = "x11";
constexpr std::uint64_t kKindShift = 56;
constexpr std::uint64_t kApplicationKind = 1;
constexpr std::uint64_t kWindowKind = 2;
constexpr std::uint64_t kSystemWideKind = 3;
constexpr std::uint64_t kValueMask = (std::uint64_t{1} << 32) - 1;

// How long a trust answer is reused: every call checks trust, the window manager rarely goes away.
constexpr double kTrustRecheckSeconds = 1.0;
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

bool isApplicationNotification(std::string_view notification) {
    return notification == ax::windowCreated || notification == ax::focusedWindowChanged;
}

bool isWindowNotification(std::string_view notification) {
    return notification == ax::elementDestroyed || notification == ax::windowMiniaturized ||
           notification == ax::windowDeminiaturized;
}

// A protocol coordinate: X carries 16-bit positions and sizes.
std::int32_t coordinate(double value) { return static_cast<std::int32_t>(std::clamp(std::lround(value), -32768L, 32767L)); }
} // namespace

X11Accessibility::X11Accessibility(X11Connection& connection, X11ClientTracker& tracker, Scheduler& scheduler,
                                   Log& log)
    : m_connection(connection), m_tracker(tracker), m_scheduler(scheduler), m_log(log) {
    m_subscription = m_tracker.subscribe([this](const X11ClientTracker::Event& event) { onTrackerEvent(event); });
    m_listener = m_connection.addListener([this](const xcb_generic_event_t& event) { onXEvent(event); });
}

X11Accessibility::~X11Accessibility() {
    m_tracker.unsubscribe(m_subscription);
    m_connection.removeListener(m_listener);
    for (auto& [window, pending] : m_pending) pending.fallback.cancel();
}

// --- Elements -----------------------------------------------------------------------------------

AXElement X11Accessibility::systemWideElement() { return AXElement{kSystemWideKind << kKindShift}; }

AXElement X11Accessibility::applicationElement(Pid pid) {
    return AXElement{(kApplicationKind << kKindShift) | static_cast<std::uint32_t>(pid)};
}

AXElement X11Accessibility::windowElement(XWindow window) { return AXElement{(kWindowKind << kKindShift) | window}; }

std::optional<XWindow> X11Accessibility::windowOf(AXElement element) {
    if ((element.handle >> kKindShift) != kWindowKind) return std::nullopt;
    return static_cast<XWindow>(element.handle & kValueMask);
}

std::optional<Pid> X11Accessibility::pidOf(AXElement element) {
    if ((element.handle >> kKindShift) != kApplicationKind) return std::nullopt;
    return static_cast<Pid>(static_cast<std::uint32_t>(element.handle & kValueMask));
}

std::optional<XWindow> X11Accessibility::managedWindow(AXElement element) const {
    const auto window = windowOf(element);
    if (!window || !m_tracker.isManaged(*window)) return std::nullopt;
    return window;
}

bool X11Accessibility::processExists(Pid pid) const {
    return pid > 0 && (m_tracker.ownsWindows(pid) || X11ClientTracker::processRunning(pid));
}

bool X11Accessibility::elementExists(AXElement element) const {
    if (element.handle == (kSystemWideKind << kKindShift)) return true;
    if (managedWindow(element)) return true;
    const auto pid = pidOf(element);
    return pid && processExists(*pid);
}

// --- Trust --------------------------------------------------------------------------------------

bool X11Accessibility::isProcessTrusted() {
    if (m_trustOverride) return *m_trustOverride;
    m_windowManagerPresent = m_connection.hasEWMHWindowManager();
    m_trustCheckedAt = m_scheduler.now();
    return m_windowManagerPresent;
}

bool X11Accessibility::trusted() {
    if (m_trustOverride) return *m_trustOverride;
    if (!m_trustCheckedAt || m_scheduler.now() - *m_trustCheckedAt > kTrustRecheckSeconds) return isProcessTrusted();
    return m_windowManagerPresent;
}

AXError X11Accessibility::setMessagingTimeout(AXElement element, double) {
    return elementExists(element) ? AXError::success : AXError::invalidUIElement;
}

// --- Attributes ---------------------------------------------------------------------------------

AXResult<AXValue> X11Accessibility::copyAttributeValue(AXElement element, std::string_view attribute) {
    if (!trusted()) return {AXError::apiDisabled, {}};
    if (windowOf(element)) {
        const auto window = managedWindow(element);
        if (!window) return {AXError::invalidUIElement, {}};
        return windowAttribute(*window, attribute);
    }
    if (const auto pid = pidOf(element)) {
        if (!processExists(*pid)) return {AXError::invalidUIElement, {}};
        return applicationAttribute(*pid, attribute);
    }
    if (elementExists(element)) return {AXError::attributeUnsupported, {}};
    return {AXError::invalidUIElement, {}};
}

AXResult<AXValue> X11Accessibility::windowAttribute(XWindow window, std::string_view attribute) {
    const xcb_ewmh_connection_t& ewmh = *m_connection.ewmh();
    if (attribute == ax::role) return {AXError::success, std::string(ax::windowRole)};
    if (attribute == ax::subrole) return {AXError::success, subrole(window)};
    if (attribute == ax::title) return {AXError::success, m_connection.windowTitle(window).value_or("")};
    if (attribute == ax::position || attribute == ax::size) {
        const auto frame = m_connection.frameRect(window);
        if (!frame) return {AXError::invalidUIElement, {}};
        if (attribute == ax::position) return {AXError::success, frame->origin()};
        return {AXError::success, frame->size()};
    }
    if (attribute == ax::minimized || attribute == ax::fullScreen) {
        const xcb_atom_t wanted = attribute == ax::minimized ? ewmh._NET_WM_STATE_HIDDEN : ewmh._NET_WM_STATE_FULLSCREEN;
        const auto states = m_connection.atoms(window, ewmh._NET_WM_STATE);
        return {AXError::success, std::find(states.begin(), states.end(), wanted) != states.end()};
    }
    return {AXError::attributeUnsupported, {}};
}

AXResult<AXValue> X11Accessibility::applicationAttribute(Pid pid, std::string_view attribute) {
    if (attribute == ax::role) return {AXError::success, std::string("AXApplication")};
    if (attribute == ax::hidden) return {AXError::success, false}; // X11 has no hiding of applications
    if (attribute == ax::title) {
        const auto windows = m_tracker.windowsOf(pid);
        std::optional<std::string> name;
        if (!windows.empty()) name = m_connection.applicationName(windows.front());
        if (!name) name = X11ClientTracker::processName(pid);
        return {AXError::success, name.value_or("")};
    }
    if (attribute == ax::windows) {
        std::vector<AXElement> elements;
        for (const XWindow window : m_tracker.windowsOf(pid)) elements.push_back(windowElement(window));
        return {AXError::success, elements};
    }
    if (attribute == ax::focusedWindow) {
        if (const auto window = focusedWindow(pid)) return {AXError::success, windowElement(*window)};
        return {AXError::noValue, {}};
    }
    return {AXError::attributeUnsupported, {}};
}

std::string X11Accessibility::subrole(XWindow window) {
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
    if (type && *type != ewmh._NET_WM_WINDOW_TYPE_NORMAL) return "AXDialog";
    // A window that names a parent belongs to it (a dialog or a secondary window), whatever its type.
    xcb_window_t parent = XCB_WINDOW_NONE;
    xcb_generic_error_t* error = nullptr;
    const bool transient = xcb_icccm_get_wm_transient_for_reply(
                               m_connection.raw(), xcb_icccm_get_wm_transient_for(m_connection.raw(), window), &parent,
                               &error) == 1 &&
                           parent != XCB_WINDOW_NONE;
    std::free(error);
    return transient ? "AXDialog" : std::string(ax::standardWindow);
}

bool X11Accessibility::isFixedSize(XWindow window) {
    xcb_size_hints_t hints{};
    xcb_generic_error_t* error = nullptr;
    if (!xcb_icccm_get_wm_normal_hints_reply(m_connection.raw(), xcb_icccm_get_wm_normal_hints(m_connection.raw(), window),
                                             &hints, &error)) {
        std::free(error);
        return false;
    }
    const bool bounded = (hints.flags & XCB_ICCCM_SIZE_HINT_P_MIN_SIZE) && (hints.flags & XCB_ICCCM_SIZE_HINT_P_MAX_SIZE);
    return bounded && hints.min_width > 0 && hints.min_height > 0 && hints.min_width == hints.max_width &&
           hints.min_height == hints.max_height;
}

std::optional<XWindow> X11Accessibility::focusedWindow(Pid pid) {
    const auto active =
        m_connection.cardinal(m_connection.root(), m_connection.ewmh()->_NET_ACTIVE_WINDOW, XCB_ATOM_WINDOW);
    if (active && m_tracker.isManaged(*active) && m_tracker.pidOf(*active) == pid) return *active;
    // Not the active application: the window that would take focus were it activated.
    for (const XWindow window : m_tracker.windowsOf(pid))
        if (!m_tracker.isMinimised(window)) return window;
    return std::nullopt;
}

AXResult<bool> X11Accessibility::isAttributeSettable(AXElement element, std::string_view attribute) {
    if (!trusted()) return {AXError::apiDisabled, false};
    if (windowOf(element)) {
        const auto window = managedWindow(element);
        if (!window) return {AXError::invalidUIElement, false};
        if (attribute == ax::size) return {AXError::success, !isFixedSize(*window)};
        if (attribute == ax::position || attribute == ax::minimized) return {AXError::success, true};
        return {AXError::success, false};
    }
    return {elementExists(element) ? AXError::success : AXError::invalidUIElement, false};
}

AXError X11Accessibility::setAttributeValue(AXElement element, std::string_view attribute, const AXValue& value) {
    if (!trusted()) return AXError::apiDisabled;
    if (!windowOf(element)) return elementExists(element) ? AXError::attributeUnsupported : AXError::invalidUIElement;
    const auto window = managedWindow(element);
    if (!window) return AXError::invalidUIElement;

    if (attribute == ax::position) {
        const auto* point = std::get_if<Point>(&value);
        if (!point || !std::isfinite(point->x) || !std::isfinite(point->y)) return AXError::illegalArgument;
        if (!stillThere(*window, "moved")) return AXError::cannotComplete;
        place(*window, *point, std::nullopt);
        return AXError::success;
    }
    if (attribute == ax::size) {
        const auto* size = std::get_if<Size>(&value);
        if (!size || !std::isfinite(size->width) || !std::isfinite(size->height)) return AXError::illegalArgument;
        if (!stillThere(*window, "resized")) return AXError::cannotComplete;
        if (isFixedSize(*window)) return AXError::cannotComplete;
        place(*window, std::nullopt, *size);
        return AXError::success;
    }
    if (attribute == ax::minimized) {
        const auto* minimise = std::get_if<bool>(&value);
        if (!minimise) return AXError::illegalArgument;
        if (!stillThere(*window, *minimise ? "minimised" : "restored")) return AXError::cannotComplete;
        if (*minimise) m_connection.sendRootMessage(*window, m_connection.atom("WM_CHANGE_STATE"), kIconicState);
        else activate(*window); // activating restores a minimised window, as de-minimising focuses it
        return AXError::success;
    }
    return AXError::attributeUnsupported;
}

bool X11Accessibility::stillThere(XWindow window, const char* what) {
    xcb_generic_error_t* error = nullptr;
    auto* geometry = xcb_get_geometry_reply(m_connection.raw(), xcb_get_geometry(m_connection.raw(), window), &error);
    const bool there = geometry != nullptr && error == nullptr;
    std::free(geometry);
    std::free(error);
    // Gone before the client list says so: report it once, the list will follow.
    if (!there && m_reportedGone.insert(window).second)
        m_log.error(kCategory, "window %u is gone — it cannot be %s", window, what);
    return there;
}

bool X11Accessibility::isMaximised(XWindow window) {
    const xcb_ewmh_connection_t& ewmh = *m_connection.ewmh();
    const auto states = m_connection.atoms(window, ewmh._NET_WM_STATE);
    return std::any_of(states.begin(), states.end(), [&](xcb_atom_t state) {
        return state == ewmh._NET_WM_STATE_MAXIMIZED_VERT || state == ewmh._NET_WM_STATE_MAXIMIZED_HORZ;
    });
}

void X11Accessibility::place(XWindow window, std::optional<Point> origin, std::optional<Size> frameSize) {
    if (const auto pending = m_pending.find(window); pending != m_pending.end()) {
        if (origin) pending->second.origin = origin;
        if (frameSize) pending->second.frameSize = frameSize;
        if (pending->second.restored) moveResize(window, origin, frameSize);
        return;
    }
    if (!isMaximised(window)) {
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

void X11Accessibility::applyPending(XWindow window) {
    const auto it = m_pending.find(window);
    if (it == m_pending.end() || !m_tracker.isManaged(window)) return;
    moveResize(window, it->second.origin, it->second.frameSize);
}

void X11Accessibility::onXEvent(const xcb_generic_event_t& event) {
    if ((event.response_type & 0x7f) != XCB_PROPERTY_NOTIFY || m_pending.empty()) return;
    const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
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

void X11Accessibility::moveResize(XWindow window, std::optional<Point> origin, std::optional<Size> frameSize) {
    // Only the fields given are changed: a position write keeps the size the window manager has,
    // even when an earlier size write is still on its way, and the other way round.
    std::uint32_t flags = kNorthWestGravity | (kSourcePager << 12);
    std::int32_t x = 0, y = 0, width = 0, height = 0;
    if (origin) {
        flags |= kMoveX | kMoveY;
        x = coordinate(origin->x);
        y = coordinate(origin->y);
    }
    if (frameSize) {
        // The size names the frame; the window manager is asked for the client inside it.
        const auto extents = m_connection.frameExtents(window);
        flags |= kMoveWidth | kMoveHeight;
        width = std::max(1, coordinate(frameSize->width - extents.left - extents.right));
        height = std::max(1, coordinate(frameSize->height - extents.top - extents.bottom));
    }
    m_connection.sendRootMessage(window, m_connection.ewmh()->_NET_MOVERESIZE_WINDOW, flags,
                                 static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y),
                                 static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
}

void X11Accessibility::activate(XWindow window) {
    m_connection.sendRootMessage(window, m_connection.ewmh()->_NET_ACTIVE_WINDOW, kSourcePager, XCB_CURRENT_TIME,
                                 m_tracker.activeWindow());
}

AXError X11Accessibility::performAction(AXElement element, std::string_view action) {
    if (!trusted()) return AXError::apiDisabled;
    if (!windowOf(element)) return elementExists(element) ? AXError::actionUnsupported : AXError::invalidUIElement;
    const auto window = managedWindow(element);
    if (!window) return AXError::invalidUIElement;
    if (action != ax::raise) return AXError::actionUnsupported;
    activate(*window);
    return AXError::success;
}

AXResult<Pid> X11Accessibility::pid(AXElement element) {
    if (const auto pid = pidOf(element)) {
        if (processExists(*pid)) return {AXError::success, *pid};
        return {AXError::invalidUIElement, 0};
    }
    const auto window = managedWindow(element);
    if (!window) return {AXError::invalidUIElement, 0};
    const Pid owner = m_tracker.pidOf(*window);
    // A window that names no process has no application to answer for it.
    if (owner == 0) return {AXError::cannotComplete, 0};
    return {AXError::success, owner};
}

std::optional<WindowId> X11Accessibility::windowId(AXElement element) {
    if (!trusted()) return std::nullopt;
    const auto window = managedWindow(element);
    if (!window || *window == 0) return std::nullopt;
    return *window;
}

// --- Observers ----------------------------------------------------------------------------------

AXResult<AXObserverId> X11Accessibility::createObserver(Pid pid, ObserverCallback callback) {
    if (!trusted()) return {AXError::apiDisabled, 0};
    if (!processExists(pid) || !callback) return {AXError::illegalArgument, 0};
    const AXObserverId id = m_nextObserver++;
    m_observers[id] = Observer{pid, std::move(callback), false};
    return {AXError::success, id};
}

AXError X11Accessibility::addNotification(AXObserverId observer, AXElement element, std::string_view notification,
                                          std::optional<std::uint64_t> refcon) {
    if (!trusted()) return AXError::apiDisabled;
    if (!m_observers.contains(observer)) return AXError::invalidUIElementObserver;
    if (!elementExists(element)) return AXError::invalidUIElement;
    // Window notifications on an application element cover all of its windows.
    const bool supported = windowOf(element) ? isWindowNotification(notification)
                           : pidOf(element)  ? isApplicationNotification(notification) || isWindowNotification(notification)
                                             : false;
    if (!supported) return AXError::notificationUnsupported;
    for (const Registration& r : m_registrations)
        if (r.observer == observer && r.element == element && r.notification == notification)
            return AXError::notificationAlreadyRegistered;
    m_registrations.push_back({observer, element, std::string(notification), refcon});
    return AXError::success;
}

AXError X11Accessibility::removeNotification(AXObserverId observer, AXElement element, std::string_view notification) {
    const auto before = m_registrations.size();
    std::erase_if(m_registrations, [&](const Registration& r) {
        return r.observer == observer && r.element == element && r.notification == notification;
    });
    return m_registrations.size() < before ? AXError::success : AXError::notificationNotRegistered;
}

void X11Accessibility::scheduleObserver(AXObserverId observer) {
    if (const auto it = m_observers.find(observer); it != m_observers.end()) it->second.scheduled = true;
}

void X11Accessibility::unscheduleObserver(AXObserverId observer) {
    if (const auto it = m_observers.find(observer); it != m_observers.end()) it->second.scheduled = false;
}

void X11Accessibility::releaseObserver(AXObserverId observer) {
    std::erase_if(m_registrations, [&](const Registration& r) { return r.observer == observer; });
    m_observers.erase(observer);
}

void X11Accessibility::onTrackerEvent(const X11ClientTracker::Event& event) {
    using Kind = X11ClientTracker::Event::Kind;
    switch (event.kind) {
    case Kind::windowAdded:
        if (event.pid != 0) deliver(event.pid, event.window, ax::windowCreated);
        break;
    case Kind::windowRemoved:
        m_reportedGone.erase(event.window);
        if (const auto pending = m_pending.find(event.window); pending != m_pending.end()) {
            pending->second.fallback.cancel();
            m_pending.erase(pending);
        }
        if (event.pid != 0) deliver(event.pid, event.window, ax::elementDestroyed);
        // The element is dead: its registrations go with it (the delivery above is already queued).
        std::erase_if(m_registrations,
                      [element = windowElement(event.window)](const Registration& r) { return r.element == element; });
        break;
    case Kind::activeWindowChanged:
        if (const Pid pid = m_tracker.pidOf(event.window); event.window != 0 && pid != 0)
            deliver(pid, event.window, ax::focusedWindowChanged);
        break;
    case Kind::windowStateChanged:
        if (event.pid != 0)
            deliver(event.pid, event.window, event.minimisedNow ? ax::windowMiniaturized : ax::windowDeminiaturized);
        break;
    case Kind::currentDesktopChanged:
        break;
    }
}

void X11Accessibility::deliver(Pid pid, XWindow window, std::string_view notification) {
    const AXElement windowEl = windowElement(window);
    const AXElement applicationEl = applicationElement(pid);
    const bool applicationLevel = isApplicationNotification(notification);
    for (const Registration& r : m_registrations) {
        if (r.notification != notification) continue;
        if (r.element != applicationEl && (applicationLevel || r.element != windowEl)) continue;
        const auto observer = m_observers.find(r.observer);
        if (observer == m_observers.end() || observer->second.pid != pid) continue;
        m_scheduler.post(m_lifetime.guard(
            [this, id = r.observer, windowEl, name = std::string(notification), refcon = r.refcon] {
                const auto it = m_observers.find(id);
                if (it == m_observers.end() || !it->second.scheduled) return;
                // The callback may release its own observer: keep the function alive while it runs.
                const ObserverCallback callback = it->second.callback;
                callback(id, windowEl, name, refcon);
            }));
    }
}

} // namespace quorvel::x11
