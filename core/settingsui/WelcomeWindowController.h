#pragma once

#include <functional>

namespace quorvel {

// The first-launch welcome window. A shell for now.
class WelcomeWindowController {
public:
    WelcomeWindowController() = default;
    WelcomeWindowController(const WelcomeWindowController&) = delete;
    WelcomeWindowController& operator=(const WelcomeWindowController&) = delete;

    std::function<void()> onModeChanged;

    void show() { m_visible = true; }
    bool isVisible() const { return m_visible; }

private:
    bool m_visible = false;
};

} // namespace quorvel
