// The spotlight outline: placement over the window server's rectangle, the one conversion to Qt's
// pixels, replacement, hiding and its stroke.
#include "QtOutlineWindow.h"
#include "ScreenSpace.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

#include <gtest/gtest.h>

using quorvel::Rect;
using quorvel::ui::QtOutlineWindow;
using quorvel::ui::toDeviceIndependent;

namespace {
int visibleOutlines() {
    int count = 0;
    for (const QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == "spotlightOutline" && widget->isVisible()) ++count;
    return count;
}
} // namespace

TEST(QtOutlineWindowTest, ShowsOverTheRectangleReplacingTheLastAndHides) {
    QtOutlineWindow outline;
    outline.show(100, 50, 300, 200); // top edge 50 pixels below the screen's top
    EXPECT_EQ(outline.window()->geometry(), QRect(100, 50, 300, 200));
    EXPECT_EQ(visibleOutlines(), 1);

    outline.show(0, 0, 640, 400);
    EXPECT_EQ(outline.window()->geometry(), QRect(0, 0, 640, 400));
    EXPECT_EQ(visibleOutlines(), 1);

    outline.hide();
    EXPECT_EQ(visibleOutlines(), 0);
}

TEST(QtOutlineWindowTest, DrawsAnAccentStrokeInsideTheEdgeAndNoFill) {
    QtOutlineWindow outline;
    outline.show(10, 10, 200, 100);
    const QImage image = outline.window()->grab().toImage();
    const QColor accent = outline.window()->palette().color(QPalette::Highlight);

    const QColor stroke = image.pixelColor(1, 50);
    EXPECT_NEAR(stroke.alphaF(), 0.9, 0.01);
    EXPECT_NEAR(stroke.red(), accent.red(), 2); // premultiplied storage rounds a little
    EXPECT_NEAR(stroke.green(), accent.green(), 2);
    EXPECT_NEAR(stroke.blue(), accent.blue(), 2);
    EXPECT_EQ(image.pixelColor(4, 50).alpha(), 0);   // just inside the stroke
    EXPECT_EQ(image.pixelColor(100, 50).alpha(), 0); // no fill
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);    // rounded corner
}

TEST(QtOutlineWindowTest, ServerPixelsBecomeDeviceIndependentPixelsAroundTheMonitorsOrigin) {
    EXPECT_EQ(toDeviceIndependent(Rect{100, 50, 300, 200}, {0, 0}, 1), QRect(100, 50, 300, 200));
    // Twice as dense: half as many of Qt's pixels, the monitor's own corner staying put.
    EXPECT_EQ(toDeviceIndependent(Rect{100, 50, 300, 200}, {0, 0}, 2), QRect(50, 25, 150, 100));
    EXPECT_EQ(toDeviceIndependent(Rect{2020, 100, 400, 300}, {1920, 0}, 2), QRect(1970, 50, 200, 150));
    // A fractional scale rounds position and size each on its own, as Qt does, so that Qt maps
    // the result back onto exactly the server pixels it came from.
    EXPECT_EQ(toDeviceIndependent(Rect{0, 0, 101, 101}, {0, 0}, 1.5), QRect(0, 0, 67, 67));
    EXPECT_EQ(toDeviceIndependent(Rect{101, 0, 101, 101}, {0, 0}, 1.5), QRect(67, 0, 67, 67));
    // Mapped back the way Qt maps (position and size each rounded), that is 101 wide again, not 102.
    const QRect second = toDeviceIndependent(Rect{101, 0, 101, 101}, {0, 0}, 1.5);
    EXPECT_EQ(std::lround(second.x() * 1.5), 101);
    EXPECT_EQ(std::lround(second.width() * 1.5), 101);
}

TEST(QtOutlineWindowTest, AMonitorsCornerBelongsToThatMonitorEvenWhenItsNeighbourRoundsOverIt) {
    using quorvel::ui::ScreenPlacement;
    using quorvel::ui::screenHolding;
    // 2560 server pixels at 1.5 are 1707 of Qt's, which read back as 2560.5: the left monitor
    // seems to reach over the right one's first column.
    const std::vector<ScreenPlacement> sideBySide{{{0, 0}, {1707, 960}, 1.5}, {{2560, 0}, {1920, 1080}, 1}};
    EXPECT_EQ(screenHolding({2560, 0}, sideBySide), 1u);
    EXPECT_EQ(screenHolding({2559, 500}, sideBySide), 0u);
    EXPECT_EQ(screenHolding({100, 1439}, sideBySide), 0u);
    EXPECT_EQ(screenHolding({100, 1441}, sideBySide), 2u) << "below the left monitor is no monitor";
    const std::vector<ScreenPlacement> stacked{{{0, 1440}, {1920, 1080}, 1}, {{0, 0}, {1707, 960}, 1.5}};
    EXPECT_EQ(screenHolding({10, 1440}, stacked), 0u);
    EXPECT_EQ(screenHolding({10, 1439}, stacked), 1u);
}
