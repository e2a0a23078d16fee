// The window kind shared by the toast and the spotlight outline: on X11 an override-redirect
// window, so it is on every desktop, above normal windows, never focused, never clicked and absent
// from taskbars and pagers. Translucent where a compositing manager blends it; without one X shows
// the alpha channel as black, so such a window is cut to the shape it paints instead.
#pragma once

#include <QPainterPath>
#include <QRegion>
#include <QWidget>

namespace quorvel::ui {

inline void makeOverlayWindow(QWidget& window) {
    window.setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput);
    window.setAttribute(Qt::WA_ShowWithoutActivating);
    window.setAttribute(Qt::WA_TranslucentBackground);
    window.setAttribute(Qt::WA_TransparentForMouseEvents);
}

// Pure: the pixels a filled path covers, as a window shape (Qt's pixels of the widget).
inline QRegion regionOf(const QPainterPath& path) {
    return QRegion(path.toFillPolygon().toPolygon(), Qt::OddEvenFill);
}

// A rounded window's shape: none where a compositing manager blends its corners away, else cut to
// the rounded rectangle of its size (then paint it opaque to the edge).
inline void shapeRounded(QWidget& window, bool compositing, qreal radius) {
    if (compositing) {
        window.clearMask();
        return;
    }
    QPainterPath shape;
    shape.addRoundedRect(QRectF(window.rect()), radius, radius);
    window.setMask(regionOf(shape));
}

} // namespace quorvel::ui
