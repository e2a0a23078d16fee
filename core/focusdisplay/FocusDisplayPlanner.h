// Focus Display's arithmetic: the display origins that put the chosen display at (0, 0) while
// every other display keeps its place relative to it. Pure; FocusDisplayManager uses it.
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace quorvel::FocusDisplayPlanner {

struct OriginShift {
    DisplayNumber id = 0;
    std::int32_t x = 0; // the display's new origin
    std::int32_t y = 0;
    friend bool operator==(const OriginShift&, const OriginShift&) = default;
};

// One shift per display, in input order; none when `target` is not among `displays`. Differences
// are truncated toward zero; a difference beyond 32 bits is clamped (no real arrangement has one).
std::optional<std::vector<OriginShift>> originShifts(const std::vector<std::pair<DisplayNumber, Point>>& displays,
                                                     DisplayNumber target);

} // namespace quorvel::FocusDisplayPlanner
