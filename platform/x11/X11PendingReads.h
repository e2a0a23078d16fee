// Pipelined property reads for the window list and the screens: send the requests for every window
// first, collect the replies after, so reading N windows costs one round trip instead of N.
// A window destroyed in between answers "gone" without a log line; other X errors are absorbed.
#pragma once

#include "X11Connection.h"

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::x11 {

struct PropertyValue {
    bool windowGone = false; // BadWindow: destroyed since it was listed
    bool present = false;    // the property exists with the type asked for
    std::uint8_t format = 0;
    std::string bytes;

    std::vector<std::uint32_t> cardinals() const {
        if (!present || format != 32) return {};
        std::vector<std::uint32_t> values(bytes.size() / 4);
        if (!values.empty()) std::memcpy(values.data(), bytes.data(), values.size() * 4);
        return values;
    }
    std::optional<std::uint32_t> cardinal() const {
        const auto values = cardinals();
        if (values.empty()) return std::nullopt;
        return values.front();
    }
    std::optional<std::string> text() const {
        if (!present || format != 8) return std::nullopt;
        return bytes;
    }
};

class PendingProperty {
public:
    PendingProperty(X11Connection& connection, XWindow window, xcb_atom_t property, xcb_atom_t type,
                    std::uint32_t maxLongs = 1024)
        : m_connection(&connection), m_type(type),
          m_cookie(xcb_get_property(connection.raw(), 0, window, property, type, 0, maxLongs)) {}
    PendingProperty(PendingProperty&& other) noexcept
        : m_connection(std::exchange(other.m_connection, nullptr)), m_type(other.m_type), m_cookie(other.m_cookie) {}
    PendingProperty(const PendingProperty&) = delete;
    PendingProperty& operator=(const PendingProperty&) = delete;
    PendingProperty& operator=(PendingProperty&&) = delete;
    // A reply never asked for would stay queued in xcb for the connection's life.
    ~PendingProperty() {
        if (m_connection) xcb_discard_reply(m_connection->raw(), m_cookie.sequence);
    }

    // Waits for the reply; call once.
    PropertyValue get(const char* what) {
        PropertyValue value;
        if (!m_connection) return value;
        xcb_generic_error_t* error = nullptr;
        X11Connection& connection = *m_connection;
        m_connection = nullptr; // collected: nothing left to discard
        xcb_get_property_reply_t* reply = xcb_get_property_reply(connection.raw(), m_cookie, &error);
        if (error) {
            if (error->error_code == XCB_WINDOW) value.windowGone = true;
            else connection.absorb(*error, what);
            std::free(error);
        }
        if (!reply) return value;
        if (reply->type != XCB_ATOM_NONE && (m_type == XCB_GET_PROPERTY_TYPE_ANY || reply->type == m_type)) {
            value.present = true;
            value.format = reply->format;
            const auto length = static_cast<std::size_t>(xcb_get_property_value_length(reply));
            value.bytes.assign(static_cast<const char*>(xcb_get_property_value(reply)), length);
        }
        std::free(reply);
        return value;
    }

private:
    X11Connection* m_connection;
    xcb_atom_t m_type;
    xcb_get_property_cookie_t m_cookie;
};

} // namespace quorvel::x11
