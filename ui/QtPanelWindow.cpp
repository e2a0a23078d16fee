// The switcher panel on Qt: a titled, closable top-level widget whose content is rebuilt from
// every PanelContent; highlight boxes and the separator are painted beneath the children.
#include "QtPanelWindow.h"

#include "Palette.h"
#include "SpaceRowWidget.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace quorvel::ui {

// What one content reports to. The handlers outlive the window object: rows being deleted later
// may still report, and then find their content no longer current. A replaced content's handlers
// are never emptied, only retired: one of them may be running (a key on the content rebuilds it),
// and they go with the last widget of that content, which Qt deletes once the call has returned.
struct ContentHandlers {
    PanelView::Handlers handlers;
    bool current = true;

    // The handlers while this content is the window's; null once it was replaced.
    const PanelView::Handlers* live() const { return current ? &handlers : nullptr; }
};

namespace {

constexpr qreal kBoxRadius = 8;
constexpr qreal kBoxBorder = 1.5;

using SharedHandlers = std::shared_ptr<ContentHandlers>;

QColor withAlpha(QColor colour, float alpha) {
    colour.setAlphaF(alpha);
    return colour;
}

void tint(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

QLabel* addLabel(QWidget* parent, const char* name, const PanelLabel& label, double pixelSize, FontWeight weight) {
    auto* widget = new QLabel(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setTextFormat(Qt::PlainText);
    widget->setGeometry(toQtRect(label.frame));
    widget->setFont(fontOf(parent->font(), pixelSize, weight));
    widget->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Truncated at the tail; the whole text stays readable as the tool tip.
    const QString text = QString::fromStdString(label.text);
    const QString shown = QFontMetrics(widget->font()).elidedText(text, Qt::ElideRight, widget->width());
    widget->setText(shown);
    if (shown != text) widget->setToolTip(text);
    widget->setAccessibleName(text);
    return widget;
}

// A small recessed push button: a faint rounded well, the title tinted.
QPushButton* addButton(QWidget* parent, const char* name, const PanelButton& button, const QColor& tintColour) {
    auto* widget = new QPushButton(QString::fromStdString(button.title), parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(toQtRect(button.frame));
    widget->setFont(fontOf(parent->font(), 11, FontWeight::regular));
    widget->setFocusPolicy(Qt::NoFocus); // the keys stay with the content
    const QColor well = colourFor(parent->palette(), ColourRole::label);
    widget->setStyleSheet(QStringLiteral("QPushButton { border: none; border-radius: 5px; padding: 0;"
                                         " background: %1; color: %2; }"
                                         "QPushButton:pressed { background: %3; }")
                              .arg(withAlpha(well, 0.08f).name(QColor::HexArgb), tintColour.name(QColor::HexArgb),
                                   withAlpha(well, 0.18f).name(QColor::HexArgb)));
    return widget;
}

} // namespace

PanelKey panelKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Left: return PanelKey::left;
    case Qt::Key_Right: return PanelKey::right;
    case Qt::Key_Up: return PanelKey::up;
    case Qt::Key_Down: return PanelKey::down;
    case Qt::Key_Return: return PanelKey::returnKey;
    case Qt::Key_Enter: return PanelKey::keypadEnter;
    case Qt::Key_Escape: return PanelKey::escape;
    default: return PanelKey::other;
    }
}

// The top-level window. Its close button only hides it.
class PanelWidget final : public QWidget {
public:
    std::function<void()> onClosed;

protected:
    void closeEvent(QCloseEvent* event) override {
        event->accept();
        if (onClosed) onClosed();
    }
};

namespace {

// The content: takes the keys while no row is renamed, paints the boxes and the separator, and
// moves the window when its background is dragged. While a row is renamed the keys belong to its
// field alone: the content refuses them, so it must not take the focus from the field either (a
// click on its background, Tab in the field), or Return and Escape would reach nothing.
class PanelContentWidget final : public QWidget {
public:
    PanelContentWidget(const PanelContent& content, SharedHandlers handlers, QWidget* parent)
        : QWidget(parent), m_handlers(std::move(handlers)), m_highlights(content.highlights),
          m_separator(content.separator), m_takesKeys(content.takesKeys) {
        setObjectName(QStringLiteral("panelContent"));
        setAccessibleName(QString::fromStdString(content.accessibleName));
        setFocusPolicy(m_takesKeys ? Qt::StrongFocus : Qt::NoFocus);
        setGeometry(0, 0, int(content.size.width), int(content.size.height));
    }

protected:
    bool focusNextPrevChild(bool next) override {
        // Tab and Backtab in the field keep the focus there. Not while hiding: Qt then moves the
        // focus out of the content that goes.
        if (!m_takesKeys && isVisible()) return true;
        return QWidget::focusNextPrevChild(next);
    }

