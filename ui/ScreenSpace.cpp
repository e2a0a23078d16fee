// Window-server pixels to Qt's device-independent pixels (see ScreenSpace.h).
#include "ScreenSpace.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace quorvel::ui {

namespace {
int rounded(double value) { return static_cast<int>(std::lround(value)); }
} // namespace

QRect toDeviceIndependent(const Rect& rect, QPoint origin, double ratio) {
    if (!(ratio > 0)) ratio = 1;
    // Qt keeps each screen's top-left where the server has it and scales what lies beyond it. It
    // rounds the position and the size each on its own (and so back again), so do the same: the
    // rectangle then maps back onto the very pixels it came from.
    const double x = origin.x() + (rect.x - origin.x()) / ratio;
    const double y = origin.y() + (rect.y - origin.y()) / ratio;
    return {rounded(x), rounded(y), rounded(rect.width / ratio), rounded(rect.height / ratio)};
}

std::size_t screenHolding(Point point, const std::vector<ScreenPlacement>& screens) {
    // A screen's extent in server pixels is known only up to the rounding of its size in Qt's
    // pixels, so neighbours may seem to overlap by a pixel; of the screens that seem to hold the
    // point, the one whose corner is nearest is right (its corner is exact in both spaces).
    std::size_t best = screens.size();
    double bestDistance = 0;
    for (std::size_t i = 0; i < screens.size(); ++i) {
        const ScreenPlacement& s = screens[i];
        const double right = s.origin.x() + s.size.width() * s.ratio;
        const double bottom = s.origin.y() + s.size.height() * s.ratio;
        if (point.x < s.origin.x() || point.y < s.origin.y() || point.x >= right || point.y >= bottom) continue;
        const double distance = (point.x - s.origin.x()) + (point.y - s.origin.y());
        if (best == screens.size() || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

QRect toDeviceIndependent(const Rect& rect) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    std::vector<ScreenPlacement> placements;
    for (const QScreen* screen : screens)
        placements.push_back({screen->geometry().topLeft(), screen->geometry().size(), screen->devicePixelRatio()});
    const std::size_t index = screenHolding(rect.origin(), placements);
    const QScreen* holder = index < placements.size() ? screens[qsizetype(index)] : QGuiApplication::primaryScreen();
    if (!holder) return toDeviceIndependent(rect, {}, 1);
    return toDeviceIndependent(rect, holder->geometry().topLeft(), holder->devicePixelRatio());
}

} // namespace quorvel::ui
