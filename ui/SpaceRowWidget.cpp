// Drawing of the desktop row and its mini-map from core's SpaceRow; input goes to the row.
#include "SpaceRowWidget.h"

#include "Palette.h"
#include "QtScheduler.h"

#include <QAccessibleWidget>
#include <QEnterEvent>
#include <QHelpEvent>
#include <QToolTip>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace quorvel::ui {

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const RowElement& e, const QString& text, Qt::Alignment align) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(toQtRect(e.frame));
    label->setFont(fontOf(parent->font(), e.fontSize, e.weight));
    label->setAlignment(align);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

void setColour(QWidget* widget, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::Text, colour);
    widget->setPalette(p);
}

// Screen readers see a row as a button named by its label, with the row's own actions.
class RowAccessible final : public QAccessibleWidget {
public:
    explicit RowAccessible(SpaceRowWidget* row) : QAccessibleWidget(row, QAccessible::Button), m_row(row) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return QString::fromStdString(m_row->row().accessibilityLabel());
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override {
        QStringList names{pressAction()};
        for (const std::string& name : m_row->row().accessibilityActions()) names << QString::fromStdString(name);
        return names;
    }
    void doAction(const QString& name) override {
        if (name == pressAction()) m_row->row().accessibilityPress();
        else m_row->row().performAccessibilityAction(name.toStdString());
    }

private:
    SpaceRowWidget* m_row;
};

QAccessibleInterface* rowAccessibleFactory(const QString&, QObject* object) {
    if (auto* row = dynamic_cast<SpaceRowWidget*>(object)) return new RowAccessible(row);
    return nullptr;
}

} // namespace

// The tiling control's symbol: a rounded square, filled unless the desktop's tiling is off.
class SpaceRowWidget::TilingSymbol final : public QWidget {
public:
    TilingSymbol(double symbolSize, QWidget* parent) : QWidget(parent), m_size(symbolSize) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    void set(bool filled, const QColor& tint) {
        m_filled = filled;
        m_tint = tint;
        update();
    }
    bool filled() const { return m_filled; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        // Left aligned and vertically centred, as an image-only button shows its symbol.
        const double side = m_size;
        const QRectF square(1.5, (height() - side) / 2.0 + 0.5, side - 1, side - 1);
        painter.setPen(QPen(m_tint, 1.2));
        painter.setBrush(m_filled ? QBrush(m_tint) : Qt::NoBrush);
        painter.drawRoundedRect(square, side * 0.22, side * 0.22);
    }

private:
    double m_size;
    bool m_filled = true;
    QColor m_tint;
};

SpaceMiniMapWidget::SpaceMiniMapWidget(std::vector<Rect> layout, bool accented, QWidget* parent)
    : QWidget(parent), m_layout(std::move(layout)), m_accented(accented) {
    setObjectName(QStringLiteral("miniMap"));
    setToolTip(QString::fromStdString(miniMapToolTip(m_layout.size())));
}

void SpaceMiniMapWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Rect bounds{0, 0, double(width()), double(height())};
    QColor fill = colourFor(palette(), miniMapFillRole(m_accented));
    painter.setPen(QPen(colourFor(palette(), miniMapStrokeRole(m_accented)), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(toQt(miniMapOutline(bounds)), 3, 3);
    fill.setAlphaF(0.45f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    for (const Rect& block : miniMapBlocks(m_layout, bounds)) painter.drawRoundedRect(toQt(block), 1, 1);
}

SpaceRowWidget::SpaceRowWidget(SpaceRowFields fields, Callbacks callbacks, Scheduler* scheduler, QWidget* parent)
    : QWidget(parent) {
    static const bool accessibleRows = (QAccessible::installFactory(rowAccessibleFactory), true);
    (void)accessibleRows;
    if (!scheduler) {
        m_ownScheduler = std::make_unique<QtScheduler>();
        scheduler = m_ownScheduler.get();
    }
    m_row = std::make_unique<SpaceRow>(std::move(fields), scheduler);
    m_row->onSwitch = std::move(callbacks.onSwitch);
    m_row->onRename = std::move(callbacks.onRename);
    m_row->onEditStateChanged = std::move(callbacks.onEditStateChanged);
    m_row->onCycleTiling = std::move(callbacks.onCycleTiling);
    m_row->onVisualChange = [this] { sync(); };

    const SpaceRowFields& f = m_row->fields();
    const SpaceRowLayout& l = m_row->layout();
    setObjectName(QStringLiteral("spaceRow"));
    setFixedSize(int(l.width), int(l.height));
    setMouseTracking(true);

    m_marker = makeLabel(this, "marker", l.marker, f.isCurrent ? QStringLiteral("●") : QString(), Qt::AlignCenter);
    setColour(m_marker, colourFor(palette(), ColourRole::accent));

    m_badge = makeLabel(this, "badge", l.badge, QString::fromStdString(spaceRowBadgeTitle(f)), Qt::AlignCenter);
    {
        QFont digits = m_badge->font();
        digits.setStyleHint(QFont::Monospace); // monospaced digits keep the numbers aligned
        m_badge->setFont(digits);
    }
    const bool accentBadge = f.style == SpaceRowStyle::panel && f.isCurrent;
    setColour(m_badge, colourFor(palette(), accentBadge ? ColourRole::accent : ColourRole::secondary));

    if (l.miniMap) {
        m_miniMap = new SpaceMiniMapWidget(f.miniLayout, f.isCurrent, this);
        m_miniMap->setGeometry(toQtRect(*l.miniMap));
        m_miniMap->setAttribute(Qt::WA_TransparentForMouseEvents); // the row takes every click
    }
    if (l.pencil) {
        m_pencil = makeLabel(this, "pencil", *l.pencil, QStringLiteral("✎"), Qt::AlignCenter);
        m_pencil->setAccessibleName(QStringLiteral("Rename desktop"));
    }
    if (l.tilingButton) {
        m_tiling = new TilingSymbol(l.tilingSymbolSize, this);
        m_tiling->setObjectName(QStringLiteral("tilingButton"));
        m_tiling->setGeometry(toQtRect(l.tilingButton->frame));
        m_tiling->setAccessibleName(QStringLiteral("Tiling for this desktop"));
        m_word = makeLabel(this, "tilingWord", *l.tilingWord, QString(), Qt::AlignLeft | Qt::AlignVCenter);
        m_word->hide();
    }
    m_name = makeLabel(this, "name", l.name, QString(), Qt::AlignLeft | Qt::AlignVCenter);
    m_name->setTextFormat(Qt::PlainText);
    const QString name = QString::fromStdString(f.displayedName);
    m_name->setText(QFontMetrics(m_name->font()).elidedText(name, Qt::ElideRight, m_name->width()));
    m_name->setToolTip(QString()); // the row's own tool tip speaks for it
    setColour(m_name, colourFor(palette(), m_row->nameColour()));

    setAccessibleName(QString::fromStdString(m_row->accessibilityLabel()));
    sync();
}

SpaceRowWidget::~SpaceRowWidget() {
    // The row may call back into sync() no more.
    m_row->onVisualChange = nullptr;
}

QSize SpaceRowWidget::sizeHint() const {
    return {int(m_row->layout().width), int(m_row->layout().height)};
}

void SpaceRowWidget::beginEditing() { m_row->beginEditing(); }

void SpaceRowWidget::sync() {
    const SpaceRow& row = *m_row;
    if (m_pencil) setColour(m_pencil, colourFor(palette(), row.pencilTint()));
    if (m_tiling) {
        const TilingBadge badge = row.badge();
        m_tiling->set(badge.filled, colourFor(palette(), badge.tint));
        m_tiling->setToolTip(QString::fromStdString(badge.toolTip));
        m_tiling->setAccessibleDescription(QString::fromStdString(badge.accessibilityValue));
        if (const auto word = row.shownWord()) {
            m_word->setText(QString::fromStdString(*word));
            setColour(m_word, colourFor(palette(), row.wordTint()));
            m_word->show();
        } else {
            m_word->hide();
        }
    }
    if (row.isEditing() && !m_edit) showEditor();
    if (!row.isEditing() && m_edit) hideEditor();
    update();
}

void SpaceRowWidget::showEditor() {
    const SpaceRowLayout& l = m_row->layout();
    m_name->hide();
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("editField"));
    m_edit->setGeometry(toQtRect(l.editField.frame));
    m_edit->setFont(fontOf(font(), l.editField.fontSize, l.editField.weight));
    m_edit->setFrame(false);
    QPalette p = m_edit->palette();
    p.setColor(QPalette::Base, Qt::transparent);
    m_edit->setPalette(p);
    m_edit->setText(QString::fromStdString(m_row->editText()));
    m_edit->setPlaceholderText(QString::fromStdString(m_row->fields().placeholder));
    m_edit->installEventFilter(this);
    m_underline = new QWidget(this);
    m_underline->setObjectName(QStringLiteral("underline"));
    m_underline->setGeometry(toQtRect(l.underline));
    m_underline->setAutoFillBackground(true);
    QPalette up = m_underline->palette();
    up.setColor(QPalette::Window, colourFor(palette(), ColourRole::accent));
    m_underline->setPalette(up);
    m_edit->show();
    m_underline->show();
    // A row outside any window keeps its field but cannot focus it.
    if (window() != this || isVisible()) m_edit->setFocus(Qt::OtherFocusReason);
    if (m_row->style() == SpaceRowStyle::panel) m_edit->selectAll();
    else m_edit->end(false);
}

void SpaceRowWidget::hideEditor() {
    m_edit->removeEventFilter(this);
    m_edit->deleteLater();
    m_underline->deleteLater();
    m_edit = nullptr;
    m_underline = nullptr;
    m_name->show();
}

bool SpaceRowWidget::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Handled here so that the menu around the row never sees them (it would close or trigger).
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            m_row->commit(m_edit->text().toStdString());
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            m_row->cancelEditing();
            return true;
        }
        // The line edit ignores these; the menu would move its selection away from the field, and
        // the next Return would trigger whichever item it landed on.
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool SpaceRowWidget::event(QEvent* e) {
    // The children are transparent for the mouse, so the row answers for their tool tips.
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        const QPoint p = help->pos();
        QString text = toolTip();
        if (m_tiling && m_tiling->geometry().contains(p)) text = m_tiling->toolTip();
        else if (m_miniMap && m_miniMap->geometry().contains(p)) text = m_miniMap->toolTip();
        if (text.isEmpty()) QToolTip::hideText();
        else QToolTip::showText(help->globalPos(), text, this);
        return true;
    }
    return QWidget::event(e);
}

void SpaceRowWidget::paintEvent(QPaintEvent*) {
    const auto box = m_row->hoverBox();
    if (!box) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = colourFor(palette(), ColourRole::label);
    fill.setAlphaF(0.09f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(toQt(*box), 5, 5);
}

void SpaceRowWidget::mousePressEvent(QMouseEvent* event) {
    const QPointF p = event->position();
    const bool control = event->modifiers().testFlag(Qt::ControlModifier);
    event->accept();
    if (event->button() == Qt::RightButton) {
        m_row->rightMouseDown();
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    // Otherwise the press is the panel's, around the row.
    if (!m_row->mouseDown({p.x(), p.y()}, control)) event->ignore();
}

void SpaceRowWidget::mouseReleaseEvent(QMouseEvent* event) {
    // The press did the work; a menu around the row must not trigger anything on release.
    event->accept();
}

void SpaceRowWidget::enterEvent(QEnterEvent*) { m_row->hoverEntered(); }
void SpaceRowWidget::leaveEvent(QEvent*) { m_row->hoverExited(); }

} // namespace quorvel::ui
