// The strip's platform in the app: the facts read from the X server (X11StripFacts) and the strip
// windows drawn by Qt (QtStripWindowFactory), in one StripPlatform for the strip controller.
#pragma once

#include "QtStripWindow.h"
#include "X11StripFacts.h"
#include "strip/StripPlatform.h"

namespace quorvel {

class StripPlatformOnX11 final : public StripPlatform {
public:
    StripPlatformOnX11(x11::X11StripFacts& facts, ui::QtStripWindowFactory& windows)
        : m_facts(facts), m_windows(windows) {}

    std::unique_ptr<StripWindowView> createStripWindow(StripWindowView::Handlers handlers) override;
    std::vector<Rect> trayIconFrames() override;
    bool activeWindowFullScreen(const Rect& monitorFrame) override;
    // The inverse of the primary screen's device-pixel ratio: Qt draws a scaled session's windows
    // in device-independent pixels, `ratio` X pixels each.
    double scale() override;
    void watchPointer(std::map<std::string, Rect> regions,
                      std::function<void(const std::string& monitor, bool inside)> onChange) override;

private:
    x11::X11StripFacts& m_facts;
    ui::QtStripWindowFactory& m_windows;
};

} // namespace quorvel
