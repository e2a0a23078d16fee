// Tiling coordinator: the one place that turns the tiling engine (tiling/TilingEngine.h) on and off
// for the user and for start-up, pauses it while no window manager runs and reports each change.
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

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace quorvel {

class TilingCoordinator {
public:
    // Who asked for a change; passed to onStateChanged so views can refresh.
    enum class Source { menu, hotkey, settings, launch, permissionPoll };

    static constexpr int kLaunchRetries = 10; // after the first attempt: 11 in all
    static constexpr Seconds kLaunchRetryDelay{0.5};
    static constexpr int kPermissionPolls = 60; // after the first attempt: 61 in all
    static constexpr Seconds kPermissionPollDelay{2.0};
    // A window manager restarting is back well within this; only then is the user told.
    static constexpr Seconds kWindowManagerGrace{10.0};
    // A window manager announces itself before it manages the windows already there.
    static constexpr Seconds kWindowManagerSettle{0.3};
    // While paused for a window manager, how often its presence is asked besides the events.
    static constexpr Seconds kWindowManagerPollDelay{1.0};
    // After the settle, how much longer the resume waits for the window manager to list the kept
    // windows, and how often it looks meanwhile.
    static constexpr Seconds kWindowManagerListing{2.0};
    static constexpr Seconds kWindowManagerListingPoll{0.1};

    TilingCoordinator(TilingEngine& engine, Settings& settings, LabelStore& labels, WindowControl& windows,
                      Workspace& workspace, UserNotifier& notifier, Scheduler& scheduler, Log& log);
    TilingCoordinator(const TilingCoordinator&) = delete;
    TilingCoordinator& operator=(const TilingCoordinator&) = delete;

    // Called after a change the user should see.
    std::function<void(Source)> onStateChanged;

    // True while a permission poll runs; a second poll is ignored meanwhile.
    bool permissionPollActive() const { return m_permissionPollActive; }
    // True while tiling waits, trees kept, for a window manager to come back.
    bool waitingForWindowManager() const { return m_waitingForWindowManager; }

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

    // The window manager went away (replaced, crashed, switched for another): tiling pauses
    // quietly, keeping every tree. The user is told only when none is back kWindowManagerGrace
    // later. Does nothing while the engine neither runs nor is paused.
    void windowManagerLost();
    // A window manager announced itself: a settle (kWindowManagerSettle) later tiling resumes from
    // the kept trees, once it lists their windows (up to kWindowManagerListing more). One that
    // replaces a running one without a gap pauses tiling first.
    void windowManagerAppeared();

    // Tests of the real program shorten the grace, or lengthen the settle to act within it.
    void setWindowManagerGrace(Seconds grace) { m_windowManagerGrace = grace; }
    void setWindowManagerSettle(Seconds settle) { m_windowManagerSettle = settle; }

    // The modal alert saying tiling needs a window manager.
    void showPermissionAlert();
    // The menu's command for a missing window manager: explains what is wrong.
    void explainMissingWindowManager();

private:
    bool tilingWanted() const;
    void notifyStateChanged(Source source);
    // Stops waiting for a window manager: the grace timer and the poll of this wait end unheard.
    void endWindowManagerWait();
    void checkWindowManager(std::uint64_t wait);
    void resumeAfterWindowManager(std::uint64_t wait);

    TilingEngine& m_engine;
    Settings& m_settings;
    LabelStore& m_labels;
    WindowControl& m_windows;
    Workspace& m_workspace;
    UserNotifier& m_notifier;
    Scheduler& m_scheduler;
    Log& m_log;
    bool m_permissionPollActive = false;
    bool m_waitingForWindowManager = false;
    // The user was told that no window manager runs: tell them again when tiling resumes.
    bool m_toldNoWindowManager = false;
    // Each wait for a window manager; its timers check that it is still the current one.
    std::uint64_t m_windowManagerWait = 0;
    // When the resume began waiting for the kept windows to be listed.
    std::optional<double> m_listingSince;
    Seconds m_windowManagerGrace = kWindowManagerGrace;
    Seconds m_windowManagerSettle = kWindowManagerSettle;
    Lifetime m_lifetime;
};

} // namespace quorvel
