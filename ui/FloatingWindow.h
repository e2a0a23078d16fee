// What our floating windows that take the keyboard (the switcher panel, the summon palette) share:
// the window manager's part in showing them (PanelWindowManager, implemented over X11 by the app)
// and the focus they borrow from the window that had it (FloatingFocus).
#pragma once

#include "platform/Types.h"

class QScreen;
class QWidget;

namespace quorvel::ui {

// What the window manager is told about a floating window beyond what Qt says itself. The app
// implements it over X11; without one (the offscreen tests) Qt's own requests are all there is.
class PanelWindowManager {
public:
    PanelWindowManager() = default;
    PanelWindowManager(const PanelWindowManager&) = delete;
    PanelWindowManager& operator=(const PanelWindowManager&) = delete;
    virtual ~PanelWindowManager() = default;

    // Before each map of the window: on every desktop, above normal windows, never in a taskbar
    // or pager.
    virtual void prepare(WindowId window) = 0;
    // After it is mapped: in front with the keyboard focus, asked for as the user's own request
    // made at `time` (0: no time stamp known).
    virtual void activate(WindowId window, InputTime time) = 0;
    // The window that has the keyboard focus now; 0 for none.
    virtual WindowId activeWindow() = 0;
    // Gives the focus back to `window`, when it still exists on the desktop shown now.
    virtual void giveFocusBack(WindowId window) = 0;

    // Before each map of a window that is never focused (the desktop strip): a dock, on every
    // desktop, above normal windows, never in a taskbar or pager, reserving no space. A manager
    // that cannot say so leaves the window as Qt made it.
    virtual void prepareDock(WindowId) {}
};

// The focus a floating window takes when it is shown and gives back when it goes. `manager` may be
// null: Qt's own activation is then all there is, and nothing is given back.
class FloatingFocus {
public:
    explicit FloatingFocus(PanelWindowManager* manager) : m_manager(manager) {}

    // Shows `window` (moved first by `place` when it was hidden) in front with the keyboard focus,
    // remembering which window had it.
    template <typename Place>
    void show(QWidget& window, InputTime time, Place place) {
        const bool hidden = beginShow(window);
        if (hidden) place();
        finishShow(window, hidden, time);
    }
    // Hides `window`; with `returnFocus`, the window that had the focus gets it back unless the
    // user went to another one meanwhile.
    void hide(QWidget& window, bool returnFocus);
    // The window is going by other means (its close button): give the focus back now, while it is
    // still on screen.
    void release(const QWidget& window);

private:
    bool beginShow(QWidget& window);
    void finishShow(QWidget& window, bool hidden, InputTime time);
    // Whether the window active before ours is to get the focus back now: ours or none has it.
    bool focusIsOurs(const QWidget& window) const;

    PanelWindowManager* m_manager;
    WindowId m_previousFocus = 0;
};

// The screen under the pointer, else the primary one; null without screens.
QScreen* screenUnderPointer();

} // namespace quorvel::ui
