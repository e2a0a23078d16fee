// Retile: a tree (a desktop on one monitor) laid out in its monitor's usable area inset by the gap, then handed to the frame
// writer (FrameWriter.cpp) at once or as an animation; windows that refuse to move are dropped,
// and lost window control stops the engine.
#include "tiling/TreePolicy.h"

#include <cmath>

namespace quorvel {

using tiling::kCategory;

namespace {
// Below this difference in every dimension a window is not animated: it is already there.
constexpr double kAnimationSlack = 2.0;
} // namespace

std::optional<ScreenInfo> TreePolicy::screenFor(const std::optional<std::string>& uuid) const {
    if (!uuid) return std::nullopt;
    for (const ScreenInfo& screen : m_ctx.screens.screens()) {
        const auto screenUUID = m_ctx.screens.displayUUID(screen.displayNumber);
        if (screenUUID && *screenUUID == *uuid) return screen;
    }
    return std::nullopt;
}

Rect TreePolicy::frameForSpace(SpaceId space) const {
    const auto info = m_ctx.spaces.spaceInfo(space);
    auto screen = screenFor(info ? std::optional(info->displayUUID) : std::nullopt);
    if (!screen) screen = m_ctx.screens.mainScreen();
    if (!screen) {
        const auto screens = m_ctx.screens.screens();
        if (screens.empty()) return {0, 0, 1280, 800};
        screen = screens.front();
    }
    return screen->visibleFrame;
}

Rect TreePolicy::frameFor(TreeKey key) const {
    if (key.monitor != kHomeMonitor)
        for (const ScreenInfo& screen : m_ctx.screens.screens())
            if (screen.displayNumber == key.monitor) return screen.visibleFrame;
    return frameForSpace(key.space);
}

bool TreePolicy::isSpaceVisible(SpaceId space) {
    if (activeSpace() == space) return true;
    const auto info = m_ctx.spaces.spaceInfo(space);
    return info && m_ctx.spaces.currentSpaceID(info->displayUUID) == space;
}

FrameMap TreePolicy::plainLayout(const BSPTree& tree, TreeKey key, double gap) {
    const Rect area = frameFor(key);
    return tree.layout(area.insetBy(gap, gap), gap);
}

void TreePolicy::retile(SpaceId space, std::optional<WindowId> grew) {
    if (!m_run.running) return;
    for (const TreeKey key : keysOf(space)) retileTree(key, grew);
}

void TreePolicy::retileTree(TreeKey key, std::optional<WindowId> grew) {
    if (!m_run.running) return;
    const SpaceId space = key.space;
    const auto found = m_trees.find(key);
    layoutChanged();
    if (found == m_trees.end() || !found->second->root()) return;
    const std::shared_ptr<BSPTree> tree = found->second;
    if (isRestoring(key)) restoreInto(key, *tree);

    // Windows that moved to another desktop leave this tree.
    for (const WindowId id : tree->leaves()) {
        const auto where = spaceFor(id);
        if (!where || *where == space) continue;
        m_ctx.log.info(kCategory, "retile space %llu: %u is no longer here — dropping from tree", space, id);
        removeFromTree(key, *tree, id);
    }
    if (!tree->root()) return;

    m_writer.cancelAnimation(key);

    const double gap = static_cast<double>(m_ctx.settings.tilingGap());
    const Rect area = frameFor(key);
    FrameMap frames = tree->layout(area.insetBy(gap, gap), gap);

    // The spotlight belongs to the desktop; it ends when its window left every tree of it.
    if (const auto spotlit = spotlitWindow(space);
        spotlit && !frames.contains(*spotlit) && keyHolding(*spotlit).value_or(TreeKey{}).space != space)
        m_spotlit.erase(space);
    frames = Spotlight::apply(std::move(frames), spotlitWindow(space), area);
    updateBorder(key, frames, area);
    // The landing check follows the drop of windows that refused their writes: the windows left
    // were then laid out once more without them, and those are the frames to look for.
    const auto checkFinalFrames = [this, key, gap](FrameMap sent, bool dropped) {
        if (!m_run.running) return;
        if (dropped) {
            const auto now = m_trees.find(key);
            if (now == m_trees.end() || !now->second->root()) return;
            sent = plainLayout(*now->second, key, gap);
        }
        m_writer.checkLanded(key, std::move(sent), gap);
    };
    m_ctx.log.info(kCategory, "retile space %llu: %ld window(s), gap %f%s", space, static_cast<long>(frames.size()),
                   gap, m_spotlit.contains(space) ? ", spotlit" : "");

    const TilingAnimation style = m_ctx.settings.tilingAnimation();
    if (style != TilingAnimation::none && isSpaceVisible(space)) {
        std::vector<FrameAnimator::Move> moves;
        // Where the windows that do not glide are now, known without asking again.
        std::map<WindowId, Rect> settled;
        for (const auto& [id, target] : frames) {
            if (!m_tracker.isTracked(id)) continue;
            if (grew == id) {
                if (m_writer.setFrame(id, target)) settled[id] = target; // the new window jumps
                continue;
            }
            const auto current = m_writer.currentFrame(id);
            if (!current) continue;
            const bool there = std::abs(current->minX() - target.minX()) <= kAnimationSlack &&
                               std::abs(current->minY() - target.minY()) <= kAnimationSlack &&
                               std::abs(current->width - target.width) <= kAnimationSlack &&
                               std::abs(current->height - target.height) <= kAnimationSlack;
            if (there) settled[id] = *current;
            else moves.push_back({id, *current, target, std::nullopt});
        }
        if (!moves.empty()) {
            m_ctx.log.info(kCategory, "retile space %llu: animating %ld window(s), style %s, new %u", space,
                           static_cast<long>(moves.size()), std::string(rawValue(style)), grew.value_or(0));
            const std::weak_ptr<BSPTree> weakTree = tree;
            m_writer.animate(key, std::move(moves),
                             m_lifetime.guard([this, key, weakTree, frames, settled, gap, checkFinalFrames](const FrameAnimator* finished) {
                                 const auto current = m_trees.find(key);
                                 const auto treeNow = weakTree.lock();
                                 if (!treeNow || current == m_trees.end() || current->second != treeNow) return;
                                 const auto refused = m_writer.landFrames(frames, finished, settled);
                                 m_writer.dropUnresponsive(key, refused, treeNow->leafCount(), gap);
                                 checkFinalFrames(frames, !refused.empty());
                             }));
            return;
        }
    }
    const auto refused = m_writer.applyFrames(frames);
    m_writer.dropUnresponsive(key, refused, tree->leafCount(), gap);
    checkFinalFrames(std::move(frames), !refused.empty());
}

void TreePolicy::retileAllSpaces() {
    if (!m_run.running) return;
    std::vector<TreeKey> keys;
    for (const auto& [key, tree] : m_trees) keys.push_back(key);
    for (const TreeKey key : keys) retileTree(key, std::nullopt);
}

void TreePolicy::dropWindows(TreeKey key, const std::vector<WindowId>& refused, double gap) {
    const auto found = m_trees.find(key);
    if (found == m_trees.end()) return;
    const std::shared_ptr<BSPTree> tree = found->second;
    for (const WindowId id : refused) {
        removeFromTree(key, *tree, id);
        m_tracker.forget(id);
    }
    if (!tree->root()) return;
    // Once more without them: no spotlight rule, no second drop.
    for (const auto& [id, rect] : plainLayout(*tree, key, gap))
        if (m_tracker.isTracked(id)) (void)m_writer.setFrame(id, rect);
}

void TreePolicy::accessLost() {
    if (onAccessLost) onAccessLost();
}

void TreePolicy::updateBorder(TreeKey key, const FrameMap& rects, const Rect& frame) {
    const auto spotlit = spotlitWindow(key.space);
    if (m_ctx.settings.spotlightBorder() && spotlit && rects.contains(*spotlit) && isSpaceVisible(key.space)) {
        m_ctx.border.show(rects.at(*spotlit), frame);
        m_borderKey = key;
        return;
    }
    // A retile of some other tree (another desktop a window moved away from, another monitor) leaves
    // the border of the tree being looked at alone.
    if (m_borderKey && *m_borderKey != key) return;
    hideBorder();
}

void TreePolicy::hideBorder() {
    m_ctx.border.hide();
    m_borderKey.reset();
}

} // namespace quorvel
