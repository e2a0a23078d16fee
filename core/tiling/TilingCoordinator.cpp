// Tiling coordinator: start at launch with retries, the global switch, per-desktop overrides, the
// pause while no window manager runs, and the alert and poll. Records a working window manager
// through AccessibilityGrant.
#include "tiling/TilingCoordinator.h"

#include "settings/AccessibilityGrant.h"

#include <string>

namespace quorvel {

namespace {
constexpr const char* kCategory = "tiling";
constexpr const char* kNoWindowManager = "Tiling paused — no window manager is running on this display";
} // namespace

TilingCoordinator::TilingCoordinator(TilingEngine& engine, Settings& settings, LabelStore& labels,
                                     WindowControl& windows, Workspace& workspace, UserNotifier& notifier,
                                     Scheduler& scheduler, Log& log)
    : m_engine(engine), m_settings(settings), m_labels(labels), m_windows(windows),
      m_workspace(workspace), m_notifier(notifier), m_scheduler(scheduler), m_log(log) {}

bool TilingCoordinator::tilingWanted() const {
    return m_settings.tilingEnabled() || m_labels.anySpaceForcesTiling();
}

void TilingCoordinator::notifyStateChanged(Source source) {
    if (onStateChanged) onStateChanged(source);
}

void TilingCoordinator::startAtLaunchIfEnabled(int attempt) {
    if (!tilingWanted()) return;
    if (m_engine.isRunning()) return;
    m_engine.start();
    if (m_engine.isRunning()) {
        notifyStateChanged(Source::launch);
        return;
    }
    if (attempt < kLaunchRetries) {
        m_scheduler.after(kLaunchRetryDelay,
                          m_lifetime.guard([this, attempt] { startAtLaunchIfEnabled(attempt + 1); }));
        return;
    }
    m_log.info(kCategory, "tiling not started after launch retries — no EWMH window manager running");
    m_notifier.showToast(kNoWindowManager);
    pollPermission(0);
}

bool TilingCoordinator::setEnabled(bool on, Source source, const std::function<void()>& beforeAlert) {
    if (!on) {
        m_settings.defaults().set(Settings::tilingEnabledKey, false);
        if (!m_labels.anySpaceForcesTiling()) {
            endWindowManagerWait();
            m_engine.stop();
            m_notifier.showToast("Tiling off");
        } else {
            // Trees of desktops that no longer tile are dropped; desktops forced On keep tiling.
            m_engine.globalTilingChanged();
            m_notifier.showToast("Tiling off — except desktops set to On");
        }
        notifyStateChanged(source);
        return m_engine.isRunning();
    }

    const bool wasRunning = m_engine.isRunning();
    // Stored before starting: the engine adopts the current desktop as it starts, and a desktop
    // on Auto only tiles once the switch reads on.
    m_settings.defaults().set(Settings::tilingEnabledKey, true);
    m_engine.start();
    if (wasRunning) m_engine.globalTilingChanged(); // desktops on Auto now tile too
    if (!m_engine.isRunning()) {
        if (beforeAlert) beforeAlert();
        showPermissionAlert();
        pollPermission(0);
        notifyStateChanged(source);
        return false;
    }
    m_notifier.showToast("Tiling on");
    notifyStateChanged(source);
    return true;
}

void TilingCoordinator::spaceOverrideChanged(SpaceId space, Source source) {
    const bool wanted = tilingWanted();
    if (wanted && !m_engine.isRunning()) {
        m_engine.start();
        if (m_engine.isRunning()) {
            m_notifier.showToast("Tiling on for this desktop");
        } else {
            showPermissionAlert();
            pollPermission(0);
        }
        notifyStateChanged(source);
        return;
    }
    if (!wanted && (m_engine.isRunning() || m_engine.isPaused())) {
        endWindowManagerWait();
        m_engine.stop();
        m_notifier.showToast("Tiling off");
        notifyStateChanged(source);
        return;
    }
    m_engine.tilingOverrideChanged(space);
}

void TilingCoordinator::pollPermission(int attempt) {
    if (attempt == 0) {
        if (m_permissionPollActive) return;
        m_permissionPollActive = true;
    }
    if (!tilingWanted() || m_engine.isRunning()) {
        m_permissionPollActive = false;
        return;
    }
    m_engine.start();
    if (!m_engine.isRunning()) {
        if (attempt < kPermissionPolls) {
            m_scheduler.after(kPermissionPollDelay,
                              m_lifetime.guard([this, attempt] { pollPermission(attempt + 1); }));
        } else {
            m_permissionPollActive = false;
            m_log.info(kCategory,
                       "tiling still blocked after waiting for a window manager — will retry next launch or toggle");
        }
        return;
    }
    m_permissionPollActive = false;
    AccessibilityGrant::noteCurrentState(
        m_settings.defaults(), [this] { return m_windows.isAvailable(); }, m_workspace.ownExecutablePath(),
        m_log);
    m_notifier.showToast("Tiling on");
    notifyStateChanged(Source::permissionPoll);
}

void TilingCoordinator::windowManagerLost() {
    if (m_engine.isRunning()) m_engine.pause();
    if (!m_engine.isPaused() || m_waitingForWindowManager) return;
    m_waitingForWindowManager = true;
    m_listingSince.reset();
    const std::uint64_t wait = ++m_windowManagerWait;
    m_log.info(kCategory, "window manager gone — tiling paused, trees kept");
    notifyStateChanged(Source::permissionPoll);
    m_scheduler.after(m_windowManagerGrace, m_lifetime.guard([this, wait] {
        if (wait != m_windowManagerWait || !m_waitingForWindowManager || !m_engine.isPaused()) return;
        if (m_windows.isAvailable()) return;
        m_log.error(kCategory, "no EWMH window manager for %ld s — tiling stays paused until one starts",
                    static_cast<long>(m_windowManagerGrace.count()));
        m_toldNoWindowManager = true;
        m_notifier.showToast(kNoWindowManager);
    }));
    m_scheduler.after(kWindowManagerPollDelay, m_lifetime.guard([this, wait] { checkWindowManager(wait); }));
}

void TilingCoordinator::endWindowManagerWait() {
    if (!m_waitingForWindowManager) return;
    m_waitingForWindowManager = false;
    ++m_windowManagerWait; // the grace timer and the poll of this wait see they are stale
}

void TilingCoordinator::checkWindowManager(std::uint64_t wait) {
    if (wait != m_windowManagerWait || !m_waitingForWindowManager) return;
    if (m_windows.isAvailable()) {
        resumeAfterWindowManager(wait);
        return;
    }
    m_scheduler.after(kWindowManagerPollDelay, m_lifetime.guard([this, wait] { checkWindowManager(wait); }));
}

void TilingCoordinator::windowManagerAppeared() {
    // Replaced without a gap we saw: the old one let go of every window, the new one is taking them.
    if (!m_waitingForWindowManager) windowManagerLost();
    if (!m_waitingForWindowManager) return;
    const std::uint64_t wait = m_windowManagerWait;
    m_scheduler.after(m_windowManagerSettle, m_lifetime.guard([this, wait] { resumeAfterWindowManager(wait); }));
}

void TilingCoordinator::resumeAfterWindowManager(std::uint64_t wait) {
    if (wait != m_windowManagerWait || !m_waitingForWindowManager) return;
    if (!m_windows.isAvailable()) return; // gone again: the poll or the next announcement resumes
    // A window manager takes its time to list the windows already there; those it has not listed
    // yet would be dropped from the kept trees.
    if (m_engine.isPaused() && tilingWanted() && !m_engine.keptWindowsListed()) {
        if (!m_listingSince) m_listingSince = m_scheduler.now();
        if (m_scheduler.now() - *m_listingSince < kWindowManagerListing.count()) {
            m_scheduler.after(kWindowManagerListingPoll,
                              m_lifetime.guard([this, wait] { resumeAfterWindowManager(wait); }));
            return;
        }
        m_log.info(kCategory, "window manager has not listed every kept window after %ld s — resuming without them",
                   static_cast<long>(kWindowManagerListing.count()));
    }
    m_listingSince.reset();
    m_waitingForWindowManager = false;
    ++m_windowManagerWait;
    if (!tilingWanted() || !m_engine.isPaused()) return;
    m_engine.resume();
    if (!m_engine.isRunning()) return;
    m_log.info(kCategory, "window manager back — tiling resumed from the kept trees");
    AccessibilityGrant::noteCurrentState(
        m_settings.defaults(), [this] { return m_windows.isAvailable(); }, m_workspace.ownExecutablePath(),
        m_log);
    if (m_toldNoWindowManager) m_notifier.showToast("Tiling on");
    m_toldNoWindowManager = false;
    notifyStateChanged(Source::permissionPoll);
}

void TilingCoordinator::showPermissionAlert() {
    const AlertSpec alert{
        .message = "Tiling needs a window manager",
        .informativeText = "No window manager announcing EWMH support is running on this display. Start one (Openbox, "
                           "Xfwm4, Fluxbox, KWin, …), then turn tiling on again.",
        .buttons = {"OK"},
    };
    m_notifier.runAlert(alert);
}

void TilingCoordinator::explainMissingWindowManager() {
    const auto state = AccessibilityGrant::classify(m_windows.isAvailable(), m_settings.defaults(),
                                                    m_workspace.ownExecutablePath());
    const auto text = AccessibilityGrant::explanation(state);
    if (!text) return;
    m_notifier.runAlert({.message = "No window manager is running", .informativeText = *text, .buttons = {"OK"}});
}

} // namespace quorvel
