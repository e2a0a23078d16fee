// The spotlight outline: placement from screen space, replacement, hiding and its stroke.
#include "QtOutlineWindow.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

using quorvel::ui::QtOutlineWindow;

namespace {
int visibleOutlines() {
    int count = 0;
    for (const QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == "spotlightOutline" && widget->isVisible()) ++count;
    return count;
}
} // namespace

TEST(QtOutlineWindowTest, ShowsAtTheFlippedRectangleReplacingTheLastAndHides) {
    const int screenHeight = QGuiApplication::primaryScreen()->geometry().height();
    QtOutlineWindow outline;
    outline.show(100, 50, 300, 200); // bottom edge 50 points above the screen's bottom
    EXPECT_EQ(outline.window()->geometry(), QRect(100, screenHeight - 250, 300, 200));
    EXPECT_EQ(visibleOutlines(), 1);

    outline.show(0, 0, 640, 400);
    EXPECT_EQ(outline.window()->geometry(), QRect(0, screenHeight - 400, 640, 400));
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
