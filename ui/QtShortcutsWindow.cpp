// The shortcuts window's widgets: a header, a grid of titles and recorder fields, the status line
// and the two buttons. Every text and state comes from the controller; this only lays out, paints
// and routes input.
#include "QtShortcutsWindow.h"

#include "FloatingWindow.h"
#include "Palette.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <vector>

namespace quorvel::ui {

namespace {

// Fixed so a row's place is known: the first field's top is 50 below the window's top (margin
// 20, header 18, gap 12), one row every 30, fields at the right margin.
constexpr int kWindowWidth = 480;
constexpr int kMargin = 20;
constexpr int kHeaderHeight = 18;
constexpr int kFieldWidth = 170;
constexpr int kFieldHeight = 24;
constexpr int kRowSpacing = 6;

bool isModifierKey(int key) {
    switch (key) {
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Shift:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock: return true;
    default: return false;
    }
}

// Red and orange have no palette role: one shade for light windows, a brighter one for dark.
QColor statusColour(const QPalette& palette, ShortcutsStatus::Tone tone) {
    const bool dark = palette.color(QPalette::Window).lightnessF() < 0.5;
    switch (tone) {
    case ShortcutsStatus::Tone::red: return dark ? QColor(0xff, 0x6b, 0x6b) : QColor(0xc6, 0x28, 0x28);
    case ShortcutsStatus::Tone::orange: return dark ? QColor(0xff, 0xa9, 0x4d) : QColor(0xb3, 0x5c, 0x00);
    case ShortcutsStatus::Tone::secondary: break;
    }
    return colourFor(palette, ColourRole::secondary);
}

const char* toneName(ShortcutsStatus::Tone tone) {
    switch (tone) {
    case ShortcutsStatus::Tone::red: return "red";
    case ShortcutsStatus::Tone::orange: return "orange";
    case ShortcutsStatus::Tone::secondary: break;
    }
    return "secondary";
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

} // namespace

KeyModifiers recordedModifiers(Qt::KeyboardModifiers modifiers) {
    KeyModifiers out;
    if (modifiers & Qt::ControlModifier) out.insert(KeyModifiers::control);
    if (modifiers & Qt::AltModifier) out.insert(KeyModifiers::option);
    if (modifiers & Qt::ShiftModifier) out.insert(KeyModifiers::shift);
    if (modifiers & Qt::MetaModifier) out.insert(KeyModifiers::command);
    return out;
}

// One recorder field: the shortcut's text in a rounded box; while recording the prompt in the
// secondary colour over an accent tint. A click starts or stops recording.
class RecorderField final : public QLabel {
public:
    RecorderField(HotkeyAction action, const ShortcutsView::Handlers& handlers, QWidget* parent)
        : QLabel(parent), m_action(action), m_handlers(handlers) {
        setObjectName("shortcutField");
        setProperty("action", QString::fromUtf8(rawValue(action).data(), qsizetype(rawValue(action).size())));
        setFixedSize(kFieldWidth, kFieldHeight);
        setAlignment(Qt::AlignCenter);
        setFont(fontOf(font(), 13, FontWeight::regular));
        setFocusPolicy(Qt::NoFocus);
    }

