// The switcher panel's window on Qt: draws PanelController's content (title, display headers,
// highlight boxes, SpaceRowWidget rows, separator, hint, buttons), sends the content's keys and
// the rows' reports back, and asks the window manager (through PanelWindowManager) for the
// placement and focus a floating panel needs.
//
// Object names, for tests: "switcherPanel" (the window), "panelContent", "panelTitle",
// "displayHeader", "spaceRow", "panelHint", "editModeButton", "settingsButton".
#pragma once

#include "menubar/PanelView.h"
#include "platform/Scheduler.h"

#include <memory>

class QWidget;

namespace quorvel::ui {

// What the window manager is told about the panel beyond what Qt says itself. The app implements
// it over X11; without one (the offscreen tests) Qt's own requests are all there is.
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
};

// The key the panel's content acts on, for a Qt key code.
PanelKey panelKey(int qtKey);

class PanelWidget;
struct ContentHandlers;

class QtPanelWindow final : public PanelView {
public:
    // `manager` and `scheduler` may be null; the rows' tiling word then times itself with Qt.
    QtPanelWindow(Handlers handlers, PanelWindowManager* manager, Scheduler* scheduler);
    ~QtPanelWindow() override;

    void setContent(const PanelContent& content) override;
    void present(InputTime time) override;
    void orderOut(bool returnFocus) override;
    bool isVisible() const override;

    // The top-level window, for tests.
    QWidget* window() const;

private:
    void closedByUser();
    // Whether the window active before the panel opened is to get the focus back now: the panel
    // or no window has it.
    bool focusIsOurs() const;

    Handlers m_handlers;
    // What the current content's rows and buttons report to (a copy of m_handlers); retired, not
    // destroyed, when the content is replaced.
    std::shared_ptr<ContentHandlers> m_current;
    PanelWindowManager* m_manager;
    Scheduler* m_scheduler;
    std::unique_ptr<PanelWidget> m_window;
    WindowId m_previousFocus = 0;
};

class QtPanelWindowFactory final : public PanelViewFactory {
public:
    explicit QtPanelWindowFactory(PanelWindowManager* manager = nullptr, Scheduler* scheduler = nullptr)
        : m_manager(manager), m_scheduler(scheduler) {}

    std::unique_ptr<PanelView> createPanel(PanelView::Handlers handlers) override;

private:
    PanelWindowManager* m_manager;
    Scheduler* m_scheduler;
};

} // namespace quorvel::ui
