// Makes a desktop the current one on its display: directly through the window server, or by
// moving our own helper window there and activating it (parked while the desktop is empty).
// Owned by the application delegate; the strip's tabs switch through the same instance.
#pragma once

#include "platform/HelperWindow.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"
#include "platform/Workspace.h"
#include "settings/Settings.h"
#include "spaces/Space.h"
#include "spaces/SpaceManager.h"
#include "spaces/WindowServerApi.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace quorvel {

class SpaceSwitcher {
public:
    static constexpr std::string_view kCategory = "switching";
    // Between the move and making the helper key, so the server has placed the window.
    static constexpr Seconds kFocusDelay{0.05};
    // Between the focus step and the check of where the display ended up.
    static constexpr Seconds kSettleDelay{0.5};
    static constexpr Seconds kWatchInterval{0.2};
    static constexpr int kWatchTicks = 50; // 10 s of watching a parked desktop
    static constexpr std::array<long, 5> kDirectDiagnosticsMs = {100, 300, 600, 1200, 2500};

    SpaceSwitcher(SpaceManager& spaces, WindowServerApi& api, Workspace& workspace, HelperWindowFactory& helpers,
                  Scheduler& scheduler, Settings& settings, Log& log);
    SpaceSwitcher(const SpaceSwitcher&) = delete;
    SpaceSwitcher& operator=(const SpaceSwitcher&) = delete;

    // Switches to `target` (by its id and display). Takes effect asynchronously; every delayed
    // step of an earlier switch is dropped. Failures are only logged.
    void switchTo(const Space& target);

    // Observation, for tests and diagnostics.
    std::int64_t generation() const { return m_generation; }
    std::optional<SpaceId> parkedSpaceID() const { return m_parkedSpaceID; }
    bool hasHelper() const { return m_helper != nullptr; }

private:
    void switchDirectly(const Space& target);
    void performSwitch(const Space& target, bool isRetry);
    void focusHelper(const Space& target, std::int64_t gen, std::optional<SpaceId> before, bool isRetry);
    void settle(const Space& target, std::int64_t gen, std::optional<SpaceId> before, bool isRetry);
    void watchParkedSpace(const Space& target, std::int64_t gen, int tick);
    void closeHelper();
    // Application windows the mini-maps show on `space`; none when the layouts lack it.
    std::optional<std::size_t> windowsOn(SpaceId space);

    SpaceManager& m_spaces;
    WindowServerApi& m_api;
    Workspace& m_workspace;
    HelperWindowFactory& m_helpers;
    Scheduler& m_scheduler;
    Settings& m_settings;
    Log& m_log;

    std::unique_ptr<HelperWindow> m_helper;
    std::int64_t m_generation = 0;
    std::optional<SpaceId> m_parkedSpaceID;
    Lifetime m_lifetime;
};

} // namespace quorvel
