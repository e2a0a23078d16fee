// The window kind shared by the toast and the spotlight outline: on X11 an override-redirect
// window, so it is on every desktop, above normal windows, never focused, never clicked and absent
// from taskbars and pagers.
#pragma once

#include <QWidget>

namespace quorvel::ui {

inline void makeOverlayWindow(QWidget& window) {
    window.setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput);
    window.setAttribute(Qt::WA_ShowWithoutActivating);
    window.setAttribute(Qt::WA_TranslucentBackground);
    window.setAttribute(Qt::WA_TransparentForMouseEvents);
}

} // namespace quorvel::ui
