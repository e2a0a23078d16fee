// The strip on Qt: a top-level StripWidget over a rounded backdrop holding one StripTabWidget per
// tab; geometry and text come from core's layOutStrip and stripFrame, colours from the palette.
#include "QtStripWindow.h"

#include "FloatingWindow.h"
#include "OverlayWindow.h"
#include "Palette.h"
#include "ScreenSpace.h"
#include "SpaceRowWidget.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

#include <algorithm>
#include <utility>
#include <vector>

namespace quorvel::ui {

namespace {

constexpr qreal kBackdropRadius = 8;
constexpr qreal kTabRadius = 5;
constexpr qreal kBadgeRadius = 3;

// White on a dark window, black on a light one: the overlay that lifts a part off the backdrop.
QColor overlay(const QPalette& palette, qreal alpha) {
    QColor colour = palette.color(QPalette::Active, QPalette::Window).lightness() < 128 ? QColor(Qt::white)
                                                                                       : QColor(Qt::black);
    colour.setAlphaF(float(alpha));
    return colour;
}

// Tint of one tab's parts, resolved against the palette it is drawn with.
struct TabTint {
    QColor background;
    QColor badgeBackground;
    QColor badgeText;
    QColor nameText;
    FontWeight nameWeight;
};

TabTint tintFor(const QPalette& palette, bool selected, bool empty) {
    if (selected) {
        return {overlay(palette, 0.16), colourFor(palette, ColourRole::accent),
                palette.color(QPalette::Active, QPalette::HighlightedText), colourFor(palette, ColourRole::label),
                FontWeight::semibold};
    }
    return {Qt::transparent, overlay(palette, 0.12), colourFor(palette, ColourRole::secondary),
            colourFor(palette, empty ? ColourRole::tertiary : ColourRole::secondary), FontWeight::medium};
}

// One desktop's tab: its background, badge and name painted here, its mini-map a child. Reports
// the pointer entering and leaving it and a release of the button over it.
class StripTabWidget final : public QWidget {
public:
    std::function<void()> onClick;
    std::function<void(bool)> onHover;

    explicit StripTabWidget(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("stripTab"));
        setFocusPolicy(Qt::NoFocus);
    }

    void apply(const StripTab& tab, const StripTabLayout& layout) {
        m_layout = layout;
        m_empty = tab.isEmpty;
        m_name = QString::fromStdString(tab.name);
        setGeometry(toQtRect(layout.frame));
        setAccessibleName(QString::fromStdString(layout.accessibilityLabel));
        // The mini-map is rebuilt every time: it is cheap and carries the selection's accent.
        delete m_miniMap;
        m_miniMap = nullptr;
        if (layout.miniMap) {
            m_miniMap = new SpaceMiniMapWidget(tab.layout, layout.selected, this);
            m_miniMap->setAttribute(Qt::WA_TransparentForMouseEvents);
            m_miniMap->setGeometry(toQtRect(*layout.miniMap));
            m_miniMap->show();
        }
        update();
    }

    bool isSelected() const { return m_layout.selected; }
    // Called through copies: the owner may re-render or drop the strip from inside a report.
    void click() {
        if (const auto report = onClick) report();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const TabTint tint = tintFor(palette(), m_layout.selected, m_empty);
        painter.setPen(Qt::NoPen);
        if (tint.background.alpha() > 0) {
            painter.setBrush(tint.background);
            painter.drawRoundedRect(QRectF(rect()), kTabRadius, kTabRadius);
        }
        const QRectF badge = toQt(m_layout.badge);
        painter.setBrush(tint.badgeBackground);
        painter.drawRoundedRect(badge, kBadgeRadius, kBadgeRadius);
        painter.setFont(fontOf(font(), 10, FontWeight::semibold));
        painter.setPen(tint.badgeText);
        painter.drawText(badge, Qt::AlignCenter, QString::fromStdString(m_layout.badgeText));

        if (m_layout.nameFrame && !m_name.isEmpty()) {
            const QRectF frame = toQt(*m_layout.nameFrame);
            const QFont nameFont = fontOf(font(), 11.5, tint.nameWeight);
            painter.setFont(nameFont);
            painter.setPen(tint.nameText);
            const QString shown = QFontMetrics(nameFont).elidedText(m_name, Qt::ElideRight, int(frame.width()));
            painter.drawText(frame, Qt::AlignLeft | Qt::AlignVCenter, shown);
        }
    }

