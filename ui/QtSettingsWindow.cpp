// The settings window's widgets and geometry (QtSettingsWindow.h); the drawings are SettingsArt's.
#include "QtSettingsWindow.h"

#include "Palette.h"
#include "SettingsArt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QWidget>

#include <map>
#include <vector>

namespace quorvel::ui {

namespace {

// Geometry in device-independent pixels, top-down.
constexpr int kWidth = 560, kHeight = 548;
constexpr int kLabelX = 20, kLabelWidth = 120;
constexpr int kControlX = 145, kControlWidth = 190;
constexpr int kDiagramX = 352, kDiagramWidth = 165;
constexpr int kTabTop = 44, kTabWidth = 540, kTabHeight = 462;
constexpr int kRowTop = 16, kRowGap = 14;

QString qs(const std::string& text) { return QString::fromStdString(text); }

void useSecondaryColour(QLabel* label) {
    QPalette palette = label->palette();
    // The window's palette: a theme change reaches it before the tab pages.
    palette.setColor(QPalette::WindowText, colourFor(label->window()->palette(), ColourRole::secondary));
    label->setPalette(palette);
}

// The product's mark: four tiles in a rounded square, in the accent colour.
class Logo final : public QWidget {
public:
    explicit Logo(QWidget* parent) : QWidget(parent) { setFixedSize(22, 22); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor accent = colourFor(palette(), ColourRole::accent);
        QPainterPath frame;
        frame.addRoundedRect(QRectF(0.5, 0.5, 21, 21), 5, 5);
        p.fillPath(frame, accent);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 230));
        p.drawRoundedRect(QRectF(4, 4, 6.5, 14), 1.5, 1.5);
        p.drawRoundedRect(QRectF(11.5, 4, 6.5, 6.5), 1.5, 1.5);
        p.drawRoundedRect(QRectF(11.5, 11.5, 6.5, 6.5), 1.5, 1.5);
    }
};

struct RowWidgets {
    QComboBox* popUp = nullptr;
    std::vector<QCheckBox*> boxes;
    DiagramWidget* diagram = nullptr;
};

} // namespace

QString tabText(SettingsTabId id) {
    switch (id) {
    case SettingsTabId::general: return "&General";
    case SettingsTabId::desktops: return "&Desktops";
    case SettingsTabId::tiling: return "&Tiling";
    case SettingsTabId::shortcuts: return "&Shortcuts";
    case SettingsTabId::strip: return "St&rip";
    }
    return {};
}

QString controlName(SettingsControlId id) {
    switch (id) {
    case SettingsControlId::accessMode: return "accessMode";
    case SettingsControlId::launchAtLogin: return "launchAtLogin";
    case SettingsControlId::naming: return "naming";
    case SettingsControlId::numbering: return "numbering";
    case SettingsControlId::desktopList: return "desktopList";
    case SettingsControlId::clearNames: return "clearNames";
    case SettingsControlId::tiling: return "tiling";
    case SettingsControlId::gap: return "gap";
    case SettingsControlId::animation: return "animation";
    case SettingsControlId::onClose: return "onClose";
    case SettingsControlId::stripMode: return "stripMode";
    case SettingsControlId::stripPosition: return "stripPosition";
    case SettingsControlId::stripEachDesktop: return "stripEachDesktop";
    case SettingsControlId::crashReports: return "crashReports";
    }
    return {};
}

class SettingsWindowWidget final : public QWidget {
public:
    explicit SettingsWindowWidget(SettingsView::Handlers handlers) : m_handlers(std::move(handlers)) {
        setObjectName("settingsWindow");
        setWindowFlag(Qt::Window);
        setFixedSize(kWidth, kHeight);

        auto* logo = new Logo(this);
        logo->move(196, 10);
        auto* name = new QLabel("Quorvel", this);
        name->setFont(fontOf(font(), 15, FontWeight::semibold));
        name->setGeometry(226, 8, 200, 26);

        m_tabs = new QTabWidget(this);
        m_tabs->setObjectName("tabs");
        m_tabs->setGeometry(10, kTabTop, kTabWidth, kTabHeight);

        auto* quit = new QPushButton("Quit Quorvel", this);
        quit->setObjectName("quit");
        quit->setGeometry(410, kHeight - 8 - 28, 130, 28);
        connect(quit, &QPushButton::clicked, this, [this] {
            if (m_handlers.onQuit) m_handlers.onQuit();
        });
    }

