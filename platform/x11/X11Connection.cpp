// X connection: setup, property helpers, client messages, event routing and error absorption.
#include "X11Connection.h"

#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quorvel::x11 {

namespace {
constexpr const char* kCategory = "x11";

template <class Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <class Reply>
ReplyPtr<Reply> owned(Reply* reply) {
    return ReplyPtr<Reply>(reply, &std::free);
}

// How much of a watched window's property is read: enough for every value kept (titles included).
constexpr std::uint32_t kKeptLongs = 4096;

// Whether sequence number `later` is `earlier` or after it (numbers wrap at 32 bits).
bool atOrAfter(std::uint32_t later, std::uint32_t earlier) { return static_cast<std::int32_t>(later - earlier) >= 0; }
} // namespace

std::unique_ptr<X11Connection> X11Connection::open(const std::string& display, Log& log) {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(display.empty() ? nullptr : display.c_str(), &screenNumber);
    if (!connection || xcb_connection_has_error(connection)) {
        if (connection) xcb_disconnect(connection);
        log.error(kCategory, "cannot connect to the X display %s", display.empty() ? "$DISPLAY" : display);
        return nullptr;
    }
    std::unique_ptr<X11Connection> opened(new X11Connection(connection, screenNumber, log));
    const char* fromEnvironment = std::getenv("DISPLAY");
    opened->m_displayName = !display.empty() ? display : fromEnvironment ? fromEnvironment : "";
    return opened;
}

X11Connection::X11Connection(xcb_connection_t* connection, int screenNumber, Log& log)
    : m_connection(connection), m_screenNumber(screenNumber), m_log(log) {
    auto it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    m_screen = it.data;
    xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(m_connection, &m_ewmh);
    m_ewmhReady = xcb_ewmh_init_atoms_replies(&m_ewmh, cookies, nullptr) == 1;
    // Root changes (desktops, client list, active window, work area) and monitor changes.
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    check(xcb_change_window_attributes_checked(m_connection, root(), XCB_CW_EVENT_MASK, &mask), "selecting root events");
    watchProperties(root());
}

X11Connection::~X11Connection() {
    if (m_ewmhReady) xcb_ewmh_connection_wipe(&m_ewmh);
    xcb_disconnect(m_connection);
}

int X11Connection::fileDescriptor() const { return xcb_get_file_descriptor(m_connection); }

bool X11Connection::isAlive() {
    if (xcb_connection_has_error(m_connection) == 0) return true;
    lost();
    return false;
}

void X11Connection::lost() {
    if (m_lostReported) return;
    m_lostReported = true;
    m_log.error(kCategory, "lost the connection to the X server (error %d)", xcb_connection_has_error(m_connection));
    if (onConnectionLost) onConnectionLost();
}

bool X11Connection::hasEWMHWindowManager() {
    if (!m_ewmhReady) return false;
    const xcb_atom_t property = m_ewmh._NET_SUPPORTING_WM_CHECK;
    const auto check = cardinal(root(), property, XCB_ATOM_WINDOW);
    if (!check || *check == XCB_WINDOW_NONE) return false;
    // The check window names itself; a stale property left by a dead window manager does not.
    if (const auto self = keptCardinals(*check, property, XCB_ATOM_WINDOW)) return self->size() == 1 && self->front() == *check;
    // Watched from now on: its destruction (the window manager gone) is heard, and while it lives
    // the answer is not asked again. A window gone already costs no logged error.
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    const auto selected = xcb_change_window_attributes_checked(m_connection, *check, XCB_CW_EVENT_MASK, &mask);
    watchProperties(*check);
    const auto cookie = xcb_get_property(m_connection, 0, *check, property, XCB_GET_PROPERTY_TYPE_ANY, 0, kKeptLongs);
    noteRoundTrip();
    xcb_generic_error_t* error = nullptr;
    const auto reply = owned(xcb_get_property_reply(m_connection, cookie, &error));
    const bool gone = error != nullptr;
    std::free(error);
    std::free(xcb_request_check(m_connection, selected)); // answered already, with the read
    if (!reply || gone) {
        forgetProperties(*check);
        return false;
    }
    keep(*check, property, cookie.sequence, *reply);
    const auto self = keptCardinals(*check, property, XCB_ATOM_WINDOW);
    return self && self->size() == 1 && self->front() == *check;
}

