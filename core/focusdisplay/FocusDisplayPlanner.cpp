// Origin shifts for Focus Display (see FocusDisplayPlanner.h).
#include "focusdisplay/FocusDisplayPlanner.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quorvel::FocusDisplayPlanner {

namespace {

std::int32_t toInt32(double value) {
    constexpr double lowest = std::numeric_limits<std::int32_t>::min();
    constexpr double highest = std::numeric_limits<std::int32_t>::max();
    if (std::isnan(value)) return 0;
    return static_cast<std::int32_t>(std::clamp(std::trunc(value), lowest, highest));
}

} // namespace

std::optional<std::vector<OriginShift>> originShifts(const std::vector<std::pair<DisplayNumber, Point>>& displays,
                                                     DisplayNumber target) {
    const auto found = std::find_if(displays.begin(), displays.end(),
                                    [target](const auto& display) { return display.first == target; });
    if (found == displays.end()) return std::nullopt;
    const Point origin = found->second;
    std::vector<OriginShift> shifts;
    shifts.reserve(displays.size());
    for (const auto& [id, point] : displays)
        shifts.push_back({id, toInt32(point.x - origin.x), toInt32(point.y - origin.y)});
    return shifts;
}

} // namespace quorvel::FocusDisplayPlanner
