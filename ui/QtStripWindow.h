// One monitor's strip of desktop tabs on Qt: a frameless window of the dock type (written by us:
// Qt has no call for it), with no strut, on every desktop, never focused, never tiled, above normal
// windows; rounded and translucent with a compositing manager, cut to its rounded shape without
// one. Draws what core/strip/StripLayout computes (layOutStrip, stripFrame) in the palette's colours,
// and reports hovers and clicks per tab.
//
// Object names, for tests: "desktopStrip" (the window, titled "Quorvel strip"), "stripTab" (one per
// tab, its accessible name the tab's accessibility label).
#pragma once

#include "strip/StripPlatform.h"

#include <memory>

namespace quorvel::ui {

class PanelWindowManager;

class QtStripWindowFactory {
public:
    // `manager` may be null (the offscreen tests): Qt's own requests are all the window manager hears.
    QtStripWindowFactory(PanelWindowManager* manager, bool compositing);
    ~QtStripWindowFactory();
    QtStripWindowFactory(const QtStripWindowFactory&) = delete;
    QtStripWindowFactory& operator=(const QtStripWindowFactory&) = delete;

    std::unique_ptr<StripWindowView> create(StripWindowView::Handlers handlers);
    // A compositing manager came or went: every strip made here (and every later one) follows.
    void setCompositing(bool compositing);

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace quorvel::ui
