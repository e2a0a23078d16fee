// Layouts that survive a restart: every tree saved (coalesced) in the defaults store whenever a
// retile may have changed it, and, after the first start, windows put back into their saved tiles.
#include "tiling/TreePolicy.h"

namespace quorvel {

using tiling::kCategory;

void TreePolicy::beginRestore() {
    if (m_restoreBegun) return;
    m_restoreBegun = true;
    const auto stored = m_ctx.settings.defaults().object(layout::kDefaultsKey);
    if (!stored) return;
    std::size_t skipped = 0;
    auto saved = layout::fromJson(*stored, &skipped);
    if (!saved) {
        m_ctx.log.error(kCategory, "saved layouts unreadable — starting without them");
        return;
    }
    if (skipped > 0)
        m_ctx.log.error(kCategory, "%ld saved layout(s) unreadable — those desktops start without one",
                        static_cast<long>(skipped));
    for (auto& [key, tree] : *saved) m_restoring[key] = Restoring{.saved = std::move(tree)};
    m_ctx.log.info(kCategory, "restoring %ld saved layout(s) for %d s", static_cast<long>(m_restoring.size()),
                   static_cast<int>(kRestoreWindow.count()));
}

void TreePolicy::endRestore(TreeKey key) {
    const auto found = m_restoring.find(key);
    if (found == m_restoring.end()) return;
    m_ctx.log.info(kCategory, "restore of space %llu ends: %ld of %ld saved tile(s) taken", key.space,
                   static_cast<long>(found->second.placed.size()), static_cast<long>(found->second.saved.marks.size()));
    m_restoring.erase(found);
    // The tiles nobody took leave the saved trees too.
    if (m_run.running) layoutChanged();
}

void TreePolicy::restoreInto(TreeKey key, BSPTree& tree) {
    Restoring& restoring = m_restoring.at(key);
    // The time to come back runs from when the desktop is first tiled: a desktop nobody shows in
    // the first 30 s keeps its saved tree until it is shown.
    if (!restoring.clockStarted) {
        restoring.clockStarted = true;
        const auto generation = m_run.generation;
        m_ctx.scheduler.after(kRestoreWindow, m_lifetime.guard([this, key, generation] {
            if (m_run.isCurrent(generation)) endRestore(key);
        }));
    }
    std::vector<WindowId> fresh;
    for (const WindowId id : tree.leaves())
        if (!restoring.considered.contains(id)) fresh.push_back(id);
    if (fresh.empty()) return;
    const auto marks = windowMarks().value_or(std::map<WindowId, WindowMark>{});
    std::vector<WindowMark> newcomers;
    bool unlisted = false;
    for (const WindowId id : fresh) {
        const auto mark = marks.find(id);
        // A window adopted before the window list shows it has no class or title yet: asked again
        // shortly, while the restore lasts.
        // Likewise one listed before its title is set, for a little while.
        const double firstSeen = restoring.firstSeen.emplace(id, m_ctx.scheduler.now()).first->second;
        const bool untitled = mark != marks.end() && mark->second.title.empty() &&
                              m_ctx.scheduler.now() - firstSeen < kUntitledWait.count();
        if (mark == marks.end() || untitled) {
            unlisted = true;
            continue;
        }
        restoring.considered.insert(id);
        newcomers.push_back(mark->second);
    }
    // One look again at a time, however many retiles come meanwhile.
    if (unlisted && !restoring.retryPending) {
        restoring.retryPending = true;
        const auto generation = m_run.generation;
        m_ctx.scheduler.after(kUnlistedRetry, m_lifetime.guard([this, key, generation] {
            if (!isRestoring(key)) return;
            m_restoring.at(key).retryPending = false;
            if (m_run.isCurrent(generation)) retileTree(key, std::nullopt);
        }));
    }
    auto found = layout::match(restoring.saved, newcomers, restoring.placed);
    if (found.empty()) return;
    restoring.placed.merge(found);

    // The saved shape with the placed windows still here, then everyone else as newcomers.
    std::map<std::size_t, WindowId> present;
    std::set<WindowId> inShape;
    for (const auto& [leaf, id] : restoring.placed)
        if (tree.contains(id)) {
            present[leaf] = id;
            inShape.insert(id);
        }
    std::vector<WindowId> others;
    for (const WindowId id : tree.leaves())
        if (!inShape.contains(id)) others.push_back(id);
    tree.setRoot(layout::rebuild(restoring.saved, present));
    for (const WindowId id : others) tree.insert(id, std::nullopt, frameFor(key));
    m_ctx.log.info(kCategory, "restore of space %llu: %ld of %ld saved tile(s) taken", key.space,
                   static_cast<long>(restoring.placed.size()), static_cast<long>(restoring.saved.marks.size()));
    if (restoring.placed.size() == restoring.saved.marks.size()) m_restoring.erase(key);
}

void TreePolicy::layoutChanged() {
    if (!m_run.running || m_savePending) return;
    m_savePending = true;
    scheduleSave(kSaveDelay);
}

void TreePolicy::scheduleSave(Seconds delay) {
    const auto generation = m_run.generation;
    m_ctx.scheduler.after(delay, m_lifetime.guard([this, generation] {
        if (!m_run.isCurrent(generation) || !m_savePending) return;
        if (m_leavingSince) {
            const double since = m_ctx.scheduler.now() - *m_leavingSince;
            if (since < kLeaveSaveDelay.count()) return scheduleSave(Seconds(kLeaveSaveDelay.count() - since));
        }
        m_savePending = false;
        saveLayouts();
    }));
}

void TreePolicy::saveLayouts() {
    const auto marks = windowMarks();
    // Without the window list the marks would be empty: it is asked again a little later.
    if (!marks) {
        m_savePending = true;
        return scheduleSave(kSaveDelay);
    }
    SavedLayouts layouts;
    for (const auto& [key, tree] : m_trees)
        if (tree->root()) layouts[key] = layout::save(*tree, *marks);
    // A tree still restoring is kept as saved, tiles waiting for their windows included.
    for (const auto& [key, restoring] : m_restoring) layouts[key] = restoring.saved;
    m_ctx.settings.defaults().set(layout::kDefaultsKey, layout::toJson(layouts));
}

std::optional<std::map<WindowId, WindowMark>> TreePolicy::windowMarks() {
    const auto list = m_ctx.api.windows(WindowFilter::all);
    if (!list) return std::nullopt;
    std::map<WindowId, WindowMark> marks;
    for (const WindowInfo& window : *list)
        marks[window.id] = WindowMark{.id = window.id,
                                      .windowClass = window.ownerName.value_or(""),
                                      .title = window.title.value_or(""),
                                      .pid = window.ownerPid};
    return marks;
}

} // namespace quorvel
