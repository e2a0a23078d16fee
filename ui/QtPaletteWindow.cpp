// The summon palette on Qt: the rounded window, the field with its key routing, the rows (the
// selection's highlight painted beneath the icon, name and "launch" labels) and the usable area of
// the monitor under the pointer.
#include "QtPaletteWindow.h"

#include "OverlayWindow.h"
#include "Palette.h"
#include "ScreenSpace.h"
#include "platform/Screens.h"

#include <QEvent>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QWidget>

#include <optional>
#include <utility>

namespace quorvel::ui {

// What the window's widgets report to. It outlives the window object: the owner may drop the
// palette from inside one of these calls (Escape, a click), and the widgets go later, with Qt.
struct PaletteHandlers {
    PaletteView::Handlers handlers;
    bool live = true;  // false once the window object is gone
    bool shown = false; // between present() and close(): only then is a lost focus reported
    // The server's time of the last key press in the field or click on a row: a launch that
    // follows carries it, so the window manager gives the new window the focus.
    InputTime lastInput = 0;

    const PaletteView::Handlers* get() const { return live ? &handlers : nullptr; }
};

namespace {

using SharedHandlers = std::shared_ptr<PaletteHandlers>;

constexpr qreal kCornerRadius = 12;
constexpr qreal kHighlightRadius = 6;
constexpr int kIconSize = 22;
constexpr float kHighlightAlpha = 0.22f;

// The entry's icon: a file when the name is an absolute path, else the icon theme's; the theme's
// generic program icon when there is neither; a drawn one when the theme has none of these.
QPixmap iconPixmap(const std::string& name, const QPalette& palette, qreal ratio) {
    const QString text = QString::fromStdString(name);
    QIcon icon;
    if (text.startsWith(QLatin1Char('/'))) {
        if (QFileInfo(text).isFile()) icon = QIcon(text);
    } else if (!text.isEmpty()) {
        icon = QIcon::fromTheme(text);
    }
    if (icon.isNull()) icon = QIcon::fromTheme(QStringLiteral("application-x-executable"));
    if (!icon.isNull()) {
        QPixmap pixmap = icon.pixmap(QSize(kIconSize, kIconSize), ratio);
        if (!pixmap.isNull()) return pixmap;
    }
    QPixmap drawn(QSize(kIconSize, kIconSize) * ratio);
    drawn.setDevicePixelRatio(ratio);
    drawn.fill(Qt::transparent);
    QPainter painter(&drawn);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink = colourFor(palette, ColourRole::tertiary);
    painter.setPen(QPen(ink, 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(2.5, 2.5, 17, 17), 4, 4);
    painter.fillRect(QRectF(6, 6, 10, 3), ink); // a title bar: "a program's window"
    return drawn;
}

// One match: the highlight when selected, the icon, the name and, when the application is not
// running, "launch" at the right. Hovering selects it; a press summons it.
class PaletteRowWidget final : public QWidget {
public:
    PaletteRowWidget(const PaletteRow& row, int index, SharedHandlers handlers, QWidget* parent)
        : QWidget(parent), m_index(index), m_handlers(std::move(handlers)) {
        setObjectName(QStringLiteral("paletteRow"));
        setMouseTracking(true);
        setAccessibleName(QString::fromStdString(row.name));
        m_icon = new QLabel(this);
        m_icon->setObjectName(QStringLiteral("paletteRowIcon"));
        m_icon->setPixmap(iconPixmap(row.icon, palette(), devicePixelRatioF()));
        m_icon->setAlignment(Qt::AlignCenter);
        m_name = new QLabel(this);
        m_name->setObjectName(QStringLiteral("paletteRowName"));
        m_name->setTextFormat(Qt::PlainText);
        m_name->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        m_fullName = QString::fromStdString(row.name);
        if (row.showsLaunch) {
            m_launch = new QLabel(QStringLiteral("launch"), this);
            m_launch->setObjectName(QStringLiteral("paletteRowLaunch"));
            m_launch->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_launch->setFont(fontOf(font(), 10, FontWeight::medium));
            QPalette tinted = m_launch->palette();
            tinted.setColor(QPalette::WindowText, colourFor(palette(), ColourRole::tertiary));
            m_launch->setPalette(tinted);
        }
        for (QLabel* label : {m_icon, m_name, m_launch})
            if (label) label->setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(toQtRect(row.frame));
        setSelected(row.selected);
    }

    void setSelected(bool selected) {
        m_selected = selected;
        m_name->setFont(fontOf(font(), 13, selected ? FontWeight::semibold : FontWeight::regular));
        QPalette tinted = m_name->palette();
        tinted.setColor(QPalette::WindowText, colourFor(palette(), selected ? ColourRole::accent : ColourRole::label));
        m_name->setPalette(tinted);
        elide();
        update();
    }

protected:
    void resizeEvent(QResizeEvent*) override {
        const int w = width();
        m_icon->setGeometry(16, 6, kIconSize, kIconSize);
        m_name->setGeometry(48, 8, std::max(w - 120, 0), 18);
        if (m_launch) m_launch->setGeometry(w - 76, 9, 60, 16);
        elide();
    }

    void paintEvent(QPaintEvent*) override {
        if (!m_selected) return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor accent = colourFor(palette(), ColourRole::accent);
        accent.setAlphaF(kHighlightAlpha);
        painter.setPen(Qt::NoPen);
        painter.setBrush(accent);
        painter.drawRoundedRect(QRectF(6, 2, width() - 12, 30), kHighlightRadius, kHighlightRadius);
    }

    // A hover is the pointer moving into the row. Qt also says "entered" when a row appears under
    // a pointer at rest (the rows are rebuilt as the user types): that must not move the selection
    // away from the first match, so the report waits for the pointer's first move inside.
    void enterEvent(QEnterEvent* event) override {
        QWidget::enterEvent(event);
        m_entered = true;
    }
    void leaveEvent(QEvent* event) override {
        QWidget::leaveEvent(event);
        m_entered = false;
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        QWidget::mouseMoveEvent(event);
        if (!m_entered) return;
        m_entered = false;
        if (const auto* h = m_handlers->get(); h && h->onRowHovered) h->onRowHovered(m_index);
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
        event->accept();
        m_handlers->lastInput = static_cast<InputTime>(event->timestamp());
        if (const auto* h = m_handlers->get(); h && h->onRowClicked) h->onRowClicked(m_index);
    }

private:
    void elide() {
        // Truncated at the tail; the whole name stays readable as the tool tip.
        const QString shown = QFontMetrics(m_name->font()).elidedText(m_fullName, Qt::ElideRight, m_name->width());
        m_name->setText(shown);
        m_name->setToolTip(shown != m_fullName ? m_fullName : QString());
    }

    int m_index;
    SharedHandlers m_handlers;
    QString m_fullName;
    bool m_selected = false;
    bool m_entered = false; // the pointer came in and has not moved inside yet
    QLabel* m_icon = nullptr;
    QLabel* m_name = nullptr;
    QLabel* m_launch = nullptr;
};

// The list's content: the rows at their frames, as wide as the scroll area's viewport (a scroll bar,
// when one is needed, takes its width from the rows' right margin, not from "launch").
class PaletteRowsWidget final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void resizeEvent(QResizeEvent*) override {
        for (QWidget* row : findChildren<QWidget*>(QStringLiteral("paletteRow"), Qt::FindDirectChildrenOnly))
            row->setGeometry(row->x(), row->y(), width(), row->height());
    }
};

// The field's navigation keys go to the palette first; the rest edit the text.
class FieldKeys final : public QObject {
public:
    FieldKeys(SharedHandlers handlers, QObject* parent) : QObject(parent), m_handlers(std::move(handlers)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
        m_handlers->lastInput = static_cast<InputTime>(static_cast<QKeyEvent*>(event)->timestamp());
        const PaletteKey key = paletteKey(static_cast<QKeyEvent*>(event)->key());
        if (key == PaletteKey::other) return false;
        const auto* h = m_handlers->get();
        return h && h->onKey && h->onKey(key);
    }

private:
    SharedHandlers m_handlers;
};

} // namespace

// The top-level window: its rounded background, and the lost focus reported.
class PaletteWidget final : public QWidget {
public:
    explicit PaletteWidget(SharedHandlers handlers) : m_handlers(std::move(handlers)) {}

