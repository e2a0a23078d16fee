// Where along the top edge of a monitor the pointer may reveal the strip without fighting the top
// panel's own menus and tray icons. Pure arithmetic over facts the platform reads (the monitor's
// frame, the height of the panel that reserves space at its top, the tray icons on screen).
//
// On X11 a monitor has no camera housing, so only the free-span and fallback rules apply.
#pragma once

#include "platform/Types.h"

#include <optional>
#include <vector>

namespace quorvel {

struct TriggerRegion {
    enum class Reason { freeSpan, fallback };
    Rect rect; // X pixels, y down, in the frame's coordinates
    Reason reason = Reason::fallback;
    friend bool operator==(const TriggerRegion&, const TriggerRegion&) = default;
};

const char* describe(TriggerRegion::Reason reason);

namespace MenuBarGeometry {

inline constexpr double leftReserve = 560;          // assumed width of the application menus
inline constexpr double statusItemGap = 24;         // kept free left of the leftmost tray icon
inline constexpr double rightReserveWithoutItems = 160;
inline constexpr double minimumFreeSpan = 180;
inline constexpr double statusItemLimit = 40;       // tray icons are at most this tall, this far down

// The tray icons among `windows` that sit on a monitor's top edge: a positive width, at most 40 tall,
// their top at most 40 below the frame's top.
std::vector<Rect> statusItemsAtTop(const Rect& frame, const std::vector<Rect>& windows);

// The smallest left edge among the items lying within the frame's horizontal range (right edge up to
// one pixel past it); none when no item does. Only x is compared.
std::optional<double> leftmostStatusIconX(const Rect& frame, const std::vector<Rect>& statusItems);

// The trigger region across the top panel's height (`menuBarHeight`; 0 without a panel, which gives
// a region `depth` high at the top edge).
TriggerRegion triggerRegion(const Rect& frame, double menuBarHeight, const std::vector<Rect>& statusItems,
                            double depth);

} // namespace MenuBarGeometry

} // namespace quorvel
