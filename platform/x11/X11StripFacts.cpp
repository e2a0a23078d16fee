// The strip's facts on X11: tray icons, the full-screen active window, the pointer watch (see
// X11StripFacts.h).
#include "X11StripFacts.h"

#include <xcb/xinput.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace quorvel::x11 {

namespace {

constexpr const char* kCategory = "x11";

template <class T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

bool inside(const Rect& rect, double x, double y) {
    return x >= rect.minX() && x < rect.maxX() && y >= rect.minY() && y < rect.maxY();
}

} // namespace

X11StripFacts::X11StripFacts(X11Connection& connection, Scheduler& scheduler)
    : m_connection(connection), m_scheduler(scheduler) {
    xcb_connection_t* c = connection.raw();
    const xcb_query_extension_reply_t* xinput = xcb_get_extension_data(c, &xcb_input_id);
    if (xinput && xinput->present) {
        // The server delivers no XInput 2 events to a client that has not announced its version.
        const Reply<xcb_input_xi_query_version_reply_t> version(
            xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr), &std::free);
        connection.noteRoundTrip();
        if (version && version->major_version >= 2)
            m_xinputOpcode = xinput->major_opcode;
    }
    if (!m_xinputOpcode) {
        connection.log().error(kCategory, "XInput 2 unavailable — the strip is not revealed by pointing at the top edge");
        return;
    }
    m_listener = connection.addListener([this](const xcb_generic_event_t& event) { onEvent(event); });
}

X11StripFacts::~X11StripFacts() {
    if (m_listener) m_connection.removeListener(m_listener);
    if (m_selected && m_connection.isAlive()) select(false);
}

std::vector<Rect> X11StripFacts::trayIconFrames() {
    xcb_connection_t* c = m_connection.raw();
    const xcb_atom_t selection = m_connection.atom("_NET_SYSTEM_TRAY_S" + std::to_string(m_connection.screenNumber()));
    const Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr), &std::free);
    m_connection.noteRoundTrip();
    if (!owner || owner->owner == XCB_WINDOW_NONE) return {};

    const xcb_atom_t embedInfo = m_connection.atom("_XEMBED_INFO");
    auto viewable = [&](XWindow window) {
        const Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr), &std::free);
        m_connection.noteRoundTrip();
        return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    };
    auto hasProperty = [&](XWindow window, xcb_atom_t property) {
        const Reply<xcb_get_property_reply_t> reply(
            xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0), nullptr),
            &std::free);
        m_connection.noteRoundTrip();
        return reply && reply->type != XCB_ATOM_NONE;
    };
    std::vector<Rect> icons;
    // Hosts wrap icons in a window or two of their own: look three levels down.
    auto collect = [&](auto& self, XWindow window, int depth) -> void {
        const Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr), &std::free);
        m_connection.noteRoundTrip();
        if (!tree) return;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            const XWindow child = children[i];
            if (hasProperty(child, embedInfo)) {
                if (viewable(child))
                    if (const auto frame = m_connection.clientRect(child); frame && !frame->isEmpty()) icons.push_back(*frame);
            } else if (depth > 1) {
                self(self, child, depth - 1);
            }
        }
    };
    if (viewable(owner->owner)) {
        collect(collect, owner->owner, 3);
    } else {
        // The selection is held by a hidden window; the icons sit in the host's panel, a dock.
        const xcb_atom_t dock = m_connection.ewmh()->_NET_WM_WINDOW_TYPE_DOCK;
        for (const std::uint32_t window : m_connection.cardinals(m_connection.root(), m_connection.ewmh()->_NET_CLIENT_LIST,
                                                                 XCB_ATOM_WINDOW)) {
            const auto types = m_connection.atoms(window, m_connection.ewmh()->_NET_WM_WINDOW_TYPE);
            if (std::find(types.begin(), types.end(), dock) != types.end()) collect(collect, window, 3);
        }
    }
    return icons;
}

bool X11StripFacts::activeWindowFullScreen(const Rect& monitorFrame) {
    xcb_ewmh_connection_t* ewmh = m_connection.ewmh();
    const auto active = m_connection.cardinal(m_connection.root(), ewmh->_NET_ACTIVE_WINDOW, XCB_ATOM_WINDOW);
    if (!active || *active == XCB_WINDOW_NONE) return false;
    const auto states = m_connection.atoms(*active, ewmh->_NET_WM_STATE);
    if (std::find(states.begin(), states.end(), ewmh->_NET_WM_STATE_FULLSCREEN) == states.end()) return false;
    const auto frame = m_connection.frameRect(*active);
    return frame && inside(monitorFrame, frame->x + frame->width / 2, frame->y + frame->height / 2);
}

void X11StripFacts::watchPointer(std::map<std::string, Rect> regions,
                                 std::function<void(const std::string&, bool)> onChange) {
    m_regions = std::move(regions);
    std::erase_if(m_inside, [&](const std::string& id) { return !m_regions.contains(id); });
    if (m_regions.empty()) {
        m_onChange = nullptr;
        if (m_selected) select(false);
        return;
    }
    m_onChange = std::move(onChange);
    if (!m_selected && m_xinputOpcode) select(true);
}

void X11StripFacts::select(bool on) {
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t mask;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, on ? std::uint32_t(XCB_INPUT_XI_EVENT_MASK_RAW_MOTION) : 0u};
    const std::uint8_t error = m_connection.check(
        xcb_input_xi_select_events_checked(m_connection.raw(), m_connection.root(), 1, &mask.head),
        "selecting raw pointer motion");
    m_selected = on && error == 0;
}

void X11StripFacts::onEvent(const xcb_generic_event_t& event) {
    if (!m_selected || event.response_type != XCB_GE_GENERIC) return;
    const auto& generic = reinterpret_cast<const xcb_ge_generic_event_t&>(event);
    if (generic.extension != m_xinputOpcode || generic.event_type != XCB_INPUT_RAW_MOTION) return;
    // Motion comes in bursts: one query answers them all, at the end of this turn.
    if (m_queryPosted) return;
    m_queryPosted = true;
    m_scheduler.post(m_lifetime.guard([this] {
        m_queryPosted = false;
        queryPointer();
    }));
}

void X11StripFacts::queryPointer() {
    if (m_regions.empty()) return;
    xcb_connection_t* c = m_connection.raw();
    const Reply<xcb_query_pointer_reply_t> pointer(
        xcb_query_pointer_reply(c, xcb_query_pointer(c, m_connection.root()), nullptr), &std::free);
    m_connection.noteRoundTrip();
    ++m_queries;
    if (!pointer || !pointer->same_screen) return;
    // A callback may replace the regions: walk a copy.
    for (const auto& [id, rect] : std::map<std::string, Rect>(m_regions)) {
        if (!m_regions.contains(id)) continue;
        const bool now = inside(rect, pointer->root_x, pointer->root_y);
        if (now == m_inside.contains(id)) continue;
        if (now) m_inside.insert(id);
        else m_inside.erase(id);
        if (m_onChange) {
            const auto onChange = m_onChange;
            onChange(id, now);
        }
    }
}

} // namespace quorvel::x11
