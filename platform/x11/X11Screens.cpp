// Screens on X11: RandR monitors, struts, the pointer and screen-change notifications.
#include "X11Screens.h"

#include "X11PendingReads.h"

#include <xcb/randr.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>

namespace quorvel::x11 {

namespace {
template <class Reply>
std::unique_ptr<Reply, decltype(&std::free)> owned(Reply* reply) {
    return {reply, &std::free};
}

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

bool isBuiltinConnector(const std::string& name) {
    return startsWith(name, "eDP") || startsWith(name, "LVDS") || startsWith(name, "DSI");
}

// A strut's twelve values; _NET_WM_STRUT's four reach along the whole edge.
std::optional<std::vector<std::uint32_t>> strutOf(const PropertyValue& partial, const PropertyValue& plain) {
    if (auto values = partial.cardinals(); values.size() >= 12) {
        values.resize(12);
        return values;
    }
    const auto values = plain.cardinals();
    if (values.size() < 4) return std::nullopt;
    constexpr std::uint32_t whole = 0xFFFFFFFF;
    return std::vector<std::uint32_t>{values[0], values[1], values[2], values[3], 0, whole, 0, whole,
                                      0,         whole,     0,         whole};
}
} // namespace

std::string monitorIdentifier(const Monitor& monitor) { return "x11-monitor-" + monitor.name; }

// --- Monitors -----------------------------------------------------------------------------------

MonitorReader::MonitorReader(X11Connection& connection) : m_connection(connection) {
    xcb_connection_t* raw = connection.raw();
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(raw, &xcb_randr_id);
    if (!extension || !extension->present) return;
    m_firstEvent = extension->first_event;
    xcb_generic_error_t* error = nullptr;
    const auto version = owned(xcb_randr_query_version_reply(raw, xcb_randr_query_version(raw, 1, 5), &error));
    if (error) {
        connection.absorb(*error, "asking the RandR version");
        std::free(error);
    }
    // Monitors came with RandR 1.5.
    m_randrMonitors = version && (version->major_version > 1 || version->minor_version >= 5);
}

std::vector<Monitor> MonitorReader::read() {
    std::vector<Monitor> monitors;
    xcb_connection_t* raw = m_connection.raw();
    if (m_randrMonitors) {
        xcb_generic_error_t* error = nullptr;
        const auto reply =
            owned(xcb_randr_get_monitors_reply(raw, xcb_randr_get_monitors(raw, m_connection.root(), 1), &error));
        if (error) {
            m_connection.absorb(*error, "reading the monitors");
            std::free(error);
        }
        if (reply) {
            std::vector<xcb_get_atom_name_cookie_t> names;
            for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem;
                 xcb_randr_monitor_info_next(&it)) {
                const xcb_randr_monitor_info_t& info = *it.data;
                if (info.width == 0 || info.height == 0) continue;
                Monitor monitor;
                monitor.nameAtom = info.name;
                monitor.bounds = {double(info.x), double(info.y), double(info.width), double(info.height)};
                monitor.primary = info.primary != 0;
                const xcb_randr_output_t* outputs = xcb_randr_monitor_info_outputs(&info);
                monitor.outputs.assign(outputs, outputs + xcb_randr_monitor_info_outputs_length(&info));
                monitors.push_back(std::move(monitor));
                names.push_back(xcb_get_atom_name(raw, info.name));
            }
            for (std::size_t i = 0; i < monitors.size(); ++i) {
                const auto name = owned(xcb_get_atom_name_reply(raw, names[i], nullptr));
                if (name)
                    monitors[i].name.assign(xcb_get_atom_name_name(name.get()),
                                            static_cast<std::size_t>(xcb_get_atom_name_name_length(name.get())));
                if (monitors[i].name.empty()) monitors[i].name = std::to_string(monitors[i].nameAtom);
            }
        }
    }
    if (monitors.empty()) {
        // No RandR monitors: the root is the one screen, at its current size.
        Monitor whole;
        whole.name = "default";
        whole.nameAtom = m_connection.atom("default");
        const xcb_screen_t* screen = m_connection.screen();
        whole.bounds = {0, 0, double(screen->width_in_pixels), double(screen->height_in_pixels)};
        if (const auto geometry =
                owned(xcb_get_geometry_reply(raw, xcb_get_geometry(raw, m_connection.root()), nullptr)))
            whole.bounds = {0, 0, double(geometry->width), double(geometry->height)};
        whole.primary = true;
        monitors.push_back(std::move(whole));
    }
    std::stable_partition(monitors.begin(), monitors.end(), [](const Monitor& m) { return m.primary; });
    return monitors;
}

