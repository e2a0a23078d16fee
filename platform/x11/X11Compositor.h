// Whether a compositing manager runs on our screen: the owner of the `_NET_WM_CM_S<screen>`
// selection, followed as it appears and goes away (XFixes selection events). Without a compositor
// X ignores the alpha of our translucent windows, so the Qt layer shapes them instead; the app
// connects the two.
#pragma once

#include "X11Connection.h"

#include <cstdint>
#include <functional>

namespace quorvel::x11 {

class X11Compositor {
public:
    explicit X11Compositor(X11Connection& connection);
    ~X11Compositor();
    X11Compositor(const X11Compositor&) = delete;
    X11Compositor& operator=(const X11Compositor&) = delete;

    // Whether the selection has an owner, as last heard.
    bool present() const { return m_present; }
    // Whether changes are followed (the server has XFixes); without it `present` is read once.
    bool following() const { return m_eventBase != 0; }
    // Called on the connection's dispatch when a compositor appears or goes away.
    std::function<void(bool present)> onChanged;

private:
    void onEvent(const xcb_generic_event_t& event);

    X11Connection& m_connection;
    xcb_atom_t m_selection = XCB_ATOM_NONE;
    std::uint8_t m_eventBase = 0;
    bool m_present = false;
    std::uint64_t m_listener = 0;
};

} // namespace quorvel::x11
