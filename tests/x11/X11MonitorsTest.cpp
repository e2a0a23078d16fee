// Tiling across two monitors on a real X server: one Xvfb screen split into two RandR monitors,
// each monitor tiling its own windows in its own area; a window dragged across follows, and the
// windows of a monitor that goes away are tiled on the one that remains.
#include "TilingOnX11.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace quorvel;
using namespace quorvel::x11test;

namespace {

bool within(const Rect& frame, const Rect& area) {
    return frame.minX() >= area.minX() - 1 && frame.minY() >= area.minY() - 1 && frame.maxX() <= area.maxX() + 1 &&
           frame.maxY() <= area.maxY() + 1;
}

// Two 1920×1080 monitors side by side, the left one primary; no dock, the gap is 8.
const Rect kLeftWhole{8, 8, 1904, 1064};
const Rect kLeftLeftHalf{8, 8, 948, 1064};
const Rect kLeftRightHalf{964, 8, 948, 1064};
const Rect kRightWhole{1928, 8, 1904, 1064};

class X11MonitorsTest : public ::testing::Test {
protected:
    void SetUp() override {
        QUORVEL_NEED_X_SERVER();
        server = std::make_unique<XServer>(XServer::Options{.width = 3840, .height = 1080});
        ASSERT_EQ(server->run("xrandr --setmonitor '*LEFT' 1920/508x1080/286+0+0 screen"), 0);
        ASSERT_EQ(server->run("xrandr --setmonitor RIGHT 1920/508x1080/286+1920+0 none"), 0);
        platform = std::make_unique<X11Platform>(*server);
        ASSERT_EQ(platform->screens->screens().size(), 2u);
        platform->defaults.set(Settings::tilingEnabledKey, true);
        platform->engine->start();
        ASSERT_TRUE(platform->engine->isRunning());
        right = platform->screens->screens().at(1).displayNumber;
    }

    std::size_t leaves(DisplayNumber monitor) {
        const BSPTree* tree = platform->engine->view().tree(1, monitor);
        return tree ? tree->leafCount() : 0;
    }
    ::testing::AssertionResult landsOn(const ClientWindow& window, const Rect& tile) {
        return x11test::landsOn(*platform, *server, window.window, tile);
    }
    // The user drags the window to (x, y), as a pager or the window manager's move would.
    void drag(const ClientWindow& window, int x, int y) {
        ASSERT_EQ(server->run("xdotool windowmove " + std::to_string(window.window) + " " + std::to_string(x) + " " +
                              std::to_string(y)),
                  0);
    }

    std::unique_ptr<XServer> server;
    std::unique_ptr<X11Platform> platform;
    DisplayNumber right = 0;
};

} // namespace

TEST_F(X11MonitorsTest, EachMonitorTilesItsOwnWindowsAndADragAcrossMovesAWindowBetweenThem) {
    const ClientWindow a = server->openWindow({.title = "A"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(kHomeMonitor) == 1; }));
    const ClientWindow b = server->openWindow({.title = "B"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(kHomeMonitor) == 2; }));
    EXPECT_TRUE(landsOn(a, kLeftLeftHalf));
    EXPECT_TRUE(landsOn(b, kLeftRightHalf));

    // B dragged onto the right monitor leaves the left tree and fills the right monitor.
    drag(b, 2500, 300);
    ASSERT_TRUE(platform->waitFor([&] { return leaves(right) == 1 && leaves(kHomeMonitor) == 1; }));
    EXPECT_TRUE(landsOn(b, kRightWhole));
    EXPECT_TRUE(landsOn(a, kLeftWhole));

    // A third window opens on the left and splits there; B stays alone on the right.
    const ClientWindow c = server->openWindow({.title = "C"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(kHomeMonitor) == 2; }));
    EXPECT_TRUE(landsOn(a, kLeftLeftHalf));
    EXPECT_TRUE(landsOn(c, kLeftRightHalf));
    EXPECT_TRUE(landsOn(b, kRightWhole));
    EXPECT_EQ(leaves(right), 1u);

    // And back: B dragged onto the left monitor joins its tree.
    drag(b, 300, 300);
    ASSERT_TRUE(platform->waitFor([&] { return leaves(kHomeMonitor) == 3 && leaves(right) == 0; }));
    for (const ClientWindow& w : {a, b, c})
        EXPECT_TRUE(platform->waitFor([&] { return within(server->frameGeometry(w.window), kLeftWhole); }));
}

TEST_F(X11MonitorsTest, RemovingAMonitorTilesItsWindowsOnTheOneThatRemains) {
    const ClientWindow a = server->openWindow({.title = "A"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(kHomeMonitor) == 1; }));
    const ClientWindow b = server->openWindow({.title = "B"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(kHomeMonitor) == 2; }));
    drag(b, 2500, 300);
    ASSERT_TRUE(platform->waitFor([&] { return leaves(right) == 1; }));
    EXPECT_TRUE(landsOn(b, kRightWhole));

    ASSERT_EQ(server->run("xrandr --delmonitor RIGHT"), 0);
    ASSERT_TRUE(platform->waitFor([&] { return leaves(kHomeMonitor) == 2 && leaves(right) == 0; }));
    EXPECT_TRUE(landsOn(a, kLeftLeftHalf));
    EXPECT_TRUE(landsOn(b, kLeftRightHalf));
}
