// Showing and hiding a floating window that borrows the keyboard focus (see FloatingWindow.h).
#include "FloatingWindow.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace quorvel::ui {

namespace {
WindowId idOf(const QWidget& window) {
    return window.internalWinId() ? static_cast<WindowId>(window.internalWinId()) : 0;
}
} // namespace

bool FloatingFocus::beginShow(QWidget& window) {
    const bool hidden = !window.isVisible();
    if (hidden && m_manager) {
        const WindowId active = m_manager->activeWindow();
        m_previousFocus = active != idOf(window) ? active : 0;
    }
    return hidden;
}

void FloatingFocus::finishShow(QWidget& window, bool hidden, InputTime time) {
    // Every map, not only the first: the window manager drops the desktop and the states of a
    // window when it is unmapped, and Qt writes back only its own.
    if (hidden) {
        const auto id = static_cast<WindowId>(window.winId()); // creates the native window, unmapped
        if (m_manager) m_manager->prepare(id);
    }
    window.show();
    window.raise();
    if (m_manager) m_manager->activate(static_cast<WindowId>(window.winId()), time);
    else window.activateWindow();
}

void FloatingFocus::hide(QWidget& window, bool returnFocus) {
    if (!window.isVisible()) return;
    const bool giveBack = returnFocus && focusIsOurs(window);
    window.hide();
    if (giveBack) m_manager->giveFocusBack(m_previousFocus);
}

void FloatingFocus::release(const QWidget& window) {
    if (focusIsOurs(window)) m_manager->giveFocusBack(m_previousFocus);
}

bool FloatingFocus::focusIsOurs(const QWidget& window) const {
    if (!m_manager || !m_previousFocus) return false;
    // The user may have gone to another window while ours was open: that one keeps it.
    const WindowId active = m_manager->activeWindow();
    return active == 0 || active == idOf(window);
}

QScreen* screenUnderPointer() {
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    return screen ? screen : QGuiApplication::primaryScreen();
}

} // namespace quorvel::ui