bool X11Connection::dispatch() {
    while (true) {
        ReplyPtr<xcb_generic_event_t> event(nullptr, &std::free);
        if (!m_received.empty()) {
            event = std::move(m_received.front());
            m_received.pop_front();
        } else if (xcb_generic_event_t* raw = xcb_poll_for_event(m_connection)) {
            event = owned(raw);
            forgetChanged(*event);
        } else {
            break;
        }
        if ((event->response_type & 0x7f) == 0) {
            absorb(*reinterpret_cast<const xcb_generic_error_t*>(event.get()), "an asynchronous request");
            continue;
        }
        // A listener may remove itself or others while it runs.
        const auto listeners = m_listeners;
        for (const auto& [token, listener] : listeners)
            if (m_listeners.contains(token)) listener(*event);
    }
    return isAlive();
}

bool X11Connection::anyReceived(const std::function<bool(const xcb_generic_event_t& event)>& test) {
    while (xcb_generic_event_t* raw = xcb_poll_for_queued_event(m_connection)) {
        forgetChanged(*raw);
        m_received.emplace_back(owned(raw));
    }
    return std::any_of(m_received.begin(), m_received.end(), [&](const auto& event) {
        return (event->response_type & 0x7f) != 0 && test(*event);
    });
}

std::uint64_t X11Connection::addListener(EventListener listener) {
    const auto token = m_nextListener++;
    m_listeners[token] = std::move(listener);
    return token;
}

void X11Connection::removeListener(std::uint64_t token) { m_listeners.erase(token); }

void X11Connection::sync() {
    noteRoundTrip();
    const auto reply = owned(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    (void)reply;
}

xcb_atom_t X11Connection::atom(const std::string& name) {
    if (const auto it = m_atoms.find(name); it != m_atoms.end()) return it->second;
    noteRoundTrip();
    const auto reply = owned(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr));
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    if (value != XCB_ATOM_NONE) m_atoms[name] = value;
    return value;
}

void X11Connection::watchProperties(XWindow window) { m_watched.insert(window); }

void X11Connection::forgetProperties(XWindow window) {
    m_watched.erase(window);
    m_kept.erase(window);
}

const X11Connection::Kept* X11Connection::kept(XWindow window, xcb_atom_t property) {
    const auto known = m_kept.find(window);
    if (known == m_kept.end() || !known->second.contains(property)) return nullptr;
    // What the server sent before our latest replies may be waiting, read or not: its changes
    // count. The events stay for the next dispatch.
    while (xcb_generic_event_t* raw = xcb_poll_for_event(m_connection)) {
        forgetChanged(*raw);
        m_received.emplace_back(owned(raw));
    }
    const auto windowKept = m_kept.find(window);
    if (windowKept == m_kept.end()) return nullptr;
    const auto value = windowKept->second.find(property);
    return value == windowKept->second.end() ? nullptr : &value->second;
}

void X11Connection::keep(XWindow window, xcb_atom_t property, std::uint32_t readAt,
                         const xcb_get_property_reply_t& reply) {
    if (!m_watched.contains(window)) return;
    Kept& value = m_kept[window][property];
    value.readAt = readAt;
    value.type = reply.type;
    value.format = reply.format;
    auto* raw = const_cast<xcb_get_property_reply_t*>(&reply);
    value.bytes.assign(static_cast<const char*>(xcb_get_property_value(raw)),
                       static_cast<std::size_t>(xcb_get_property_value_length(raw)));
}

void X11Connection::forgetChanged(const xcb_generic_event_t& event) {
    const std::uint8_t kind = event.response_type & 0x7f;
    if (kind == XCB_DESTROY_NOTIFY) {
        // Even with nothing kept: a window id comes back, and must not come back watched.
        const auto& destroy = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
        if (destroy.window != root()) forgetProperties(destroy.window);
        return;
    }
    if (kind != XCB_PROPERTY_NOTIFY || m_kept.empty()) return;
    const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
    const auto known = m_kept.find(notify.window);
    if (known == m_kept.end()) return;
    const auto value = known->second.find(notify.atom);
    // The event carries the last of our requests the server had handled: a read after that saw
    // the change already.
    if (value != known->second.end() && atOrAfter(event.full_sequence, value->second.readAt))
        known->second.erase(value);
}

