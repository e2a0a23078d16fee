// The spotlight outline: placement over the window server's rectangle, the one conversion to Qt's
// pixels, replacement, hiding and its stroke.
#include "QtOutlineWindow.h"
#include "ScreenSpace.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

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
    // A fractional scale rounds the edges, not the size, so neighbours still meet.
    EXPECT_EQ(toDeviceIndependent(Rect{0, 0, 101, 101}, {0, 0}, 1.5), QRect(0, 0, 67, 67));
    EXPECT_EQ(toDeviceIndependent(Rect{101, 0, 101, 101}, {0, 0}, 1.5), QRect(67, 0, 68, 67));
}
