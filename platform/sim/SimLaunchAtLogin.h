// Launch at login on the simulator: an on/off state a test can make refuse changes.
#pragma once

#include "platform/LaunchAtLogin.h"

#include <string>

namespace quorvel::sim {

class SimLaunchAtLogin final : public LaunchAtLogin {
public:
    bool isEnabled() const override { return enabled; }
    LaunchAtLoginChange setEnabled(bool on) override {
        ++changes;
        if (!refusal.empty()) return {.ok = false, .error = refusal};
        enabled = on;
        return {};
    }

    bool enabled = false;
    std::string refusal; // when set, every change fails with this reason
    int changes = 0;
};

} // namespace quorvel::sim
