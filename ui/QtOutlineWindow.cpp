// The outline window: placed over the window server's rectangle in Qt's pixels (ScreenSpace.h),
// drawn as a 3-pixel rounded stroke just inside the window's edge. Without a compositing manager
// the window is shaped to that ring and painted opaque, so the spotlit window shows through.
#include "QtOutlineWindow.h"

#include "OverlayWindow.h"
#include "ScreenSpace.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>

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

    void setCompositing(bool compositing) {
        if (compositing == m_compositing) return;
        m_compositing = compositing;
        reshape();
        update();
    }
    bool compositing() const { return m_compositing; }

protected:
    void resizeEvent(QResizeEvent*) override { reshape(); }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QColor colour = palette().color(QPalette::Highlight);
        if (!m_compositing) {
            // The shape is the ring: fill it, opaque, as the server shows no blending.
            painter.fillRect(rect(), colour);
            return;
        }
        painter.setRenderHint(QPainter::Antialiasing);
        colour.setAlphaF(kStrokeAlpha);
        painter.setPen(QPen(colour, kStrokeWidth));
        painter.setBrush(Qt::NoBrush);
        // Inset by half the stroke so the whole stroke lies inside the window.
        const qreal inset = kStrokeWidth / 2;
        painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), kCornerRadius, kCornerRadius);
    }

private:
    void reshape() {
        if (m_compositing) {
            clearMask();
            return;
        }
        QPainterPath outer;
        outer.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
        QPainterPath inner;
        const qreal innerRadius = kCornerRadius - kStrokeWidth;
        inner.addRoundedRect(QRectF(rect()).adjusted(kStrokeWidth, kStrokeWidth, -kStrokeWidth, -kStrokeWidth),
                             innerRadius, innerRadius);
        setMask(regionOf(outer).subtracted(regionOf(inner)));
    }

    bool m_compositing = true;
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

void QtOutlineWindow::setCompositing(bool compositing) {
    static_cast<OutlineWidget*>(m_window.get())->setCompositing(compositing);
}

bool QtOutlineWindow::compositing() const { return static_cast<const OutlineWidget*>(m_window.get())->compositing(); }

} // namespace quorvel::ui
