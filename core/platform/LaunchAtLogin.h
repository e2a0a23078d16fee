// Whether the program starts when the user logs in (on Linux the freedesktop autostart entry,
// platform/linux/AutostartEntry). The settings window's "Launch at login" check box reads and
// writes it through LaunchAtLoginSwitch (settingsui/).
#pragma once

#include <string>

namespace quorvel {

struct LaunchAtLoginChange {
    bool ok = true;
    std::string error; // why it failed, for the log; empty on success
};

class LaunchAtLogin {
public:
    LaunchAtLogin() = default;
    LaunchAtLogin(const LaunchAtLogin&) = delete;
    LaunchAtLogin& operator=(const LaunchAtLogin&) = delete;
    virtual ~LaunchAtLogin() = default;

    // The actual state, read from the system each time.
    virtual bool isEnabled() const = 0;
    // Turns starting at login on or off. A failure leaves the state as it was as far as the system
    // allows; isEnabled() tells what it is.
    virtual LaunchAtLoginChange setEnabled(bool enabled) = 0;
};

} // namespace quorvel