// --- Screens ------------------------------------------------------------------------------------

X11Screens::X11Screens(X11Connection& connection, Scheduler& scheduler)
    : m_connection(connection), m_scheduler(scheduler), m_monitors(connection) {
    if (m_monitors.firstEvent() != 0) {
        const std::uint16_t mask = XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE |
                                   XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE;
        connection.check(xcb_randr_select_input_checked(connection.raw(), connection.root(), mask),
                         "selecting RandR events");
    }
    // The root's children coming, going and moving: a panel the window manager does not manage
    // reserves its band itself. Added to the connection's own selection, which it keeps.
    xcb_connection_t* raw = connection.raw();
    if (const auto root = owned(xcb_get_window_attributes_reply(
            raw, xcb_get_window_attributes(raw, connection.root()), nullptr))) {
        const std::uint32_t mask = root->your_event_mask | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        connection.check(xcb_change_window_attributes_checked(raw, connection.root(), XCB_CW_EVENT_MASK, &mask),
                         "selecting the root's children's events");
    }
    m_listener = connection.addListener([this](const xcb_generic_event_t& event) { onEvent(event); });
}

X11Screens::~X11Screens() { m_connection.removeListener(m_listener); }

Rect X11Screens::visibleBounds(const Rect& monitor, const std::vector<std::vector<std::uint32_t>>& struts,
                               double rootWidth, double rootHeight) {
    double left = monitor.minX(), top = monitor.minY(), right = monitor.maxX(), bottom = monitor.maxY();
    // A reserved band counts for a monitor only where it overlaps it. Ranges are inclusive; a range
    // left empty (some panels write 0..0) means the whole edge.
    const auto span = [](std::uint32_t start, std::uint32_t end) {
        if (end < start || (start == 0 && end == 0)) return std::pair<double, double>{0, 1e9};
        return std::pair<double, double>{double(start), double(end) - double(start) + 1};
    };
    const auto reaches = [&](const Rect& band) { return !band.intersection(monitor).isEmpty(); };
    for (const auto& s : struts) {
        if (s.size() < 12) continue;
        if (s[0] > 0) {
            const auto [y, h] = span(s[4], s[5]);
            if (reaches({0, y, double(s[0]), h})) left = std::max(left, double(s[0]));
        }
        if (s[1] > 0) {
            const auto [y, h] = span(s[6], s[7]);
            if (reaches({rootWidth - s[1], y, double(s[1]), h})) right = std::min(right, rootWidth - s[1]);
        }
        if (s[2] > 0) {
            const auto [x, w] = span(s[8], s[9]);
            if (reaches({x, 0, w, double(s[2])})) top = std::max(top, double(s[2]));
        }
        if (s[3] > 0) {
            const auto [x, w] = span(s[10], s[11]);
            if (reaches({x, rootHeight - s[3], w, double(s[3])})) bottom = std::min(bottom, rootHeight - s[3]);
        }
    }
    // Struts that would leave nothing are nonsense: keep the whole monitor.
    if (right <= left || bottom <= top) return monitor;
    return {left, top, right - left, bottom - top};
}

