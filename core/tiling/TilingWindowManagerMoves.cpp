// The window manager's own moves: a window sent to another desktop (or onto every desktop) leaves
// its tree and joins its new desktop's; a full-screen window leaves its tree and comes back to the
// same place when full screen ends. Part of the tree policy (TreePolicy.h).
#include "tiling/TreePolicy.h"

namespace quorvel {

using tiling::kCategory;

namespace {

// The first leaf of the subtree beside `id`'s leaf: where the window is put back when its tree
// changed while it was away.
std::optional<WindowId> neighbourOf(const BSPTree& tree, WindowId id) {
    const BSPNode* leaf = BSPTree::findLeaf(tree.root(), id);
    if (!leaf || !leaf->parent) return std::nullopt;
    const BSPNode* sibling = leaf->parent->left.get() == leaf ? leaf->parent->right.get() : leaf->parent->left.get();
    while (sibling && !sibling->isLeaf()) sibling = sibling->left.get();
    return sibling ? sibling->windowID : std::nullopt;
}

} // namespace

void TreePolicy::windowDesktopChanged(WindowId window) {
    if (!m_run.running) return;
    m_fullScreenPlaces.erase(window);
    // No longer tracked (kept aside now), or on every desktop: no desktop's tree holds it.
    const auto space = m_tracker.isTracked(window) ? spaceFor(window) : std::nullopt;
    m_ctx.log.info(kCategory, "window %u moved to space %llu by the window manager", window, space.value_or(0));
    std::vector<TreeKey> left;
    for (const auto& [key, tree] : m_trees)
        if (key.space != space.value_or(0) && tree->contains(window)) left.push_back(key);
    for (const TreeKey key : left) {
        removeFromTree(key, *m_trees.at(key), window);
        // A glide still running there would carry the window on after it left (retile does not
        // stop it when the tree is now empty).
        m_writer.cancelAnimation(key);
        retileTree(key, std::nullopt);
    }
    if (space && !isInAnyTree(window)) adopt(window);
}

void TreePolicy::rememberFullScreenPlace(TreeKey key, const BSPTree& tree, WindowId window) {
    m_fullScreenPlaces[window] = {key, tree.clone(), neighbourOf(tree, window)};
}

void TreePolicy::windowFullScreenEntered(WindowId window) {
    if (!m_run.running) return;
    for (const auto& [key, tree] : m_trees) {
        if (!tree->contains(window)) continue;
        rememberFullScreenPlace(key, *tree, window);
        m_ctx.log.info(kCategory, "window %u entered full screen — leaving space %llu's tree", window, key.space);
        removeFromTree(key, *tree, window);
        m_writer.cancelAnimation(key);
        retileTree(key, std::nullopt);
        return;
    }
}

void TreePolicy::windowFullScreenLeft(WindowId window) {
    if (!m_run.running) return;
    const auto saved = m_fullScreenPlaces.find(window);
    if (saved == m_fullScreenPlaces.end()) {
        if (!isInAnyTree(window)) adopt(window);
        return;
    }
    // Full screen again already, or minimised meanwhile: the place waits for the window's return.
    const WindowFit fit = m_tracker.fit(window);
    if (fit == WindowFit::fullScreen || fit == WindowFit::minimised) return;
    const FullScreenPlace place = std::move(saved->second);
    m_fullScreenPlaces.erase(saved);
    const auto current = m_trees.find(place.key);
    const bool stillFits = fit == WindowFit::fits && spaceFor(window) == place.key.space && shouldTile(place.key.space);
    if (!stillFits || current == m_trees.end()) {
        adopt(window);
        return;
    }
    // Taken in already by a sweep of its desktop (full screen ended before we heard of it): out
    // again, to go back to its own place.
    if (current->second->contains(window)) current->second->remove(window, refitRect(place.key));
    for (const TreeKey other : evict(window, place.key)) retileTree(other, std::nullopt);
    // Unchanged meanwhile: the tree as it was, the window in its old tile.
    const std::unique_ptr<BSPTree> without = place.tree->clone();
    without->remove(window, refitRect(place.key));
    if (without->describe() == current->second->describe()) {
        m_ctx.log.info(kCategory, "window %u left full screen — back in its place in space %llu", window, place.key.space);
        m_writer.cancelAnimation(place.key);
        current->second = place.tree;
        retileTree(place.key, window);
        return;
    }
    // Changed: beside the window it was next to, when that one is still there.
    if (!place.neighbour || !current->second->contains(*place.neighbour)) {
        adopt(window);
        return;
    }
    m_ctx.log.info(kCategory, "window %u left full screen — beside %u in space %llu", window, *place.neighbour,
                   place.key.space);
    current->second->insert(window, place.neighbour, frameFor(place.key));
    retileTree(place.key, window);
}

} // namespace quorvel
