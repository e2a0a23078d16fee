// The desktop switcher's two techniques, the settle check with its single retry, and the watch
// that releases a parked helper once a real window shows up.
#include "spaces/SpaceSwitcher.h"

namespace quorvel {

namespace {
constexpr double kParkedAlpha = 0.004; // above 0 so the server keeps treating the window as visible
} // namespace

SpaceSwitcher::SpaceSwitcher(SpaceManager& spaces, WindowServerApi& api, Workspace& workspace,
                             HelperWindowFactory& helpers, Scheduler& scheduler, Settings& settings, Log& log)
    : m_spaces(spaces), m_api(api), m_workspace(workspace), m_helpers(helpers), m_scheduler(scheduler),
      m_settings(settings), m_log(log) {}

void SpaceSwitcher::switchTo(const Space& target) {
    if (m_parkedSpaceID == target.id && m_spaces.currentSpaceID(target.displayID) == target.id) {
        m_log.info(kCategory, "already on parked space %llu; retaining helper", target.id);
        return;
    }
    if (m_settings.directSpaceSwitch()) {
        switchDirectly(target, false);
        return;
    }
    performSwitch(target, false);
}

void SpaceSwitcher::switchDirectly(const Space& target, bool isRetry) {
    const std::int64_t gen = ++m_generation; // drops every delayed step of a helper switch under way
    closeHelper();
    m_log.info(kCategory, "direct switch to space %llu on display %s", target.id, target.displayID);
    const auto before = m_spaces.currentSpaceID(target.displayID);
    m_api.setCurrentDesktop(target.displayID, target.id);
    // Checked like the helper technique: once after the settle delay, retried once.
    m_scheduler.after(kSettleDelay, m_lifetime.guard([this, target, gen, before, isRetry] {
        if (m_generation != gen) return;
        verify(target, before, isRetry, [this, target] { switchDirectly(target, true); });
    }));
}

void SpaceSwitcher::performSwitch(const Space& target, bool isRetry) {
    // A helper parked on the target is reused: closing it could let the server show another desktop.
    if (m_parkedSpaceID != target.id) closeHelper();
    const std::int64_t gen = ++m_generation;
    m_log.info(kCategory, "helper switch generation=%ld target=%llu retry=%s", gen, target.id, isRetry);
    const auto before = m_spaces.currentSpaceID(target.displayID);

    if (!m_helper) m_helper = m_helpers.createHelperWindow();
    m_parkedSpaceID.reset();
    // Without a helper the settle check finds the display unmoved and reports it; nothing else breaks.
    if (m_helper) {
        m_helper->setLevelNormal();
        m_helper->setAlpha(0);
        m_helper->orderBack();
        m_api.moveWindowsToDesktop({m_helper->windowNumber()}, target.id);
    }
    m_scheduler.after(kFocusDelay, m_lifetime.guard([this, target, gen, before, isRetry] {
        focusHelper(target, gen, before, isRetry);
    }));
}

void SpaceSwitcher::focusHelper(const Space& target, std::int64_t gen, std::optional<SpaceId> before, bool isRetry) {
    if (m_generation != gen) return;
    if (m_helper) m_helper->makeKeyAndOrderFront();
    m_workspace.activateSelf();
    const bool key = m_helper && m_helper->isKey();
    const bool main = m_helper && m_helper->isMain();
    m_log.info(kCategory, "helper focus generation=%ld key=%s main=%s", gen, key, main);
    m_scheduler.after(kSettleDelay, m_lifetime.guard([this, target, gen, before, isRetry] {
        settle(target, gen, before, isRetry);
    }));
}

void SpaceSwitcher::settle(const Space& target, std::int64_t gen, std::optional<SpaceId> before, bool isRetry) {
    if (m_generation != gen) return;

    const auto windows = windowsOn(target.id);
    if (!windows || *windows > 0) {
        closeHelper();
    } else if (m_helpers.emptyDesktopsStayShown()) {
        // Nothing needs holding the desktop: the helper goes, and with it the focus it took.
        m_log.info(kCategory, "space %llu has no qualifying windows — it stays shown, closing helper generation=%ld",
                   target.id, gen);
        closeHelper();
    } else {
        // Nothing else holds the desktop: the helper stays there, nearly invisible, until a window does.
        m_log.info(kCategory, "space %llu has no qualifying windows — parking helper generation=%ld", target.id, gen);
        if (m_helper) {
            m_helper->setIgnoresMouseEvents(true);
            m_helper->setLevelNormal();
            m_helper->setAlpha(kParkedAlpha);
            m_helper->setBackgroundBlack();
            m_helper->orderBack();
            m_parkedSpaceID = target.id;
            watchParkedSpace(target, gen, 0);
        }
    }

    verify(target, before, isRetry, [this, target] { performSwitch(target, true); });
}

void SpaceSwitcher::verify(const Space& target, std::optional<SpaceId> before, bool isRetry,
                           const std::function<void()>& retry) {
    const auto now = m_spaces.currentSpaceID(target.displayID);
    if (!now) {
        m_log.error(kCategory, "switch to space %llu: display %s not found after settle — not retrying",
                    target.id, target.displayID);
        return;
    }
    if (*now == target.id) return;
    // Only a display seen leaving where it was has moved on; one whose start was not read is a miss.
    if (before && *now != *before) {
        m_log.info(kCategory, "switch to space %llu superseded — display moved to %llu", target.id, *now);
        return;
    }
    if (!isRetry) {
        m_log.error(kCategory, "switch to space %llu did not take — retrying once", target.id);
        retry();
    } else {
        m_log.error(kCategory, "switch to space %llu failed after retry — display still on %llu", target.id, *now);
    }
}

void SpaceSwitcher::watchParkedSpace(const Space& target, std::int64_t gen, int tick) {
    m_scheduler.after(kWatchInterval, m_lifetime.guard([this, target, gen, tick] {
        if (m_generation != gen || m_parkedSpaceID != target.id) {
            m_log.info(kCategory, "parked check cancelled: target=%llu generation=%ld currentGeneration=%ld",
                       target.id, gen, m_generation);
            return;
        }
        const auto windows = static_cast<std::int64_t>(windowsOn(target.id).value_or(0));
        const auto current = m_spaces.currentSpaceID(target.displayID);
        // A parked, settled desktop is logged every 2 s; anything unusual at every tick.
        if (!current || *current != target.id || tick % 10 == 0) {
            m_log.info(kCategory, "parked t+%ldms: space %llu windows=%ld current=%s helperAlive=%s key=%s",
                       std::int64_t{tick} * 200, target.id, windows, Log::describe(current), m_helper != nullptr,
                       m_helper && m_helper->isKey());
        }
        if (windows > 0) {
            m_log.info(kCategory, "parked release: a real window appeared on space %llu", target.id);
            closeHelper();
            return;
        }
        if (tick >= kWatchTicks - 1) {
            // The helper stays parked until the next switch closes it.
            m_log.info(kCategory, "parked watch giving up after 10s on space %llu", target.id);
            return;
        }
        watchParkedSpace(target, gen, tick + 1);
    }));
}

void SpaceSwitcher::closeHelper() {
    if (m_helper) {
        m_log.info(kCategory, "closing helper generation=%ld parked=%s", m_generation,
                   Log::describe(m_parkedSpaceID));
        m_helper->close();
    }
    m_helper.reset();
    m_parkedSpaceID.reset();
}

std::optional<std::size_t> SpaceSwitcher::windowsOn(SpaceId space) {
    const auto layouts = m_spaces.windowLayouts(m_spaces.getDisplays());
    const auto it = layouts.find(space);
    if (it == layouts.end()) return std::nullopt;
    return it->second.size();
}

} // namespace quorvel