    void build(const SettingsContent& content) {
        setWindowTitle(qs(content.title));
        for (const SettingsTab& tab : content.tabs) {
            auto* page = new QWidget;
            page->setObjectName(QString("tab.%1").arg(static_cast<int>(tab.id)));
            m_tabs->addTab(page, tabText(tab.id));
            int y = kRowTop;
            for (const SettingsRow& row : tab.rows) y = addRow(page, row, y) + kRowGap;
            if (tab.id == SettingsTabId::shortcuts) addShortcuts(page, tab, y);
        }
        applyPalette();
    }

    void update(const SettingsRow& row) {
        const auto it = m_rows.find(row.id);
        if (it == m_rows.end()) return;
        RowWidgets& widgets = it->second;
        if (widgets.popUp) widgets.popUp->setCurrentIndex(row.control.selected);
        for (std::size_t i = 0; i < widgets.boxes.size() && i < row.control.checked.size(); ++i)
            widgets.boxes[i]->setChecked(row.control.checked[i]);
        if (widgets.diagram && row.diagram) widgets.diagram->setKind(*row.diagram);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
            close();
            return;
        }
        QWidget::keyPressEvent(event);
    }
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::PaletteChange) applyPalette();
        QWidget::changeEvent(event);
    }

private:
    // Lays out one row from `top`; returns its bottom.
    int addRow(QWidget* page, const SettingsRow& row, int top) {
        RowWidgets widgets;
        int bottom = top;
        const QString name = controlName(row.id);

        if (!row.label.empty()) {
            auto* label = new QLabel(qs(row.label), page);
            label->setFont(fontOf(font(), 13, FontWeight::medium));
            label->setGeometry(kLabelX, top + 3, kLabelWidth, 20);
        }

        int controlBottom = top;
        switch (row.control.kind) {
        case SettingsControl::Kind::popUp: {
            auto* popUp = new QComboBox(page);
            popUp->setObjectName(name);
            for (const std::string& item : row.control.items) popUp->addItem(qs(item));
            popUp->setCurrentIndex(row.control.selected);
            popUp->setGeometry(kControlX, top, kControlWidth, 26);
            connect(popUp, &QComboBox::activated, this, [this, id = row.id](int item) {
                if (m_handlers.onChoose) m_handlers.onChoose(id, item);
            });
            widgets.popUp = popUp;
            controlBottom = top + 26;
            break;
        }
        case SettingsControl::Kind::checkBoxes:
            for (std::size_t i = 0; i < row.control.items.size(); ++i) {
                auto* box = new QCheckBox(qs(row.control.items[i]), page);
                box->setObjectName(QString("%1.%2").arg(name).arg(i));
                box->setChecked(i < row.control.checked.size() && row.control.checked[i]);
                // A long text may run on under the picture's column, as far as the tab's edge.
                box->setGeometry(kControlX, controlBottom + (i == 0 ? 2 : 0), kDiagramX - kControlX - 4, 22);
                if (box->sizeHint().width() > box->width()) box->resize(kTabWidth - 6 - kControlX - 8, 22);
                connect(box, &QCheckBox::clicked, this, [this, id = row.id, i](bool checked) {
                    if (m_handlers.onCheck) m_handlers.onCheck(id, static_cast<int>(i), checked);
                });
                widgets.boxes.push_back(box);
                controlBottom = box->geometry().bottom() + 1;
            }
            break;
        case SettingsControl::Kind::button: {
            auto* button = new QPushButton(qs(row.control.items.at(0)), page);
            button->setObjectName(name);
            button->setGeometry(kControlX, top, kControlWidth, 28);
            connect(button, &QPushButton::clicked, this, [this, id = row.id] {
                if (m_handlers.onPress) m_handlers.onPress(id);
            });
            controlBottom = top + 28;
            break;
        }
        }
        bottom = controlBottom;

        if (!row.explanation.empty()) {
            auto* explanation = new QLabel(qs(row.explanation), page);
            explanation->setObjectName("explanation." + name);
            explanation->setWordWrap(true);
            explanation->setFont(fontOf(font(), 11, FontWeight::regular));
            // Beside a picture the text keeps to the control's column; without one it may run on.
            const int width = row.diagram ? kControlWidth : kTabWidth - 6 - kControlX - kLabelX;
            const int height = explanation->heightForWidth(width);
            explanation->setGeometry(kControlX, controlBottom + 4, width, height);
            m_secondary.push_back(explanation);
            bottom = controlBottom + 4 + height;
        }

        if (row.diagram) {
            auto* diagram = new DiagramWidget(*row.diagram, page);
            diagram->setObjectName("diagram." + name);
            const int height = diagram->sizeHint().height();
            diagram->setGeometry(kDiagramX, top, kDiagramWidth, height);
            widgets.diagram = diagram;
            bottom = std::max(bottom, top + height);
        }
        m_rows[row.id] = widgets;
        return bottom;
    }

    void addShortcuts(QWidget* page, const SettingsTab& tab, int top) {
        // The pictures share the tab's width.
        const int count = static_cast<int>(tab.diagrams.size());
        const int pictureWidth = count ? (kTabWidth - 6 - 2 * kLabelX - (count - 1) * 8) / count : 0;
        int y = top;
        for (int i = 0; i < count; ++i) {
            auto* diagram = new DiagramWidget(tab.diagrams[static_cast<std::size_t>(i)], page);
            diagram->setObjectName(QString("diagram.shortcuts.%1").arg(i));
            diagram->setGeometry(kLabelX + i * (pictureWidth + 8), y, pictureWidth, 72);
        }
        if (count) y += 72 + 12;

        for (std::size_t i = 0; i < tab.keycaps.size(); ++i) {
            auto* label = new QLabel(qs(tab.keycaps[i].label), page);
            label->setGeometry(kLabelX, y, 200, 24);
            auto* caps = new KeycapRow(tab.keycaps[i].keys, page);
            caps->setObjectName(QString("keycaps.%1").arg(i));
            caps->setGeometry(240, y, 200, 24);
            y += 26;
        }
        y += 10;

        auto* guide = new QPushButton("\u2328 Key Guide\u2026", page);
        guide->setObjectName("keyGuideButton");
        guide->setToolTip("Which physical keys the shortcut symbols mean");
        guide->setGeometry(kLabelX, y, 150, 28);
        connect(guide, &QPushButton::clicked, this, [this, guide] {
            if (m_keyGuide) m_keyGuide->close();
            m_keyGuide = new KeyGuidePopup(guide);
            m_keyGuide->setAttribute(Qt::WA_DeleteOnClose);
            m_keyGuide->popUp();
        });
        auto* customize = new QPushButton("&Customize\u2026", page);
        customize->setObjectName("customize");
        customize->setGeometry(kLabelX + 160, y, 130, 28);
        connect(customize, &QPushButton::clicked, this, [this] {
            if (m_handlers.onEditShortcuts) m_handlers.onEditShortcuts();
        });
    }

    void applyPalette() {
        for (QLabel* label : m_secondary) useSecondaryColour(label);
    }

    SettingsView::Handlers m_handlers;
    QTabWidget* m_tabs = nullptr;
    std::map<SettingsControlId, RowWidgets> m_rows;
    std::vector<QLabel*> m_secondary;
    QPointer<KeyGuidePopup> m_keyGuide;
};

QtSettingsWindow::QtSettingsWindow(Handlers handlers)
    : m_window(std::make_unique<SettingsWindowWidget>(std::move(handlers))) {}

QtSettingsWindow::~QtSettingsWindow() = default;

void QtSettingsWindow::setContent(const SettingsContent& content) { m_window->build(content); }

void QtSettingsWindow::updateRow(const SettingsRow& row) { m_window->update(row); }

void QtSettingsWindow::present() {
    if (!m_window->isVisible()) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (screen) {
            QRect frame = m_window->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            m_window->move(frame.topLeft());
        }
        m_window->show();
    }
    m_window->raise();
    m_window->activateWindow();
}

bool QtSettingsWindow::isVisible() const { return m_window->isVisible(); }

QWidget* QtSettingsWindow::widget() const { return m_window.get(); }

std::unique_ptr<SettingsView> QtSettingsWindowFactory::createSettingsWindow(SettingsView::Handlers handlers) {
    auto view = std::make_unique<QtSettingsWindow>(std::move(handlers));
    window = view.get();
    return view;
}

} // namespace quorvel::ui
