// The outline around a spotlit window: at most one in the whole app, drawn by an OutlineWindow of
// the UI layer over the visible part of the window's frame.
#pragma once

#include "platform/Screens.h"
#include "platform/UserNotifier.h"

namespace quorvel {

class SpotlightBorder {
public:
    static constexpr double kMinimumSize = 6;

    SpotlightBorder(OutlineWindow& window, Screens& screens) : m_window(window), m_screens(screens) {}

    // Outlines `frame` clipped to `area` (both window-server space); nothing when the visible part
    // is 6 points or less in either dimension.
    void show(const Rect& frame, const Rect& area);
    void hide();
    bool isShown() const { return m_shown; }

private:
    OutlineWindow& m_window;
    Screens& m_screens;
    bool m_shown = false;
};

} // namespace quorvel
