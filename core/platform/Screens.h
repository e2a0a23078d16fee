// Screens and the display configuration. Screen frames are in screen space (y grows up from the
// primary screen's bottom-left); display bounds are in window-server space (y grows down).
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
    Rect frame;                              // screen space
    Rect visibleFrame;                       // screen space, without panels and docks
    std::optional<Rect> auxiliaryTopLeftArea;  // free span left of a notch, when there is one
    std::optional<Rect> auxiliaryTopRightArea; // free span right of a notch
    friend bool operator==(const ScreenInfo&, const ScreenInfo&) = default;
};

using DisplayConfiguration = std::uint64_t; // 0 is no configuration

enum class ConfigureOption : std::int32_t { forAppOnly = 0, forSession = 1, permanently = 2 };

class Screens {
public:
    Screens() = default;
    Screens(const Screens&) = delete;
    Screens& operator=(const Screens&) = delete;
    virtual ~Screens() = default;

    // Every screen; the first one is the primary (its frame's origin is (0, 0)).
    virtual std::vector<ScreenInfo> screens() = 0;
    // The screen holding the focused window, or none.
    virtual std::optional<ScreenInfo> mainScreen() = 0;
    // The display whose top-left corner is the origin of window-server space.
    virtual DisplayNumber mainDisplayId() = 0;
    // The display's persistent UUID text; none when it cannot be made.
    virtual std::optional<std::string> displayUUID(DisplayNumber display) = 0;
    virtual std::vector<DisplayNumber> onlineDisplays(std::uint32_t maxCount) = 0;
    virtual Rect displayBounds(DisplayNumber display) = 0; // window-server space
    virtual bool isBuiltin(DisplayNumber display) = 0;
    // The pointer, in screen space.
    virtual Point pointerLocation() = 0;
    virtual bool screensHaveSeparateSpaces() = 0;

    // Moving display origins: begin, configure each display, complete. Non-zero is an error code.
    virtual std::int32_t beginConfiguration(DisplayConfiguration& configuration) = 0;
    virtual std::int32_t configureOrigin(DisplayConfiguration configuration, DisplayNumber display, std::int32_t x,
                                         std::int32_t y) = 0;
    virtual std::int32_t completeConfiguration(DisplayConfiguration configuration, ConfigureOption option) = 0;

    // Displays added, removed, rearranged or resized. Called on the main queue.
    virtual ObserverToken observeScreenParameters(std::function<void()> handler) = 0;
    virtual void removeObserver(ObserverToken token) = 0;
};

} // namespace quorvel
