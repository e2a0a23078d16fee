// The welcome window's widgets, laid out top-down: heading, bullets, shortcut table, the
// window-manager row when there is one, the access mode, and Get Started.
#include "QtWelcomeWindow.h"

#include "Palette.h"

#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

#include <functional>

namespace quorvel::ui {

namespace {

QLabel* label(QWidget* parent, const char* name, double pixelSize, FontWeight weight = FontWeight::regular) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setFont(fontOf(parent->font(), pixelSize, weight));
    l->setTextFormat(Qt::PlainText);
    return l;
}

// From the window's palette, which a theme change reaches first.
void setSecondary(QLabel* l) {
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, colourFor(l->window()->palette(), ColourRole::secondary));
    l->setPalette(p);
}

// The window, telling when the theme switches between light and dark.
class WelcomeWidget final : public QWidget {
public:
    WelcomeWidget() : QWidget(nullptr, Qt::Window) {}
    std::function<void()> onPaletteChange;

protected:
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::PaletteChange && onPaletteChange) onPaletteChange();
        QWidget::changeEvent(event);
    }
};

} // namespace

QtWelcomeWindow::QtWelcomeWindow(Handlers handlers)
    : m_handlers(std::move(handlers)), m_window(std::make_unique<WelcomeWidget>()) {
    QWidget* w = m_window.get();
    w->setObjectName("welcomeWindow");
    w->setFixedSize(kWidth, kHeight);

    m_heading = label(w, "welcomeHeading", 20, FontWeight::bold);
    m_bullets = label(w, "welcomeBullets", 13);
    m_bullets->setWordWrap(true);
    m_shortcutsHeading = label(w, "welcomeShortcutsHeading", 13, FontWeight::medium);
    m_table = label(w, "welcomeShortcutTable", 12);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(12);
    m_table->setFont(mono);
    m_table->setWordWrap(true);

    m_permissionRow = new QWidget(w);
    m_permissionRow->setObjectName("welcomePermissionRow");
    m_permissionLabel = label(m_permissionRow, "welcomePermissionLabel", 12);
    m_permissionLabel->setWordWrap(true);
    setSecondary(m_permissionLabel);
    static_cast<WelcomeWidget*>(w)->onPaletteChange = [this] { setSecondary(m_permissionLabel); };
    m_permissionButton = new QPushButton(m_permissionRow);
    m_permissionButton->setObjectName("welcomePermissionButton");
    m_permissionButton->setAutoDefault(false);
    auto* permissionLayout = new QHBoxLayout(m_permissionRow);
    permissionLayout->setContentsMargins(0, 0, 0, 0);
    permissionLayout->addWidget(m_permissionLabel, 1);
    permissionLayout->addWidget(m_permissionButton, 0, Qt::AlignTop);
    QObject::connect(m_permissionButton, &QPushButton::clicked, w, [this] {
        if (m_handlers.onPermissionButton) m_handlers.onPermissionButton();
    });

    m_modeLabel = label(w, "welcomeModeLabel", 13);
    m_mode = new QComboBox(w);
    m_mode->setObjectName("welcomeMode");
    m_mode->setFixedWidth(200);
    // Only the user's choice: setting the items and the selection is not a choice.
    QObject::connect(m_mode, &QComboBox::activated, w, [this](int index) {
        if (m_handlers.onModeChosen) m_handlers.onModeChosen(index);
    });
    auto* modeLayout = new QHBoxLayout;
    modeLayout->addWidget(m_modeLabel);
    modeLayout->addWidget(m_mode);
    modeLayout->addStretch(1);

    m_done = new QPushButton(w);
    m_done->setObjectName("welcomeGetStarted");
    m_done->setFixedWidth(110);
    m_done->setDefault(true);
    const auto done = [this] {
        if (m_handlers.onDone) m_handlers.onDone();
    };
    QObject::connect(m_done, &QPushButton::clicked, w, done);
    // Return is the key of Get Started wherever the focus is (a plain window has no default button),
    // except on the window-manager button, which it presses.
    for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), w);
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, w, [this, done] {
            if (m_permissionButton->hasFocus()) m_permissionButton->click();
            else done();
        });
    }
    auto* buttonLayout = new QHBoxLayout;
    buttonLayout->addStretch(1);
    buttonLayout->addWidget(m_done);

    auto* layout = new QVBoxLayout(w);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->setSpacing(8);
    layout->addWidget(m_heading);
    layout->addWidget(m_bullets);
    layout->addSpacing(4);
    layout->addWidget(m_shortcutsHeading);
    layout->addWidget(m_table);
    layout->addWidget(m_permissionRow);
    layout->addStretch(1);
    layout->addLayout(modeLayout);
    layout->addSpacing(6);
    layout->addLayout(buttonLayout);
}

QtWelcomeWindow::~QtWelcomeWindow() = default;

void QtWelcomeWindow::setContent(const WelcomeContent& content) {
    m_window->setWindowTitle(QString::fromStdString(content.title));
    m_heading->setText(QString::fromStdString(content.heading));
    m_bullets->setText(QString::fromStdString(content.bullets));
    m_shortcutsHeading->setText(QString::fromStdString(content.shortcutsHeading));
    m_table->setText(QString::fromStdString(content.shortcutTable));
    m_permissionRow->setVisible(content.permission.has_value());
    if (content.permission) {
        m_permissionLabel->setText(QString::fromStdString(content.permission->label));
        m_permissionButton->setText(QString::fromStdString(content.permission->button));
    }
    m_modeLabel->setText(QString::fromStdString(content.modeLabel));
    m_mode->clear();
    for (const std::string& item : content.modeItems) m_mode->addItem(QString::fromStdString(item));
    m_mode->setCurrentIndex(content.selectedMode);
    m_done->setText(QString::fromStdString(content.doneButton));
}

void QtWelcomeWindow::present() {
    QWidget* w = m_window.get();
    if (!w->isVisible()) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            w->move(screen->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));
    }
    w->show();
    w->raise();
    w->activateWindow();
    m_done->setFocus();
}

void QtWelcomeWindow::close() { m_window->hide(); }

bool QtWelcomeWindow::isVisible() const { return m_window->isVisible(); }

std::unique_ptr<WelcomeView> QtWelcomeWindowFactory::createWelcomeWindow(WelcomeView::Handlers handlers) {
    return std::make_unique<QtWelcomeWindow>(std::move(handlers));
}

} // namespace quorvel::ui