std::vector<std::vector<std::uint32_t>> X11Screens::readStruts(bool& clientListRead) {
    std::vector<std::vector<std::uint32_t>> struts;
    xcb_ewmh_connection_t* ewmh = m_connection.ewmh();
    PendingProperty list(m_connection, m_connection.root(), ewmh->_NET_CLIENT_LIST, XCB_ATOM_WINDOW);
    const PropertyValue clients = list.get("reading the client list");
    clientListRead = clients.present;
    // Every client may reserve an edge; in practice those are docks and panels.
    std::vector<std::pair<PendingProperty, PendingProperty>> pending;
    pending.reserve(clients.cardinals().size());
    for (const XWindow window : clients.cardinals())
        pending.emplace_back(PendingProperty(m_connection, window, ewmh->_NET_WM_STRUT_PARTIAL, XCB_ATOM_CARDINAL),
                             PendingProperty(m_connection, window, ewmh->_NET_WM_STRUT, XCB_ATOM_CARDINAL));
    for (auto& [partial, plain] : pending) {
        const PropertyValue partialValue = partial.get("reading a strut");
        const PropertyValue plainValue = plain.get("reading a strut");
        if (auto strut = strutOf(partialValue, plainValue)) struts.push_back(std::move(*strut));
    }
    return struts;
}

std::optional<Rect> X11Screens::currentWorkArea() {
    const auto current = m_connection.cardinal(m_connection.root(), m_connection.ewmh()->_NET_CURRENT_DESKTOP);
    const auto areas = m_connection.cardinals(m_connection.root(), m_connection.ewmh()->_NET_WORKAREA);
    const std::size_t at = 4 * current.value_or(0);
    if (areas.size() < at + 4) return std::nullopt;
    const Rect area{double(areas[at]), double(areas[at + 1]), double(areas[at + 2]), double(areas[at + 3])};
    if (area.isEmpty()) return std::nullopt;
    return area;
}

const std::vector<std::vector<std::uint32_t>>& X11Screens::windowManagerStruts() {
    if (m_windowManagerStruts) return *m_windowManagerStruts;
    // Down from the root's children, three levels: IceWM frames its taskbar like a client, two
    // windows deep. Each level is read in one round trip; unmapped windows reserve nothing.
    xcb_connection_t* raw = m_connection.raw();
    xcb_ewmh_connection_t* ewmh = m_connection.ewmh();
    std::vector<std::vector<std::uint32_t>> struts;
    std::vector<XWindow> level;
    if (const auto tree = owned(xcb_query_tree_reply(raw, xcb_query_tree(raw, m_connection.root()), nullptr))) {
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        level.assign(children, children + xcb_query_tree_children_length(tree.get()));
    }
    constexpr int kDepth = 3;
    for (int depth = 0; depth < kDepth && !level.empty(); ++depth) {
        struct Reads {
            xcb_get_window_attributes_cookie_t attributes;
            PendingProperty partial;
            PendingProperty plain;
            std::optional<xcb_query_tree_cookie_t> tree; // none at the last level: children unused
            XWindow window;
        };
        const bool last = depth == kDepth - 1;
        std::vector<Reads> reads;
        reads.reserve(level.size());
        for (const XWindow window : level)
            reads.push_back({xcb_get_window_attributes(raw, window),
                             PendingProperty(m_connection, window, ewmh->_NET_WM_STRUT_PARTIAL, XCB_ATOM_CARDINAL),
                             PendingProperty(m_connection, window, ewmh->_NET_WM_STRUT, XCB_ATOM_CARDINAL),
                             last ? std::nullopt : std::optional(xcb_query_tree(raw, window)), window});
        std::vector<XWindow> next;
        for (Reads& read : reads) {
            xcb_generic_error_t* error = nullptr;
            const auto attributes = owned(xcb_get_window_attributes_reply(raw, read.attributes, &error));
            std::free(error); // destroyed meanwhile: nothing to read
            error = nullptr;
            std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(nullptr, &std::free);
            if (read.tree) tree = owned(xcb_query_tree_reply(raw, *read.tree, &error));
            std::free(error);
            const PropertyValue partial = read.partial.get("reading a strut");
            const PropertyValue plain = read.plain.get("reading a strut");
            if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE) continue;
            if (auto strut = strutOf(partial, plain)) {
                struts.push_back(std::move(*strut));
                // Told when the strut changes; what this connection already hears there stays.
                const std::uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_PROPERTY_CHANGE;
                if (mask != attributes->your_event_mask)
                    xcb_change_window_attributes(raw, read.window, XCB_CW_EVENT_MASK, &mask);
            }
            if (tree) {
                const xcb_window_t* children = xcb_query_tree_children(tree.get());
                next.insert(next.end(), children, children + xcb_query_tree_children_length(tree.get()));
            }
        }
        level = std::move(next);
    }
    m_windowManagerStruts = std::move(struts);
    return *m_windowManagerStruts;
}

