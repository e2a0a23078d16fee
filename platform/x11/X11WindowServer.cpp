// The window server on X11: the desktop table, desktop moves and the window list from EWMH.
#include "X11WindowServer.h"

#include "X11PendingReads.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

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
    PendingProperty pid, type, state, desktop, transientFor, netName, name, wmClass, extents;
    xcb_get_geometry_cookie_t geometry;
    xcb_translate_coordinates_cookie_t origin;

    WindowReads(X11Connection& c, XWindow w)
        : window(w), pid(c, w, c.ewmh()->_NET_WM_PID, XCB_ATOM_CARDINAL),
          type(c, w, c.ewmh()->_NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM),
          state(c, w, c.ewmh()->_NET_WM_STATE, XCB_ATOM_ATOM),
          desktop(c, w, c.ewmh()->_NET_WM_DESKTOP, XCB_ATOM_CARDINAL),
          transientFor(c, w, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW),
          netName(c, w, c.ewmh()->_NET_WM_NAME, c.ewmh()->UTF8_STRING), name(c, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING),
          wmClass(c, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING),
          extents(c, w, c.ewmh()->_NET_FRAME_EXTENTS, XCB_ATOM_CARDINAL), geometry(xcb_get_geometry(c.raw(), w)),
          origin(xcb_translate_coordinates(c.raw(), w, c.root(), 0, 0)) {}
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
    : m_connection(connection), m_log(log), m_monitors(connection), m_ewmh(connection.hasEWMHWindowManager()) {
    if (!m_ewmh)
        m_log.error(kCategory,
                    "no window manager announces EWMH support: desktops and the window list are unavailable");
}

bool X11WindowServer::resolves(Function) const { return m_ewmh; }

std::string X11WindowServer::displayIdentifier() { return monitorIdentifier(m_monitors.read().front()); }

std::optional<std::uint32_t> X11WindowServer::desktopCount() {
    return m_connection.cardinal(m_connection.root(), m_connection.ewmh()->_NET_NUMBER_OF_DESKTOPS);
}

std::optional<std::uint32_t> X11WindowServer::currentDesktop() {
    return m_connection.cardinal(m_connection.root(), m_connection.ewmh()->_NET_CURRENT_DESKTOP);
}

Json X11WindowServer::copyManagedDisplaySpaces(ConnectionId) {
    const auto count = desktopCount();
    if (!count || *count == 0) return Json::array();
    const auto current = currentDesktop();

    // EWMH desktops span every monitor: one display carries them all.
    Json display = Json::object();
    display[spacekeys::displayIdentifier] = displayIdentifier();
    Json spaces = Json::array();
    for (std::uint32_t index = 0; index < *count; ++index)
        spaces.push_back({{spacekeys::managedSpaceId, SpaceId{index} + 1}});
    display[spacekeys::spaces] = std::move(spaces);
    if (current && *current < *count)
        display[spacekeys::currentSpace] = {{spacekeys::managedSpaceId, SpaceId{*current} + 1}};
    Json table = Json::array();
    table.push_back(std::move(display));
    return table;
}

SpaceId X11WindowServer::getActiveSpace(ConnectionId) {
    const auto current = currentDesktop();
    return current ? SpaceId{*current} + 1 : 0;
}

void X11WindowServer::moveWindowsToManagedSpace(ConnectionId, const std::vector<WindowId>& windows, SpaceId space) {
    const auto count = desktopCount();
    if (space == 0 || !count || space > *count) return;
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
}

void X11WindowServer::managedDisplaySetCurrentSpace(ConnectionId, const std::string& display, SpaceId space) {
    const auto count = desktopCount();
    if (space == 0 || !count || space > *count || display != displayIdentifier()) return;
    m_connection.sendRootMessage(m_connection.root(), m_connection.ewmh()->_NET_CURRENT_DESKTOP,
                                 std::uint32_t(space - 1), XCB_CURRENT_TIME);
}

void X11WindowServer::activate(WindowId window) {
    xcb_ewmh_connection_t* ewmh = m_connection.ewmh();
    const auto desktop = m_connection.cardinal(window, ewmh->_NET_WM_DESKTOP);
    const auto current = currentDesktop();
    if (desktop && *desktop != kEveryDesktop && current && *desktop != *current)
        m_connection.sendRootMessage(m_connection.root(), ewmh->_NET_CURRENT_DESKTOP, *desktop, XCB_CURRENT_TIME);
    const auto active = m_connection.cardinal(m_connection.root(), ewmh->_NET_ACTIVE_WINDOW, XCB_ATOM_WINDOW);
    m_connection.sendRootMessage(window, ewmh->_NET_ACTIVE_WINDOW, kSourcePager, XCB_CURRENT_TIME, active.value_or(0));
}

