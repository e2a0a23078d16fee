// Makes a desktop the current one on its display: directly through the window server, or by
// moving our own helper window there and activating it (parked while the desktop is empty, where
// the window server needs a window to keep showing it). Both are checked and retried once.
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

#include <functional>
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
    void switchDirectly(const Space& target, bool isRetry);
    void performSwitch(const Space& target, bool isRetry);
    void focusHelper(const Space& target, std::int64_t gen, std::optional<SpaceId> before, bool isRetry);
    void settle(const Space& target, std::int64_t gen, std::optional<SpaceId> before, bool isRetry);
    // Where the display ended up after a switch's settle delay: the target, the desktop it was on
    // (retried once through `retry`), or another one (superseded by someone else's switch).
    void verify(const Space& target, std::optional<SpaceId> before, bool isRetry, const std::function<void()>& retry);
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
