// Screens: the monitors, the main display, the pointer and the screen-change notification. Every
// rectangle and point is in the window server's own space: X pixels, y down from the top-left of
// the X screen.
#pragma once

#include "platform/Types.h"
#include "platform/Workspace.h" // ObserverToken

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

struct ScreenInfo {
    DisplayNumber displayNumber = 0;
    std::string localizedName;
    Rect frame;        // the whole monitor
    Rect visibleFrame; // the monitor without panels and docks
    friend bool operator==(const ScreenInfo&, const ScreenInfo&) = default;
};

class Screens {
public:
    Screens() = default;
    Screens(const Screens&) = delete;
    Screens& operator=(const Screens&) = delete;
    virtual ~Screens() = default;

    // Every screen; the first one is the primary.
    virtual std::vector<ScreenInfo> screens() = 0;
    // The screen holding the focused window, or none.
    virtual std::optional<ScreenInfo> mainScreen() = 0;
    // The primary display.
    virtual DisplayNumber mainDisplayId() = 0;
    // The display's persistent identifier text; none when it cannot be made.
    virtual std::optional<std::string> displayUUID(DisplayNumber display) = 0;
    virtual std::vector<DisplayNumber> onlineDisplays(std::uint32_t maxCount) = 0;
    virtual Rect displayBounds(DisplayNumber display) = 0;
    virtual bool isBuiltin(DisplayNumber display) = 0;
    virtual Point pointerLocation() = 0;

    // Displays added, removed, rearranged or resized. Called on the main queue.
    virtual ObserverToken observeScreenParameters(std::function<void()> handler) = 0;
    virtual void removeObserver(ObserverToken token) = 0;
};

} // namespace quorvel
