// From the window server's pixels (what core speaks: X pixels, y down from the top-left of the X
// screen) to Qt's device-independent pixels. The one place ui/ converts, so a scale factor
// (QT_SCALE_FACTOR, a high-density monitor) never moves what core placed.
#pragma once

#include "platform/Types.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstddef>
#include <vector>

namespace quorvel::ui {

// Pure: `rect` on a monitor whose top-left is `origin` (the same in both spaces) and whose pixels
// are `ratio` device pixels per device-independent pixel.
QRect toDeviceIndependent(const Rect& rect, QPoint origin, double ratio);

// Where one of Qt's screens sits: its top-left (the same in both spaces), its size in Qt's pixels
// and its device pixels per Qt pixel.
struct ScreenPlacement {
    QPoint origin;
    QSize size;
    double ratio = 1;
};

// Pure: the index of the screen holding `point` (server pixels), `screens.size()` when none does.
std::size_t screenHolding(Point point, const std::vector<ScreenPlacement>& screens);

// `rect` in the space of Qt's screens, scaled for the screen holding its top-left corner (the
// primary screen when none does). Unchanged without screens.
QRect toDeviceIndependent(const Rect& rect);

} // namespace quorvel::ui