    void setCompositing(bool compositing) {
        if (compositing == m_compositing) return;
        m_compositing = compositing;
        reshape();
        update();
    }

    QLineEdit* field = nullptr;
    QScrollArea* list = nullptr;
    std::vector<PaletteRowWidget*> rows; // the current content's, in order
    int selected = -1;
    std::optional<int> pendingScroll; // a row to bring into view once the list is laid out

    // Brings `row` into view now if the list has its size, else as soon as it is shown.
    void scrollTo(int row) {
        pendingScroll = row;
        if (isVisible()) scrollNow();
    }

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::WindowDeactivate && m_handlers->shown) {
            // Report once; the owner closes the palette in answer.
            m_handlers->shown = false;
            if (const auto* h = m_handlers->get(); h && h->onFocusLost) h->onFocusLost();
        }
        return QWidget::event(event);
    }

    void resizeEvent(QResizeEvent*) override { reshape(); }
    void showEvent(QShowEvent* event) override {
        QWidget::showEvent(event);
        scrollNow();
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QColor background = palette().color(QPalette::Active, QPalette::Window);
        if (!m_compositing) {
            // Cut to shape by the mask: opaque to its edge, so no half-covered pixels show black.
            painter.fillRect(rect(), background);
            return;
        }
        painter.setRenderHint(QPainter::Antialiasing);
        QColor edge = palette().color(QPalette::Mid);
        edge.setAlphaF(0.5f);
        painter.setPen(QPen(edge, 1));
        painter.setBrush(background);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius, kCornerRadius);
    }

