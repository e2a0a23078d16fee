// Client tracking: root PropertyNotify for the client list, active window and desktop, and each
// client's own PropertyNotify for _NET_WM_STATE and _NET_WM_DESKTOP, diffed into typed events.
// Owners come from X-Resource client ids where the server answers, else from _NET_WM_PID.
#include "X11ClientTracker.h"

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <set>
#include <utility>

namespace quorvel::x11 {

namespace {
constexpr const char* kCategory = "x11";
constexpr std::uint32_t kEveryDesktop = 0xFFFFFFFF;
} // namespace

bool X11ClientTracker::Client::keptAside() const { return keptAsideByState || desktop == kEveryDesktop; }

X11ClientTracker::PendingClientPid::PendingClientPid(X11Connection& connection, XWindow window)
    : m_connection(connection) {
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection.raw(), &xcb_res_id);
    if (!extension || !extension->present) return;
    // The window's XID names its client; the server answers with that client's process.
    xcb_res_client_id_spec_t spec{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    m_cookie = xcb_res_query_client_ids(connection.raw(), 1, &spec);
}

X11ClientTracker::PendingClientPid::~PendingClientPid() {
    if (m_cookie) xcb_discard_reply(m_connection.raw(), m_cookie->sequence);
}

std::optional<Pid> X11ClientTracker::PendingClientPid::get() {
    if (!m_cookie) return std::nullopt;
    xcb_generic_error_t* error = nullptr;
    xcb_res_query_client_ids_reply_t* reply =
        xcb_res_query_client_ids_reply(m_connection.raw(), *std::exchange(m_cookie, std::nullopt), &error);
    std::free(error);
    std::optional<Pid> pid;
    if (reply) {
        for (auto it = xcb_res_query_client_ids_ids_iterator(reply); it.rem > 0; xcb_res_client_id_value_next(&it)) {
            if (!(it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) || it.data->length < 4) continue;
            const std::uint32_t value = *xcb_res_client_id_value_value(it.data);
            // A client the server cannot name answers (uint32_t)-1 or nothing at all.
            if (value > 0 && value < 0x7fffffff) pid = static_cast<Pid>(value);
        }
    }
    std::free(reply);
    return pid;
}

std::optional<Pid> X11ClientTracker::serverClientPid(X11Connection& connection, XWindow window) {
    return PendingClientPid(connection, window).get();
}

X11ClientTracker::X11ClientTracker(X11Connection& connection, Scheduler&, Log& log)
    : m_connection(connection), m_log(log) {
    m_listener = m_connection.addListener([this](const xcb_generic_event_t& event) { handle(event); });
    refresh();
}

X11ClientTracker::~X11ClientTracker() { m_connection.removeListener(m_listener); }

std::uint64_t X11ClientTracker::subscribe(Subscriber subscriber) {
    const auto token = m_nextSubscriber++;
    m_subscribers[token] = std::move(subscriber);
    return token;
}

void X11ClientTracker::unsubscribe(std::uint64_t token) { m_subscribers.erase(token); }

Pid X11ClientTracker::pidOf(XWindow window) const {
    const auto it = m_clients.find(window);
    return it == m_clients.end() ? 0 : it->second.pid;
}

bool X11ClientTracker::isMinimised(XWindow window) const {
    const auto it = m_clients.find(window);
    return it != m_clients.end() && it->second.minimised;
}

bool X11ClientTracker::isFullScreen(XWindow window) const {
    const auto it = m_clients.find(window);
    return it != m_clients.end() && it->second.fullScreen;
}

bool X11ClientTracker::isKeptAside(XWindow window) const {
    const auto it = m_clients.find(window);
    return it != m_clients.end() && it->second.keptAside();
}

bool X11ClientTracker::ownsWindows(Pid pid) const {
    if (pid == 0) return false;
    return std::any_of(m_clients.begin(), m_clients.end(), [pid](const auto& entry) { return entry.second.pid == pid; });
}

std::vector<XWindow> X11ClientTracker::frontToBack() {
    auto stacking = m_connection.cardinals(m_connection.root(), m_connection.ewmh()->_NET_CLIENT_LIST_STACKING,
                                           XCB_ATOM_WINDOW);
    std::vector<XWindow> out;
    out.reserve(m_order.size());
    // Bottom to top on the wire.
    for (auto it = stacking.rbegin(); it != stacking.rend(); ++it)
        if (m_clients.contains(*it)) out.push_back(*it);
    // A window the stacking list does not name yet (or a window manager without that list): the
    // newest are the likeliest to be on top.
    for (auto it = m_order.rbegin(); it != m_order.rend(); ++it)
        if (std::find(out.begin(), out.end(), *it) == out.end()) out.push_back(*it);
    return out;
}

std::vector<XWindow> X11ClientTracker::windowsOf(Pid pid) {
    std::vector<XWindow> out;
    if (pid == 0) return out;
    for (const XWindow window : frontToBack())
        if (pidOf(window) == pid) out.push_back(window);
    return out;
}

bool X11ClientTracker::processRunning(Pid pid) {
    if (pid <= 0) return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!stat || !std::getline(stat, line)) return ::kill(pid, 0) == 0 || errno == EPERM; // no /proc here
    // "pid (comm) S ...": the name may hold spaces and parentheses, the state follows the last ')'.
    const auto close = line.rfind(')');
    if (close == std::string::npos || close + 2 >= line.size()) return true;
    const char state = line[close + 2];
    return state != 'Z' && state != 'X';
}

