// The settings window, with the callbacks through which it asks the delegate to act. For now a
// shell that keeps whether it was shown; its tabs build on it.
#pragma once

#include <functional>

namespace quorvel {

class SettingsWindowController {
public:
    SettingsWindowController() = default;
    SettingsWindowController(const SettingsWindowController&) = delete;
    SettingsWindowController& operator=(const SettingsWindowController&) = delete;

    std::function<void()> onModeChanged;
    std::function<void()> onRefresh;
    std::function<void()> onToggleTiling;
    std::function<void()> onEditShortcuts;

    void show() { m_visible = true; }
    bool isVisible() const { return m_visible; }
    // Re-reads the tiling switch into the window's controls.
    void refreshTilingState() { ++m_tilingRefreshes; }
    int tilingRefreshCount() const { return m_tilingRefreshes; }

private:
    bool m_visible = false;
    int m_tilingRefreshes = 0;
};

} // namespace quorvel
