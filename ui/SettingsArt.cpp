// Placeholder bodies: sizes and state only; the drawings come next.
#include "SettingsArt.h"

namespace quorvel::ui {

std::optional<QColor> modifierColour(std::string_view, const QPalette&) { return std::nullopt; }

DiagramWidget::DiagramWidget(DiagramKind kind, QWidget* parent) : QWidget(parent), m_kind(kind) {}

void DiagramWidget::setKind(const DiagramKind& kind) {
    m_kind = kind;
    update();
}

QSize DiagramWidget::sizeHint() const { return {165, 100}; }

void DiagramWidget::paintEvent(QPaintEvent*) {}

KeycapRow::KeycapRow(const std::string& displayText, QWidget* parent)
    : QWidget(parent), m_text(displayText) {}

void KeycapRow::setText(const std::string& displayText) {
    m_text = displayText;
    updateGeometry();
    update();
}

QSize KeycapRow::sizeHint() const { return {120, 24}; }

void KeycapRow::paintEvent(QPaintEvent*) {}

KeyGuidePopup::KeyGuidePopup(QWidget* anchor) : QFrame(anchor, Qt::Popup), m_anchor(anchor) {
    setObjectName("keyGuide");
    setFixedSize(480, 248);
}

void KeyGuidePopup::popUp() {
    move(m_anchor->mapToGlobal(QPoint(0, m_anchor->height())));
    show();
}

void KeyGuidePopup::paintEvent(QPaintEvent*) {}

} // namespace quorvel::ui
