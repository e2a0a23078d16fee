// Drawing of the indicator, the switch row and the tray icon.
#include "TrayMenuWidgets.h"

#include "Palette.h"

#include <QHelpEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

namespace quorvel::ui {

namespace {

bool inside(const Rect& r, const QPointF& p) {
    return p.x() >= r.minX() && p.x() < r.maxX() && p.y() >= r.minY() && p.y() < r.maxY();
}

// The eye: an almond outline and a pupil; a slash for "minimal", a small warning triangle for
// "focused". There is no such symbol in the icon themes, so it is always drawn.
void drawEye(QPainter& painter, const QRectF& frame, MenuDensity density, const QColor& tint) {
    const double side = 12; // the symbol's point size
    const QPointF c = frame.center();
    const double w = side * 1.25, h = side * 0.8;
    QPainterPath almond;
    almond.moveTo(c.x() - w / 2, c.y());
    almond.quadTo(c.x(), c.y() - h, c.x() + w / 2, c.y());
    almond.quadTo(c.x(), c.y() + h, c.x() - w / 2, c.y());
    painter.setPen(QPen(tint, 1.4));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(almond);
    painter.setBrush(tint);
    painter.drawEllipse(c, side * 0.17, side * 0.17);
    if (density == MenuDensity::minimal) {
        painter.setPen(QPen(tint, 1.6, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(c.x() - w / 2 + 1, c.y() - h / 2 - 1), QPointF(c.x() + w / 2 - 1, c.y() + h / 2 + 1));
    } else if (density == MenuDensity::focused) {
        const QPointF t(c.x() + w / 2 - 1, c.y() + h / 2 - 1);
        QPolygonF triangle({t + QPointF(0, -4), t + QPointF(4, 3), t + QPointF(-4, 3)});
        painter.setPen(Qt::NoPen);
        painter.setBrush(tint);
        painter.drawPolygon(triangle);
    }
}

} // namespace

// --- Tray icon ------------------------------------------------------------------------------------

QImage trayIconImage(const TrayTitle& title, const QPalette& palette, int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const double s = side;
    // A dark tile reads on light and dark panels alike.
    const QRectF tile(s * 0.06, s * 0.06, s * 0.88, s * 0.88);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 40, 44));
    painter.drawRoundedRect(tile, s * 0.2, s * 0.2);
    if (title.tilingMark) {
        painter.setPen(QPen(colourFor(palette, ColourRole::accent).lighter(130), s * 0.08));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(tile.adjusted(s * 0.1, s * 0.1, -s * 0.1, -s * 0.1));
    }
    QFont font;
    const bool wide = title.iconText.size() > 1 && title.iconText != "⊞";
    font.setPixelSize(static_cast<int>(s * (wide ? 0.42 : 0.56)));
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(tile, Qt::AlignCenter, QString::fromStdString(title.iconText));
    return image;
}

QIcon trayIcon(const TrayTitle& title, const QPalette& palette) {
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48, 64}) icon.addPixmap(QPixmap::fromImage(trayIconImage(title, palette, side)));
    return icon;
}

// --- Indicator ------------------------------------------------------------------------------------

IndicatorWidget::IndicatorWidget(IndicatorModel model, TrayMenuActions& actions, QWidget* parent)
    : QWidget(parent), m_model(std::move(model)), m_actions(actions) {
    setObjectName(QStringLiteral("indicator"));
    setFixedSize(static_cast<int>(m_model.width), static_cast<int>(IndicatorModel::kHeight));
    setAccessibleName(QString::fromStdString(m_model.accessibilityLabel));
    setAccessibleDescription(QString::fromStdString(m_model.eyeDescription));
}

void IndicatorWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const IndicatorNumber& n : m_model.numbers) {
        painter.setFont(fontOf(font(), 11, n.bold ? FontWeight::bold : FontWeight::regular));
        painter.setPen(colourFor(palette(), n.colour));
        painter.drawText(toQt(n.frame), Qt::AlignCenter, QString::fromStdString(n.title));
    }
    drawEye(painter, toQt(m_model.eyeFrame), m_model.density, colourFor(palette(), m_model.eyeTint));
}

bool IndicatorWidget::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        if (inside(m_model.eyeFrame, help->pos())) QToolTip::showText(help->globalPos(), QString::fromStdString(m_model.eyeToolTip), this);
        else QToolTip::hideText();
        return true;
    }
    return QWidget::event(e);
}