    void enterEvent(QEnterEvent*) override {
        if (const auto report = onHover) report(true);
    }
    void leaveEvent(QEvent*) override {
        if (const auto report = onHover) report(false);
    }
    void mousePressEvent(QMouseEvent* event) override { event->accept(); }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) click();
    }

private:
    StripTabLayout m_layout;
    bool m_empty = false;
    QString m_name;
    SpaceMiniMapWidget* m_miniMap = nullptr;
};

// Screen readers see a tab as a button named by its label, "current" as its value when selected.
class TabAccessible final : public QAccessibleWidget {
public:
    explicit TabAccessible(StripTabWidget* tab) : QAccessibleWidget(tab, QAccessible::Button) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) return tab()->isSelected() ? QStringLiteral("current") : QString();
        return QAccessibleWidget::text(kind);
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction()) tab()->click();
    }

private:
    StripTabWidget* tab() const { return static_cast<StripTabWidget*>(widget()); }
};

QAccessibleInterface* tabAccessibleFactory(const QString&, QObject* object) {
    if (auto* tab = dynamic_cast<StripTabWidget*>(object)) return new TabAccessible(tab);
    return nullptr;
}

// The strip's top-level window: the rounded backdrop and the tabs on it.
class StripWidget final : public QWidget {
public:
    explicit StripWidget(bool compositing) : m_compositing(compositing) {
        setObjectName(QStringLiteral("desktopStrip"));
        setWindowTitle(QStringLiteral("Quorvel strip"));
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                       Qt::WindowDoesNotAcceptFocus);
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_X11DoNotAcceptFocus);
        // Chosen before the native window exists (it picks the visual); painted opaque and masked
        // when nothing blends it.
        setAttribute(Qt::WA_TranslucentBackground);
        setFocusPolicy(Qt::NoFocus);
    }

    std::vector<StripTabWidget*> tabs;

    void setCompositing(bool compositing) {
        if (compositing == m_compositing) return;
        m_compositing = compositing;
        reshape();
        update();
    }

protected:
    void resizeEvent(QResizeEvent*) override { reshape(); }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QColor backdrop = palette().color(QPalette::Active, QPalette::Window);
        if (!m_compositing) {
            // Cut to shape by the mask: opaque to its edge, so no half-covered pixels show black.
            painter.fillRect(rect(), backdrop);
            return;
        }
        painter.setRenderHint(QPainter::Antialiasing);
        backdrop.setAlphaF(0.85f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(backdrop);
        painter.drawRoundedRect(QRectF(rect()), kBackdropRadius, kBackdropRadius);
    }

private:
    void reshape() { shapeRounded(*this, m_compositing, kBackdropRadius); }

    bool m_compositing;
};

// What a factory's strips share with it.
struct StripShared {
    PanelWindowManager* manager = nullptr;
    bool compositing = false;
    std::vector<QPointer<StripWidget>> windows; // every live strip made here
};

class QtStrip final : public StripWindowView {
public:
    QtStrip(std::shared_ptr<StripShared> state, Handlers handlers)
        : m_state(std::move(state)), m_handlers(std::make_shared<Handlers>(std::move(handlers))) {}

    ~QtStrip() override {
        *m_handlers = {};
        if (m_window) {
            m_window->hide();
            // A tab's report may be what led the owner to drop the strip: delete once it returned.
            m_window->deleteLater();
        }
    }

