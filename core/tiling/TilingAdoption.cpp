// Adoption and tree upkeep: when a tracked window enters the tree of its desktop and monitor (one
// window, or a sweep of a whole desktop), windows following their monitor, how windows leave
// trees, hidden applications' saved layouts, and trees following desktop changes and the tiling
// settings. Every change ends in a retile.
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
    beginRestore();
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
    m_severalMonitors = false;
    m_monitors.clear();
    m_retileSoon.clear();
    m_fullScreenPlaces.clear();
    m_beforeLeaving.clear();
    m_leavingSince.reset();
    m_restoring.clear();
    m_savePending = false;
}

namespace {
TreePolicy::TreeMap copyOf(const TreePolicy::TreeMap& trees) {
    TreePolicy::TreeMap copy;
    for (const auto& [key, tree] : trees)
        if (tree->leafCount() > 0) copy.emplace(key, std::shared_ptr<BSPTree>(tree->clone()));
    return copy;
}
} // namespace

TreePolicy::TreeMap TreePolicy::keptTrees() const {
    const bool recent = m_leavingSince && m_ctx.scheduler.now() - *m_leavingSince < kLeaveMemory.count();
    return copyOf(recent ? m_beforeLeaving : m_trees);
}

void TreePolicy::restoreTrees(const TreeMap& kept) {
    for (auto& [key, tree] : copyOf(kept)) {
        for (const WindowId id : tree->leaves())
            if (!m_tracker.isTracked(id)) tree->remove(id, std::nullopt);
        if (tree->leafCount() > 0) m_trees[key] = tree;
    }
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

BSPTree& TreePolicy::treeFor(TreeKey key) {
    auto& tree = m_trees[key];
    if (!tree) tree = std::make_shared<BSPTree>();
    return *tree;
}

bool TreePolicy::isInAnyTree(WindowId id) const {
    return std::any_of(m_trees.begin(), m_trees.end(), [id](const auto& entry) { return entry.second->contains(id); });
}

std::optional<TreeKey> TreePolicy::keyHolding(WindowId id) const {
    for (const auto& [key, tree] : m_trees)
        if (tree->contains(id)) return key;
    return std::nullopt;
}

std::vector<TreeKey> TreePolicy::keysOf(SpaceId space) const {
    std::vector<TreeKey> keys;
    for (auto it = m_trees.lower_bound(TreeKey{space, 0}); it != m_trees.end() && it->first.space == space; ++it)
        keys.push_back(it->first);
    return keys;
}

std::optional<Rect> TreePolicy::refitRect(TreeKey key) {
    if (m_ctx.settings.tilingCloseBehavior() == TilingCloseBehavior::keep) return std::nullopt;
    return frameFor(key);
}

std::set<SpaceId> TreePolicy::trees() const {
    std::set<SpaceId> spaces;
    for (const auto& [key, tree] : m_trees) spaces.insert(key.space);
    return spaces;
}

const BSPTree* TreePolicy::tree(SpaceId space) const {
    const auto it = m_trees.lower_bound(TreeKey{space, 0});
    return it == m_trees.end() || it->first.space != space ? nullptr : it->second.get();
}

const BSPTree* TreePolicy::tree(SpaceId space, DisplayNumber monitor) const {
    const auto it = m_trees.find(TreeKey{space, monitor});
    return it == m_trees.end() ? nullptr : it->second.get();
}

// --- Monitors -----------------------------------------------------------------------------------

std::vector<ScreenInfo> TreePolicy::monitorsOf(SpaceId space) {
    const auto screens = m_ctx.screens.screens();
    m_severalMonitors = screens.size() > 1;
    if (!m_severalMonitors) return {};
    const auto info = m_ctx.spaces.spaceInfo(space);
    if (!info) return {};
    std::vector<ScreenInfo>& known = m_monitors[space];
    known.clear();
    // The home monitor is the one the desktop table names for the desktop. Monitors named by no
    // display of the table show the same desktops (on X11, every monitor but the primary); where
    // each monitor has desktops of its own, a desktop spans only its home monitor.
    std::set<std::string> owning;
    for (const Display& display : m_ctx.spaces.getDisplays()) owning.insert(display.id);
    std::vector<ScreenInfo> home;
    std::vector<ScreenInfo> shared;
    for (const ScreenInfo& screen : screens) {
        const auto uuid = m_ctx.screens.displayUUID(screen.displayNumber);
        if (uuid && *uuid == info->displayUUID) home.push_back(screen);
        else if (!uuid || !owning.contains(*uuid)) shared.push_back(screen);
    }
    if (home.empty() || shared.empty()) return {};
    home.insert(home.end(), shared.begin(), shared.end());
    known = home;
    return home;
}

std::optional<DisplayNumber> TreePolicy::monitorOf(WindowId id, const std::vector<ScreenInfo>& monitors) {
    if (monitors.size() <= 1) return kHomeMonitor;
    const auto frame = m_writer.currentFrame(id);
    if (!frame) return std::nullopt;
    const double cx = frame->minX() + frame->width / 2;
    const double cy = frame->minY() + frame->height / 2;
    std::size_t best = 0;
    double bestDistance = -1;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const Rect& area = monitors[i].frame;
        const double dx = std::max({area.minX() - cx, 0.0, cx - area.maxX()});
        const double dy = std::max({area.minY() - cy, 0.0, cy - area.maxY()});
        const double distance = dx * dx + dy * dy;
        // A centre on the shared edge of two monitors belongs to the first of them.
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best == 0 ? kHomeMonitor : monitors[best].displayNumber;
}

TreeKey TreePolicy::keyFor(WindowId id, SpaceId space) {
    return TreeKey{space, monitorOf(id, monitorsOf(space)).value_or(kHomeMonitor)};
}

void TreePolicy::windowFrameChanged(WindowId window) {
    // Our own writes land here too: with one monitor nothing is read at all.
    if (!m_run.running || !m_severalMonitors) return;
    const auto from = keyHolding(window);
    if (!from) return;
    // The monitors as last swept or changed: a frame change reads only the window's frame.
    const auto known = m_monitors.find(from->space);
    const auto monitors = known != m_monitors.end() ? known->second : monitorsOf(from->space);
    const auto monitor = monitorOf(window, monitors);
    if (!monitor || *monitor == from->monitor) return;
    // Dragged to another monitor: it leaves the old tree and is adopted into the new one.
    const TreeKey to{from->space, *monitor};
    m_ctx.log.info(kCategory, "window %u moved to monitor %u of space %llu — moving between trees", window,
                   *monitor, from->space);
    m_writer.cancelAnimation(*from);
    removeFromTree(*from, *m_trees.at(*from), window);
    treeFor(to).insert(window, lastFocusedWindow(to.space), frameFor(to));
    retileTree(*from, std::nullopt);
    retileTree(to, window);
}

void TreePolicy::screensChanged() {
    if (!m_run.running) return;
    std::set<SpaceId> spaces = trees();
    for (const SpaceId space : spaces) {
        const auto monitors = monitorsOf(space);
        std::set<DisplayNumber> present{kHomeMonitor};
        for (std::size_t i = 1; i < monitors.size(); ++i) present.insert(monitors[i].displayNumber);
        for (const TreeKey key : keysOf(space)) {
            const std::shared_ptr<BSPTree> tree = m_trees.at(key);
            for (const WindowId id : tree->leaves()) {
                // A window whose frame cannot be read stays unless its monitor is gone.
                const DisplayNumber monitor =
                    monitorOf(id, monitors).value_or(present.contains(key.monitor) ? key.monitor : kHomeMonitor);
                if (monitor == key.monitor) continue;
                m_ctx.log.info(kCategory, "screens changed: window %u moves to monitor %u of space %llu", id, monitor,
                               space);
                removeFromTree(key, *tree, id);
                treeFor(TreeKey{space, monitor}).insert(id, std::nullopt, frameFor(TreeKey{space, monitor}));
            }
            if (!present.contains(key.monitor)) {
                m_writer.cancelAnimation(key);
                if (m_borderKey == key) hideBorder();
                m_trees.erase(key);
            }
        }
    }
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
        const auto holding = keyHolding(window);
        noteFocus(window, *space, holding && holding->space == *space);
        clearSpotlightIfFocusMoved(*space, window);
    }
    if (tracked && !isTiled) adopt(window);
}

