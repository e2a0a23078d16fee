// The root's _NET_DESKTOP_NAMES: UTF8_STRING, one NUL-terminated name per desktop. Read straight
// from the server (never a kept copy, so a read after our own write sees it), written whole, and
// its PropertyNotify announced on the main queue, several at once as one.
#pragma once

#include "X11Connection.h"
#include "platform/DesktopNames.h"
#include "platform/Lifetime.h"
#include "platform/Scheduler.h"

#include <string>
#include <vector>

namespace quorvel::x11 {

class X11DesktopNames final : public DesktopNames {
public:
    X11DesktopNames(X11Connection& connection, Scheduler& scheduler);
    ~X11DesktopNames() override;

    std::optional<std::vector<std::string>> names() override;
    void setNames(const std::vector<std::string>& names) override;
    void onNamesChanged(std::function<void()> handler) override { m_handler = std::move(handler); }

    // Pure: the property's bytes as names, and names as bytes (a NUL inside a name is dropped).
    static std::vector<std::string> decode(const std::string& bytes);
    static std::string encode(const std::vector<std::string>& names);

private:
    void onEvent(const xcb_generic_event_t& event);

    X11Connection& m_connection;
    Scheduler& m_scheduler;
    xcb_atom_t m_atom;
    std::uint64_t m_listener = 0;
    std::function<void()> m_handler;
    bool m_announcing = false;
    Lifetime m_lifetime;
};

} // namespace quorvel::x11
