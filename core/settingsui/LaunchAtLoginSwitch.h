// The settings window's "Launch at login" check box: shows the system's actual state, and after a
// click that the system refused, logs why and shows the actual state again.
#pragma once

#include "platform/LaunchAtLogin.h"
#include "platform/Log.h"

#include <string_view>

namespace quorvel {

class LaunchAtLoginSwitch {
public:
    static constexpr std::string_view kCategory = "app";

    LaunchAtLoginSwitch(LaunchAtLogin& login, Log& log) : m_login(login), m_log(log) {}

    // Whether the box is ticked: read from the system each time.
    bool isOn() const { return m_login.isEnabled(); }
    // The user ticked (true) or cleared (false) the box. Returns what the box shows afterwards.
    bool set(bool wanted);

private:
    LaunchAtLogin& m_login;
    Log& m_log;
};

} // namespace quorvel
