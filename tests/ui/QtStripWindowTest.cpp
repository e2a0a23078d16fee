// The strip's Qt window: placed and laid out as core computes, tabs named for screen readers,
// clicks and hovers reported per tab, shown only while visible, tinted from the palette.
#include "FloatingWindow.h"
#include "Palette.h"
#include "QtStripWindow.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

using namespace quorvel;
using quorvel::ui::QtStripWindowFactory;

namespace {

// Records the windows it was asked to make docks, and whether each was still unmapped then.
class DockRecorder final : public ui::PanelWindowManager {
public:
    struct Call {
        WindowId window;
        bool wasVisible;
    };
    std::vector<Call> docks;

    void prepare(WindowId) override {}
    void activate(WindowId, InputTime) override {}
    WindowId activeWindow() override { return 0; }
    void giveFocusBack(WindowId) override {}
    void prepareDock(WindowId window) override {
        bool visible = false;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "desktopStrip" && static_cast<WindowId>(w->winId()) == window) visible = w->isVisible();
        docks.push_back({window, visible});
    }
};

const Rect kScreen{0, 0, 800, 600};

StripPresentation presentation(int tabs, SpaceId current, bool visible = true) {
    StripPresentation p;
    p.displayID = "LEFT";
    for (int i = 1; i <= tabs; ++i) {
        StripTab tab;
        tab.spaceID = SpaceId(100 + i);
        tab.index = i;
        tab.name = i == 2 ? "Mail" : "";
        tab.isEmpty = i == 4;
        tab.layout = {Rect{0, 0, 0.5, 1}};
        p.tabs.push_back(tab);
    }
    p.actualCurrentSpaceID = current;
    p.visibility = visible ? StripVisibility{strip::Visible{VisibleReason::pinnedAlways}} : StripVisibility{strip::Hidden{}};
    return p;
}

// The strip now on screen or hidden; strips dropped earlier are gone first.
QWidget* stripWindow() {
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "desktopStrip") return w;
    return nullptr;
}

std::vector<QWidget*> tabsOf(QWidget* strip) {
    std::vector<QWidget*> tabs;
    for (QWidget* child : strip->findChildren<QWidget*>("stripTab", Qt::FindDirectChildrenOnly))
        if (!child->isHidden()) tabs.push_back(child);
    std::sort(tabs.begin(), tabs.end(), [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
    return tabs;
}

struct Reports {
    std::vector<SpaceId> selected;
    std::vector<std::optional<SpaceId>> hovered;
    StripWindowView::Handlers handlers() {
        return {[this](SpaceId s) { selected.push_back(s); },
                [this](std::optional<SpaceId> s) { hovered.push_back(s); }};
    }
};

} // namespace

TEST(QtStripWindowTest, LandsBelowTheTopPanelWithTabsWhereCoreLaysThemOutAndNamesThem) {
    DockRecorder manager;
    QtStripWindowFactory factory(&manager, true);
    Reports reports;
    auto strip = factory.create(reports.handlers());
    const StripPresentation shown = presentation(4, 102);
    strip->render(shown, kScreen, StripAlignment::right, 24);

    QWidget* window = stripWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    const auto focus = focusTab(shown.tabs, shown.requestedSpaceID, shown.actualCurrentSpaceID);
    const Rect frame = stripFrame(kScreen, 24, StripAlignment::right, stripWidth(4, shown.density, true, focus));
    EXPECT_EQ(window->geometry(), ui::toQtRect(frame));
    EXPECT_EQ(window->geometry().top(), 24);
    EXPECT_EQ(window->geometry().right() + 1, 800 - 8);

    const std::vector<StripTabLayout> layouts = layOutStrip(shown);
    const std::vector<QWidget*> tabs = tabsOf(window);
    ASSERT_EQ(tabs.size(), 4u);
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        EXPECT_EQ(tabs[i]->geometry(), ui::toQtRect(layouts[i].frame)) << i;
        EXPECT_EQ(tabs[i]->accessibleName().toStdString(), layouts[i].accessibilityLabel) << i;
    }
    EXPECT_EQ(tabs[1]->accessibleName(), "Desktop 2, Mail, current");
    EXPECT_EQ(tabs[3]->accessibleName(), "Desktop 4, empty");

    // Made a dock once, before its first map; never again while it stays shown.
    strip->render(shown, kScreen, StripAlignment::right, 24);
    ASSERT_EQ(manager.docks.size(), 1u);
    EXPECT_EQ(manager.docks[0].window, static_cast<WindowId>(window->winId()));
    EXPECT_FALSE(manager.docks[0].wasVisible);
}

TEST(QtStripWindowTest, AClickSelectsItsDesktopAndHoverFollowsThePointerInAndOut) {
    QtStripWindowFactory factory(nullptr, true);
    Reports reports;
    auto strip = factory.create(reports.handlers());
    strip->render(presentation(4, 101), kScreen, StripAlignment::centre, 0);
    QWidget* window = stripWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    const std::vector<QWidget*> tabs = tabsOf(window);
    ASSERT_EQ(tabs.size(), 4u);

    QTest::mouseMove(tabs[2], tabs[2]->rect().center());
    ASSERT_FALSE(reports.hovered.empty());
    EXPECT_EQ(reports.hovered.back(), std::optional<SpaceId>(103));
    QTest::mouseClick(tabs[2], Qt::LeftButton, {}, tabs[2]->rect().center());
    EXPECT_EQ(reports.selected, std::vector<SpaceId>{103});

    // Out through the backdrop's rim: no tab is hovered.
    QTest::mouseMove(window, QPoint(1, 1));
    EXPECT_EQ(reports.hovered.back(), std::nullopt);

    // A screen reader presses the tab as a button; the current tab says so as its value.
    QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(tabs[1]);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->role(), QAccessible::Button);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(tabs[0])->text(QAccessible::Value), "current");
    EXPECT_EQ(reader->text(QAccessible::Value), "");
    reader->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(reports.selected, (std::vector<SpaceId>{103, 102}));

    // A press that ends away from the tab is no click.
    QTest::mousePress(tabs[0], Qt::LeftButton, {}, tabs[0]->rect().center());
    QTest::mouseRelease(tabs[0], Qt::LeftButton, {}, QPoint(-40, 5));
    EXPECT_EQ(reports.selected.size(), 2u);
}