std::vector<ScreenInfo> X11Screens::screensOf(const std::vector<Monitor>& monitors) {
    xcb_connection_t* raw = m_connection.raw();
    const auto rootCookie = xcb_get_geometry(raw, m_connection.root());
    bool clientListRead = false;
    const auto struts = readStruts(clientListRead);
    // The root's size now, not at connection time: RandR may have resized it since.
    double rootWidth = m_connection.screen()->width_in_pixels, rootHeight = m_connection.screen()->height_in_pixels;
    if (const auto root = owned(xcb_get_geometry_reply(raw, rootCookie, nullptr))) {
        rootWidth = root->width;
        rootHeight = root->height;
    }

    // Without a client list, the work area is the best guess, and it only fits a single monitor
    // (window managers publish one rectangle over the whole root).
    std::optional<Rect> workArea;
    if (!clientListRead && monitors.size() == 1) workArea = currentWorkArea();

    std::vector<ScreenInfo> screens;
    for (const Monitor& monitor : monitors) {
        Rect visible = visibleBounds(monitor.bounds, struts, rootWidth, rootHeight);
        if (monitors.size() > 1) {
            // The window manager's own bar is no client: its strut sits on a window of its own.
            visible = visibleBounds(visible, windowManagerStruts(), rootWidth, rootHeight);
        } else if (const auto area = currentWorkArea()) {
            // With one monitor the work area is exact, and it is the only word on a band the window
            // manager keeps without announcing a strut (Fluxbox's toolbar).
            const Rect inside = area->intersection(visible);
            if (!inside.isEmpty()) visible = inside;
        }
        if (workArea) {
            const Rect area = workArea->intersection(monitor.bounds);
            if (!area.isEmpty()) visible = area;
        }
        ScreenInfo screen;
        screen.displayNumber = monitor.nameAtom;
        screen.localizedName = monitor.name;
        screen.frame = monitor.bounds;
        screen.visibleFrame = visible;
        screens.push_back(std::move(screen));
    }
    return screens;
}

std::vector<ScreenInfo> X11Screens::screens() { return screensOf(m_monitors.read()); }

std::optional<ScreenInfo> X11Screens::mainScreen() {
    const auto monitors = m_monitors.read();
    const auto screens = screensOf(monitors);
    // The monitor showing most of the focused window; the primary when nothing has focus.
    std::size_t best = 0;
    const auto active = m_connection.cardinal(m_connection.root(), m_connection.ewmh()->_NET_ACTIVE_WINDOW,
                                              XCB_ATOM_WINDOW);
    if (active && *active != XCB_WINDOW_NONE) {
        if (const auto frame = m_connection.frameRect(*active)) {
            double bestArea = 0;
            for (std::size_t i = 0; i < monitors.size(); ++i) {
                const Rect overlap = frame->intersection(monitors[i].bounds);
                if (overlap.width * overlap.height > bestArea) {
                    bestArea = overlap.width * overlap.height;
                    best = i;
                }
            }
        }
    }
    return screens.at(best);
}

DisplayNumber X11Screens::mainDisplayId() { return m_monitors.read().front().nameAtom; }

std::optional<Monitor> X11Screens::monitor(DisplayNumber display) {
    for (Monitor& monitor : m_monitors.read())
        if (monitor.nameAtom == display) return std::move(monitor);
    return std::nullopt;
}

std::optional<std::string> X11Screens::displayUUID(DisplayNumber display) {
    const auto found = monitor(display);
    if (!found) return std::nullopt;
    return monitorIdentifier(*found);
}