void X11WindowServer::skipTaskbarAndPager(WindowId window) {
    xcb_ewmh_connection_t* ewmh = m_connection.ewmh();
    const xcb_atom_t states[] = {ewmh->_NET_WM_STATE_SKIP_TASKBAR, ewmh->_NET_WM_STATE_SKIP_PAGER};
    xcb_change_property(m_connection.raw(), XCB_PROP_MODE_APPEND, window, ewmh->_NET_WM_STATE, XCB_ATOM_ATOM, 32, 2,
                        states);
    m_connection.flush();
}

std::optional<Json> X11WindowServer::copySpacesForWindows(ConnectionId, int, const std::vector<WindowId>& windows) {
    std::vector<PendingProperty> pending;
    pending.reserve(windows.size());
    for (const WindowId window : windows)
        pending.emplace_back(m_connection, window, m_connection.ewmh()->_NET_WM_DESKTOP, XCB_ATOM_CARDINAL);
    const std::uint32_t count = desktopCount().value_or(0);

    // A window that is gone is on no desktop: it adds nothing, as on the simulator.
    Json spaces = Json::array();
    const auto add = [&spaces](SpaceId space) {
        if (std::find(spaces.begin(), spaces.end(), Json(space)) == spaces.end()) spaces.push_back(space);
    };
    // Every reply is collected, even after a window turned out to be gone.
    for (PendingProperty& request : pending) {
        const PropertyValue desktop = request.get("reading a window's desktop");
        const auto index = desktop.cardinal();
        if (!index) continue; // not placed on a desktop yet
        if (*index == kEveryDesktop) {
            for (std::uint32_t i = 0; i < count; ++i) add(SpaceId{i} + 1);
        } else {
            add(SpaceId{*index} + 1);
        }
    }
    return spaces;
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

Json X11WindowServer::copyWindowList(unsigned options, WindowId) {
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
        if (!clients.present) return Json();
    }
    std::vector<XWindow> windows = clients.cardinals();
    std::reverse(windows.begin(), windows.end()); // bottom to top becomes front to back

    std::vector<WindowReads> pending;
    pending.reserve(windows.size());
    for (const XWindow window : windows) pending.emplace_back(m_connection, window);

    Json list = Json::array();
    for (WindowReads& reads : pending) {
        const char* what = "reading the window list";
        const PropertyValue pid = reads.pid.get(what), type = reads.type.get(what), state = reads.state.get(what),
                            desktop = reads.desktop.get(what), transientFor = reads.transientFor.get(what),
                            netName = reads.netName.get(what), name = reads.name.get(what),
                            wmClass = reads.wmClass.get(what), extents = reads.extents.get(what);
        const auto client = clientRectOf(m_connection, reads);
        if (!client || pid.windowGone || type.windowGone) continue; // destroyed while we read it

        const auto transient = transientFor.cardinal();
        const int layer = layerOf(type.cardinals(), transient && *transient != XCB_WINDOW_NONE);
        if ((options & windowListExcludeDesktopElements) && (layer == layers::desktop || layer == layers::dock))
            continue;
        if (options & windowListOnScreenOnly) {
            const auto states = state.cardinals();
            if (std::find(states.begin(), states.end(), ewmh->_NET_WM_STATE_HIDDEN) != states.end()) continue;
            const auto index = desktop.cardinal();
            if (index && current && *index != kEveryDesktop && *index != *current) continue;
        }

        const auto e = extents.cardinals();
        const double left = e.size() >= 4 ? e[0] : 0, right = e.size() >= 4 ? e[1] : 0;
        const double top = e.size() >= 4 ? e[2] : 0, bottom = e.size() >= 4 ? e[3] : 0;
        Json entry = {
            {windowkeys::number, reads.window},
            {windowkeys::layer, layer},
            {windowkeys::bounds,
             {{windowkeys::x, client->x - left},
              {windowkeys::y, client->y - top},
              {windowkeys::width, client->width + left + right},
              {windowkeys::height, client->height + top + bottom}}},
        };
        if (const auto owner = pid.cardinal()) entry[windowkeys::ownerPid] = static_cast<Pid>(*owner);
        // The same name every part of the backend gives the application; the class is already
        // here, the slower fallbacks only when it is missing.
        auto ownerName = classNameOf(wmClass);
        if (!ownerName) ownerName = m_connection.applicationName(reads.window);
        if (ownerName) entry[windowkeys::ownerName] = *ownerName;
        auto title = netName.text();
        if (!title) title = name.text();
        if (title && !title->empty()) entry[windowkeys::name] = *title;
        list.push_back(std::move(entry));
    }
    return list;
}

} // namespace quorvel::x11