    void setRow(const ShortcutsRow& row) {
        m_recording = row.recording;
        setText(QString::fromStdString(row.fieldText));
        setAccessibleName(text());
        applyColour();
    }
    // From the window's palette: this field's own carries the colour it was last given.
    void applyColour() {
        setTextColour(this, colourFor(window()->palette(), m_recording ? ColourRole::secondary : ColourRole::label));
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        {
            QPainter painter(this);
            painter.setRenderHint(QPainter::Antialiasing);
            const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
            QColor fill = palette().color(QPalette::Base);
            QColor border = palette().color(QPalette::Mid);
            if (m_recording) {
                const QColor accent = colourFor(palette(), ColourRole::accent);
                border = accent;
                QColor tint = accent;
                tint.setAlphaF(0.15f);
                painter.setBrush(fill);
                painter.setPen(Qt::NoPen);
                painter.drawRoundedRect(box, 5, 5);
                fill = tint;
            }
            painter.setBrush(fill);
            painter.setPen(QPen(border, m_recording ? 2 : 1));
            painter.drawRoundedRect(box, 5, 5);
        }
        QLabel::paintEvent(event);
    }
    void mousePressEvent(QMouseEvent* event) override {
        event->accept();
        if (m_handlers.onFieldClick) m_handlers.onFieldClick(m_action);
    }

private:
    HotkeyAction m_action;
    const ShortcutsView::Handlers& m_handlers;
    bool m_recording = false;
};

class ShortcutsWidget final : public QWidget {
public:
    ShortcutsWidget(ShortcutsView::Handlers handlers, KeyCodeForKey keyCodes)
        : m_handlers(std::move(handlers)), m_keyCodes(std::move(keyCodes)) {
        setObjectName("shortcutsWindow");
        setWindowFlags(Qt::Window);
        setFixedWidth(kWindowWidth);

        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
        layout->setSpacing(12);

        m_header = new QLabel(this);
        m_header->setObjectName("shortcutsHeader");
        m_header->setFont(fontOf(font(), 13, FontWeight::regular));
        m_header->setFixedHeight(kHeaderHeight);
        setTextColour(m_header, colourFor(palette(), ColourRole::secondary));
        layout->addWidget(m_header);

        m_grid = new QGridLayout;
        m_grid->setHorizontalSpacing(12);
        m_grid->setVerticalSpacing(kRowSpacing);
        m_grid->setColumnStretch(0, 1);
        layout->addLayout(m_grid);

        m_status = new QLabel(this);
        m_status->setObjectName("shortcutsStatus");
        m_status->setFont(fontOf(font(), 12, FontWeight::regular));
        m_status->setWordWrap(true);
        layout->addWidget(m_status);

        auto* buttons = new QHBoxLayout;
        auto* restore = new QPushButton("Restore Defaults", this);
        restore->setObjectName("restoreDefaultsButton");
        auto* done = new QPushButton("Done", this);
        done->setObjectName("doneButton");
        done->setDefault(true);
        buttons->addWidget(restore);
        buttons->addStretch(1);
        buttons->addWidget(done);
        layout->addLayout(buttons);
        QObject::connect(restore, &QPushButton::clicked, this, [this] {
            if (m_handlers.onRestoreDefaults) m_handlers.onRestoreDefaults();
        });
        QObject::connect(done, &QPushButton::clicked, this, [this] { finish(); });
    }

    void setContent(const ShortcutsContent& content) {
        setWindowTitle(QString::fromStdString(content.title));
        m_header->setText(QString::fromStdString(content.header));
        if (m_fields.size() != content.rows.size()) rebuildRows(content.rows);
        for (std::size_t i = 0; i < content.rows.size(); ++i) {
            m_titles[i]->setText(QString::fromStdString(content.rows[i].title));
            m_fields[i]->setRow(content.rows[i]);
        }
        // An empty text keeps the tone it had: the label only empties.
        m_status->setText(QString::fromStdString(content.status.text));
        if (!content.status.text.empty()) {
            m_tone = content.status.tone;
            m_status->setProperty("tone", toneName(m_tone));
            setTextColour(m_status, statusColour(palette(), m_tone));
        }
    }

    void setGrabbed(bool grabbed) {
        if (grabbed == m_grabbed) return;
        m_grabbed = grabbed;
        if (grabbed) grabKeyboard();
        else if (QWidget::keyboardGrabber() == this) releaseKeyboard();
    }

protected:
    bool event(QEvent* event) override {
        const QEvent::Type type = event->type();
        if (m_grabbed && (type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::ShortcutOverride)) {
            auto* key = static_cast<QKeyEvent*>(event);
            // No shortcut of ours may take a key being recorded; super's combinations go on as usual.
            if (type == QEvent::ShortcutOverride) {
                if (key->modifiers() & Qt::MetaModifier) return QWidget::event(event);
                key->accept();
                return true;
            }
            if (record(*key)) {
                key->accept();
                return true;
            }
        }
        return QWidget::event(event);
    }
    void keyPressEvent(QKeyEvent* event) override {
        const int key = event->key();
        if (!m_grabbed && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
                finish();
                return;
            }
        }
        QWidget::keyPressEvent(event);
    }
    // A click anywhere but a field (fields and buttons take their own clicks).
    void mousePressEvent(QMouseEvent* event) override {
        focusLost();
        QWidget::mousePressEvent(event);
    }
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::ActivationChange && !isActiveWindow()) focusLost();
        // A theme switched between light and dark: the colours set on the labels follow.
        if (event->type() == QEvent::PaletteChange && m_header) {
            setTextColour(m_header, colourFor(palette(), ColourRole::secondary));
            setTextColour(m_status, statusColour(palette(), m_tone));
            for (RecorderField* field : m_fields) field->applyColour();
        }
        QWidget::changeEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        focusLost();
        QWidget::closeEvent(event);
    }

