// Toast layout (label sized to its text, at most two lines), placement on the primary screen's
// available area, the dismissal (hold, fade at ~30 ticks a second, hide; without a compositing
// manager no fade), and its rounded opaque shape where no compositing manager blends its corners
// away.
#include "Toast.h"

#include "OverlayWindow.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>

namespace quorvel::ui {

namespace {
constexpr int kHorizontalPadding = 18;
constexpr int kVerticalPadding = 9;
constexpr qreal kCornerRadius = 12;
constexpr double kBottomGapFraction = 0.18; // of the available height, below the panel
constexpr qsizetype kLongMessageCharacters = 41;
constexpr double kShortHold = 1.6;
constexpr double kLongHold = 3.4;
constexpr double kFadeDuration = 0.35;
constexpr double kFadeTick = 1.0 / 30;
constexpr int kUnbounded = 1 << 20;

qsizetype userPerceivedCharacters(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1) ++count;
    return count;
}

// The label's size: its text on one line if that fits in the maximum width, else wrapped at that
// width; never taller than two lines (the rest is cut off) nor shorter than one.
QSize labelSize(const QString& text, const QFont& font) {
    const QFontMetrics metrics(font);
    const int maxWidth = Toast::kMaxLabelWidth;
    QSize size = metrics.boundingRect(QRect(0, 0, kUnbounded, kUnbounded), Qt::AlignLeft | Qt::AlignTop, text).size();
    if (size.width() > maxWidth)
        size = {maxWidth, metrics.boundingRect(QRect(0, 0, maxWidth, kUnbounded), Qt::TextWordWrap, text).height()};
    const int twoLines = metrics.boundingRect(QRect(0, 0, maxWidth, kUnbounded), 0, QStringLiteral("X\nX")).height();
    size.setHeight(std::clamp(size.height(), metrics.height(), twoLines));
    return size;
}
} // namespace

Toast::Toast(Scheduler& scheduler) : m_scheduler(scheduler), m_label(new QLabel(this)) {
    setObjectName(QStringLiteral("toast"));
    makeOverlayWindow(*this);

    QFont font = QApplication::font();
    font.setPixelSize(14); // Qt's device-independent pixels, as every size here: 14, not 14 pt
    font.setWeight(QFont::Medium);
    m_label->setObjectName(QStringLiteral("toastLabel"));
    m_label->setFont(font);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setTextInteractionFlags(Qt::NoTextInteraction);
    m_label->setWordWrap(true);
    // Top-aligned, so a message cut to two lines shows its first two.
    m_label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QPalette palette = m_label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    m_label->setPalette(palette);
}

Toast::~Toast() { cancelDismissal(); }

QString Toast::text() const { return m_label->text(); }

void Toast::showMessage(const QString& text) {
    const std::uint64_t generation = ++m_generation;
    cancelDismissal();
    layOut(text);
    placeOnPrimaryScreen();
    setWindowOpacity(1);
    show();
    raise();
    const double hold = userPerceivedCharacters(text) < kLongMessageCharacters ? kShortHold : kLongHold;
    m_dismiss = m_scheduler.after(Seconds(hold), [this, generation] { fadeOut(generation); });
}

void Toast::layOut(const QString& text) {
    m_label->setText(text);
    setWindowTitle(text); // what screen readers and window lists read for it
    const QSize label = labelSize(text, m_label->font());
    const QSize content(label.width() + 2 * kHorizontalPadding, label.height() + 2 * kVerticalPadding);
    setFixedSize(content);
    m_label->setGeometry(kHorizontalPadding, (content.height() - label.height()) / 2, label.width(), label.height());
}

void Toast::placeOnPrimaryScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return; // keeps the last position
    const QRect area = screen->availableGeometry();
    const double x = area.x() + area.width() / 2.0 - width() / 2.0;
    const double bottom = area.y() + area.height() - kBottomGapFraction * area.height();
    move(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(bottom - height())));
}

void Toast::fadeOut(std::uint64_t generation) {
    if (generation != m_generation) return;
    // Window opacity takes a compositing manager: without one a fade would only hold the panel
    // fully visible a while longer.
    if (!m_compositing) {
        hide();
        return;
    }
    const double start = m_scheduler.now();
    m_fadeTicks = m_scheduler.every(Seconds(kFadeTick), [this, generation, start] {
        if (generation != m_generation) return;
        setWindowOpacity(std::max(0.0, 1 - (m_scheduler.now() - start) / kFadeDuration));
    });
    m_fadeEnd = m_scheduler.after(Seconds(kFadeDuration), [this, generation] {
        if (generation != m_generation) return;
        m_fadeTicks.cancel();
        setWindowOpacity(0);
        hide();
    });
}

void Toast::cancelDismissal() {
    m_dismiss.cancel();
    m_fadeTicks.cancel();
    m_fadeEnd.cancel();
}

void Toast::setCompositing(bool compositing) {
    if (compositing == m_compositing) return;
    m_compositing = compositing;
    reshape();
    update();
}

void Toast::resizeEvent(QResizeEvent*) { reshape(); }

void Toast::reshape() { shapeRounded(*this, m_compositing, kCornerRadius); }

void Toast::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor panel(30, 30, 30);
    if (!m_compositing) {
        // Cut to shape by the mask: opaque to its edge, with no half-covered pixels that would show
        // as a dark fringe where nothing blends them.
        painter.fillRect(rect(), panel);
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(panel.red(), panel.green(), panel.blue(), 235)); // 0.92 opaque
    painter.drawRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
}

} // namespace quorvel::ui
