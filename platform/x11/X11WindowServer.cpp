// The window server on X11: the desktop table, desktop moves and the window list from EWMH.
#include "X11WindowServer.h"

#include "X11ClientTracker.h"
#include "X11PendingReads.h"
#include "X11WindowControl.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include <unistd.h>

namespace quorvel::x11 {

namespace {
constexpr const char* kCategory = "x11";
constexpr std::uint32_t kEveryDesktop = 0xFFFFFFFF;
// Source indication of a client message: a pager or similar tool, which window managers obey.
constexpr std::uint32_t kSourcePager = 2;

template <class Reply>
std::unique_ptr<Reply, decltype(&std::free)> owned(Reply* reply) {
    return {reply, &std::free};
}

// WM_CLASS holds "instance\0class\0".
std::optional<std::string> classNameOf(const PropertyValue& wmClass) {
    const auto bytes = wmClass.text();
    if (!bytes) return std::nullopt;
    const std::size_t split = bytes->find('\0');
    const std::string instance = bytes->substr(0, split);
    std::string className = split == std::string::npos ? std::string() : bytes->substr(split + 1);
    className = className.substr(0, className.find('\0'));
    if (!className.empty()) return className;
    if (!instance.empty()) return instance;
    return std::nullopt;
}

// One window's reads, all sent before any reply is awaited.
struct WindowReads {
    XWindow window;
    PendingProperty pid, type, state, desktop, transientFor, netName, name, wmClass, extents, shadow;
    xcb_get_geometry_cookie_t geometry;
    xcb_translate_coordinates_cookie_t origin;
    X11ClientTracker::PendingClientPid clientPid;