std::optional<std::string> X11ClientTracker::processName(Pid pid) {
    if (pid <= 0) return std::nullopt;
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    if (!comm || !std::getline(comm, name) || name.empty()) return std::nullopt;
    return name;
}

void X11ClientTracker::refresh() {
    refreshClients();
    refreshActive();
    refreshDesktop();
    // State changes of windows that were already known; new ones were read just now.
    const auto known = m_order;
    for (const XWindow window : known) refreshState(window);
}

void X11ClientTracker::handle(const xcb_generic_event_t& event) {
    if ((event.response_type & 0x7f) == XCB_CONFIGURE_NOTIFY) {
        // Real ones when the client is resized, synthetic ones from the window manager when its
        // frame moves.
        const auto& notify = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
        if (const auto client = m_clients.find(notify.window); client != m_clients.end())
            publish({.kind = Event::Kind::frameChanged, .window = notify.window, .pid = client->second.pid});
        return;
    }
    if ((event.response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return;
    const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
    const xcb_ewmh_connection_t& ewmh = *m_connection.ewmh();
    if (notify.window == m_connection.root()) {
        if (notify.atom == ewmh._NET_CLIENT_LIST) refreshClients();
        else if (notify.atom == ewmh._NET_ACTIVE_WINDOW) refreshActive();
        else if (notify.atom == ewmh._NET_CURRENT_DESKTOP) refreshDesktop();
        return;
    }
    const auto client = m_clients.find(notify.window);
    if (client == m_clients.end()) return;
    if (notify.atom == ewmh._NET_WM_STATE) {
        refreshState(notify.window);
    } else if (notify.atom == ewmh._NET_WM_DESKTOP) {
        refreshWindowDesktop(notify.window);
    } else if (notify.atom == ewmh._NET_WM_PID && !client->second.pidFromServer) {
        // Set late by a few toolkits; later lookups by owner find the window from now on.
        if (const auto pid = m_connection.windowPid(notify.window)) client->second.pid = static_cast<Pid>(*pid);
    }
}

std::vector<xcb_atom_t> X11ClientTracker::adoptionProperties() {
    const xcb_ewmh_connection_t& ewmh = *m_connection.ewmh();
    return {ewmh._NET_WM_PID,          ewmh._NET_WM_STATE,     ewmh._NET_WM_DESKTOP,
            ewmh._NET_WM_WINDOW_TYPE,  XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WM_NORMAL_HINTS,
            ewmh._NET_FRAME_EXTENTS,   m_connection.atom("_GTK_FRAME_EXTENTS"),
            XCB_ATOM_WM_CLASS,         ewmh._NET_WM_NAME,      XCB_ATOM_WM_NAME};
}

std::vector<X11ClientTracker::Client> X11ClientTracker::readClients(const std::vector<XWindow>& windows, bool readPid,
                                                                   const std::vector<xcb_atom_t>& alsoRead) {
    const xcb_ewmh_connection_t& ewmh = *m_connection.ewmh();
    // The server knows the real process; _NET_WM_PID is the client's word (absent for some, a
    // sandbox's own pid for sandboxed applications). Asked before the properties are read, answered
    // with them.
    std::vector<PendingClientPid> owners;
    if (readPid) {
        owners.reserve(windows.size());
        for (const XWindow window : windows) owners.emplace_back(m_connection, window);
    }
    std::vector<xcb_atom_t> properties{ewmh._NET_WM_STATE, ewmh._NET_WM_DESKTOP};
    if (readPid) properties.push_back(ewmh._NET_WM_PID);
    properties.insert(properties.end(), alsoRead.begin(), alsoRead.end());
    if (!m_connection.prefetch(windows, properties) && readPid && !windows.empty()) m_connection.noteRoundTrip();

    std::vector<Client> clients(windows.size());
    for (std::size_t i = 0; i < windows.size(); ++i) {
        Client& client = clients[i];
        if (readPid) {
            if (const auto pid = owners[i].get()) {
                client.pid = *pid;
                client.pidFromServer = true;
            } else if (const auto named = m_connection.windowPid(windows[i])) {
                client.pid = static_cast<Pid>(*named);
            }
        }
        for (const xcb_atom_t state : m_connection.atoms(windows[i], ewmh._NET_WM_STATE)) {
            if (state == ewmh._NET_WM_STATE_HIDDEN) client.minimised = true;
            if (state == ewmh._NET_WM_STATE_FULLSCREEN) client.fullScreen = true;
            if (state == ewmh._NET_WM_STATE_SKIP_TASKBAR || state == ewmh._NET_WM_STATE_ABOVE ||
                state == ewmh._NET_WM_STATE_BELOW)
                client.keptAsideByState = true;
        }
        client.desktop = m_connection.cardinal(windows[i], ewmh._NET_WM_DESKTOP);
    }
    return clients;
}

void X11ClientTracker::refreshClients() {
    const auto listed =
        m_connection.cardinals(m_connection.root(), m_connection.ewmh()->_NET_CLIENT_LIST, XCB_ATOM_WINDOW);
    const std::set<XWindow> now(listed.begin(), listed.end());

    std::vector<Event> events;
    for (const XWindow window : m_order) {
        if (now.contains(window)) continue;
        events.push_back({.kind = Event::Kind::windowRemoved, .window = window, .pid = m_clients.at(window).pid});
        m_clients.erase(window);
        m_connection.forgetProperties(window);
    }
    std::vector<XWindow> order;
    order.reserve(listed.size());
    std::vector<XWindow> added;
    std::vector<xcb_void_cookie_t> selections;
    xcb_connection_t* raw = m_connection.raw();
    for (const XWindow window : listed) {
        if (std::find(order.begin(), order.end(), window) != order.end()) continue; // listed twice
        order.push_back(window);
        if (m_clients.contains(window)) continue;
        // Our own selection on the client (each connection has its own): property changes and its
        // configure notifications (moves and resizes). Made before anything is read, so that a change
        // in between is an event; and with it the connection keeps what it reads of the window.
        const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        selections.push_back(xcb_change_window_attributes_checked(raw, window, XCB_CW_EVENT_MASK, &mask));
        m_connection.watchProperties(window);
        added.push_back(window);
    }
    // New windows are read together, with everything their adoption will ask: one round trip.
    const std::vector<Client> read = readClients(added, true, adoptionProperties());
    for (std::size_t i = 0; i < added.size(); ++i) {
        // Answered already: later requests have their replies. A window gone in between costs no
        // logged error (the client list will drop it) and keeps nothing.
        if (xcb_generic_error_t* error = xcb_request_check(raw, selections[i])) {
            std::free(error);
            m_connection.forgetProperties(added[i]);
        }
        const XWindow window = added[i];
        const Client& client = read[i];
        m_clients[window] = client;
        if (client.pid == 0)
            m_log.info(kCategory, "window %u names no process (X-Resource, _NET_WM_PID) — no application owns it",
                       window);
        events.push_back({.kind = Event::Kind::windowAdded, .window = window, .pid = client.pid});
    }
    m_order = std::move(order);
    for (const Event& event : events) publish(event);
    if (m_unlistedActive != 0 && m_clients.contains(m_unlistedActive)) {
        m_unlistedActive = 0;
        refreshActive();
    }
}

void X11ClientTracker::refreshActive() {
    const auto read =
        m_connection.cardinal(m_connection.root(), m_connection.ewmh()->_NET_ACTIVE_WINDOW, XCB_ATOM_WINDOW);
    XWindow active = read.value_or(0);
    // The active window may be announced before the client list names it.
    if (active != 0 && !m_clients.contains(active)) refreshClients();
    m_unlistedActive = m_clients.contains(active) ? 0 : active;
    if (!m_clients.contains(active)) active = 0;
    if (active == m_active) return;
    const XWindow previous = std::exchange(m_active, active);
    publish({.kind = Event::Kind::activeWindowChanged, .window = active, .previous = previous});
}

void X11ClientTracker::refreshDesktop() {
    const auto desktop = m_connection.cardinal(m_connection.root(), m_connection.ewmh()->_NET_CURRENT_DESKTOP);
    if (desktop == m_desktop) return;
    const bool wasKnown = m_desktop.has_value();
    m_desktop = desktop;
    if (!wasKnown) return; // the first reading is no change
    publish({.kind = Event::Kind::currentDesktopChanged});
}

void X11ClientTracker::refreshState(XWindow window) {
    const auto it = m_clients.find(window);
    if (it == m_clients.end()) return;
    const Client fresh = readClients({window}, !it->second.pidFromServer).front();
    const bool before = it->second.minimised;
    const bool fullScreenBefore = it->second.fullScreen;
    const bool asideBefore = it->second.keptAside();
    const std::optional<std::uint32_t> previousDesktop = it->second.desktop;
    it->second.minimised = fresh.minimised;
    it->second.fullScreen = fresh.fullScreen;
    it->second.keptAsideByState = fresh.keptAsideByState;
    if (fresh.desktop) it->second.desktop = fresh.desktop; // removed while withdrawn: nothing moved
    if (fresh.pid != 0) {
        it->second.pid = fresh.pid;
        it->second.pidFromServer = fresh.pidFromServer;
    }
    // Copies: a subscriber may make the tracker refresh, and `it` with it.
    const Pid pid = it->second.pid;
    const bool asideNow = it->second.keptAside();
    if (before != fresh.minimised)
        publish({.kind = Event::Kind::windowStateChanged,
              .window = window,
              .pid = pid,
              .minimisedBefore = before,
              .minimisedNow = fresh.minimised});
    if (previousDesktop && fresh.desktop && previousDesktop != fresh.desktop)
        publish({.kind = Event::Kind::windowDesktopChanged, .window = window, .pid = pid});
    else if (asideBefore != asideNow)
        publish({.kind = Event::Kind::keptAsideChanged, .window = window, .pid = pid});
    if (fullScreenBefore != fresh.fullScreen)
        publish({.kind = Event::Kind::fullScreenChanged, .window = window, .pid = pid, .fullScreenNow = fresh.fullScreen});
}

void X11ClientTracker::refreshWindowDesktop(XWindow window) {
    const auto it = m_clients.find(window);
    if (it == m_clients.end()) return;
    const auto desktop = m_connection.cardinal(window, m_connection.ewmh()->_NET_WM_DESKTOP);
    // Removed while the window is withdrawn: the client list follows, nothing moved.
    if (!desktop || desktop == it->second.desktop) return;
    const bool placed = it->second.desktop.has_value();
    const bool asideBefore = it->second.keptAside();
    it->second.desktop = desktop;
    // The window manager's first placement is no move.
    if (placed) publish({.kind = Event::Kind::windowDesktopChanged, .window = window, .pid = it->second.pid});
    else if (asideBefore != it->second.keptAside())
        publish({.kind = Event::Kind::keptAsideChanged, .window = window, .pid = it->second.pid});
}

void X11ClientTracker::publish(const Event& event) {
    // A subscriber may unsubscribe itself or others while it runs.
    const auto subscribers = m_subscribers;
    for (const auto& [token, subscriber] : subscribers)
        if (m_subscribers.contains(token)) subscriber(event);
}

} // namespace quorvel::x11
