// Retile and frame application: a desktop's tree laid out in its usable area inset by the gap,
// then applied through Accessibility at once or through a FrameAnimator; windows that refuse to
// move are dropped, and lost trust stops the engine.
#include "tiling/TilingEngine.h"

#include <cmath>

namespace quorvel {

namespace {
constexpr const char* kCategory = "tiling";
// Below this difference in every dimension a window is not animated: it is already there.
constexpr double kAnimationSlack = 2.0;

std::string bracketed(const std::vector<WindowId>& ids) {
    std::string out = "[";
    for (std::size_t i = 0; i < ids.size(); ++i) out += (i ? ", " : "") + std::to_string(ids[i]);
    return out + "]";
}
} // namespace

std::optional<ScreenInfo> TilingEngine::screenFor(const std::optional<std::string>& uuid) {
    if (!uuid) return std::nullopt;
    for (const ScreenInfo& screen : m_ctx.screens.screens()) {
        const auto screenUUID = m_ctx.screens.displayUUID(screen.displayNumber);
        if (screenUUID && *screenUUID == *uuid) return screen;
    }
    return std::nullopt;
}

Rect TilingEngine::frameForSpace(SpaceId space) {
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

bool TilingEngine::isSpaceVisible(SpaceId space) {
    if (activeSpace() == space) return true;
    const auto info = m_ctx.spaces.spaceInfo(space);
    return info && m_ctx.spaces.currentSpaceID(info->displayUUID) == space;
}

FrameMap TilingEngine::plainLayout(const BSPTree& tree, SpaceId space, double gap) {
    const Rect area = frameForSpace(space);
    return tree.layout(area.insetBy(gap, gap), gap);
}

void TilingEngine::retile(SpaceId space, std::optional<WindowId> grew) {
    if (!m_isRunning) return;
    const auto found = m_trees.find(space);
    if (found == m_trees.end() || !found->second->root()) return;
    const std::shared_ptr<BSPTree> tree = found->second;

    // Windows that moved to another desktop leave this tree.
    for (const WindowId id : tree->leaves()) {
        const auto where = spaceFor(id);
        if (!where || *where == space) continue;
        m_ctx.log.info(kCategory, "retile space %llu: %u is no longer here — dropping from tree", space, id);
        tree->remove(id, refitRect(space));
        if (lastFocusedWindow(space) == id) m_lastFocused.erase(space);
    }
    if (!tree->root()) return;

    dropAnimator(space);

    const double gap = static_cast<double>(m_ctx.settings.tilingGap());
    const Rect area = frameForSpace(space);
    FrameMap frames = tree->layout(area.insetBy(gap, gap), gap);

    if (const auto spotlit = spotlitWindow(space); spotlit && !frames.contains(*spotlit)) m_spotlit.erase(space);
    frames = Spotlight::apply(std::move(frames), spotlitWindow(space), area);
    updateBorder(space, frames, area);
    m_ctx.log.info(kCategory, "retile space %llu: %ld window(s), gap %f%s", space, static_cast<long>(frames.size()),
                   gap, m_spotlit.contains(space) ? ", spotlit" : "");

    const TilingAnimation style = m_ctx.settings.tilingAnimation();
    if (style != TilingAnimation::none && isSpaceVisible(space)) {
        std::vector<FrameAnimator::Move> moves;
        // Where the windows that do not glide are now, known without asking again.
        std::map<WindowId, Rect> settled;
        for (const auto& [id, target] : frames) {
            const auto element = m_windowElements.find(id);
            if (element == m_windowElements.end()) continue;
            if (grew == id) {
                if (setFrame(element->second, target)) settled[id] = target; // the new window jumps
                continue;
            }
            const auto current = currentFrame(element->second);
            if (!current) continue;
            const bool there = std::abs(current->minX() - target.minX()) <= kAnimationSlack &&
                               std::abs(current->minY() - target.minY()) <= kAnimationSlack &&
                               std::abs(current->width - target.width) <= kAnimationSlack &&
                               std::abs(current->height - target.height) <= kAnimationSlack;
            if (there) settled[id] = *current;
            else moves.push_back({element->second, *current, target, std::nullopt});
        }
        if (!moves.empty()) {
            m_ctx.log.info(kCategory, "retile space %llu: animating %ld window(s), style %s, new %u", space,
                           static_cast<long>(moves.size()), std::string(rawValue(style)), grew.value_or(0));
            const std::weak_ptr<BSPTree> weakTree = tree;
            auto animator = std::make_shared<FrameAnimator>(
                std::move(moves),
                m_lifetime.guard([this, space, weakTree, frames, gap, settled] {
                    if (!m_isRunning) return;
                    // Keep the animator alive until this completion returns.
                    const auto self = m_animators.find(space);
                    const std::shared_ptr<FrameAnimator> finished = self != m_animators.end() ? self->second : nullptr;
                    m_animators.erase(space);
                    const auto current = m_trees.find(space);
                    const auto treeNow = weakTree.lock();
                    if (!treeNow || current == m_trees.end() || current->second != treeNow) return;
                    dropStale(landFrames(frames, finished.get(), settled), *treeNow, space, gap);
                }),
                m_ctx.accessibility, m_ctx.scheduler, m_ctx.log);
            m_animators[space] = animator;
            const std::weak_ptr<FrameAnimator> weakAnimator = animator;
            m_ctx.scheduler.post(m_lifetime.guard([this, space, weakAnimator] {
                const auto it = m_animators.find(space);
                const auto animatorNow = weakAnimator.lock();
                if (animatorNow && it != m_animators.end() && it->second == animatorNow) animatorNow->start();
            }));
            return;
        }
    }
    dropStale(applyFrames(frames), *tree, space, gap);
}

void TilingEngine::retileAllSpaces() {
    if (!m_isRunning) return;
    std::vector<SpaceId> spaces;
    for (const auto& [space, tree] : m_trees) spaces.push_back(space);
    for (const SpaceId space : spaces) retile(space, std::nullopt);
}

std::vector<WindowId> TilingEngine::applyFrames(const FrameMap& frames) {
    std::vector<WindowId> refused;
    for (const auto& [id, rect] : frames) {
        const auto element = m_windowElements.find(id);
        if (element == m_windowElements.end() || !setFrame(element->second, rect)) refused.push_back(id);
    }
    return refused;
}

std::vector<WindowId> TilingEngine::landFrames(const FrameMap& frames, const FrameAnimator* animator,
                                               const std::map<WindowId, Rect>& settled) {
    std::vector<WindowId> refused;
    for (const auto& [id, target] : frames) {
        const auto element = m_windowElements.find(id);
        if (element == m_windowElements.end()) {
            refused.push_back(id);
            continue;
        }
        std::optional<Rect> known = animator ? animator->writtenFrame(element->second) : std::nullopt;
        if (const auto it = settled.find(id); !known && it != settled.end()) known = it->second;
        if (!known) {
            if (!setFrame(element->second, target)) refused.push_back(id);
            continue;
        }
        // Only what still differs (the last steps of a glide stop a fraction short), size first so
        // that a window resized near an edge lands in place.
        Accessibility& ax = m_ctx.accessibility;
        AXError size = AXError::success;
        AXError position = AXError::success;
        if (known->size() != target.size()) size = ax.setAttributeValue(element->second, ax::size, target.size());
        if (known->origin() != target.origin())
            position = ax.setAttributeValue(element->second, ax::position, target.origin());
        if (position != AXError::success || size != AXError::success) {
            m_ctx.log.error(kCategory, "setFrame refused: pos=%d size=%d rect=%s", code(position), code(size),
                            target.description());
            refused.push_back(id);
        }
    }
    return refused;
}

bool TilingEngine::setFrame(AXElement element, const Rect& rect) {
    Accessibility& ax = m_ctx.accessibility;
    const AXError position = ax.setAttributeValue(element, ax::position, rect.origin());
    const AXError size = ax.setAttributeValue(element, ax::size, rect.size());
    // Windows that clamp or shift while being resized land right on the second pass.
    ax.setAttributeValue(element, ax::position, rect.origin());
    ax.setAttributeValue(element, ax::size, rect.size());
    if (position != AXError::success || size != AXError::success) {
        m_ctx.log.error(kCategory, "setFrame refused: pos=%d size=%d rect=%s", code(position), code(size),
                        rect.description());
        return false;
    }
    return true;
}

std::optional<Rect> TilingEngine::currentFrame(AXElement element) {
    const auto position = m_ctx.accessibility.copyAttributeValue(element, ax::position);
    const auto size = m_ctx.accessibility.copyAttributeValue(element, ax::size);
    if (!position.ok() || !size.ok()) return std::nullopt;
    const auto* p = std::get_if<Point>(&position.value);
    const auto* s = std::get_if<Size>(&size.value);
    if (!p || !s) return std::nullopt;
    return Rect{p->x, p->y, s->width, s->height};
}

void TilingEngine::dropStale(const std::vector<WindowId>& refused, BSPTree& tree, SpaceId space, double gap) {
    if (refused.empty()) return;
    if (refused.size() == tree.leafCount() && !m_ctx.accessibility.isProcessTrusted()) {
        m_ctx.log.error(kCategory, "retile space %llu: all %ld window(s) refused and AX trust is gone — pausing tiling",
                        space, static_cast<long>(refused.size()));
        stop();
        if (onAccessibilityRevoked) onAccessibilityRevoked();
        return;
    }
    m_ctx.log.error(kCategory, "retile space %llu: dropping unresponsive windows %s", space, bracketed(refused));
    for (const WindowId id : refused) {
        tree.remove(id, refitRect(space));
        forget(id);
        if (lastFocusedWindow(space) == id) m_lastFocused.erase(space);
    }
    if (!tree.root()) return;
    for (const auto& [id, rect] : plainLayout(tree, space, gap)) {
        const auto element = m_windowElements.find(id);
        if (element != m_windowElements.end()) setFrame(element->second, rect);
    }
}

void TilingEngine::screenParametersChanged() {
    if (!m_isRunning) return;
    if (isDisplayTransitionInProgress && isDisplayTransitionInProgress()) return;
    m_ctx.scheduler.post(m_lifetime.guard([this] {
        if (!m_isRunning || (isDisplayTransitionInProgress && isDisplayTransitionInProgress())) return;
        m_ctx.log.info(kCategory, "screen parameters changed — retiling %ld space(s)", static_cast<long>(m_trees.size()));
        retileAllSpaces();
    }));
}

void TilingEngine::updateBorder(SpaceId space, const FrameMap& rects, const Rect& frame) {
    const auto spotlit = spotlitWindow(space);
    if (m_ctx.settings.spotlightBorder() && spotlit && rects.contains(*spotlit) && isSpaceVisible(space)) {
        m_ctx.border.show(rects.at(*spotlit), frame);
        m_borderSpace = space;
        return;
    }
    // A retile of some other desktop (a window moved away from it, say) leaves the border of the
    // desktop being looked at alone.
    if (m_borderSpace && *m_borderSpace != space) return;
    m_ctx.border.hide();
    m_borderSpace.reset();
}

} // namespace quorvel