    WindowReads(X11Connection& c, XWindow w)
        : window(w), pid(c, w, c.ewmh()->_NET_WM_PID, XCB_ATOM_CARDINAL),
          type(c, w, c.ewmh()->_NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM),
          state(c, w, c.ewmh()->_NET_WM_STATE, XCB_ATOM_ATOM),
          desktop(c, w, c.ewmh()->_NET_WM_DESKTOP, XCB_ATOM_CARDINAL),
          transientFor(c, w, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW),
          netName(c, w, c.ewmh()->_NET_WM_NAME, c.ewmh()->UTF8_STRING), name(c, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING),
          wmClass(c, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING),
          extents(c, w, c.ewmh()->_NET_FRAME_EXTENTS, XCB_ATOM_CARDINAL),
          shadow(c, w, c.atom("_GTK_FRAME_EXTENTS"), XCB_ATOM_CARDINAL), geometry(xcb_get_geometry(c.raw(), w)),
          origin(xcb_translate_coordinates(c.raw(), w, c.root(), 0, 0)), clientPid(c, w) {}
};

// The client rectangle in root coordinates; none when the window is gone.
std::optional<Rect> clientRectOf(X11Connection& connection, const WindowReads& reads) {
    xcb_generic_error_t* error = nullptr;
    const auto geometry = owned(xcb_get_geometry_reply(connection.raw(), reads.geometry, &error));
    std::free(error);
    error = nullptr;
    const auto origin = owned(xcb_translate_coordinates_reply(connection.raw(), reads.origin, &error));
    std::free(error);
    if (!geometry || !origin) return std::nullopt;
    return Rect{double(origin->dst_x), double(origin->dst_y), double(geometry->width), double(geometry->height)};
}
} // namespace

X11WindowServer::X11WindowServer(X11Connection& connection, Log& log)
    : m_connection(connection), m_log(log), m_monitors(connection) {
    if (!connection.hasEWMHWindowManager()) {
        m_log.error(kCategory,
                    "no window manager announces EWMH support: desktops and the window list are unavailable");
        return;
    }
    const xcb_ewmh_connection_t& e = *connection.ewmh();
    const auto supported = connection.cardinals(connection.root(), e._NET_SUPPORTED, XCB_ATOM_ATOM);
    const auto listed = [&supported](xcb_atom_t atom) {
        return std::find(supported.begin(), supported.end(), atom) != supported.end();
    };
    const std::pair<DesktopHint, xcb_atom_t> hints[] = {
        {DesktopHint::numberOfDesktops, e._NET_NUMBER_OF_DESKTOPS},
        {DesktopHint::currentDesktop, e._NET_CURRENT_DESKTOP},
        {DesktopHint::windowDesktop, e._NET_WM_DESKTOP},
        {DesktopHint::clientList, e._NET_CLIENT_LIST},
    };
    for (const auto& [hint, atom] : hints)
        if (listed(atom)) m_announced.insert(hint);
}

bool X11WindowServer::announces(DesktopHint hint) const { return m_announced.contains(hint); }

std::string X11WindowServer::displayIdentifier() { return monitorIdentifier(m_monitors.read().front()); }

std::optional<std::uint32_t> X11WindowServer::desktopCount() {
    // Any client may write the root's properties; a count no window manager would publish is
    // taken as no answer rather than a table of billions of desktops.
    constexpr std::uint32_t kMostDesktops = 1024;
    const auto count = m_connection.cardinal(m_connection.root(), m_connection.ewmh()->_NET_NUMBER_OF_DESKTOPS);
    if (count && *count > kMostDesktops) return std::nullopt;
    return count;
}

std::optional<std::uint32_t> X11WindowServer::currentDesktopIndex() {
    return m_connection.cardinal(m_connection.root(), m_connection.ewmh()->_NET_CURRENT_DESKTOP);
}

Answer<DesktopTable> X11WindowServer::desktopTable() {
    if (!announces(DesktopHint::numberOfDesktops)) return ServerError::unsupported(DesktopHint::numberOfDesktops);
    const auto count = desktopCount();
    if (!count) return ServerError::noAnswer("the root window has no _NET_NUMBER_OF_DESKTOPS");
    DesktopTable table;
    if (*count == 0) return table;
    const auto current = currentDesktopIndex();

    // EWMH desktops span every monitor: one display carries them all.
    DisplayDesktops display;
    display.identifier = displayIdentifier();
    display.desktops.reserve(*count);
    for (std::uint32_t index = 0; index < *count; ++index) display.desktops.push_back({SpaceId{index} + 1});
    if (current && *current < *count) display.currentDesktop = SpaceId{*current} + 1;
    table.displays.push_back(std::move(display));
    return table;
}

Answer<SpaceId> X11WindowServer::currentDesktop() {
    if (!announces(DesktopHint::currentDesktop)) return ServerError::unsupported(DesktopHint::currentDesktop);
    const auto current = currentDesktopIndex();
    if (!current) return ServerError::noAnswer("the root window has no _NET_CURRENT_DESKTOP");
    return SpaceId{*current} + 1;
}

Outcome X11WindowServer::moveWindowsToDesktop(const std::vector<WindowId>& windows, SpaceId space) {
    if (!announces(DesktopHint::windowDesktop)) return ServerError::unsupported(DesktopHint::windowDesktop);
    const auto count = desktopCount();
    if (space == 0 || !count || space > *count) return done(); // no such desktop: ignored
    const auto managed = m_connection.cardinals(m_connection.root(), m_connection.ewmh()->_NET_CLIENT_LIST,
                                                XCB_ATOM_WINDOW);
    const std::uint32_t desktop = std::uint32_t(space - 1);
    for (const WindowId window : windows) {
        if (std::find(managed.begin(), managed.end(), window) != managed.end()) {
            m_connection.sendRootMessage(window, m_connection.ewmh()->_NET_WM_DESKTOP, desktop, kSourcePager);
        } else {
            // Not mapped yet (our own helper window): the window manager ignores the message for a
            // withdrawn window and reads the property when the window is mapped.
            xcb_change_property(m_connection.raw(), XCB_PROP_MODE_REPLACE, window, m_connection.ewmh()->_NET_WM_DESKTOP,
                                XCB_ATOM_CARDINAL, 32, 1, &desktop);
        }
    }
    m_connection.flush();
    return done();
}

Outcome X11WindowServer::setCurrentDesktop(const std::string& display, SpaceId space) {
    if (!announces(DesktopHint::currentDesktop)) return ServerError::unsupported(DesktopHint::currentDesktop);
    const auto count = desktopCount();
    if (space == 0 || !count || space > *count || display != displayIdentifier()) return done(); // ignored
    m_connection.sendRootMessage(m_connection.root(), m_connection.ewmh()->_NET_CURRENT_DESKTOP,
                                 std::uint32_t(space - 1), XCB_CURRENT_TIME);
    return done();
}

void X11WindowServer::activate(WindowId window) {
    xcb_ewmh_connection_t* ewmh = m_connection.ewmh();
    const auto desktop = m_connection.cardinal(window, ewmh->_NET_WM_DESKTOP);
    const auto current = currentDesktopIndex();
    if (desktop && *desktop != kEveryDesktop && current && *desktop != *current)
        m_connection.sendRootMessage(m_connection.root(), ewmh->_NET_CURRENT_DESKTOP, *desktop, XCB_CURRENT_TIME);
    const auto active = m_connection.cardinal(m_connection.root(), ewmh->_NET_ACTIVE_WINDOW, XCB_ATOM_WINDOW);
    m_connection.sendRootMessage(window, ewmh->_NET_ACTIVE_WINDOW, kSourcePager, XCB_CURRENT_TIME, active.value_or(0));
}

std::optional<WindowId> X11WindowServer::focusSuccessor(WindowId window) {
    const auto shownDesktop = currentDesktopIndex();
    const auto shown = windows(WindowFilter::onScreenOnly);
    if (!shownDesktop || !shown) return std::nullopt;
    const Pid self = static_cast<Pid>(::getpid());
    for (const WindowInfo& candidate : *shown) { // front to back: the topmost one that qualifies
        if (candidate.id == window || candidate.layer != 0 || candidate.ownerPid == self) continue;
        // Placed on the desktop shown, not on every desktop nor on none yet.
        const auto desktop = m_connection.cardinal(static_cast<XWindow>(candidate.id),
                                                   m_connection.ewmh()->_NET_WM_DESKTOP, XCB_ATOM_CARDINAL);
        if (desktop == shownDesktop) return candidate.id;
    }
    return std::nullopt;
}

void X11WindowServer::handFocusAwayFrom(WindowId window) {
    xcb_ewmh_connection_t* ewmh = m_connection.ewmh();
    const auto active = m_connection.cardinal(m_connection.root(), ewmh->_NET_ACTIVE_WINDOW, XCB_ATOM_WINDOW);
    if (active != window) return;
    if (const auto successor = focusSuccessor(window)) {
        activate(*successor);
        return;
    }
    // Nothing to take it: no window has the focus (not the one under the pointer), until the window
    // manager or the user gives it to one.
    xcb_set_input_focus(m_connection.raw(), XCB_INPUT_FOCUS_NONE, XCB_NONE, XCB_CURRENT_TIME);
    m_connection.flush();
}

void X11WindowServer::skipTaskbarAndPager(WindowId window) {
    xcb_ewmh_connection_t* ewmh = m_connection.ewmh();
    const xcb_atom_t states[] = {ewmh->_NET_WM_STATE_SKIP_TASKBAR, ewmh->_NET_WM_STATE_SKIP_PAGER};
    xcb_change_property(m_connection.raw(), XCB_PROP_MODE_APPEND, window, ewmh->_NET_WM_STATE, XCB_ATOM_ATOM, 32, 2,
                        states);
    m_connection.flush();
}

Answer<std::vector<SpaceId>> X11WindowServer::desktopsOfWindow(WindowId window) {
    if (!announces(DesktopHint::windowDesktop)) return ServerError::unsupported(DesktopHint::windowDesktop);
    const xcb_atom_t property = m_connection.ewmh()->_NET_WM_DESKTOP;
    std::optional<std::uint32_t> index;
    std::uint32_t count = 0;
    if (const auto kept = m_connection.keptCardinals(window, property)) {
        count = desktopCount().value_or(0);
        if (!kept->empty()) index = kept->front();
    } else {
        PendingProperty request(m_connection, window, property, XCB_ATOM_CARDINAL);
        count = desktopCount().value_or(0);
        index = request.get("reading a window's desktop").cardinal();
    }
    std::vector<SpaceId> desktops;
    if (!index) return desktops; // gone, or not placed on a desktop yet
    if (*index != kEveryDesktop) {
        desktops.push_back(SpaceId{*index} + 1);
        return desktops;
    }
    desktops.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) desktops.push_back(SpaceId{i} + 1);
    return desktops;
}

