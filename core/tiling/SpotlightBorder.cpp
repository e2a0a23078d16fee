// Spotlight outline placement: clip, size check, and conversion to screen space.
#include "tiling/SpotlightBorder.h"

namespace quorvel {

void SpotlightBorder::show(const Rect& frame, const Rect& area) {
    hide();
    const Rect visible = frame.intersection(area);
    if (visible.isEmpty() || visible.width <= kMinimumSize || visible.height <= kMinimumSize) return;
    const auto screens = m_screens.screens();
    const double primaryHeight = screens.empty() ? 0 : screens.front().frame.height;
    const Rect onScreen = flipped(visible, primaryHeight);
    m_window.show(onScreen.x, onScreen.y, onScreen.width, onScreen.height);
    m_shown = true;
}

void SpotlightBorder::hide() {
    if (!m_shown) return;
    m_window.hide();
    m_shown = false;
}

} // namespace quorvel