TEST(QtStripWindowTest, TheOwnerMayReRenderOrDropTheStripFromInsideAClick) {
    QtStripWindowFactory factory(nullptr, true);
    std::unique_ptr<StripWindowView> strip;
    std::vector<SpaceId> selected;
    strip = factory.create({[&](SpaceId space) {
                                selected.push_back(space);
                                strip->render(presentation(2, space), kScreen, StripAlignment::left, 0);
                                strip.reset();
                            },
                            {}});
    strip->render(presentation(3, 101), kScreen, StripAlignment::left, 0);
    QWidget* window = stripWindow();
    ASSERT_NE(window, nullptr);
    const std::vector<QWidget*> tabs = tabsOf(window);
    ASSERT_EQ(tabs.size(), 3u);
    QTest::mouseClick(tabs[1], Qt::LeftButton, {}, tabs[1]->rect().center());
    EXPECT_EQ(selected, std::vector<SpaceId>{102});
    EXPECT_EQ(strip, nullptr);
    EXPECT_EQ(stripWindow(), nullptr) << "the dropped strip's window is gone once the click returned";
}

TEST(QtStripWindowTest, FollowsTheVisibilityAndKeepsItsTabsUntilTheirNumberChanges) {
    QtStripWindowFactory factory(nullptr, true);
    Reports reports;
    auto strip = factory.create(reports.handlers());
    strip->render(presentation(3, 101), kScreen, StripAlignment::left, 0);
    QWidget* window = stripWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    const std::vector<QWidget*> before = tabsOf(window);

    // Another selection and name: the same tabs, relabelled.
    StripPresentation renamed = presentation(3, 103);
    renamed.tabs[0].name = "Web";
    strip->render(renamed, kScreen, StripAlignment::left, 0);
    EXPECT_EQ(tabsOf(window), before);
    EXPECT_EQ(before[0]->accessibleName(), "Desktop 1, Web");
    EXPECT_EQ(before[2]->accessibleName(), "Desktop 3, current");

    // One desktop more: new tabs, all reporting their own desktops.
    strip->render(presentation(4, 101), kScreen, StripAlignment::left, 0);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const std::vector<QWidget*> after = tabsOf(window);
    ASSERT_EQ(after.size(), 4u);
    QTest::mouseClick(after[3], Qt::LeftButton, {}, after[3]->rect().center());
    EXPECT_EQ(reports.selected, std::vector<SpaceId>{104});

    strip->render(presentation(4, 101, false), kScreen, StripAlignment::left, 0);
    EXPECT_FALSE(window->isVisible());
    strip->render(presentation(4, 101), kScreen, StripAlignment::left, 0);
    EXPECT_TRUE(window->isVisible());
    strip->hide();
    EXPECT_FALSE(window->isVisible());
}

TEST(QtStripWindowTest, WithoutACompositorTheStripIsCutToItsRoundedShape) {
    QtStripWindowFactory factory(nullptr, false);
    auto strip = factory.create({});
    strip->render(presentation(2, 101), kScreen, StripAlignment::centre, 0);
    QWidget* window = stripWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(window->mask().contains(QPoint(window->width() / 2, 16)));

    factory.setCompositing(true); // a compositing manager arrived: corners are blended instead
    EXPECT_TRUE(window->mask().isEmpty());
}

TEST(QtStripWindowTest, TheSelectedBadgeIsTintedApartFromTheOthersInLightAndDarkPalettes) {
    const QPalette original = QApplication::palette();
    for (const bool dark : {false, true}) {
        QPalette palette = original;
        palette.setColor(QPalette::Window, dark ? QColor(40, 40, 40) : QColor(240, 240, 240));
        palette.setColor(QPalette::Highlight, QColor(30, 110, 230));
        QApplication::setPalette(palette);
        {
            QtStripWindowFactory factory(nullptr, false); // opaque: pixels without blending
            auto strip = factory.create({});
            const StripPresentation shown = presentation(3, 102);
            strip->render(shown, kScreen, StripAlignment::centre, 0);
            QWidget* window = stripWindow();
            ASSERT_NE(window, nullptr);
            const QImage image = window->grab().toImage();
            const std::vector<StripTabLayout> layouts = layOutStrip(shown);
            // The badge's left edge at mid height: clear of its rounded corners and of its digit.
            const auto badgePixel = [&](std::size_t i) {
                const Rect& b = layouts[i].badge;
                return image.pixelColor(int(layouts[i].frame.x + b.x + 2), int(layouts[i].frame.y + b.y + b.height / 2));
            };
            EXPECT_EQ(badgePixel(1), QColor(30, 110, 230)) << "dark " << dark;
            EXPECT_NE(badgePixel(0), badgePixel(1)) << "dark " << dark;
            // An unselected badge still stands off the backdrop.
            EXPECT_NE(badgePixel(0), palette.color(QPalette::Window)) << "dark " << dark;
        }
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QApplication::setPalette(original);
}