int X11WindowServer::layerOf(const std::vector<xcb_atom_t>& types, bool transient) {
    const xcb_ewmh_connection_t& e = *m_connection.ewmh();
    // Types are listed in order of preference: the first one known decides.
    for (const xcb_atom_t type : types) {
        if (type == e._NET_WM_WINDOW_TYPE_NORMAL) return layers::normal;
        if (type == e._NET_WM_WINDOW_TYPE_DESKTOP) return layers::desktop;
        if (type == e._NET_WM_WINDOW_TYPE_DOCK) return layers::dock;
        if (type == e._NET_WM_WINDOW_TYPE_DIALOG || type == e._NET_WM_WINDOW_TYPE_UTILITY ||
            type == e._NET_WM_WINDOW_TYPE_TOOLBAR || type == e._NET_WM_WINDOW_TYPE_MENU ||
            type == e._NET_WM_WINDOW_TYPE_SPLASH)
            return layers::floating;
        if (type == e._NET_WM_WINDOW_TYPE_DROPDOWN_MENU || type == e._NET_WM_WINDOW_TYPE_POPUP_MENU ||
            type == e._NET_WM_WINDOW_TYPE_TOOLTIP || type == e._NET_WM_WINDOW_TYPE_NOTIFICATION ||
            type == e._NET_WM_WINDOW_TYPE_COMBO || type == e._NET_WM_WINDOW_TYPE_DND)
            return layers::popup;
    }
    // Without a known type, a transient window is a dialog (as EWMH tells window managers).
    return transient ? layers::floating : layers::normal;
}