private:
    void reshape() { shapeRounded(*this, m_compositing, kCornerRadius); }
    void scrollNow() {
        if (!pendingScroll) return;
        const int row = *std::exchange(pendingScroll, std::nullopt);
        if (row < 0 || row >= int(rows.size()) || !list->widget()) return;
        list->ensureWidgetVisible(rows[std::size_t(row)], 0, 0);
    }

    SharedHandlers m_handlers;
    bool m_compositing = true;
};

void useInstalledIconThemeAsFallback() {
    const QString fallback = QIcon::fallbackThemeName();
    if (!fallback.isEmpty() && fallback != QLatin1String("hicolor")) return;
    for (const char* theme : {"Adwaita", "breeze", "gnome", "elementary", "Papirus", "Tango"}) {
        for (const QString& folder : QIcon::themeSearchPaths()) {
            if (QFileInfo(folder + QLatin1Char('/') + QLatin1String(theme) + QLatin1String("/index.theme")).isFile()) {
                QIcon::setFallbackThemeName(QLatin1String(theme));
                return;
            }
        }
    }
}

PaletteKey paletteKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Up: return PaletteKey::up;
    case Qt::Key_Down: return PaletteKey::down;
    case Qt::Key_Return: return PaletteKey::returnKey;
    case Qt::Key_Enter: return PaletteKey::keypadEnter;
    case Qt::Key_Escape: return PaletteKey::escape;
    default: return PaletteKey::other;
    }
}

QtPaletteWindow::QtPaletteWindow(Handlers handlers, PanelWindowManager* manager, bool compositing)
    : m_handlers(std::make_shared<PaletteHandlers>(PaletteHandlers{std::move(handlers)})), m_focus(manager),
      m_window(std::make_unique<PaletteWidget>(m_handlers)) {
    PaletteWidget& window = *m_window;
    window.setObjectName(QStringLiteral("summonPalette"));
    window.setWindowTitle(QStringLiteral("Summon"));
    window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    // Chosen before the native window exists (it picks the visual); painted opaque and masked when
    // nothing blends it.
    window.setAttribute(Qt::WA_TranslucentBackground);
    window.setCompositing(compositing);

    window.field = new QLineEdit(&window);
    QLineEdit& field = *window.field;
    field.setObjectName(QStringLiteral("paletteField"));
    field.setFrame(false);
    field.setFont(fontOf(window.font(), 16, FontWeight::regular));
    QPalette clear = field.palette();
    clear.setColor(QPalette::Base, Qt::transparent);
    field.setPalette(clear);
    field.installEventFilter(new FieldKeys(m_handlers, &field));
    QObject::connect(&field, &QLineEdit::textChanged, &field, [handlers = m_handlers](const QString& text) {
        if (const auto* h = handlers->get(); h && h->onTextChanged) h->onTextChanged(text.toStdString());
    });

    window.list = new QScrollArea(&window);
    QScrollArea& list = *window.list;
    list.setObjectName(QStringLiteral("paletteList"));
    list.setFrameShape(QFrame::NoFrame);
    list.setFocusPolicy(Qt::NoFocus);
    list.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list.setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list.verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
    list.setWidgetResizable(true);
    list.viewport()->setAutoFillBackground(false);
}

QtPaletteWindow::~QtPaletteWindow() {
    m_handlers->live = false;
    m_handlers->shown = false;
    m_window->hide();
    // The owner may drop the palette from inside one of its widgets' reports: Qt deletes the
    // window once that call has returned.
    m_window.release()->deleteLater();
}