std::vector<DisplayNumber> X11Screens::onlineDisplays(std::uint32_t maxCount) {
    std::vector<DisplayNumber> displays;
    for (const Monitor& monitor : m_monitors.read()) {
        if (displays.size() >= maxCount) break;
        displays.push_back(monitor.nameAtom);
    }
    return displays;
}

Rect X11Screens::displayBounds(DisplayNumber display) {
    const auto found = monitor(display);
    return found ? found->bounds : Rect{};
}

bool X11Screens::isBuiltin(DisplayNumber display) {
    const auto found = monitor(display);
    if (!found) return false;
    if (isBuiltinConnector(found->name)) return true;
    // A monitor set up by hand may carry another name than its output's connector.
    xcb_connection_t* raw = m_connection.raw();
    for (const std::uint32_t output : found->outputs) {
        const auto cookie = xcb_randr_get_output_info(raw, output, XCB_CURRENT_TIME);
        const auto info = owned(xcb_randr_get_output_info_reply(raw, cookie, nullptr));
        if (!info) continue;
        const std::string name(reinterpret_cast<const char*>(xcb_randr_get_output_info_name(info.get())),
                               static_cast<std::size_t>(xcb_randr_get_output_info_name_length(info.get())));
        if (isBuiltinConnector(name)) return true;
    }
    return false;
}

Point X11Screens::pointerLocation() {
    xcb_connection_t* raw = m_connection.raw();
    const auto pointer = owned(xcb_query_pointer_reply(raw, xcb_query_pointer(raw, m_connection.root()), nullptr));
    if (!pointer) return {};
    return {double(pointer->root_x), double(pointer->root_y)};
}

ObserverToken X11Screens::observeScreenParameters(std::function<void()> handler) {
    const ObserverToken token = m_nextObserver++;
    m_observers[token] = std::move(handler);
    return token;
}

void X11Screens::removeObserver(ObserverToken token) { m_observers.erase(token); }

void X11Screens::onEvent(const xcb_generic_event_t& event) {
    const std::uint8_t type = event.response_type & 0x7f;
    bool changed = false;
    if (type == XCB_CONFIGURE_NOTIFY) {
        const auto& configure = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
        changed = configure.window == m_connection.root();
        // A child of the root moved or resized: a bar among them may have.
        if (configure.event == m_connection.root()) m_windowManagerStruts.reset();
    } else if (type == XCB_MAP_NOTIFY || type == XCB_UNMAP_NOTIFY || type == XCB_DESTROY_NOTIFY ||
               type == XCB_REPARENT_NOTIFY) {
        // All four carry the window they were selected on right after the response type.
        const auto& notify = reinterpret_cast<const xcb_map_notify_event_t&>(event);
        if (notify.event == m_connection.root()) m_windowManagerStruts.reset();
    } else if (type == XCB_PROPERTY_NOTIFY) {
        const auto& property = reinterpret_cast<const xcb_property_notify_event_t&>(event);
        changed = property.window == m_connection.root() && property.atom == m_connection.ewmh()->_NET_WORKAREA;
        const xcb_ewmh_connection_t* ewmh = m_connection.ewmh();
        if (property.atom == ewmh->_NET_WM_STRUT || property.atom == ewmh->_NET_WM_STRUT_PARTIAL)
            m_windowManagerStruts.reset();
    } else if (const std::uint8_t first = m_monitors.firstEvent(); first != 0) {
        changed = type == first + XCB_RANDR_SCREEN_CHANGE_NOTIFY || type == first + XCB_RANDR_NOTIFY;
    }
    // A bar that comes, goes or moves changes the work area: read the window manager's struts again.
    if (changed) m_windowManagerStruts.reset();
    if (!changed || m_observers.empty() || m_notifyPending) return;
    m_notifyPending = true;
    m_scheduler.post(m_lifetime.guard([this] {
        m_notifyPending = false;
        const auto observers = m_observers;
        for (const auto& [token, handler] : observers)
            if (m_observers.contains(token)) handler();
    }));
}

} // namespace quorvel::x11
