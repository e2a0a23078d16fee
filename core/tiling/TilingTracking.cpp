// Window tracking: one Accessibility observer per regular application, the notifications it
// delivers, tracked windows (element and owner), and the 2-second close sweep for windows whose
// destruction cannot be observed. Feeds adoption (TilingAdoption.cpp).
#include "tiling/TilingEngine.h"

namespace quorvel {

namespace {
constexpr const char* kCategory = "tiling";
constexpr Seconds kAttachDelays[] = {Seconds(0.5), Seconds(1.0), Seconds(2.0)};
constexpr int kAttachAttempts = 3;
constexpr Seconds kCreatedRetryDelay{0.15};
constexpr Seconds kCloseSweepInterval{2.0};
} // namespace

void TilingEngine::axCallback(AXObserverId, AXElement element, const std::string& notification,
                              std::optional<std::uint64_t> refcon) {
    handleAXEvent(notification, element, refcon);
}

bool TilingEngine::attach(const RunningApplication& app) {
    if (!m_isRunning) return false;
    if (app.pid == m_ctx.workspace.ownPid()) return true;
    if (app.localizedName && kSkipApps.contains(*app.localizedName)) return true;

    Accessibility& ax = m_ctx.accessibility;
    if (const auto existing = m_axObservers.find(app.pid); existing != m_axObservers.end()) {
        // Re-registering on a fresh application element tells a live observer from a dead one.
        const AXError error = ax.addNotification(existing->second, ax.applicationElement(app.pid),
                                                 ax::windowCreated, std::nullopt);
        if (error != AXError::success && error != AXError::notificationAlreadyRegistered) {
            m_ctx.log.error(kCategory, "observer for pid %d is dead (%d) — recreating", app.pid, code(error));
            dropObserver(app.pid);
        }
    }

    if (!m_axObservers.contains(app.pid)) {
        const auto created = ax.createObserver(
            app.pid, m_lifetime.guard([this](AXObserverId observer, AXElement element, const std::string& notification,
                                             std::optional<std::uint64_t> refcon) {
                axCallback(observer, element, notification, refcon);
            }));
        const std::string name = app.localizedName.value_or("?");
        if (!created.ok() || created.value == 0) {
            m_ctx.log.error(kCategory, "AXObserverCreate failed: %s (%d)", name, app.pid);
            return false;
        }
        m_ctx.log.info(kCategory, "attached %s (%d)", name, app.pid);
        const AXElement appElement = ax.applicationElement(app.pid);
        ax.setMessagingTimeout(appElement, 1.0);
        ax.addNotification(created.value, appElement, ax::windowCreated, std::nullopt);
        ax.addNotification(created.value, appElement, ax::focusedWindowChanged, std::nullopt);
        ax.scheduleObserver(created.value);
        m_axObservers[app.pid] = created.value;
    }

    const auto windows = ax.copyAttributeValue(ax.applicationElement(app.pid), ax::windows);
    bool tracked = false;
    if (windows.ok()) {
        if (const auto* list = std::get_if<std::vector<AXElement>>(&windows.value)) {
            for (const AXElement window : *list) tracked = track(window, app.pid).has_value() || tracked;
        }
    }
    return tracked;
}

void TilingEngine::dropObserver(Pid pid) {
    const auto it = m_axObservers.find(pid);
    if (it == m_axObservers.end()) return;
    m_ctx.accessibility.unscheduleObserver(it->second);
    m_ctx.accessibility.releaseObserver(it->second);
    m_axObservers.erase(it);
}

void TilingEngine::scheduleAttach(const RunningApplication& app, int attempt) {
    if (attempt >= kAttachAttempts) {
        m_ctx.log.info(kCategory, "attach: no windows after %ld attempts: %s (%d)", kAttachAttempts,
                       app.localizedName.value_or("?"), app.pid);
        return;
    }
    const auto generation = m_runGeneration;
    m_ctx.scheduler.after(kAttachDelays[attempt], m_lifetime.guard([this, app, attempt, generation] {
        if (!m_isRunning || generation != m_runGeneration) return;
        const auto current = m_ctx.workspace.runningApplication(app.pid);
        if (!current || current->isTerminated) return;
        if (!attach(*current)) {
            scheduleAttach(*current, attempt + 1);
            return;
        }
        const SpaceId active = activeSpace();
        if (!m_isRunning || !shouldTile(active)) return;
        const auto result = adoptSpace(active);
        if (!result.changed) return;
        retile(active, result.inserted.size() == 1 ? std::optional(*result.inserted.begin()) : std::nullopt);
    }));
}

std::optional<WindowId> TilingEngine::track(AXElement element, Pid pid) {
    if (!isTrackable(element)) return std::nullopt;
    const auto id = m_ctx.api.windowId(element);
    if (!id) return std::nullopt;
    m_windowElements[*id] = element;
    m_windowOwners[*id] = pid;

    const auto observer = m_axObservers.find(pid);
    if (observer == m_axObservers.end() || *id == 0) {
        m_destroyArmed.erase(*id);
        m_ctx.log.error(kCategory, "track %u: no observer or refcon — relying on the close sweep", *id);
        return id;
    }
    Accessibility& ax = m_ctx.accessibility;
    const AXError error = ax.addNotification(observer->second, element, ax::elementDestroyed, *id);
    if (error == AXError::success || error == AXError::notificationAlreadyRegistered) {
        m_destroyArmed.insert(*id);
    } else {
        m_destroyArmed.erase(*id);
        m_ctx.log.error(kCategory, "track %u: destroy notification refused (%d) — relying on the close sweep", *id,
                        code(error));
    }
    ax.addNotification(observer->second, element, ax::windowMiniaturized, *id);
    ax.addNotification(observer->second, element, ax::windowDeminiaturized, *id);
    return id;
}

void TilingEngine::handleAXEvent(const std::string& notification, AXElement element,
                                 std::optional<std::uint64_t> refcon) {
    if (!m_isRunning) return;
    const auto refconWindow = [&]() -> std::optional<WindowId> {
        if (!refcon || *refcon > UINT32_MAX) return std::nullopt;
        return static_cast<WindowId>(*refcon);
    }();

    if (notification == ax::windowCreated) {
        const Pid pid = m_ctx.accessibility.pid(element).value;
        if (adoptNewlyCreated(element, pid)) return;
        const auto generation = m_runGeneration;
        m_ctx.scheduler.after(kCreatedRetryDelay, m_lifetime.guard([this, element, pid, generation] {
            if (m_isRunning && generation == m_runGeneration) adoptNewlyCreated(element, pid);
        }));
    } else if (notification == ax::focusedWindowChanged) {
        const Pid pid = m_ctx.accessibility.pid(element).value;
        const auto id = track(element, pid);
        if (!id) {
            const auto direct = m_ctx.api.windowId(element);
            if (!direct) return;
            if (const auto space = spaceFor(*direct)) {
                const auto tree = m_trees.find(*space);
                noteFocus(*direct, *space, tree != m_trees.end() && tree->second->contains(*direct));
                clearSpotlightIfFocusMoved(*space, *direct);
            }
            return;
        }
        bool isTiled = false;
        for (const auto& [space, tree] : m_trees) isTiled = isTiled || tree->contains(*id);
        if (const auto space = spaceFor(*id)) {
            const auto tree = m_trees.find(*space);
            noteFocus(*id, *space, tree != m_trees.end() && tree->second->contains(*id));
            clearSpotlightIfFocusMoved(*space, *id);
        }
        if (!isTiled) adopt(*id);
    } else if (notification == ax::elementDestroyed && refconWindow) {
        forget(*refconWindow);
        removeFromTrees(*refconWindow);
    } else if (notification == ax::windowMiniaturized && refconWindow) {
        // A minimised window leaves every tree as a closed one does, but stays tracked.
        removeFromTrees(*refconWindow);
    } else if (notification == ax::windowDeminiaturized && refconWindow) {
        adopt(*refconWindow);
    }
}

void TilingEngine::detach(Pid pid) {
    m_hiddenLayouts.erase(pid);
    dropObserver(pid);
    std::set<SpaceId> affected;
    std::vector<WindowId> owned;
    for (const auto& [id, owner] : m_windowOwners)
        if (owner == pid) owned.push_back(id);
    for (const WindowId id : owned) {
        forget(id);
        for (const auto& [space, tree] : m_trees) {
            if (!tree->contains(id)) continue;
            tree->remove(id, refitRect(space));
            affected.insert(space);
        }
    }
    for (const SpaceId space : affected) retile(space, std::nullopt);
}

void TilingEngine::refreshFocus(const RunningApplication& app) {
    if (!m_isRunning) return;
    const auto focused = m_ctx.accessibility.copyAttributeValue(m_ctx.accessibility.applicationElement(app.pid),
                                                                ax::focusedWindow);
    if (!focused.ok()) return;
    const auto* element = std::get_if<AXElement>(&focused.value);
    if (!element) return;
    const auto id = m_ctx.api.windowId(*element);
    if (!id) return;
    if (const auto space = spaceFor(*id)) {
        const auto tree = m_trees.find(*space);
        noteFocus(*id, *space, tree != m_trees.end() && tree->second->contains(*id));
    }
}

void TilingEngine::startCloseSweep() {
    m_closeSweepTimer.cancel();
    m_closeSweepTimer = m_ctx.scheduler.every(kCloseSweepInterval, m_lifetime.guard([this] { sweepForClosedWindows(); }));
}

void TilingEngine::sweepForClosedWindows() {
    if (!m_isRunning) return;
    std::vector<WindowId> candidates;
    for (const auto& [id, element] : m_windowElements)
        if (!m_destroyArmed.contains(id)) candidates.push_back(id);
    if (candidates.empty()) return;

    // Every window that still exists, on any desktop: a window on a desktop not shown is not gone,
    // and dropping it would lose its place in its tree.
    std::set<WindowId> existing;
    const auto list = m_ctx.api.windows(WindowFilter::excludeDesktopElements);
    if (!list) return; // no answer is not an empty desktop: try again next time
    for (const WindowInfo& window : *list) existing.insert(window.id);
    for (const WindowId id : candidates) {
        if (existing.contains(id)) continue;
        const auto element = m_windowElements.find(id);
        if (element == m_windowElements.end()) continue;
        if (boolAttribute(element->second, ax::minimized) || boolAttribute(element->second, ax::hidden)) continue;
        if (const auto owner = m_windowOwners.find(id); owner != m_windowOwners.end()) {
            const auto app = m_ctx.workspace.runningApplication(owner->second);
            if (app && app->isHidden) continue;
        }
        m_ctx.log.info(kCategory, "close sweep: window %u is gone — removing from tree", id);
        forget(id);
        removeFromTrees(id);
    }
}

} // namespace quorvel
