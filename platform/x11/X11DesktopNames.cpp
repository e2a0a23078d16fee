// _NET_DESKTOP_NAMES on the root window, read, written and watched.
#include "X11DesktopNames.h"

#include <cstdlib>
#include <memory>

namespace quorvel::x11 {

namespace {
// Far more than any list of names: 256 KiB.
constexpr std::uint32_t kMaxLongs = 65536;
} // namespace

X11DesktopNames::X11DesktopNames(X11Connection& connection, Scheduler& scheduler)
    : m_connection(connection), m_scheduler(scheduler), m_atom(connection.ewmh()->_NET_DESKTOP_NAMES) {
    // The connection already listens for property changes on the root.
    m_listener = m_connection.addListener([this](const xcb_generic_event_t& event) { onEvent(event); });
}

X11DesktopNames::~X11DesktopNames() { m_connection.removeListener(m_listener); }

std::vector<std::string> X11DesktopNames::decode(const std::string& bytes) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find('\0', start);
        if (end == std::string::npos) {
            // The last name without its terminator.
            names.push_back(bytes.substr(start));
            break;
        }
        names.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::string X11DesktopNames::encode(const std::vector<std::string>& names) {
    std::string bytes;
    for (const std::string& name : names) {
        for (const char c : name)
            if (c != '\0') bytes += c;
        bytes += '\0';
    }
    return bytes;
}

std::optional<std::vector<std::string>> X11DesktopNames::names() {
    xcb_connection_t* raw = m_connection.raw();
    const auto cookie = xcb_get_property(raw, 0, m_connection.root(), m_atom, m_connection.ewmh()->UTF8_STRING, 0,
                                         kMaxLongs);
    m_connection.noteRoundTrip();
    xcb_generic_error_t* error = nullptr;
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(xcb_get_property_reply(raw, cookie, &error),
                                                                           &std::free);
    if (error) {
        m_connection.absorb(*error, "reading _NET_DESKTOP_NAMES");
        std::free(error);
        return std::nullopt;
    }
    // Absent, or of another type or format: nobody has set names we can read.
    if (!reply || reply->type != m_connection.ewmh()->UTF8_STRING || reply->format != 8) return std::nullopt;
    const auto* data = static_cast<const char*>(xcb_get_property_value(reply.get()));
    return decode(std::string(data, static_cast<std::size_t>(xcb_get_property_value_length(reply.get()))));
}

void X11DesktopNames::setNames(const std::vector<std::string>& names) {
    const std::string bytes = encode(names);
    xcb_change_property(m_connection.raw(), XCB_PROP_MODE_REPLACE, m_connection.root(), m_atom,
                        m_connection.ewmh()->UTF8_STRING, 8, static_cast<std::uint32_t>(bytes.size()), bytes.data());
    m_connection.flush();
}

void X11DesktopNames::onEvent(const xcb_generic_event_t& event) {
    if ((event.response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return;
    const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
    if (notify.window != m_connection.root() || notify.atom != m_atom || m_announcing) return;
    m_announcing = true;
    m_scheduler.post(m_lifetime.guard([this] {
        m_announcing = false;
        if (m_handler) m_handler();
    }));
}

} // namespace quorvel::x11
