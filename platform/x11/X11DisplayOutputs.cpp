// RandR outputs for Focus Display (see X11DisplayOutputs.h).
#include "X11DisplayOutputs.h"

#include "Edid.h"

#include <xcb/randr.h>

#include <cstdlib>
#include <memory>
#include <set>

namespace quorvel::x11 {

namespace {
template <class Reply>
std::unique_ptr<Reply, decltype(&std::free)> owned(Reply* reply) {
    return {reply, &std::free};
}
} // namespace

X11DisplayOutputs::X11DisplayOutputs(X11Connection& connection, Scheduler& scheduler)
    : m_connection(connection), m_scheduler(scheduler) {
    xcb_connection_t* raw = connection.raw();
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(raw, &xcb_randr_id);
    if (!extension || !extension->present) return;
    // Primary outputs came with RandR 1.3.
    const auto version = owned(xcb_randr_query_version_reply(raw, xcb_randr_query_version(raw, 1, 5), nullptr));
    if (!version || (version->major_version == 1 && version->minor_version < 3)) return;
    m_firstEvent = extension->first_event;
    // The same selection as the screens' (one per client and window): adding it again changes nothing.
    const std::uint16_t mask = XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE |
                               XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE;
    connection.check(xcb_randr_select_input_checked(raw, connection.root(), mask), "selecting RandR events");
    m_listener = connection.addListener([this](const xcb_generic_event_t& event) { onEvent(event); });
}

X11DisplayOutputs::~X11DisplayOutputs() {
    if (m_listener) m_connection.removeListener(m_listener);
}

std::vector<std::uint8_t> X11DisplayOutputs::edidOf(std::uint32_t output) {
    xcb_connection_t* raw = m_connection.raw();
    const xcb_atom_t edid = m_connection.atom("EDID");
    // 256 bytes: the base block and one extension are plenty for the fields read.
    const auto reply = owned(xcb_randr_get_output_property_reply(
        raw, xcb_randr_get_output_property(raw, output, edid, XCB_ATOM_ANY, 0, 64, 0, 0), nullptr));
    if (!reply || reply->format != 8) return {};
    const std::uint8_t* data = xcb_randr_get_output_property_data(reply.get());
    return {data, data + xcb_randr_get_output_property_data_length(reply.get())};
}

std::vector<DisplayOutput> X11DisplayOutputs::outputs() {
    if (!m_firstEvent) return {};
    xcb_connection_t* raw = m_connection.raw();
    const auto resources = owned(xcb_randr_get_screen_resources_current_reply(
        raw, xcb_randr_get_screen_resources_current(raw, m_connection.root()), nullptr));
    if (!resources) return {};
    const xcb_randr_output_t* ids = xcb_randr_get_screen_resources_current_outputs(resources.get());
    const int count = xcb_randr_get_screen_resources_current_outputs_length(resources.get());
    std::vector<DisplayOutput> out;
    std::set<std::string> identifiers;
    for (int i = 0; i < count; ++i) {
        const auto info = owned(xcb_randr_get_output_info_reply(
            raw, xcb_randr_get_output_info(raw, ids[i], resources->config_timestamp), nullptr));
        // Connected and lit: an output without a CRTC shows nothing.
        if (!info || info->connection != XCB_RANDR_CONNECTION_CONNECTED || info->crtc == XCB_NONE) continue;
        const auto crtc = owned(xcb_randr_get_crtc_info_reply(
            raw, xcb_randr_get_crtc_info(raw, info->crtc, resources->config_timestamp), nullptr));
        if (!crtc || crtc->width == 0 || crtc->height == 0) continue;
        const std::string connector(reinterpret_cast<const char*>(xcb_randr_get_output_info_name(info.get())),
                                    static_cast<std::size_t>(xcb_randr_get_output_info_name_length(info.get())));
        const std::vector<std::uint8_t> edid = edidOf(ids[i]);
        DisplayOutput output{.id = ids[i],
                             .identifier = edidIdentifier(edid).value_or(connector),
                             .name = connector,
                             .builtin = isBuiltinConnector(connector),
                             .bounds = {double(crtc->x), double(crtc->y), double(crtc->width), double(crtc->height)}};
        if (const auto model = edidMonitorName(edid)) output.name = *model + " (" + connector + ")";
        // Two monitors of one model without serial numbers read alike: the second keeps its port.
        if (!identifiers.insert(output.identifier).second) output.identifier += "@" + connector;
        out.push_back(std::move(output));
    }
    return out;
}

std::optional<DisplayNumber> X11DisplayOutputs::primary() {
    if (!m_firstEvent) return std::nullopt;
    xcb_connection_t* raw = m_connection.raw();
    const auto reply = owned(
        xcb_randr_get_output_primary_reply(raw, xcb_randr_get_output_primary(raw, m_connection.root()), nullptr));
    if (!reply || reply->output == XCB_NONE) return std::nullopt;
    return reply->output;
}

bool X11DisplayOutputs::setPrimary(DisplayNumber output) {
    if (!m_firstEvent) return false;
    xcb_connection_t* raw = m_connection.raw();
    const std::uint8_t error = m_connection.check(
        xcb_randr_set_output_primary_checked(raw, m_connection.root(), output), "setting the primary output");
    // A dead connection answers "no error".
    return error == 0 && !xcb_connection_has_error(raw);
}

ObserverToken X11DisplayOutputs::observeChanges(std::function<void()> handler) {
    const ObserverToken token = m_nextObserver++;
    m_observers[token] = std::move(handler);
    return token;
}

void X11DisplayOutputs::removeObserver(ObserverToken token) { m_observers.erase(token); }

void X11DisplayOutputs::onEvent(const xcb_generic_event_t& event) {
    const std::uint8_t type = event.response_type & 0x7f;
    const bool changed = type == m_firstEvent + XCB_RANDR_SCREEN_CHANGE_NOTIFY || type == m_firstEvent + XCB_RANDR_NOTIFY;
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