private:
    bool record(const QKeyEvent& event) {
        if (!m_handlers.onKey) return false;
        RecordedKey recorded;
        recorded.modifiers = recordedModifiers(event.modifiers());
        if (isModifierKey(event.key())) {
            recorded.kind = RecordedKey::Kind::modifiersChanged;
        } else {
            if (event.type() != QEvent::KeyPress) return false;
            recorded.kind = RecordedKey::Kind::keyDown;
            if (m_keyCodes && (event.nativeVirtualKey() != 0 || event.nativeScanCode() != 0))
                recorded.keyCode = m_keyCodes(event.nativeVirtualKey(), event.nativeScanCode());
        }
        return m_handlers.onKey(recorded);
    }
    void focusLost() {
        if (m_handlers.onFocusLost) m_handlers.onFocusLost();
    }
    void finish() {
        if (m_handlers.onDone) m_handlers.onDone();
    }
    void rebuildRows(const std::vector<ShortcutsRow>& rows) {
        for (QWidget* widget : m_titles) delete widget;
        for (QWidget* widget : m_fields) delete widget;
        m_titles.clear();
        m_fields.clear();
        for (const ShortcutsRow& row : rows) {
            auto* title = new QLabel(this);
            title->setObjectName("shortcutTitle");
            title->setFont(fontOf(font(), 13, FontWeight::regular));
            title->setFixedHeight(kFieldHeight);
            auto* field = new RecorderField(row.action, m_handlers, this);
            const int line = int(m_titles.size());
            m_grid->addWidget(title, line, 0, Qt::AlignVCenter);
            m_grid->addWidget(field, line, 1, Qt::AlignVCenter);
            m_titles.push_back(title);
            m_fields.push_back(field);
        }
    }

    ShortcutsView::Handlers m_handlers;
    KeyCodeForKey m_keyCodes;
    QLabel* m_header = nullptr;
    QGridLayout* m_grid = nullptr;
    QLabel* m_status = nullptr;
    std::vector<QLabel*> m_titles;
    std::vector<RecorderField*> m_fields;
    bool m_grabbed = false;
    ShortcutsStatus::Tone m_tone = ShortcutsStatus::Tone::secondary;
};

QtShortcutsWindow::QtShortcutsWindow(Handlers handlers, KeyCodeForKey keyCodes)
    : m_window(std::make_unique<ShortcutsWidget>(std::move(handlers), std::move(keyCodes))) {}

QtShortcutsWindow::~QtShortcutsWindow() { m_window->setGrabbed(false); }

void QtShortcutsWindow::setContent(const ShortcutsContent& content) { m_window->setContent(content); }

void QtShortcutsWindow::present() {
    ShortcutsWidget& window = *m_window;
    if (!m_placed) {
        window.adjustSize();
        if (QScreen* screen = screenUnderPointer()) {
            const QRect area = screen->availableGeometry();
            window.move(area.center() - QPoint(window.width() / 2, window.height() / 2));
        }
        m_placed = true;
    }
    window.show();
    window.raise();
    window.activateWindow();
}

void QtShortcutsWindow::close() {
    m_window->setGrabbed(false);
    m_window->hide();
}

bool QtShortcutsWindow::isVisible() const { return m_window->isVisible(); }

void QtShortcutsWindow::beep() { QApplication::beep(); }

void QtShortcutsWindow::setKeyboardGrab(bool grabbed) { m_window->setGrabbed(grabbed); }

QWidget* QtShortcutsWindow::window() const { return m_window.get(); }

std::unique_ptr<ShortcutsView> QtShortcutsWindowFactory::createShortcutsWindow(ShortcutsView::Handlers handlers) {
    return std::make_unique<QtShortcutsWindow>(std::move(handlers), m_keyCodes);
}

} // namespace quorvel::ui