void TreePolicy::focusRefreshed(WindowId window) {
    if (const auto space = spaceFor(window)) {
        const auto holding = keyHolding(window);
        noteFocus(window, *space, holding && holding->space == *space);
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
    std::set<TreeKey> affected;
    for (const WindowId id : windows) {
        // Window ids come back for new windows: a later one must not inherit this one's place.
        m_fullScreenPlaces.erase(id);
        for (const auto& [key, tree] : m_trees) {
            if (!tree->contains(id)) continue;
            tree->remove(id, refitRect(key));
            affected.insert(key);
        }
    }
    for (const TreeKey key : affected) retileTree(key, std::nullopt);
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
    const TreeKey key = keyFor(id, *space);
    treeFor(key);
    const std::shared_ptr<BSPTree> tree = m_trees.at(key);
    const bool heldBefore = tree->contains(id);
    const std::size_t leavesBefore = tree->leafCount();
    if (leavesBefore == 0) adoptSpace(*space);

    std::set<TreeKey> evicted;
    if (!tree->contains(id)) {
        evicted = evict(id, key);
        tree->insert(id, splitTarget(key, id), frameFor(key));
    }
    m_ctx.log.info(kCategory, "adopt %u into space %llu — tree now %ld window(s)", id, *space,
                   static_cast<long>(tree->leafCount()));
    // A first window swept the whole desktop, which may have filled the trees of other monitors.
    if (leavesBefore == 0) retile(*space, heldBefore ? std::nullopt : std::optional(id));
    else retileTree(key, heldBefore ? std::nullopt : std::optional(id));
    for (const TreeKey other : evicted) retileTree(other, std::nullopt);

    if (leavesBefore > 0) {
        const std::weak_ptr<BSPTree> weakTree = tree;
        const SpaceId desktop = *space;
        const auto generation = m_run.generation;
        m_ctx.scheduler.after(kReconcileDelay, m_lifetime.guard([this, weakTree, key, desktop, generation] {
            if (!m_run.isCurrent(generation)) return;
            const auto current = m_trees.find(key);
            const auto treeNow = weakTree.lock();
            if (!treeNow || current == m_trees.end() || current->second != treeNow) return;
            const auto before = treeNow->leaves();
            // A sweep that moved windows between monitors changed other trees of the desktop too.
            if (adoptSpace(desktop).changed || treeNow->leaves() != before) {
                m_ctx.log.info(kCategory, "deferred reconcile of space %llu found a change — retiling", desktop);
                retile(desktop, std::nullopt);
            }
        }));
    }
}

TreePolicy::AdoptResult TreePolicy::adoptSpace(SpaceId space) {
    if (!shouldTile(space)) return {};
    treeFor(TreeKey{space, kHomeMonitor});
    // Where each window of the desktop is: a window that changed monitor changed the desktop.
    const auto placesOfSpace = [&] {
        std::map<WindowId, TreeKey> places;
        for (const TreeKey key : keysOf(space))
            for (const WindowId id : m_trees.at(key)->leaves()) places[id] = key;
        return places;
    };
    const std::map<WindowId, TreeKey> before = placesOfSpace();
    const auto monitors = monitorsOf(space);

    // Stale leaves leave without a refit: the sweep re-fills the trees right after. A window now
    // on another monitor is stale in its old tree.
    for (const TreeKey key : keysOf(space)) {
        BSPTree& tree = *m_trees.at(key);
        for (const WindowId id : tree.leaves()) {
            const WindowFit fit = m_tracker.fit(id);
            bool stale = fit != WindowFit::fits;
            // Full screen before we heard of it: its place is kept as the news would have kept it.
            if (fit == WindowFit::fullScreen) rememberFullScreenPlace(key, tree, id);
            if (!stale) {
                const auto where = spaceFor(id);
                stale = where && *where != space;
            }
            if (!stale && !monitors.empty()) stale = monitorOf(id, monitors).value_or(key.monitor) != key.monitor;
            if (stale) tree.remove(id, std::nullopt);
        }
    }

    std::vector<WindowId> numbers;
    if (const auto onScreen = onScreenWindows()) {
        for (const Pid owner : onScreen->owners)
            if (const auto app = m_ctx.workspace.runningApplication(owner)) m_tracker.attach(*app);
        numbers = onScreen->windows;
    }

    std::vector<WindowId> candidates;
    // Back from full screen before we heard of it: to its own place, not as a newcomer.
    std::vector<WindowId> returning;
    for (auto it = numbers.rbegin(); it != numbers.rend(); ++it) {
        const WindowId id = *it;
        if (!m_tracker.isTracked(id)) continue;
        if (const auto holding = keyHolding(id); holding && holding->space == space) continue;
        if (std::find(candidates.begin(), candidates.end(), id) != candidates.end()) continue;
        if (m_tracker.fit(id) != WindowFit::fits) continue;
        if (spaceFor(id) != space) continue;
        if (m_fullScreenPlaces.contains(id)) returning.push_back(id);
        else candidates.push_back(id);
    }

    std::set<TreeKey> evicted;
    std::map<TreeKey, Rect> areas; // the same for every insertion into a tree
    for (const WindowId id : candidates) {
        const TreeKey key{space, monitorOf(id, monitors).value_or(kHomeMonitor)};
        evicted.merge(evict(id, key));
        if (!areas.contains(key)) areas[key] = frameFor(key);
        // One newcomer splits the window focused before it; several split the last leaf in turn.
        const auto near = candidates.size() == 1 ? splitTarget(key, id) : std::nullopt;
        treeFor(key).insert(id, near, areas.at(key));
    }
    for (const TreeKey other : evicted)
        if (other.space != space) retileTree(other, std::nullopt);
    for (const WindowId id : returning) windowFullScreenLeft(id);

    const std::map<WindowId, TreeKey> after = placesOfSpace();
    AdoptResult result;
    result.changed = before != after;
    for (const auto& [id, key] : after)
        if (!before.contains(id)) result.inserted.insert(id);
    return result;
}

std::optional<WindowId> TreePolicy::splitTarget(TreeKey key, WindowId newcomer) const {
    // A new window is often focused before it is adopted: then the window focused before it is
    // the one to split, when it is in the same tree.
    const BSPTree* tree = this->tree(key.space, key.monitor);
    const auto inTree = [&](WindowId id) { return tree && tree->contains(id); };
    if (const auto last = lastFocusedWindow(key.space)) {
        if (*last != newcomer) return inTree(*last) ? last : std::nullopt;
        if (const auto previous = previousFocusedWindow(key.space); previous && *previous != newcomer && inTree(*previous))
            return previous;
    }
    return std::nullopt;
}

void TreePolicy::removeFromTree(TreeKey key, BSPTree& tree, WindowId id) {
    tree.remove(id, refitRect(key));
    if (lastFocusedWindow(key.space) == id) m_lastFocused.erase(key.space);
}

std::set<TreeKey> TreePolicy::evict(WindowId id, TreeKey except) {
    std::set<TreeKey> touched;
    for (const auto& [key, tree] : m_trees) {
        if (key == except || !tree->contains(id)) continue;
        removeFromTree(key, *tree, id);
        touched.insert(key);
    }
    return touched;
}

void TreePolicy::removeFromTrees(WindowId id) {
    std::erase_if(m_previousFocused, [id](const auto& entry) { return entry.second == id; });
    std::vector<TreeKey> affected;
    for (const auto& [key, tree] : m_trees)
        if (tree->contains(id)) affected.push_back(key);
    const double now = m_ctx.scheduler.now();
    if (!affected.empty() && (!m_leavingSince || now - *m_leavingSince >= kLeaveMemory.count())) {
        m_beforeLeaving = copyOf(m_trees);
        m_leavingSince = now;
    }
    for (const TreeKey key : affected) {
        removeFromTree(key, *m_trees.at(key), id);
        retileSoon(key);
    }
}

void TreePolicy::retileSoon(TreeKey key) {
    const bool posted = !m_retileSoon.empty();
    m_retileSoon.insert(key);
    if (posted) return;
    const auto generation = m_run.generation;
    m_ctx.scheduler.after(kLeaveSettle, m_lifetime.guard([this, generation] {
        if (!m_run.isCurrent(generation)) return;
        const std::set<TreeKey> keys = std::move(m_retileSoon);
        m_retileSoon.clear();
        for (const TreeKey marked : keys) retileTree(marked, std::nullopt);
    }));
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
    std::set<TreeKey> affected;
    for (const WindowId id : owned)
        for (const auto& [key, tree] : m_trees)
            if (tree->contains(id)) affected.insert(key);

    if (!m_hiddenLayouts.contains(app.pid)) {
        auto& saved = m_hiddenLayouts[app.pid];
        for (const TreeKey key : affected) saved[key] = m_trees.at(key)->clone();
    }
    for (const WindowId id : owned)
        for (const auto& [key, tree] : m_trees)
            if (tree->contains(id)) removeFromTree(key, *tree, id);
    for (const TreeKey key : affected) retileTree(key, std::nullopt);
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
    for (const auto& [key, tree] : layouts) {
        // Whether the desktop tiles, as shouldTile answers it.
        if (!shouldTile(key.space)) continue;
        m_writer.cancelAnimation(key);
        m_trees[key] = tree;
        adoptSpace(key.space);
        retile(key.space, std::nullopt);
    }
    for (const WindowId id : m_tracker.windowsOf(pid))
        if (!isInAnyTree(id)) adopt(id);
}

void TreePolicy::dropTree(SpaceId space) {
    m_writer.cancelAnimations(space);
    std::erase_if(m_trees, [space](const auto& entry) { return entry.first.space == space; });
    m_monitors.erase(space);
    m_lastFocused.erase(space);
}

void TreePolicy::pruneDeadTrees() {
    if (m_trees.empty()) return;
    const auto current = m_ctx.spaces.allSpaceIDs();
    // An unreadable desktop table says nothing about which desktops are gone.
    if (current.empty()) return;
    std::vector<SpaceId> gone;
    for (const SpaceId space : trees())
        if (!current.contains(space)) gone.push_back(space);
    for (const SpaceId space : gone) {
        m_ctx.log.info(kCategory, "space %llu gone — dropping its tree", space);
        dropTree(space);
    }
}

void TreePolicy::globalTilingChanged() {
    if (!m_run.running) return;
    std::vector<SpaceId> dropped;
    for (const SpaceId space : trees())
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
        m_writer.cancelAnimations(space);
        std::erase_if(m_trees, [space](const auto& entry) { return entry.first.space == space; });
        return;
    }
    adoptSpace(space);
    retile(space, std::nullopt);
}

} // namespace quorvel
