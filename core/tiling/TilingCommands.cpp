// Tiling commands on the active desktop: swap the focused window with its neighbour, flip the
// split around it, spotlight it over the desktop; and the focus bookkeeping adoption relies on.
#include "tiling/TilingEngine.h"

namespace quorvel {

namespace {
constexpr const char* kCategory = "tiling";
} // namespace

std::optional<TilingEngine::CommandLayout> TilingEngine::commandLayout() {
    const SpaceId space = activeSpace();
    const auto found = m_trees.find(space);
    if (found == m_trees.end() || !found->second->root()) return std::nullopt;
    const double gap = static_cast<double>(m_ctx.settings.tilingGap());
    return CommandLayout{space, found->second, plainLayout(*found->second, space, gap)};
}

std::optional<WindowId> TilingEngine::focusedTiledWindow(SpaceId space, const FrameMap& frames) {
    if (const auto last = lastFocusedWindow(space); last && frames.contains(*last)) return last;
    const auto front = m_ctx.workspace.frontmostApplication();
    if (!front) return std::nullopt;
    const auto focused =
        m_ctx.accessibility.copyAttributeValue(m_ctx.accessibility.applicationElement(front->pid), ax::focusedWindow);
    if (!focused.ok()) return std::nullopt;
    const auto* element = std::get_if<AXElement>(&focused.value);
    if (!element) return std::nullopt;
    for (const auto& [id, known] : m_windowElements)
        if (known == *element && frames.contains(id)) return id;
    return std::nullopt;
}

bool TilingEngine::swapFocusedWindow(Direction direction) {
    if (!m_isRunning) return false;
    const auto layout = commandLayout();
    if (!layout) return false;
    const auto focused = focusedTiledWindow(layout->space, layout->frames);
    if (!focused || !layout->frames.contains(*focused)) return false;
    const auto target = DirectionalSearch::nearest(layout->frames.at(*focused), layout->frames, direction);
    if (!target || !layout->tree->swap(*focused, *target)) return false;
    m_ctx.log.info(kCategory, "swap %u with %u on space %llu", *focused, *target, layout->space);
    retile(layout->space, std::nullopt);
    if (const auto element = m_windowElements.find(*focused); element != m_windowElements.end())
        m_ctx.accessibility.performAction(element->second, ax::raise);
    m_lastFocused[layout->space] = *focused;
    return true;
}

bool TilingEngine::toggleSplitOfFocusedWindow() {
    if (!m_isRunning) return false;
    const auto layout = commandLayout();
    if (!layout) return false;
    const auto focused = focusedTiledWindow(layout->space, layout->frames);
    if (!focused || !layout->tree->toggleSplit(*focused)) return false;
    m_ctx.log.info(kCategory, "toggle split around %u on space %llu", *focused, layout->space);
    retile(layout->space, std::nullopt);
    return true;
}

void TilingEngine::toggleSpotlight() {
    if (!m_isRunning) return;
    const SpaceId active = activeSpace();
    if (!shouldTile(active)) return;
    const auto layout = commandLayout();
    if (!layout) return;
    const auto focused = focusedTiledWindow(layout->space, layout->frames);
    if (!focused) return;
    if (spotlitWindow(layout->space) == focused) m_spotlit.erase(layout->space);
    else m_spotlit[layout->space] = *focused;
    retile(layout->space, std::nullopt);
    if (const auto spotlit = spotlitWindow(layout->space)) {
        if (const auto element = m_windowElements.find(*spotlit); element != m_windowElements.end())
            m_ctx.accessibility.performAction(element->second, ax::raise);
    }
    if (onSpotlightChanged) onSpotlightChanged();
}

void TilingEngine::noteFocus(WindowId window, SpaceId space, bool isTiled) {
    if (!isTiled) {
        if (const auto last = lastFocusedWindow(space); last && *last != window) m_previousFocused[space] = *last;
    }
    m_lastFocused[space] = window;
}

void TilingEngine::clearSpotlightIfFocusMoved(SpaceId space, WindowId window) {
    const auto spotlit = spotlitWindow(space);
    if (!spotlit || *spotlit == window) return;
    m_spotlit.erase(space);
    retile(space, std::nullopt);
    if (onSpotlightChanged) onSpotlightChanged();
}

} // namespace quorvel