std::optional<X11Connection::Kept> X11Connection::readProperty(XWindow window, xcb_atom_t property, xcb_atom_t type,
                                                           std::uint32_t maxLongs) {
    const bool watched = m_watched.contains(window);
    if (watched)
        if (const Kept* known = kept(window, property)) return *known;
    // A watched window's value is read whatever its type, so that it serves every reader.
    const auto cookie = xcb_get_property(m_connection, 0, window, property,
                                         watched ? xcb_atom_t{XCB_GET_PROPERTY_TYPE_ANY} : type, 0,
                                         watched ? kKeptLongs : maxLongs);
    xcb_generic_error_t* error = nullptr;
    noteRoundTrip();
    const auto reply = owned(xcb_get_property_reply(m_connection, cookie, &error));
    if (error) {
        absorb(*error, "reading a property");
        std::free(error);
        return std::nullopt;
    }
    if (!reply) return std::nullopt;
    keep(window, property, cookie.sequence, *reply);
    Kept value;
    value.readAt = cookie.sequence;
    value.type = reply->type;
    value.format = reply->format;
    value.bytes.assign(static_cast<const char*>(xcb_get_property_value(reply.get())),
                       static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
    return value;
}

bool X11Connection::prefetch(const std::vector<XWindow>& windows, const std::vector<xcb_atom_t>& properties) {
    struct Read {
        XWindow window;
        xcb_atom_t property;
        xcb_get_property_cookie_t cookie;
    };
    std::vector<Read> reads;
    for (const XWindow window : windows) {
        if (!m_watched.contains(window)) continue;
        for (const xcb_atom_t property : properties)
            if (property != XCB_ATOM_NONE && !kept(window, property))
                reads.push_back({window, property,
                                 xcb_get_property(m_connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0,
                                                  kKeptLongs)});
    }
    if (reads.empty()) return false;
    noteRoundTrip();
    for (const Read& read : reads) {
        xcb_generic_error_t* error = nullptr;
        const auto reply = owned(xcb_get_property_reply(m_connection, read.cookie, &error));
        // A window destroyed since it was listed: its destruction is an event of its own.
        if (error && error->error_code != XCB_WINDOW) absorb(*error, "reading a property");
        std::free(error);
        if (reply) keep(read.window, read.property, read.cookie.sequence, *reply);
    }
    return true;
}

std::optional<std::vector<std::uint32_t>> X11Connection::keptCardinals(XWindow window, xcb_atom_t property,
                                                                       xcb_atom_t type) {
    if (!m_watched.contains(window) || !kept(window, property)) return std::nullopt;
    return cardinals(window, property, type);
}

std::vector<std::uint32_t> X11Connection::cardinals(XWindow window, xcb_atom_t property, xcb_atom_t type) {
    const auto value = readProperty(window, property, type, 1024);
    if (!value || value->format != 32 || value->type != type) return {};
    std::vector<std::uint32_t> values(value->bytes.size() / 4);
    if (!values.empty()) std::memcpy(values.data(), value->bytes.data(), values.size() * 4);
    return values;
}

std::optional<std::uint32_t> X11Connection::cardinal(XWindow window, xcb_atom_t property, xcb_atom_t type) {
    const auto values = cardinals(window, property, type);
    if (values.empty()) return std::nullopt;
    return values.front();
}

std::vector<xcb_atom_t> X11Connection::atoms(XWindow window, xcb_atom_t property) {
    return cardinals(window, property, XCB_ATOM_ATOM);
}

std::optional<std::string> X11Connection::text(XWindow window, xcb_atom_t property, xcb_atom_t type) {
    auto value = readProperty(window, property, type, 4096);
    if (!value || value->format != 8 || value->type != type) return std::nullopt;
    return std::move(value->bytes);
}

std::optional<std::string> X11Connection::windowTitle(XWindow window) {
    if (auto title = text(window, m_ewmh._NET_WM_NAME, m_ewmh.UTF8_STRING)) return title;
    return text(window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
}

std::optional<std::uint32_t> X11Connection::windowPid(XWindow window) {
    return cardinal(window, m_ewmh._NET_WM_PID);
}

std::optional<std::pair<std::string, std::string>> X11Connection::windowClass(XWindow window) {
    // Two strings, each ended by a NUL: the instance, then the class.
    const auto value = text(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
    if (!value) return std::nullopt;
    const auto end = value->find('\0');
    if (end == std::string::npos) return std::pair<std::string, std::string>{*value, ""};
    std::string instance = value->substr(0, end);
    std::string className = value->substr(end + 1);
    if (const auto classEnd = className.find('\0'); classEnd != std::string::npos) className.resize(classEnd);
    return std::pair{std::move(instance), std::move(className)};
}

std::optional<std::string> X11Connection::applicationName(XWindow window, std::optional<Pid> owner) {
    if (const auto wmClass = windowClass(window)) {
        if (!wmClass->second.empty()) return wmClass->second;
        if (!wmClass->first.empty()) return wmClass->first;
    }
    const auto pid = owner && *owner > 0 ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(*owner))
                                         : windowPid(window);
    if (!pid) return std::nullopt;
    std::FILE* file = std::fopen(("/proc/" + std::to_string(*pid) + "/comm").c_str(), "r");
    if (!file) return std::nullopt;
    char buffer[64] = {};
    const bool read = std::fgets(buffer, sizeof buffer, file) != nullptr;
    std::fclose(file);
    if (!read) return std::nullopt;
    std::string name(buffer);
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    return name.empty() ? std::nullopt : std::optional(name);
}

X11Connection::Extents X11Connection::frameExtents(XWindow window) {
    const auto values = cardinals(window, m_ewmh._NET_FRAME_EXTENTS);
    if (values.size() < 4) return {};
    return {double(values[0]), double(values[1]), double(values[2]), double(values[3])};
}

std::optional<Rect> X11Connection::clientRect(XWindow window) {
    xcb_generic_error_t* error = nullptr;
    // Both asked before either answer is awaited: one round trip.
    const auto geometryCookie = xcb_get_geometry(m_connection, window);
    const auto originCookie = xcb_translate_coordinates(m_connection, window, root(), 0, 0);
    noteRoundTrip();
    const auto geometry = owned(xcb_get_geometry_reply(m_connection, geometryCookie, &error));
    if (error) {
        std::free(error); // the window is gone: an answer, not a fault
        xcb_discard_reply(m_connection, originCookie.sequence);
        return std::nullopt;
    }
    if (!geometry) {
        xcb_discard_reply(m_connection, originCookie.sequence);
        return std::nullopt;
    }
    const auto translated = owned(xcb_translate_coordinates_reply(m_connection, originCookie, &error));
    if (error) {
        std::free(error);
        return std::nullopt;
    }
    if (!translated) return std::nullopt;
    return Rect{double(translated->dst_x), double(translated->dst_y), double(geometry->width),
                double(geometry->height)};
}

std::optional<Rect> X11Connection::frameRect(XWindow window) {
    const auto client = clientRect(window);
    if (!client) return std::nullopt;
    const Extents e = frameExtents(window);
    return Rect{client->x - e.left, client->y - e.top, client->width + e.left + e.right,
                client->height + e.top + e.bottom};
}

void X11Connection::sendRootMessage(XWindow window, xcb_atom_t type, std::uint32_t d0, std::uint32_t d1,
                                    std::uint32_t d2, std::uint32_t d3, std::uint32_t d4) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = type;
    message.data.data32[0] = d0;
    message.data.data32[1] = d1;
    message.data.data32[2] = d2;
    message.data.data32[3] = d3;
    message.data.data32[4] = d4;
    xcb_send_event(m_connection, 0, root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(m_connection);
}

std::uint8_t X11Connection::check(xcb_void_cookie_t cookie, const char* what) {
    noteRoundTrip();
    xcb_generic_error_t* error = xcb_request_check(m_connection, cookie);
    // A dead connection answers "no error": ask it.
    if (!error) return isAlive() ? 0 : 255;
    const std::uint8_t code = error->error_code;
    absorb(*error, what);
    std::free(error);
    return code;
}

std::uint64_t X11Connection::requestsSent() {
    const unsigned sequence = xcb_no_operation(m_connection).sequence;
    if (sequence < m_lastSequence) m_sequenceBase += std::uint64_t{1} << 32;
    m_lastSequence = sequence;
    return m_sequenceBase + sequence;
}

void X11Connection::absorb(const xcb_generic_error_t& error, const char* what) {
    if (!m_loggedErrors.insert({what, error.error_code}).second) return;
    m_log.error(kCategory, "X error %d (request %d.%d) while %s — ignored", error.error_code, error.major_code,
                error.minor_code, what);
}

} // namespace quorvel::x11
