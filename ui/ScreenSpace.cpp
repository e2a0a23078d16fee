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
    // Qt keeps each screen's top-left where the server has it and scales what lies beyond it.
    const double x = origin.x() + (rect.x - origin.x()) / ratio;
    const double y = origin.y() + (rect.y - origin.y()) / ratio;
    const int left = rounded(x), top = rounded(y);
    return {left, top, rounded(x + rect.width / ratio) - left, rounded(y + rect.height / ratio) - top};
}

QRect toDeviceIndependent(const Rect& rect) {
    const QScreen* holder = QGuiApplication::primaryScreen();
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect logical = screen->geometry();
        const double ratio = screen->devicePixelRatio();
        const Rect native{double(logical.x()), double(logical.y()), logical.width() * ratio, logical.height() * ratio};
        if (rect.x >= native.minX() && rect.x < native.maxX() && rect.y >= native.minY() && rect.y < native.maxY()) {
            holder = screen;
            break;
        }
    }
    if (!holder) return toDeviceIndependent(rect, {}, 1);
    return toDeviceIndependent(rect, holder->geometry().topLeft(), holder->devicePixelRatio());
}

} // namespace quorvel::ui
