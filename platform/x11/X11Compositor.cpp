// Compositing manager detection through the `_NET_WM_CM_S<screen>` selection (see X11Compositor.h).
#include "X11Compositor.h"

#include <xcb/xfixes.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace quorvel::x11 {

namespace {
constexpr const char* kCategory = "x11";
}

X11Compositor::X11Compositor(X11Connection& connection) : m_connection(connection) {
    xcb_connection_t* c = connection.raw();
    m_selection = connection.atom("_NET_WM_CM_S" + std::to_string(connection.screenNumber()));

    // Ask to be told before reading the owner, so a change between the two is not lost.
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (xfixes && xfixes->present) {
        // XFixes answers nothing before its version is agreed.
        std::free(xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), nullptr));
        connection.noteRoundTrip();
        const std::uint32_t mask = XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                   XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                   XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE;
        xcb_xfixes_select_selection_input(c, connection.root(), m_selection, mask);
        m_eventBase = xfixes->first_event;
        m_listener = connection.addListener([this](const xcb_generic_event_t& event) { onEvent(event); });
    } else {
        connection.log().error(kCategory, "XFixes unavailable — a compositing manager started or ended later is not noticed");
    }

    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, m_selection), nullptr), &std::free);
    connection.noteRoundTrip();
    m_present = owner && owner->owner != XCB_WINDOW_NONE;
    connection.log().info(kCategory, m_present ? "a compositing manager runs" : "no compositing manager runs");
}

X11Compositor::~X11Compositor() {
    if (m_listener) m_connection.removeListener(m_listener);
}

void X11Compositor::onEvent(const xcb_generic_event_t& event) {
    if ((event.response_type & 0x7f) != m_eventBase + XCB_XFIXES_SELECTION_NOTIFY) return;
    const auto& notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t&>(event);
    if (notify.selection != m_selection) return;
    // A new owner replacing the old one is still a compositor: only presence matters.
    const bool present = notify.subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER &&
                         notify.owner != XCB_WINDOW_NONE;
    if (present == m_present) return;
    m_present = present;
    m_connection.log().info(kCategory, present ? "a compositing manager started" : "the compositing manager ended");
    if (onChanged) onChanged(present);
}

} // namespace quorvel::x11
