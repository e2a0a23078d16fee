#include "strip/MenuBarGeometry.h"

#include <algorithm>

namespace quorvel {

const char* describe(TriggerRegion::Reason reason) {
    return reason == TriggerRegion::Reason::freeSpan ? "freeSpan" : "fallback";
}

namespace MenuBarGeometry {

std::vector<Rect> statusItemsAtTop(const Rect& frame, const std::vector<Rect>& windows) {
    std::vector<Rect> items;
    for (const Rect& window : windows) {
        if (window.width > 0 && window.height <= statusItemLimit && window.y - frame.minY() <= statusItemLimit)
            items.push_back(window);
    }
    return items;
}

std::optional<double> leftmostStatusIconX(const Rect& frame, const std::vector<Rect>& statusItems) {
    std::optional<double> leftmost;
    for (const Rect& item : statusItems) {
        if (item.minX() < frame.minX() || item.maxX() > frame.maxX() + 1) continue;
        if (!leftmost || item.minX() < *leftmost) leftmost = item.minX();
    }
    return leftmost;
}

TriggerRegion triggerRegion(const Rect& frame, double menuBarHeight, const std::vector<Rect>& statusItems,
                            double depth) {
    const double height = menuBarHeight > 0 ? menuBarHeight : depth;
    const double start = frame.minX() + leftReserve;
    const std::optional<double> leftmost = leftmostStatusIconX(frame, statusItems);
    const double end = leftmost ? *leftmost - statusItemGap : frame.maxX() - rightReserveWithoutItems;
    if (end - start >= minimumFreeSpan)
        return {{start, frame.minY(), end - start, height}, TriggerRegion::Reason::freeSpan};
    const double width = std::max(frame.width * 0.25, minimumFreeSpan);
    const double midX = frame.minX() + frame.width / 2;
    return {{midX - width / 2, frame.minY(), width, height}, TriggerRegion::Reason::fallback};
}

} // namespace MenuBarGeometry

} // namespace quorvel
