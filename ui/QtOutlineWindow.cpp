// The outline window: placed over the window server's rectangle in Qt's pixels (ScreenSpace.h),
// drawn as a 3-pixel rounded stroke just inside the window's edge.
#include "QtOutlineWindow.h"

#include "OverlayWindow.h"
#include "ScreenSpace.h"

#include <QGuiApplication>
#include <QPainter>

namespace quorvel::ui {

namespace {
constexpr qreal kStrokeWidth = 3;
constexpr qreal kCornerRadius = 10;
constexpr float kStrokeAlpha = 0.9f;

class OutlineWidget final : public QWidget {
public:
    OutlineWidget() {
        setObjectName(QStringLiteral("spotlightOutline"));
        setWindowTitle(QStringLiteral("Spotlight outline")); // for screen readers and window lists
        makeOverlayWindow(*this);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor colour = palette().color(QPalette::Highlight);
        colour.setAlphaF(kStrokeAlpha);
        painter.setPen(QPen(colour, kStrokeWidth));
        painter.setBrush(Qt::NoBrush);
        // Inset by half the stroke so the whole stroke lies inside the window.
        const qreal inset = kStrokeWidth / 2;
        painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), kCornerRadius, kCornerRadius);
    }
};
} // namespace

QtOutlineWindow::QtOutlineWindow() : m_window(std::make_unique<OutlineWidget>()) {}

QtOutlineWindow::~QtOutlineWindow() = default;

void QtOutlineWindow::show(double x, double y, double width, double height) {
    m_window->hide();
    if (!QGuiApplication::primaryScreen()) return; // no screen to draw on
    m_window->setGeometry(toDeviceIndependent(Rect{x, y, width, height}));
    m_window->show();
    m_window->raise();
}

void QtOutlineWindow::hide() { m_window->hide(); }

} // namespace quorvel::ui
