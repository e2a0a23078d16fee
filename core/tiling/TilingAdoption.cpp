// Adoption and tree upkeep: when a tracked window enters its desktop's tree (one window, or a
// sweep of a whole desktop), how windows leave trees, hidden applications' saved layouts, and
// trees following desktop changes and the tiling settings. Every change ends in a retile.
#include "tiling/TreePolicy.h"

#include <algorithm>

namespace quorvel {

using tiling::kCategory;

namespace {
constexpr Seconds kReconcileDelay{0.38}; // the animation's 0.28 s plus 0.1 s
constexpr Seconds kUnhideDelay{0.2};
} // namespace

TreePolicy::TreePolicy(const TilingContext& context, const TilingRun& run, WindowTracker& tracker,
                       FrameWriter& writer)
    : m_ctx(context), m_run(run), m_tracker(tracker), m_writer(writer) {}

// --- Lifecycle ----------------------------------------------------------------------------------

void TreePolicy::startUp() {
    const SpaceId active = activeSpace();
    adoptSpace(active);
    retile(active, std::nullopt);
}

void TreePolicy::stop() {
    m_trees.clear();
    m_lastFocused.clear();
    // Stopping forgets everything: a split target from an earlier run means nothing in the next.
    m_previousFocused.clear();
    m_spotlit.clear();
    hideBorder();
    m_hiddenLayouts.clear();
    m_fullScreenPlaces.clear();
}

// --- Shared answers -----------------------------------------------------------------------------

SpaceId TreePolicy::activeSpace() { return m_ctx.api.currentDesktop(); }

std::optional<SpaceId> TreePolicy::spaceFor(WindowId id) {
    const auto spaces = m_ctx.api.desktopsOfWindow(id);
    if (!spaces) {
        m_ctx.log.error(kCategory, "space lookup failed for window %u — _NET_WM_DESKTOP gave no answer", id);
        return std::nullopt;
    }
    if (spaces->empty()) {
        m_ctx.log.info(kCategory, "space lookup empty for window %u", id);
        return std::nullopt;
    }
    // On every desktop: no one desktop's window.
    if (spaces->size() > 1) return std::nullopt;
    return spaces->front();
}

std::optional<TreePolicy::OnScreen> TreePolicy::onScreenWindows() {
    const auto list = m_ctx.api.windows(WindowFilter::onScreenOnly);
    if (!list) return std::nullopt;
    OnScreen onScreen;
    std::set<Pid> seen;
    for (const WindowInfo& window : *list) {
        onScreen.windows.push_back(window.id);
        if (window.ownerPid && seen.insert(*window.ownerPid).second) onScreen.owners.push_back(*window.ownerPid);
    }
    return onScreen;
}

bool TreePolicy::shouldTile(SpaceId space) {
    if (const auto info = m_ctx.spaces.spaceInfo(space); info && info->isFullScreen) return false;
    switch (m_ctx.labels.tilingOverride(space)) {
    case TilingOverride::on: return true;
    case TilingOverride::off: return false;
    case TilingOverride::automatic: break;
    }
    return m_ctx.settings.tilingEnabled();
}

BSPTree& TreePolicy::treeFor(SpaceId space) {
    auto& tree = m_trees[space];
    if (!tree) tree = std::make_shared<BSPTree>();
    return *tree;
}

bool TreePolicy::isInAnyTree(WindowId id) const {
    return std::any_of(m_trees.begin(), m_trees.end(), [id](const auto& entry) { return entry.second->contains(id); });
}

std::optional<Rect> TreePolicy::refitRect(SpaceId space) {
    if (m_ctx.settings.tilingCloseBehavior() == TilingCloseBehavior::keep) return std::nullopt;
    return frameForSpace(space);
}

const BSPTree* TreePolicy::tree(SpaceId space) const {
    const auto it = m_trees.find(space);
    return it == m_trees.end() ? nullptr : it->second.get();
}

// --- What the tracker hears ---------------------------------------------------------------------

bool TreePolicy::windowCreated(WindowId window, Pid pid) {
    const auto id = m_tracker.track(window, pid);
    if (!id) {
        m_ctx.log.info(kCategory, "window created (pid %d) — not trackable yet", pid);
        return false;
    }
    if (isInAnyTree(*id)) {
        m_ctx.log.info(kCategory, "window created %u (pid %d) — already adopted", *id, pid);
        return true;
    }
    if (m_tracker.fit(*id) != WindowFit::fits) {
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

void TreePolicy::windowFocused(WindowId window, bool tracked) {
    const bool isTiled = isInAnyTree(window);
    if (const auto space = spaceFor(window)) {
        const auto tree = m_trees.find(*space);
        noteFocus(window, *space, tree != m_trees.end() && tree->second->contains(window));
        clearSpotlightIfFocusMoved(*space, window);
    }
    if (tracked && !isTiled) adopt(window);
}

void TreePolicy::focusRefreshed(WindowId window) {
    if (const auto space = spaceFor(window)) {
        const auto tree = m_trees.find(*space);
        noteFocus(window, *space, tree != m_trees.end() && tree->second->contains(window));
    }
}

void TreePolicy::applicationAttached() {
    const SpaceId active = activeSpace();
    if (!m_run.running || !shouldTile(active)) return;
    const auto result = adoptSpace(active);
    if (!result.changed) return;
    retile(active, result.inserted.size() == 1 ? std::optional(*result.inserted.begin()) : std::nullopt);
}

void TreePolicy::applicationQuit(Pid pid, const std::vector<WindowId>& windows) {
    m_hiddenLayouts.erase(pid);
    std::set<SpaceId> affected;
    for (const WindowId id : windows) {
        // Window ids come back for new windows: a later one must not inherit this one's place.
        m_fullScreenPlaces.erase(id);
        for (const auto& [space, tree] : m_trees) {
            if (!tree->contains(id)) continue;
            tree->remove(id, refitRect(space));
            affected.insert(space);
        }
    }
    for (const SpaceId space : affected) retile(space, std::nullopt);
}

// --- Adoption -----------------------------------------------------------------------------------

void TreePolicy::adopt(WindowId id) {
    if (m_tracker.fit(id) != WindowFit::fits) {
        m_ctx.log.info(kCategory, "adopt %u: not adoptable (minimized/hidden/fullscreen/untracked)", id);
        return;
    }
    // Back from full screen, whichever event says so first: to its own place.
    if (m_fullScreenPlaces.contains(id)) return windowFullScreenLeft(id);
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
        const auto generation = m_run.generation;
        m_ctx.scheduler.after(kReconcileDelay, m_lifetime.guard([this, weakTree, desktop, generation] {
            if (!m_run.isCurrent(generation)) return;
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

TreePolicy::AdoptResult TreePolicy::adoptSpace(SpaceId space) {
    if (!shouldTile(space)) return {};
    treeFor(space);
    const std::shared_ptr<BSPTree> tree = m_trees.at(space);
    const auto leavesBefore = tree->leaves();
    const std::set<WindowId> before(leavesBefore.begin(), leavesBefore.end());

    // Stale leaves leave without a refit: the sweep re-fills the tree right after.
    for (const WindowId id : leavesBefore) {
        bool stale = m_tracker.fit(id) != WindowFit::fits;
        if (!stale) {
            const auto where = spaceFor(id);
            stale = where && *where != space;
        }
        if (stale) tree->remove(id, std::nullopt);
    }

    std::vector<WindowId> numbers;
    if (const auto onScreen = onScreenWindows()) {
        for (const Pid owner : onScreen->owners)
            if (const auto app = m_ctx.workspace.runningApplication(owner)) m_tracker.attach(*app);
        numbers = onScreen->windows;
    }

    std::vector<WindowId> candidates;
    for (auto it = numbers.rbegin(); it != numbers.rend(); ++it) {
        const WindowId id = *it;
        if (!m_tracker.isTracked(id) || tree->contains(id)) continue;
        if (std::find(candidates.begin(), candidates.end(), id) != candidates.end()) continue;
        if (m_tracker.fit(id) != WindowFit::fits) continue;
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

void TreePolicy::removeFromTree(SpaceId space, BSPTree& tree, WindowId id) {
    tree.remove(id, refitRect(space));
    if (lastFocusedWindow(space) == id) m_lastFocused.erase(space);
}

std::set<SpaceId> TreePolicy::evict(WindowId id, SpaceId except) {
    std::set<SpaceId> touched;
    for (const auto& [space, tree] : m_trees) {
        if (space == except || !tree->contains(id)) continue;
        removeFromTree(space, *tree, id);
        touched.insert(space);
    }
    return touched;
}

void TreePolicy::removeFromTrees(WindowId id) {
    std::erase_if(m_previousFocused, [id](const auto& entry) { return entry.second == id; });
    std::vector<SpaceId> affected;
    for (const auto& [space, tree] : m_trees)
        if (tree->contains(id)) affected.push_back(space);
    for (const SpaceId space : affected) {
        removeFromTree(space, *m_trees.at(space), id);
        retile(space, std::nullopt);
    }
}

// --- Upkeep -------------------------------------------------------------------------------------

void TreePolicy::activeSpaceChanged() {
    pruneDeadTrees();
    const SpaceId active = activeSpace();
    hideBorder();
    if (!m_run.running || !shouldTile(active)) return;
    const auto result = adoptSpace(active);
    if (result.changed)
        retile(active, result.inserted.size() == 1 ? std::optional(*result.inserted.begin()) : std::nullopt);
    if (m_spotlit.contains(active)) retile(active, std::nullopt);
}

void TreePolicy::applicationHidden(const RunningApplication& app) {
    if (!m_run.running) return;
    const std::vector<WindowId> owned = m_tracker.windowsOf(app.pid);
    std::set<SpaceId> affected;
    for (const WindowId id : owned)
        for (const auto& [space, tree] : m_trees)
            if (tree->contains(id)) affected.insert(space);

    if (!m_hiddenLayouts.contains(app.pid)) {
        auto& saved = m_hiddenLayouts[app.pid];
        for (const SpaceId space : affected) saved[space] = m_trees.at(space)->clone();
    }
    for (const WindowId id : owned)
        for (const auto& [space, tree] : m_trees)
            if (tree->contains(id)) removeFromTree(space, *tree, id);
    for (const SpaceId space : affected) retile(space, std::nullopt);
}

void TreePolicy::applicationUnhidden(const RunningApplication& app) {
    if (!m_run.running) return;
    const auto generation = m_run.generation;
    m_ctx.scheduler.after(kUnhideDelay, m_lifetime.guard([this, pid = app.pid, generation] {
        if (m_run.isCurrent(generation)) restoreHiddenLayout(pid);
    }));
}

void TreePolicy::restoreHiddenLayout(Pid pid) {
    const auto saved = m_hiddenLayouts.find(pid);
    if (saved == m_hiddenLayouts.end()) {
        for (const WindowId id : m_tracker.windowsOf(pid)) adopt(id);
        return;
    }
    const auto layouts = std::move(saved->second);
    m_hiddenLayouts.erase(saved);
    for (const auto& [space, tree] : layouts) {
        // Whether the desktop tiles, as shouldTile answers it.
        if (!shouldTile(space)) continue;
        m_writer.cancelAnimation(space);
        m_trees[space] = tree;
        adoptSpace(space);
        retile(space, std::nullopt);
    }
    for (const WindowId id : m_tracker.windowsOf(pid))
        if (!isInAnyTree(id)) adopt(id);
}

void TreePolicy::dropTree(SpaceId space) {
    m_writer.cancelAnimation(space);
    m_trees.erase(space);
    m_lastFocused.erase(space);
}

void TreePolicy::pruneDeadTrees() {
    if (m_trees.empty()) return;
    const auto current = m_ctx.spaces.allSpaceIDs();
    // An unreadable desktop table says nothing about which desktops are gone.
    if (current.empty()) return;
    std::vector<SpaceId> gone;
    for (const auto& [space, tree] : m_trees)
        if (!current.contains(space)) gone.push_back(space);
    for (const SpaceId space : gone) {
        m_ctx.log.info(kCategory, "space %llu gone — dropping its tree", space);
        dropTree(space);
    }
}

void TreePolicy::globalTilingChanged() {
    if (!m_run.running) return;
    std::vector<SpaceId> dropped;
    for (const auto& [space, tree] : m_trees)
        if (!shouldTile(space)) dropped.push_back(space);
    for (const SpaceId space : dropped) dropTree(space);
    const SpaceId active = activeSpace();
    if (shouldTile(active)) {
        adoptSpace(active);
        retile(active, std::nullopt);
    }
}

void TreePolicy::tilingOverrideChanged(SpaceId space) {
    if (!m_run.running) return;
    if (!shouldTile(space)) {
        m_writer.cancelAnimation(space);
        m_trees.erase(space);
        return;
    }
    adoptSpace(space);
    retile(space, std::nullopt);
}

} // namespace quorvel
