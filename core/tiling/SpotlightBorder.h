// The outline around a spotlit window: at most one in the whole app, drawn by an OutlineWindow of
// the UI layer over the visible part of the window's frame.
#pragma once

#include "platform/Types.h"
#include "platform/UserNotifier.h"

namespace quorvel {

class SpotlightBorder {
public:
    static constexpr double kMinimumSize = 6;

    explicit SpotlightBorder(OutlineWindow& window) : m_window(window) {}

    // Outlines `frame` clipped to `area`; nothing when the visible part is 6 pixels or less in
    // either dimension.
    void show(const Rect& frame, const Rect& area);
    void hide();
    bool isShown() const { return m_shown; }

private:
    OutlineWindow& m_window;
    bool m_shown = false;
};

} // namespace quorvel
