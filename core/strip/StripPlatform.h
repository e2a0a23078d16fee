// What the strip needs of the platform beyond the desktop table and the monitors: the windows that
// draw a strip, the tray icons a trigger region keeps clear of, whether a monitor shows a full-screen
// window, and a watch on the pointer over the trigger regions (nothing covers the top edge).
#pragma once

#include "platform/Types.h"
#include "strip/StripLayout.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// One monitor's strip window: never focused, on every desktop, above normal windows, never tiled.
class StripWindowView {
public:
    struct Handlers {
        std::function<void(SpaceId)> onSelect;                 // a tab was clicked
        std::function<void(std::optional<SpaceId>)> onHoverTab; // the hovered tab; none when the pointer left the tabs
    };

    StripWindowView() = default;
    StripWindowView(const StripWindowView&) = delete;
    StripWindowView& operator=(const StripWindowView&) = delete;
    virtual ~StripWindowView() = default;

    // Draws the presentation (layOutStrip) in the frame stripFrame gives for the monitor's frame (X
    // pixels), converted to the window's own units; shows the window when the presentation's
    // visibility is on screen, else hides it.
    virtual void render(const StripPresentation& presentation, const Rect& screenFrame, StripAlignment alignment,
                        double topInset) = 0;
    virtual void hide() = 0;
};

class StripPlatform {
public:
    StripPlatform() = default;
    StripPlatform(const StripPlatform&) = delete;
    StripPlatform& operator=(const StripPlatform&) = delete;
    virtual ~StripPlatform() = default;

    virtual std::unique_ptr<StripWindowView> createStripWindow(StripWindowView::Handlers handlers) = 0;
    // The frames of the tray icons on screen (X pixels); empty when there is no tray.
    virtual std::vector<Rect> trayIconFrames() = 0;
    // Whether the active window lies on the monitor with this frame and is full screen.
    virtual bool activeWindowFullScreen(const Rect& monitorFrame) = 0;
    // Device-independent pixels per X pixel of the strip's windows (1 unless the session is scaled).
    virtual double scale() = 0;
    // Reports the pointer entering (true) and leaving (false) each region, keyed by monitor id, in
    // X pixels. A new call replaces the regions; an empty map stops watching the pointer at all.
    virtual void watchPointer(std::map<std::string, Rect> regions,
                              std::function<void(const std::string& monitor, bool inside)> onChange) = 0;
};

} // namespace quorvel
