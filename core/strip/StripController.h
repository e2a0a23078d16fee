// The strip of desktop tabs along the top of every display, started only behind its developer
// switch. For now a shell that keeps whether it runs and its visibility override; the visibility
// machine and the windows build on it.
#pragma once

namespace quorvel {

class SpaceSwitcher;

class StripController {
public:
    StripController() = default;
    StripController(const StripController&) = delete;
    StripController& operator=(const StripController&) = delete;

    // Starts the strip; its tabs switch desktops through `switcher`. Main thread only.
    void start(SpaceSwitcher& switcher) {
        m_switcher = &switcher;
        m_running = true;
    }
    void stop() {
        m_running = false;
        m_switcher = nullptr;
        m_visibilityOverride = false;
    }
    bool isRunning() const { return m_running; }
    // Shows the strip regardless of the pointer until toggled again; only while running.
    void toggleVisibilityOverride() {
        if (m_running) m_visibilityOverride = !m_visibilityOverride;
    }
    bool visibilityOverride() const { return m_visibilityOverride; }

private:
    SpaceSwitcher* m_switcher = nullptr;
    bool m_running = false;
    bool m_visibilityOverride = false;
};

} // namespace quorvel