    void render(const StripPresentation& presentation, const Rect& screenFrame, StripAlignment alignment,
                double topInset) override {
        StripWidget& window = ensureWindow();
        const QRect screen = toDeviceIndependent(screenFrame);
        const double ratio = screen.height() > 0 ? screenFrame.height / screen.height() : 1;
        const auto focus = focusTab(presentation.tabs, presentation.requestedSpaceID, presentation.actualCurrentSpaceID);
        const double width = stripWidth(presentation.tabs.size(), presentation.density, presentation.showsMiniMaps, focus);
        const Rect frame = stripFrame(Rect{double(screen.x()), double(screen.y()), double(screen.width()),
                                           double(screen.height())},
                                      topInset / ratio, alignment, width);
        window.setGeometry(toQtRect(frame));
        apply(window, presentation);
        if (isOnScreen(presentation.visibility)) show(window);
        else window.hide();
    }

    void hide() override {
        if (m_window) m_window->hide();
    }

private:
    StripWidget& ensureWindow() {
        if (!m_window) {
            m_window = new StripWidget(m_state->compositing);
            std::erase_if(m_state->windows, [](const QPointer<StripWidget>& w) { return w.isNull(); });
            m_state->windows.emplace_back(m_window);
        }
        return *m_window;
    }

    void apply(StripWidget& window, const StripPresentation& presentation) {
        const std::vector<StripTabLayout> layouts = layOutStrip(presentation);
        if (window.tabs.size() != layouts.size()) {
            for (StripTabWidget* tab : window.tabs) {
                // The tab may be the one whose report led here.
                tab->hide();
                tab->deleteLater();
            }
            window.tabs.clear();
            for (std::size_t i = 0; i < layouts.size(); ++i) {
                auto* tab = new StripTabWidget(&window);
                tab->show();
                window.tabs.push_back(tab);
            }
        }
        for (std::size_t i = 0; i < layouts.size(); ++i) {
            StripTabWidget& tab = *window.tabs[i];
            const SpaceId space = presentation.tabs[i].spaceID;
            tab.onClick = [handlers = m_handlers, space] {
                if (const auto select = handlers->onSelect) select(space);
            };
            tab.onHover = [handlers = m_handlers, space](bool inside) {
                if (const auto hover = handlers->onHoverTab) hover(inside ? std::optional<SpaceId>(space) : std::nullopt);
            };
            tab.apply(presentation.tabs[i], layouts[i]);
        }
        window.update();
    }

    void show(StripWidget& window) {
        if (window.isVisible()) return;
        // Creates the native window, unmapped: the dock type and the states go on before the map.
        const auto id = static_cast<WindowId>(window.winId());
        if (m_state->manager) m_state->manager->prepareDock(id);
        window.show();
        window.raise();
    }

    std::shared_ptr<StripShared> m_state;
    std::shared_ptr<Handlers> m_handlers; // emptied when the strip goes; tabs' reports then fall silent
    QPointer<StripWidget> m_window;
};

} // namespace

struct QtStripWindowFactory::State : StripShared {};

QtStripWindowFactory::QtStripWindowFactory(PanelWindowManager* manager, bool compositing)
    : m_state(std::make_shared<State>(State{{manager, compositing, {}}})) {
    static const bool accessibleTabs = (QAccessible::installFactory(tabAccessibleFactory), true);
    (void)accessibleTabs;
}

QtStripWindowFactory::~QtStripWindowFactory() = default;

std::unique_ptr<StripWindowView> QtStripWindowFactory::create(StripWindowView::Handlers handlers) {
    return std::make_unique<QtStrip>(m_state, std::move(handlers));
}

void QtStripWindowFactory::setCompositing(bool compositing) {
    m_state->compositing = compositing;
    for (const QPointer<StripWidget>& window : m_state->windows)
        if (window) window->setCompositing(compositing);
}

} // namespace quorvel::ui
