// Tiling commands on the active desktop, within the focused window's monitor: swap the focused window with its neighbour, flip the
// split around it, spotlight it over the desktop; and the focus bookkeeping adoption relies on.
#include "tiling/TreePolicy.h"

namespace quorvel {

using tiling::kCategory;

std::optional<TreePolicy::CommandLayout> TreePolicy::commandLayout() {
    const SpaceId space = activeSpace();
    std::vector<TreeKey> keys;
    for (const TreeKey key : keysOf(space))
        if (m_trees.at(key)->root()) keys.push_back(key);
    if (keys.empty()) return std::nullopt;
    // The tree of the focused window's monitor; commands never reach into another monitor's tree.
    TreeKey key = keys.front();
    if (keys.size() > 1) {
        std::optional<WindowId> focused = lastFocusedWindow(space);
        if (!focused || !keyHolding(*focused)) {
            if (const auto front = m_ctx.workspace.frontmostApplication())
                if (const auto window = m_ctx.windows.focusedWindow(front->pid)) focused = *window;
        }
        if (const auto holding = focused ? keyHolding(*focused) : std::nullopt; holding && holding->space == space)
            key = *holding;
    }
    const std::shared_ptr<BSPTree> tree = m_trees.at(key);
    const double gap = static_cast<double>(m_ctx.settings.tilingGap());
    return CommandLayout{key, tree, plainLayout(*tree, key, gap)};
}

std::optional<WindowId> TreePolicy::focusedTiledWindow(SpaceId space, const FrameMap& frames) {
    if (const auto last = lastFocusedWindow(space); last && frames.contains(*last)) return last;
    const auto front = m_ctx.workspace.frontmostApplication();
    if (!front) return std::nullopt;
    const auto focused = m_ctx.windows.focusedWindow(front->pid);
    if (!focused || !m_tracker.isTracked(*focused) || !frames.contains(*focused)) return std::nullopt;
    return *focused;
}

bool TreePolicy::swapFocusedWindow(Direction direction) {
    if (!m_run.running) return false;
    const auto layout = commandLayout();
    if (!layout) return false;
    const auto focused = focusedTiledWindow(layout->key.space, layout->frames);
    if (!focused || !layout->frames.contains(*focused)) return false;
    const auto target = DirectionalSearch::nearest(layout->frames.at(*focused), layout->frames, direction);
    if (!target || !layout->tree->swap(*focused, *target)) return false;
    m_ctx.log.info(kCategory, "swap %u with %u on space %llu", *focused, *target, layout->key.space);
    // The user arranges the tree now: saved tiles no longer rearrange it.
    m_restoring.erase(layout->key);
    retileTree(layout->key, std::nullopt);
    if (m_tracker.isTracked(*focused)) (void)m_ctx.windows.raise(*focused);
    m_lastFocused[layout->key.space] = *focused;
    return true;
}

bool TreePolicy::toggleSplitOfFocusedWindow() {
    if (!m_run.running) return false;
    const auto layout = commandLayout();
    if (!layout) return false;
    const auto focused = focusedTiledWindow(layout->key.space, layout->frames);
    if (!focused || !layout->tree->toggleSplit(*focused)) return false;
    m_ctx.log.info(kCategory, "toggle split around %u on space %llu", *focused, layout->key.space);
    // The user arranges the tree now: saved tiles no longer rearrange it.
    m_restoring.erase(layout->key);
    retileTree(layout->key, std::nullopt);
    return true;
}

void TreePolicy::toggleSpotlight() {
    if (!m_run.running) return;
    const SpaceId active = activeSpace();
    if (!shouldTile(active)) return;
    const auto layout = commandLayout();
    if (!layout) return;
    const auto focused = focusedTiledWindow(layout->key.space, layout->frames);
    if (!focused) return;
    const SpaceId space = layout->key.space;
    if (spotlitWindow(space) == focused) m_spotlit.erase(space);
    else m_spotlit[space] = *focused;
    retile(space, std::nullopt);
    if (const auto spotlit = spotlitWindow(space); spotlit && m_tracker.isTracked(*spotlit))
        (void)m_ctx.windows.raise(*spotlit);
    if (onSpotlightChanged) onSpotlightChanged();
}

void TreePolicy::noteFocus(WindowId window, SpaceId space, bool isTiled) {
    if (!isTiled) {
        if (const auto last = lastFocusedWindow(space); last && *last != window) m_previousFocused[space] = *last;
    }
    m_lastFocused[space] = window;
}

void TreePolicy::clearSpotlightIfFocusMoved(SpaceId space, WindowId window) {
    const auto spotlit = spotlitWindow(space);
    if (!spotlit || *spotlit == window) return;
    m_spotlit.erase(space);
    retile(space, std::nullopt);
    if (onSpotlightChanged) onSpotlightChanged();
}

std::optional<WindowId> TreePolicy::spotlitWindow(SpaceId space) const {
    const auto it = m_spotlit.find(space);
    if (it == m_spotlit.end()) return std::nullopt;
    return it->second;
}

std::optional<WindowId> TreePolicy::lastFocusedWindow(SpaceId space) const {
    const auto it = m_lastFocused.find(space);
    if (it == m_lastFocused.end()) return std::nullopt;
    return it->second;
}

std::optional<WindowId> TreePolicy::previousFocusedWindow(SpaceId space) const {
    const auto it = m_previousFocused.find(space);
    if (it == m_previousFocused.end()) return std::nullopt;
    return it->second;
}

} // namespace quorvel
