// Spotlight outline placement: clip and size check.
#include "tiling/SpotlightBorder.h"

namespace quorvel {

void SpotlightBorder::show(const Rect& frame, const Rect& area) {
    hide();
    const Rect visible = frame.intersection(area);
    if (visible.isEmpty() || visible.width <= kMinimumSize || visible.height <= kMinimumSize) return;
    m_window.show(visible.x, visible.y, visible.width, visible.height);
    m_shown = true;
}

void SpotlightBorder::hide() {
    if (!m_shown) return;
    m_window.hide();
    m_shown = false;
}

} // namespace quorvel
