// The switcher panel's window on Qt: draws PanelController's content (title, display headers,
// highlight boxes, SpaceRowWidget rows, separator, hint, buttons), sends the content's keys and
// the rows' reports back, and asks the window manager (through PanelWindowManager) for the
// placement and focus a floating panel needs.
//
// Object names, for tests: "switcherPanel" (the window), "panelContent", "panelTitle",
// "displayHeader", "spaceRow", "panelHint", "editModeButton", "settingsButton".
#pragma once

#include "FloatingWindow.h"
#include "menubar/PanelView.h"
#include "platform/Scheduler.h"

#include <memory>

class QWidget;

namespace quorvel::ui {

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

    Handlers m_handlers;
    // What the current content's rows and buttons report to (a copy of m_handlers); retired, not
    // destroyed, when the content is replaced.
    std::shared_ptr<ContentHandlers> m_current;
    Scheduler* m_scheduler;
    FloatingFocus m_focus;
    std::unique_ptr<PanelWidget> m_window;
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