void IndicatorWidget::mousePressEvent(QMouseEvent* e) { e->accept(); }

void IndicatorWidget::mouseReleaseEvent(QMouseEvent* e) {
    e->accept();
    const QPointF p = e->position();
    const IndicatorModel::Hit hit = m_model.hitTest({p.x(), p.y()});
    if (hit.cycleTo) m_actions.cycleDensity(*hit.cycleTo);
    else if (hit.switchTo) m_actions.indicatorSwitch(*hit.switchTo);
}

// --- Switch row -----------------------------------------------------------------------------------

SwitchButton::SwitchButton(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    // Used with the mouse inside a menu. Focusable, a switch would catch the focus a closing rename
    // field lets go of, and the next Space would flip it.
    setFocusPolicy(Qt::NoFocus);
}

void SwitchButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(2, 4, -2, -4);
    const QColor on = colourFor(palette(), ColourRole::accent);
    const QColor off = colourFor(palette(), ColourRole::tertiary);
    painter.setPen(Qt::NoPen);
    painter.setBrush(isChecked() ? on : off);
    painter.drawRoundedRect(track, track.height() / 2, track.height() / 2);
    const double d = track.height() - 4;
    const double x = isChecked() ? track.right() - 2 - d : track.left() + 2;
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(x, track.top() + 2, d, d));
}

ToggleRowWidget::ToggleRowWidget(const ToggleRowModel& model, TrayMenuActions& actions, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("toggleRow"));
    setFixedSize(static_cast<int>(ToggleRowModel::kWidth), static_cast<int>(ToggleRowModel::kHeight));
    auto label = [this](const QString& text, const QRect& frame, const char* name) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(frame);
        l->setFont(fontOf(font(), 12, FontWeight::medium));
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        return l;
    };
    // The switches and labels sit on their pills: frames y-down in the 34-point row.
    m_editLabel = label(QStringLiteral("✎ Edit"), {14, 9, 52, 16}, "editLabel");
    m_tilingLabel = label(QStringLiteral("⊞ Tiling"), {150, 9, 58, 16}, "tilingLabel");
    m_edit = new SwitchButton(this);
    m_edit->setObjectName(QStringLiteral("editSwitch"));
    m_edit->setGeometry(70, 6, 36, 22);
    m_edit->setChecked(model.editOn);
    m_edit->setAccessibleName(QStringLiteral("Edit mode"));
    m_tiling = new SwitchButton(this);
    m_tiling->setObjectName(QStringLiteral("tilingSwitch"));
    m_tiling->setGeometry(212, 6, 36, 22);
    m_tiling->setChecked(model.tilingOn);
    m_tiling->setAccessibleName(QStringLiteral("Tiling"));
    // `clicked` comes only from the user, never from setChecked.
    QObject::connect(m_edit, &QAbstractButton::clicked, this, [this, &actions](bool on) {
        restyle();
        actions.editToggled(on);
    });
    QObject::connect(m_tiling, &QAbstractButton::clicked, this, [this, &actions](bool on) {
        restyle();
        actions.tilingToggled(on);
    });
    restyle();
}

void ToggleRowWidget::setTilingState(bool on) {
    m_tiling->setChecked(on);
    restyle();
}

void ToggleRowWidget::restyle() {
    for (auto [label, button] : {std::pair{m_editLabel, m_edit}, std::pair{m_tilingLabel, m_tiling}}) {
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText,
                   colourFor(palette(), button->isChecked() ? ColourRole::accent : ColourRole::secondary));
        label->setPalette(p);
    }
    update();
}

void ToggleRowWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor pill = colourFor(palette(), ColourRole::accent);
    pill.setAlphaF(0.16f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(pill);
    if (m_edit->isChecked()) painter.drawRoundedRect(QRectF(8, 4, 104, 26), 8, 8);
    if (m_tiling->isChecked()) painter.drawRoundedRect(QRectF(144, 4, 110, 26), 8, 8);
}

// Clicks beside the switches must not reach the menu (it would close).
void ToggleRowWidget::mousePressEvent(QMouseEvent* e) { e->accept(); }
void ToggleRowWidget::mouseReleaseEvent(QMouseEvent* e) { e->accept(); }

} // namespace quorvel::ui
