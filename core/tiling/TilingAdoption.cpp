// Adoption and tree upkeep: when a tracked window enters its desktop's tree (one window, or a
// sweep of a whole desktop), how windows leave trees, hidden applications' saved layouts, and
// trees following desktop changes and the tiling settings. Every change ends in a retile.
#include "tiling/TilingEngine.h"

namespace quorvel {

namespace {
constexpr const char* kCategory = "tiling";
constexpr Seconds kReconcileDelay{0.38}; // the animation's 0.28 s plus 0.1 s
constexpr Seconds kUnhideDelay{0.2};
} // namespace

bool TilingEngine::adoptNewlyCreated(AXElement element, Pid pid) {
    const auto id = track(element, pid);
    if (!id) {
        m_ctx.log.info(kCategory, "window created (pid %d) — not trackable yet", pid);
        return false;
    }
    for (const auto& [space, tree] : m_trees) {
        if (tree->contains(*id)) {
            m_ctx.log.info(kCategory, "window created %u (pid %d) — already adopted", *id, pid);
            return true;
        }
    }
    if (!isAdoptable(*id)) {
        m_ctx.log.info(kCategory, "window created %u (pid %d) — not adoptable yet", *id, pid);
        return false;
    }
    if (!spaceFor(*id)) {
        m_ctx.log.info(kCategory, "window created %u (pid %d) — space not assigned yet", *id, pid);
        return false;
    }
    m_ctx.log.info(kCategory, "window created %u (pid %d) — adopting", *id, pid);
    adopt(*id);
    return true;
}

void TilingEngine::adopt(WindowId id) {
    if (!isAdoptable(id)) {
        m_ctx.log.info(kCategory, "adopt %u: not adoptable (minimized/hidden/fullscreen/untracked)", id);
        return;
    }
    const auto space = spaceFor(id);
    if (!space) {
        m_ctx.log.error(kCategory, "adopt %u: space unknown — deferring adoption", id);
        return;
    }
    if (!shouldTile(*space)) {
        m_ctx.log.info(kCategory, "adopt %u: space %llu not tileable (fullscreen or tiling off) — skipped", id, *space);
        return;
    }
    treeFor(*space);
    const std::shared_ptr<BSPTree> tree = m_trees.at(*space);
    const bool heldBefore = tree->contains(id);
    const std::size_t leavesBefore = tree->leafCount();
    if (leavesBefore == 0) adoptSpace(*space);

    std::set<SpaceId> evicted;
    if (!tree->contains(id)) {
        evicted = evict(id, *space);
        std::optional<WindowId> near;
        if (const auto last = lastFocusedWindow(*space)) {
            if (*last != id) near = last;
            else if (const auto previous = previousFocusedWindow(*space); previous && *previous != id) near = previous;
        }
        tree->insert(id, near, frameForSpace(*space));
    }
    m_ctx.log.info(kCategory, "adopt %u into space %llu — tree now %ld window(s)", id, *space,
                   static_cast<long>(tree->leafCount()));
    retile(*space, heldBefore ? std::nullopt : std::optional(id));
    for (const SpaceId other : evicted) retile(other, std::nullopt);

    if (leavesBefore > 0) {
        const std::weak_ptr<BSPTree> weakTree = tree;
        const SpaceId desktop = *space;
        const auto generation = m_runGeneration;
        m_ctx.scheduler.after(kReconcileDelay, m_lifetime.guard([this, weakTree, desktop, generation] {
            if (!m_isRunning || generation != m_runGeneration) return;
            const auto current = m_trees.find(desktop);
            const auto treeNow = weakTree.lock();
            if (!treeNow || current == m_trees.end() || current->second != treeNow) return;
            const auto before = treeNow->leaves();
            adoptSpace(desktop);
            if (treeNow->leaves() != before) {
                m_ctx.log.info(kCategory, "deferred reconcile of space %llu found a change — retiling", desktop);
                retile(desktop, std::nullopt);
            }
        }));
    }
}

TilingEngine::AdoptResult TilingEngine::adoptSpace(SpaceId space) {
    if (!shouldTile(space)) return {};
    treeFor(space);
    const std::shared_ptr<BSPTree> tree = m_trees.at(space);
    const auto leavesBefore = tree->leaves();
    const std::set<WindowId> before(leavesBefore.begin(), leavesBefore.end());

    // Stale leaves leave without a refit: the sweep re-fills the tree right after.
    for (const WindowId id : leavesBefore) {
        const auto element = m_windowElements.find(id);
        bool stale = element == m_windowElements.end();
        if (!stale) {
            stale = boolAttribute(element->second, ax::minimized) || boolAttribute(element->second, ax::fullScreen) ||
                    boolAttribute(element->second, ax::hidden);
        }
        if (!stale) {
            const auto owner = m_windowOwners.find(id);
            if (owner != m_windowOwners.end()) {
                const auto app = m_ctx.workspace.runningApplication(owner->second);
                stale = app && app->isHidden;
            }
        }
        if (!stale) {
            const auto where = spaceFor(id);
            stale = where && *where != space;
        }
        if (stale) tree->remove(id, std::nullopt);
    }

    const auto list = m_ctx.api.windows(WindowFilter::onScreenOnly);
    std::vector<WindowId> numbers;
    if (list) {
        std::set<Pid> seen;
        for (const WindowInfo& window : *list) {
            if (!window.ownerPid) continue;
            const Pid owner = *window.ownerPid;
            if (!seen.insert(owner).second) continue;
            if (const auto app = m_ctx.workspace.runningApplication(owner)) attach(*app);
        }
        for (const WindowInfo& window : *list) numbers.push_back(window.id);
    }

    std::vector<WindowId> candidates;
    for (auto it = numbers.rbegin(); it != numbers.rend(); ++it) {
        const WindowId id = *it;
        const auto element = m_windowElements.find(id);
        if (element == m_windowElements.end() || tree->contains(id)) continue;
        if (std::find(candidates.begin(), candidates.end(), id) != candidates.end()) continue;
        if (boolAttribute(element->second, ax::minimized) || boolAttribute(element->second, ax::fullScreen) ||
            isHidden(element->second))
            continue;
        if (spaceFor(id) != space) continue;
        candidates.push_back(id);
    }

    std::optional<WindowId> near;
    if (candidates.size() == 1) {
        const auto last = lastFocusedWindow(space);
        if (last && *last != candidates.front()) near = last;
    }
    std::set<SpaceId> evicted;
    const Rect area = candidates.empty() ? Rect{} : frameForSpace(space); // the same for every insertion
    for (const WindowId id : candidates) {
        evicted.merge(evict(id, space));
        tree->insert(id, near, area);
    }
    for (const SpaceId other : evicted) retile(other, std::nullopt);

    const auto leavesAfter = tree->leaves();
    const std::set<WindowId> after(leavesAfter.begin(), leavesAfter.end());
    AdoptResult result;
    result.changed = before != after;
    for (const WindowId id : after)
        if (!before.contains(id)) result.inserted.insert(id);
    return result;
}

std::set<SpaceId> TilingEngine::evict(WindowId id, SpaceId except) {
    std::set<SpaceId> touched;
    for (const auto& [space, tree] : m_trees) {
        if (space == except || !tree->contains(id)) continue;
        tree->remove(id, refitRect(space));
        if (lastFocusedWindow(space) == id) m_lastFocused.erase(space);
        touched.insert(space);
    }
    return touched;
}

void TilingEngine::removeFromTrees(WindowId id) {
    std::erase_if(m_previousFocused, [id](const auto& entry) { return entry.second == id; });
    std::vector<SpaceId> affected;
    for (const auto& [space, tree] : m_trees)
        if (tree->contains(id)) affected.push_back(space);
    for (const SpaceId space : affected) {
        m_trees.at(space)->remove(id, refitRect(space));
        if (lastFocusedWindow(space) == id) m_lastFocused.erase(space);
        retile(space, std::nullopt);
    }
}

void TilingEngine::activeSpaceChanged() {
    pruneDeadTrees();
    const SpaceId active = activeSpace();
    hideBorder();
    if (!m_isRunning || !shouldTile(active)) return;
    const auto result = adoptSpace(active);
    if (result.changed)
        retile(active, result.inserted.size() == 1 ? std::optional(*result.inserted.begin()) : std::nullopt);
    if (m_spotlit.contains(active)) retile(active, std::nullopt);
}

void TilingEngine::applicationHidden(const RunningApplication& app) {
    if (!m_isRunning) return;
    std::vector<WindowId> owned;
    for (const auto& [id, owner] : m_windowOwners)
        if (owner == app.pid) owned.push_back(id);
    std::set<SpaceId> affected;
    for (const WindowId id : owned)
        for (const auto& [space, tree] : m_trees)
            if (tree->contains(id)) affected.insert(space);

    if (!m_hiddenLayouts.contains(app.pid)) {
        auto& saved = m_hiddenLayouts[app.pid];
        for (const SpaceId space : affected) saved[space] = m_trees.at(space)->clone();
    }
    for (const WindowId id : owned) {
        for (const auto& [space, tree] : m_trees) {
            if (!tree->contains(id)) continue;
            tree->remove(id, refitRect(space));
            if (lastFocusedWindow(space) == id) m_lastFocused.erase(space);
        }
    }
    for (const SpaceId space : affected) retile(space, std::nullopt);
}

void TilingEngine::applicationUnhidden(const RunningApplication& app) {
    if (!m_isRunning) return;
    const auto generation = m_runGeneration;
    m_ctx.scheduler.after(kUnhideDelay, m_lifetime.guard([this, pid = app.pid, generation] {
        if (m_isRunning && generation == m_runGeneration) restoreHiddenLayout(pid);
    }));
}

void TilingEngine::restoreHiddenLayout(Pid pid) {
    auto owned = [this, pid] {
        std::vector<WindowId> ids;
        for (const auto& [id, owner] : m_windowOwners)
            if (owner == pid) ids.push_back(id);
        return ids;
    };
    const auto saved = m_hiddenLayouts.find(pid);
    if (saved == m_hiddenLayouts.end()) {
        for (const WindowId id : owned()) adopt(id);
        return;
    }
    const auto layouts = std::move(saved->second);
    m_hiddenLayouts.erase(saved);
    for (const auto& [space, tree] : layouts) {
        const auto info = m_ctx.spaces.spaceInfo(space);
        if (info && info->isFullScreen) continue;
        const TilingOverride override = m_ctx.labels.tilingOverride(space);
        const bool tiles = override == TilingOverride::on ||
                           (override == TilingOverride::automatic && m_ctx.settings.tilingEnabled());
        if (!tiles) continue;
        dropAnimator(space);
        m_trees[space] = tree;
        adoptSpace(space);
        retile(space, std::nullopt);
    }
    for (const WindowId id : owned()) {
        bool inTree = false;
        for (const auto& [space, tree] : m_trees) inTree = inTree || tree->contains(id);
        if (!inTree) adopt(id);
    }
}

void TilingEngine::pruneDeadTrees() {
    if (m_trees.empty()) return;
    const auto current = m_ctx.spaces.allSpaceIDs();
    // An unreadable desktop table says nothing about which desktops are gone.
    if (current.empty()) return;
    std::vector<SpaceId> gone;
    for (const auto& [space, tree] : m_trees)
        if (!current.contains(space)) gone.push_back(space);
    for (const SpaceId space : gone) {
        m_ctx.log.info(kCategory, "space %llu gone — dropping its tree", space);
        dropAnimator(space);
        m_trees.erase(space);
        m_lastFocused.erase(space);
    }
}

void TilingEngine::globalTilingChanged() {
    if (!m_isRunning) return;
    std::vector<SpaceId> dropped;
    for (const auto& [space, tree] : m_trees)
        if (!shouldTile(space)) dropped.push_back(space);
    for (const SpaceId space : dropped) {
        dropAnimator(space);
        m_trees.erase(space);
        m_lastFocused.erase(space);
    }
    const SpaceId active = activeSpace();
    if (shouldTile(active)) {
        adoptSpace(active);
        retile(active, std::nullopt);
    }
}

void TilingEngine::tilingOverrideChanged(SpaceId space) {
    if (!m_isRunning) return;
    if (!shouldTile(space)) {
        dropAnimator(space);
        m_trees.erase(space);
        return;
    }
    adoptSpace(space);
    retile(space, std::nullopt);
}

} // namespace quorvel
