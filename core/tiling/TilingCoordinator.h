// Tiling coordinator: the one place that turns the tiling engine (tiling/TilingEngine.h) on and off
// for the user and for start-up, handles a missing Accessibility permission and reports each change.
#pragma once

#include "platform/WindowControl.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"
#include "platform/Types.h"
#include "platform/UserNotifier.h"
#include "platform/Workspace.h"
#include "settings/Settings.h"
#include "spaces/LabelStore.h"
#include "tiling/TilingEngine.h"

#include <functional>
#include <string_view>

namespace quorvel {

class TilingCoordinator {
public:
    // Who asked for a change; passed to onStateChanged so views can refresh.
    enum class Source { menu, hotkey, settings, launch, permissionPoll };

    // The Accessibility pane of the system settings.
    static constexpr std::string_view kAccessibilitySettingsURL =
        "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility";

    static constexpr int kLaunchRetries = 10; // after the first attempt: 11 in all
    static constexpr Seconds kLaunchRetryDelay{0.5};
    static constexpr int kPermissionPolls = 60; // after the first attempt: 61 in all
    static constexpr Seconds kPermissionPollDelay{2.0};

    TilingCoordinator(TilingEngine& engine, Settings& settings, LabelStore& labels, WindowControl& windows,
                      Workspace& workspace, UserNotifier& notifier, Scheduler& scheduler, Log& log);
    TilingCoordinator(const TilingCoordinator&) = delete;
    TilingCoordinator& operator=(const TilingCoordinator&) = delete;

    // Called after a change the user should see.
    std::function<void(Source)> onStateChanged;

    // True while a permission poll runs; a second poll is ignored meanwhile.
    bool permissionPollActive() const { return m_permissionPollActive; }

    // Starts the engine when tiling is wanted (global switch on or a desktop forced On). Without
    // Accessibility it retries every 0.5 s, 11 tries in all, then shows a toast and polls.
    void startAtLaunchIfEnabled(int attempt = 0);

    // Stores the global switch (on even when the engine cannot start, so polling and the next launch
    // keep trying) and starts or stops the engine with a toast. Without Accessibility: calls
    // `beforeAlert` (the caller closes its menu or panel), shows the modal permission alert and polls.
    // Returns whether the engine runs afterwards.
    bool setEnabled(bool on, Source source, const std::function<void()>& beforeAlert = {});

    // After a desktop's override was stored: starts or stops the engine when that changes whether
    // tiling is wanted at all, otherwise lets the engine re-read the desktop's override.
    void spaceOverrideChanged(SpaceId space, Source source);

    // Tries to start the engine every 2 s, 61 tries in all, while tiling is wanted. On success
    // records the working grant, shows "Tiling on" and reports Source::permissionPoll.
    void pollPermission(int attempt = 0);

    // The modal alert asking for Accessibility; its first button opens the settings pane.
    void showPermissionAlert();
    void openAccessibilitySettings();

private:
    bool tilingWanted() const;
    void notifyStateChanged(Source source);

    TilingEngine& m_engine;
    Settings& m_settings;
    LabelStore& m_labels;
    WindowControl& m_windows;
    Workspace& m_workspace;
    UserNotifier& m_notifier;
    Scheduler& m_scheduler;
    Log& m_log;
    bool m_permissionPollActive = false;
    Lifetime m_lifetime;
};

} // namespace quorvel
