// The helper window as a QRasterWindow: live flag changes keep the same native window, and it
// paints only its background (the palette's, or black once parked).
#include "QtHelperWindow.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QRasterWindow>

namespace quorvel::ui {

class HelperSurface final : public QRasterWindow {
public:
    void setBackground(const QColor& colour) {
        m_background = colour;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(QRect(QPoint(), size()), m_background); }

private:
    QColor m_background = QGuiApplication::palette().color(QPalette::Window);
};

QtHelperWindow::QtHelperWindow(ActivateWindow activate)
    : m_surface(std::make_unique<HelperSurface>()), m_activate(std::move(activate)) {
    m_surface->setFlags(Qt::Tool | Qt::FramelessWindowHint);
    m_surface->setGeometry(0, 0, 1, 1);
    m_surface->create();
    if (m_surface->handle()) m_number = static_cast<WindowId>(m_surface->winId());
}

QtHelperWindow::~QtHelperWindow() = default;

// Qt windows sit at the normal level unless told otherwise.
void QtHelperWindow::setLevelNormal() {}

void QtHelperWindow::setAlpha(double alpha) {
    if (!m_closed) m_surface->setOpacity(alpha);
}

void QtHelperWindow::orderBack() {
    if (!m_closed) m_surface->lower();
}

void QtHelperWindow::makeKeyAndOrderFront() {
    if (m_closed) return;
    m_surface->show();
    m_surface->raise();
    if (m_activate)
        m_activate(m_number);
    else
        m_surface->requestActivate();
}

bool QtHelperWindow::isKey() const { return !m_closed && m_surface->isActive(); }

bool QtHelperWindow::isMain() const { return isKey(); }

void QtHelperWindow::setIgnoresMouseEvents(bool ignores) {
    if (!m_closed) m_surface->setFlag(Qt::WindowTransparentForInput, ignores);
}

void QtHelperWindow::setBackgroundBlack() {
    if (!m_closed) m_surface->setBackground(Qt::black);
}

void QtHelperWindow::close() {
    if (m_closed) return;
    m_closed = true;
    m_surface->hide();
    m_surface->destroy();
}

QWindow* QtHelperWindow::window() const { return m_surface.get(); }

std::unique_ptr<HelperWindow> QtHelperWindowFactory::createHelperWindow() {
    auto window = std::make_unique<QtHelperWindow>(m_activate);
    if (window->windowNumber() == 0) return nullptr;
    return window;
}

} // namespace quorvel::ui
