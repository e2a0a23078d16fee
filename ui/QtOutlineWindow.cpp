// The outline window: screen space flipped to Qt's y-down space on the primary screen's height,
// then a 3-pixel rounded stroke just inside the window's edge.
#include "QtOutlineWindow.h"

#include "OverlayWindow.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <cmath>

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

int rounded(double value) { return static_cast<int>(std::lround(value)); }
} // namespace

QtOutlineWindow::QtOutlineWindow() : m_window(std::make_unique<OutlineWidget>()) {}

QtOutlineWindow::~QtOutlineWindow() = default;

void QtOutlineWindow::show(double x, double y, double width, double height) {
    m_window->hide();
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary) return; // no screen to draw on
    const double qtY = primary->geometry().height() - y - height;
    m_window->setGeometry(rounded(x), rounded(qtY), rounded(width), rounded(height));
    m_window->show();
    m_window->raise();
}

void QtOutlineWindow::hide() { m_window->hide(); }

} // namespace quorvel::ui
