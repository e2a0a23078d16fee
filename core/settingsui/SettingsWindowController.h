// The settings window's logic: the tabs and rows built from the stored settings, each control
// writing its setting at once and telling the application delegate through a callback, and the
// tiling box that only shows what the tiling coordinator decided. The window itself comes from the
// platform's SettingsViewFactory (SettingsView.h). Owned by the application delegate.
#pragma once

#include "platform/LaunchAtLogin.h"
#include "platform/Log.h"
#include "settings/Settings.h"
#include "settingsui/SettingsView.h"
#include "spaces/LabelStore.h"

#include <array>
#include <functional>
#include <memory>
#include <string_view>

namespace quorvel {

class SettingsWindowController {
public:
    static constexpr std::string_view kTitle = "Quorvel Settings";
    // The pop-up's values for the gap between tiles, in pixels.
    static constexpr std::array<int, 5> kGaps = {0, 4, 8, 12, 16};

    struct Dependencies {
        SettingsViewFactory* views = nullptr; // null: the logic runs without a window
        Settings& settings;
        LabelStore& labels;
        LaunchAtLogin* launchAtLogin = nullptr; // null: no "Launch at login" box
        bool sendsCrashReports = false;         // the build has somewhere to send them: the consent box
        Log& log;
    };

    explicit SettingsWindowController(Dependencies dependencies);
    SettingsWindowController(const SettingsWindowController&) = delete;
    SettingsWindowController& operator=(const SettingsWindowController&) = delete;

    std::function<void()> onModeChanged; // the access mode was written
    std::function<void()> onRefresh;     // anything that changes how desktops are listed or named
    std::function<void()> onToggleTiling; // the tiling box was clicked; the delegate decides
    std::function<void()> onEditShortcuts;
    std::function<void()> onQuit; // "Quit Quorvel"

    // Builds the window on first use (every control reads its value then) and brings it to the
    // front; later calls only bring it forward.
    void show();
    bool isVisible() const;
    // While the window is visible, sets the tiling box from the stored tiling switch.
    void refreshTilingState();
    int tilingRefreshCount() const { return m_tilingRefreshes; }

    // The user's side, as the window reports it (public so that any view can drive it).
    void choose(SettingsControlId id, int item);
    void check(SettingsControlId id, int box, bool checked);
    void press(SettingsControlId id);

    // What the window shows; empty until the first show().
    const SettingsContent& content() const { return m_content; }
    // The row with this id, or null when the window has none (not built, or not offered).
    const SettingsRow* row(SettingsControlId id) const;

private:
    SettingsContent build() const;
    SettingsRow* mutableRow(SettingsControlId id);
    void publish(SettingsRow& row);
    static void fire(const std::function<void()>& callback) {
        if (callback) callback();
    }

    Dependencies m_deps;
    std::unique_ptr<SettingsView> m_view;
    SettingsContent m_content;
    bool m_built = false;
    bool m_shownWithoutView = false;
    int m_tilingRefreshes = 0;
};

} // namespace quorvel