    void keyPressEvent(QKeyEvent* event) override {
        const PanelView::Handlers* handlers = m_handlers->live();
        if (handlers && handlers->onKeyDown && handlers->onKeyDown(panelKey(event->key()))) {
            event->accept();
            return;
        }
        QWidget::keyPressEvent(event);
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor accent = colourFor(palette(), ColourRole::accent);
        const QColor label = colourFor(palette(), ColourRole::label);
        for (const PanelHighlight& box : m_highlights) {
            // The stroke straddles the edge: inset by half of it so the box keeps its frame.
            const QRectF frame = toQt(box.frame).adjusted(kBoxBorder / 2, kBoxBorder / 2, -kBoxBorder / 2, -kBoxBorder / 2);
            const bool current = box.kind == PanelHighlight::Kind::current;
            painter.setPen(QPen(current ? withAlpha(accent, 0.4f) : withAlpha(label, 0.3f), kBoxBorder));
            painter.setBrush(current ? QBrush(withAlpha(accent, 0.15f)) : QBrush(Qt::NoBrush));
            painter.drawRoundedRect(frame, kBoxRadius, kBoxRadius);
        }
        painter.fillRect(toQt(m_separator), palette().color(QPalette::Mid));
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
        event->accept();
        // The window manager moves it when it can; otherwise the window follows the pointer.
        if (QWindow* handle = window()->windowHandle(); handle && handle->startSystemMove()) return;
        m_dragFrom = event->globalPosition().toPoint() - window()->pos();
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (!m_dragFrom || !(event->buttons() & Qt::LeftButton)) return QWidget::mouseMoveEvent(event);
        window()->move(event->globalPosition().toPoint() - *m_dragFrom);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        m_dragFrom.reset();
        QWidget::mouseReleaseEvent(event);
    }

private:
    SharedHandlers m_handlers;
    std::vector<PanelHighlight> m_highlights;
    Rect m_separator;
    bool m_takesKeys;
    std::optional<QPoint> m_dragFrom;
};

SharedHandlers shared(PanelView::Handlers handlers) {
    return std::make_shared<ContentHandlers>(ContentHandlers{std::move(handlers)});
}

} // namespace

QtPanelWindow::QtPanelWindow(Handlers handlers, PanelWindowManager* manager, Scheduler* scheduler)
    : m_handlers(std::move(handlers)), m_scheduler(scheduler), m_focus(manager),
      m_window(std::make_unique<PanelWidget>()) {
    m_window->setObjectName(QStringLiteral("switcherPanel"));
    m_window->setWindowTitle(QStringLiteral("Quorvel"));
    m_window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                             Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    m_window->onClosed = [this] { closedByUser(); };
}

QtPanelWindow::~QtPanelWindow() {
    if (m_current) m_current->current = false;
    m_window->onClosed = nullptr;
    m_window->hide();
    // A row of this window may be reporting right now (the owner replaces the window from a key
    // press elsewhere, but Qt may still hold events for it): let Qt delete it when it is done.
    m_window.release()->deleteLater();
}

QWidget* QtPanelWindow::window() const { return m_window.get(); }

void QtPanelWindow::setContent(const PanelContent& content) {
    QWidget* old = m_window->findChild<QWidget*>(QStringLiteral("panelContent"), Qt::FindDirectChildrenOnly);
    if (old) {
        // The old content may be the one handling the key or click that led here.
        old->setObjectName(QString());
        old->hide();
        old->deleteLater();
    }
    // Reports of the old content's rows land nowhere once it is replaced.
    if (m_current) m_current->current = false;
    m_current = shared(m_handlers);
    const SharedHandlers handlers = m_current;

    m_window->setFixedSize(int(content.size.width), int(content.size.height));
    auto* view = new PanelContentWidget(content, handlers, m_window.get());

    addLabel(view, "panelTitle", content.title, 16, FontWeight::bold);
    const QColor secondary = colourFor(view->palette(), ColourRole::secondary);
    for (const PanelLabel& header : content.headers)
        tint(addLabel(view, "displayHeader", header, 11, FontWeight::semibold), secondary);

    SpaceRowWidget* renaming = nullptr;
    for (const PanelRow& row : content.rows) {
        const SpaceId id = row.space.id;
        SpaceRowWidget::Callbacks callbacks{
            .onSwitch = [handlers, id] {
                if (const auto* h = handlers->live(); h && h->onRowSwitch) h->onRowSwitch(id);
            },
            .onRename = [handlers, id](const std::optional<std::string>& name) {
                if (const auto* h = handlers->live(); h && h->onRowRename) h->onRowRename(id, name);
            },
            .onEditStateChanged = [handlers, id](bool editing) {
                if (const auto* h = handlers->live(); h && h->onRowEditStateChanged) h->onRowEditStateChanged(id, editing);
            },
            .onCycleTiling = [handlers, id](TilingOverride value) {
                if (const auto* h = handlers->live(); h && h->onRowCycleTiling) h->onRowCycleTiling(id, value);
            },
        };
        auto* widget = new SpaceRowWidget(row.fields, std::move(callbacks), m_scheduler, view);
        widget->setGeometry(toQtRect(row.frame));
        if (row.renaming) renaming = widget;
    }

    tint(addLabel(view, "panelHint", content.hint, 11, FontWeight::regular), secondary);
    const QColor accent = colourFor(view->palette(), ColourRole::accent);
    auto* edit = addButton(view, "editModeButton", content.editButton, content.editButton.accented ? accent : secondary);
    QObject::connect(edit, &QPushButton::clicked, view, [handlers] {
        if (const auto* h = handlers->live(); h && h->onEditToggle) h->onEditToggle();
    });
    auto* settings = addButton(view, "settingsButton", content.settingsButton, colourFor(view->palette(), ColourRole::label));
    QObject::connect(settings, &QPushButton::clicked, view, [handlers] {
        if (const auto* h = handlers->live(); h && h->onSettings) h->onSettings();
    });

    view->show();
    if (content.takesKeys) view->setFocus(Qt::OtherFocusReason);
    // Renaming starts once the new content is in place, so the field can take the focus.
    if (renaming) QTimer::singleShot(0, renaming, [renaming] { renaming->beginEditing(); });
}

void QtPanelWindow::present(InputTime time) {
    PanelWidget& window = *m_window;
    m_focus.show(window, time, [&window] {
        if (QScreen* screen = screenUnderPointer()) {
            const QRect area = screen->availableGeometry();
            window.move(area.center() - QPoint(window.width() / 2, window.height() / 2));
        }
    });
}

void QtPanelWindow::orderOut(bool returnFocus) { m_focus.hide(*m_window, returnFocus); }

void QtPanelWindow::closedByUser() {
    // Still on screen: the window goes once this returns.
    m_focus.release(*m_window);
}

bool QtPanelWindow::isVisible() const { return m_window->isVisible(); }

std::unique_ptr<PanelView> QtPanelWindowFactory::createPanel(PanelView::Handlers handlers) {
    return std::make_unique<QtPanelWindow>(std::move(handlers), m_manager, m_scheduler);
}

} // namespace quorvel::ui
