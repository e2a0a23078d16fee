// Colour roles and font weights of core mapped onto the Qt palette and QFont, so our windows follow
// the user's light or dark theme. Sizes in points are device-independent pixels.
#pragma once

#include "menubar/SpaceRow.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QRectF>

namespace quorvel::ui {

// accent = Highlight, label = WindowText, secondary = PlaceholderText, tertiary = disabled WindowText.
inline QColor colourFor(const QPalette& palette, ColourRole role) {
    switch (role) {
    case ColourRole::accent: return palette.color(QPalette::Active, QPalette::Highlight);
    case ColourRole::label: return palette.color(QPalette::Active, QPalette::WindowText);
    case ColourRole::secondary: return palette.color(QPalette::Active, QPalette::PlaceholderText);
    case ColourRole::tertiary: return palette.color(QPalette::Disabled, QPalette::WindowText);
    }
    return palette.color(QPalette::WindowText);
}

inline QFont fontOf(const QFont& base, double pixelSize, FontWeight weight) {
    QFont font = base;
    font.setPixelSize(static_cast<int>(pixelSize));
    switch (weight) {
    case FontWeight::regular: font.setWeight(QFont::Normal); break;
    case FontWeight::medium: font.setWeight(QFont::Medium); break;
    case FontWeight::semibold: font.setWeight(QFont::DemiBold); break;
    case FontWeight::bold: font.setWeight(QFont::Bold); break;
    }
    return font;
}

inline QRectF toQt(const Rect& r) { return {r.x, r.y, r.width, r.height}; }
inline QRect toQtRect(const Rect& r) { return toQt(r).toAlignedRect(); }

} // namespace quorvel::ui