bool X11WindowServer::isKeptAside(const std::vector<xcb_atom_t>& states, std::optional<std::uint32_t> desktop) {
    if (desktop == kEveryDesktop) return true;
    const xcb_ewmh_connection_t& e = *m_connection.ewmh();
    return std::any_of(states.begin(), states.end(), [&e](xcb_atom_t state) {
        return state == e._NET_WM_STATE_SKIP_TASKBAR || state == e._NET_WM_STATE_ABOVE ||
               state == e._NET_WM_STATE_BELOW;
    });
}

Answer<std::vector<WindowInfo>> X11WindowServer::windows(WindowFilter filter) {
    if (!announces(DesktopHint::clientList)) return ServerError::unsupported(DesktopHint::clientList);
    xcb_ewmh_connection_t* ewmh = m_connection.ewmh();
    const XWindow root = m_connection.root();
    PendingProperty stackingRequest(m_connection, root, ewmh->_NET_CLIENT_LIST_STACKING, XCB_ATOM_WINDOW);
    PendingProperty currentRequest(m_connection, root, ewmh->_NET_CURRENT_DESKTOP, XCB_ATOM_CARDINAL);
    PropertyValue clients = stackingRequest.get("reading the client list");
    const auto current = currentRequest.get("reading the current desktop").cardinal();
    if (!clients.present) {
        // The plain client list is in mapping order, oldest first: the best stand-in for stacking.
        PendingProperty plainList(m_connection, root, ewmh->_NET_CLIENT_LIST, XCB_ATOM_WINDOW);
        clients = plainList.get("reading the client list");
        if (!clients.present) return ServerError::noAnswer("the root window has no _NET_CLIENT_LIST");
    }
    std::vector<XWindow> windows = clients.cardinals();
    std::reverse(windows.begin(), windows.end()); // bottom to top becomes front to back

    std::vector<WindowReads> pending;
    pending.reserve(windows.size());
    for (const XWindow window : windows) pending.emplace_back(m_connection, window);

    std::vector<WindowInfo> list;
    list.reserve(pending.size());
    for (WindowReads& reads : pending) {
        const char* what = "reading the window list";
        const PropertyValue pid = reads.pid.get(what), type = reads.type.get(what), state = reads.state.get(what),
                            desktop = reads.desktop.get(what), transientFor = reads.transientFor.get(what),
                            netName = reads.netName.get(what), name = reads.name.get(what),
                            wmClass = reads.wmClass.get(what), extents = reads.extents.get(what),
                            shadow = reads.shadow.get(what);
        const auto serverPid = reads.clientPid.get();
        const auto client = clientRectOf(m_connection, reads);
        if (!client || pid.windowGone || type.windowGone) continue; // destroyed while we read it

        const auto transient = transientFor.cardinal();
        int layer = layerOf(type.cardinals(), transient && *transient != XCB_WINDOW_NONE);
        if (layer == layers::normal && isKeptAside(state.cardinals(), desktop.cardinal())) layer = layers::aside;
        if (filter == WindowFilter::excludeDesktopElements && (layer == layers::desktop || layer == layers::dock))
            continue;
        if (filter == WindowFilter::onScreenOnly) {
            const auto states = state.cardinals();
            if (std::find(states.begin(), states.end(), ewmh->_NET_WM_STATE_HIDDEN) != states.end()) continue;
            const auto index = desktop.cardinal();
            if (index && current && *index != kEveryDesktop && *index != *current) continue;
        }

        const auto e = extents.cardinals();
        const double left = e.size() >= 4 ? e[0] : 0, right = e.size() >= 4 ? e[1] : 0;
        const double top = e.size() >= 4 ? e[2] : 0, bottom = e.size() >= 4 ? e[3] : 0;
        WindowInfo info;
        info.id = reads.window;
        info.layer = layer;
        info.frame = {client->x - left, client->y - top, client->width + left + right, client->height + top + bottom};
        // The visible part of a window with client-side decorations, as window control reports it.
        info.frame = X11WindowControl::withoutShadow(info.frame, X11WindowControl::shadowExtents(shadow.cardinals()));
        // The process the server names first, as the client tracker does.
        if (serverPid) info.ownerPid = *serverPid;
        else if (const auto owner = pid.cardinal()) info.ownerPid = static_cast<Pid>(*owner);
        // The same name every part of the backend gives the application; the class is already
        // here, the slower fallbacks only when it is missing.
        info.ownerName = classNameOf(wmClass);
        if (!info.ownerName) info.ownerName = m_connection.applicationName(reads.window, info.ownerPid);
        auto title = netName.text();
        if (!title) title = name.text();
        if (title && !title->empty()) info.title = std::move(*title);
        list.push_back(std::move(info));
    }
    return list;
}

} // namespace quorvel::x11