QWidget* QtPaletteWindow::window() const { return m_window.get(); }

void QtPaletteWindow::setCompositing(bool compositing) { m_window->setCompositing(compositing); }

void QtPaletteWindow::setContent(const PaletteContent& content) {
    PaletteWidget& window = *m_window;
    window.setGeometry(toQtRect(content.frame));
    window.field->setPlaceholderText(QString::fromStdString(content.placeholder));
    window.field->setGeometry(toQtRect(content.fieldFrame));

    QScrollArea& list = *window.list;
    list.setGeometry(toQtRect(content.listFrame));
    list.setVisible(content.listFrame.height > 0);
    // The old rows may be the ones reporting the click or hover that led here.
    if (QWidget* old = list.takeWidget()) {
        old->hide();
        old->deleteLater();
    }
    auto* rows = new PaletteRowsWidget;
    rows->setObjectName(QStringLiteral("paletteRows"));
    rows->setMinimumHeight(static_cast<int>(content.listHeight));
    window.rows.clear();
    window.selected = -1;
    for (std::size_t i = 0; i < content.rows.size(); ++i) {
        window.rows.push_back(new PaletteRowWidget(content.rows[i], static_cast<int>(i), m_handlers, rows));
        if (content.rows[i].selected && window.selected < 0) window.selected = static_cast<int>(i);
    }
    list.setWidget(rows);
    rows->setAutoFillBackground(false); // setWidget turned it on: the window's background shows
    list.verticalScrollBar()->setValue(0);
    if (content.scrollTo) window.scrollTo(*content.scrollTo);
}

void QtPaletteWindow::setSelection(int row) {
    PaletteWidget& window = *m_window;
    const int count = static_cast<int>(window.rows.size());
    if (row < 0 || row >= count) return;
    if (row != window.selected) {
        if (window.selected >= 0 && window.selected < count) window.rows[std::size_t(window.selected)]->setSelected(false);
        window.rows[std::size_t(row)]->setSelected(true);
        window.selected = row;
    }
    window.scrollTo(row);
}

void QtPaletteWindow::present(InputTime time) {
    QLineEdit& field = *m_window->field;
    {
        const QSignalBlocker quiet(field); // an empty field is where every palette starts
        field.clear();
    }
    m_focus.show(*m_window, time, [] {}); // setContent has placed it
    field.setFocus(Qt::ActiveWindowFocusReason);
    m_handlers->shown = true;
}

void QtPaletteWindow::close(bool returnFocus) {
    m_handlers->shown = false;
    m_focus.hide(*m_window, returnFocus);
}

InputTime QtPaletteWindow::lastInputTime() const { return m_handlers->lastInput; }

bool QtPaletteWindow::isVisible() const { return m_window->isVisible(); }

std::unique_ptr<PaletteView> QtPaletteWindowFactory::createPalette(PaletteView::Handlers handlers) {
    auto palette = std::make_unique<QtPaletteWindow>(std::move(handlers), m_manager, m_compositing);
    std::erase_if(m_windows, [](const QPointer<QWidget>& w) { return w.isNull(); });
    m_windows.emplace_back(palette->window());
    return palette;
}

void QtPaletteWindowFactory::setCompositing(bool compositing) {
    m_compositing = compositing;
    for (const QPointer<QWidget>& window : m_windows)
        if (window) static_cast<PaletteWidget*>(window.data())->setCompositing(compositing);
}

std::optional<Rect> QtPaletteWindowFactory::paletteArea() {
    if (m_screens) {
        // The window manager's usable areas, in its pixels: the monitor under the pointer, else the
        // primary (the first).
        const std::vector<ScreenInfo> screens = m_screens->screens();
        if (screens.empty()) return std::nullopt;
        const Point pointer = m_screens->pointerLocation();
        const ScreenInfo* chosen = &screens.front();
        for (const ScreenInfo& screen : screens) {
            const Rect& f = screen.frame;
            if (pointer.x >= f.minX() && pointer.x < f.maxX() && pointer.y >= f.minY() && pointer.y < f.maxY()) {
                chosen = &screen;
                break;
            }
        }
        const QRect area = toDeviceIndependent(chosen->visibleFrame);
        return Rect{double(area.x()), double(area.y()), double(area.width()), double(area.height())};
    }
    const QScreen* screen = screenUnderPointer();
    if (!screen) return std::nullopt;
    const QRect area = screen->availableGeometry();
    return Rect{double(area.x()), double(area.y()), double(area.width()), double(area.height())};
}

} // namespace quorvel::ui
