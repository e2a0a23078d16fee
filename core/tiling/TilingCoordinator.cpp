// Tiling coordinator: start at launch with retries, the global switch, per-desktop overrides, and the
// permission alert and poll. Records a working grant through AccessibilityGrant.
#include "tiling/TilingCoordinator.h"

#include "settings/AccessibilityGrant.h"

#include <string>

namespace quorvel {

namespace {
constexpr const char* kCategory = "tiling";
} // namespace

TilingCoordinator::TilingCoordinator(TilingEngine& engine, Settings& settings, LabelStore& labels,
                                     Accessibility& accessibility, Workspace& workspace, UserNotifier& notifier,
                                     Scheduler& scheduler, Log& log)
    : m_engine(engine), m_settings(settings), m_labels(labels), m_accessibility(accessibility),
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
    m_log.info(kCategory, "tiling not started after launch retries — Accessibility likely not granted");
    m_notifier.showToast("Tiling paused — grant Accessibility in System Settings");
    pollPermission(0);
}

bool TilingCoordinator::setEnabled(bool on, Source source, const std::function<void()>& beforeAlert) {
    if (!on) {
        m_settings.defaults().set(Settings::tilingEnabledKey, false);
        if (!m_labels.anySpaceForcesTiling()) {
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
    if (!wanted && m_engine.isRunning()) {
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
            m_log.info(kCategory, "tiling still blocked after permission polling — will retry next launch or toggle");
        }
        return;
    }
    m_permissionPollActive = false;
    AccessibilityGrant::noteCurrentState(
        m_settings.defaults(), [this] { return m_accessibility.isProcessTrusted(); }, m_workspace.ownExecutablePath(),
        m_log);
    m_notifier.showToast("Tiling on");
    notifyStateChanged(Source::permissionPoll);
}

void TilingCoordinator::showPermissionAlert() {
    const AlertSpec alert{
        .message = "Tiling needs Accessibility access",
        .informativeText = "Grant Quorvel access in System Settings → Privacy & Security → Accessibility, then turn "
                           "tiling on again.",
        .buttons = {"Open System Settings", "Cancel"},
    };
    if (m_notifier.runAlert(alert) == kAlertFirstButton) openAccessibilitySettings();
}

void TilingCoordinator::openAccessibilitySettings() {
    m_workspace.openURL(std::string(kAccessibilitySettingsURL));
}

} // namespace quorvel
