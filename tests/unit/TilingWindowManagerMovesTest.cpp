// The window manager's own moves on the simulator: a window the user sends to another desktop or
// onto every desktop, and windows entering and leaving full screen, checked by the trees and
// where windows land, without any other event to help.
#include "TilingFixture.h"

#include <algorithm>

using namespace quorvel;
using namespace quorvel::test;

namespace {

class TilingWindowManagerMovesTest : public ThreeWindowFixture {
protected:
    std::size_t writesTo(WindowId id) {
        return static_cast<std::size_t>(std::count_if(world.writes().begin(), world.writes().end(),
                                                      [id](const sim::FrameWrite& w) { return w.window == id; }));
    }
    // C goes full screen, then a new window D arrives beside the focused A.
    WindowId fullScreenCThenOpenBesideA() {
        openThree();
        world.setFullScreen(c, true);
        settle();
        world.focusWindow(a);
        settle();
        const WindowId d = open(app);
        names[d] = "D";
        return d;
    }
};

} // namespace

TEST_F(TilingWindowManagerMovesTest, AWindowSentToAnotherDesktopLeavesNoEmptyTileAndIsTiledThere) {
    openThree();
    const WindowId elsewhere = open(app, {.space = desktop(1)});
    names[elsewhere] = "E";
    world.sendWindowToSpace(c, desktop(1));
    settle();
    // Nobody switched desktops: the move alone retiles both.
    EXPECT_EQ(layout(desktop(0), names), "V[A B]");
    EXPECT_EQ(frameOf(b), (Rect{724, 33, 708, 859}));
    // The desktop C went to is tiled as a whole: the window already there and C beside it.
    EXPECT_EQ(layout(desktop(1), names), "V[E C]");
    EXPECT_EQ(frameOf(c).height, 859);

    // Onto every desktop: out of every tree, and into none.
    world.sendWindowToSpace(b, std::nullopt);
    settle();
    EXPECT_EQ(layout(desktop(0), names), "A");
    EXPECT_EQ(frameOf(a), (Rect{8, 33, 1424, 859}));
    for (const auto& [key, tree] : engine.view().treeMap()) EXPECT_FALSE(tree->contains(b)) << "desktop " << key.space;
    world.sendWindowToSpace(b, desktop(0));
    settle();
    EXPECT_EQ(engine.view().tree(desktop(0))->leafCount(), 2u);
}

TEST_F(TilingWindowManagerMovesTest, FullScreenLeavesTheTreeUnwrittenAndComesBackToTheSamePlace) {
    openThree();
    const Rect bTile = frameOf(b);
    world.setFullScreen(b, true);
    settle();
    EXPECT_EQ(layout(desktop(0), names), "V[A C]");
    EXPECT_EQ(frameOf(c), (Rect{724, 33, 708, 859}));

    // Retiles meanwhile never touch the full-screen window.
    world.writes().clear();
    engine.retile(desktop(0), std::nullopt);
    world.focusWindow(a);
    settle();
    EXPECT_EQ(writesTo(b), 0u);

    world.setFullScreen(b, false);
    settle();
    EXPECT_EQ(layout(desktop(0), names), "V[A H[B C]]");
    EXPECT_EQ(frameOf(b), bTile);
}

TEST_F(TilingWindowManagerMovesTest, ATreeChangedWhileAWindowWasFullScreenEndsWithEveryWindowTiledOnce) {
    const WindowId d = fullScreenCThenOpenBesideA();
    world.closeWindow(b);
    settle();
    world.setFullScreen(c, false);
    settle();
    const BSPTree* tree = engine.view().tree(desktop(0));
    ASSERT_TRUE(tree);
    auto leaves = tree->leaves();
    std::sort(leaves.begin(), leaves.end());
    std::vector<WindowId> expected{a, c, d};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(leaves, expected);
    // The three tiles cover the usable area without overlapping.
    double area = 0;
    for (const WindowId id : expected) area += frameOf(id).width * frameOf(id).height;
    const Rect inset = Rect{0, 25, 1440, 875}.insetBy(8, 8);
    EXPECT_LT(area, inset.width * inset.height);
    const auto overlap = [](const Rect& p, const Rect& q) {
        return p.x < q.x + q.width && q.x < p.x + p.width && p.y < q.y + q.height && q.y < p.y + p.height;
    };
    for (const WindowId x : expected)
        for (const WindowId y : expected)
            if (x < y) {
                EXPECT_FALSE(overlap(frameOf(x), frameOf(y))) << names[x] << " and " << names[y];
            }
}

TEST_F(TilingWindowManagerMovesTest, AFullScreenPlaceOutlastsAQuickOnOffOnAndAMinimiseMeanwhile) {
    openThree();
    // Focus elsewhere: a window adopted afresh would go beside A, not back between A and C.
    world.focusWindow(a);
    settle();
    const Rect bTile = frameOf(b);
    // Off and on again before the end is heard: it is still full screen when it is.
    world.setFullScreen(b, true);
    settle();
    world.setFullScreen(b, false);
    world.setFullScreen(b, true);
    settle();
    EXPECT_EQ(layout(desktop(0), names), "V[A C]");
    world.setFullScreen(b, false);
    settle();
    EXPECT_EQ(layout(desktop(0), names), "V[A H[B C]]");
    EXPECT_EQ(frameOf(b), bTile);

    // Minimised while full screen, full screen ended while minimised, then restored.
    world.setFullScreen(b, true);
    settle();
    world.minimizeWindow(b);
    settle();
    world.setFullScreen(b, false);
    settle();
    EXPECT_EQ(layout(desktop(0), names), "V[A C]");
    world.unminimizeWindow(b);
    settle();
    EXPECT_EQ(layout(desktop(0), names), "V[A H[B C]]");
    EXPECT_EQ(frameOf(b), bTile);
}

TEST_F(TilingWindowManagerMovesTest, ATreeChangedMeanwhileTakesTheWindowBackBesideItsOldNeighbour) {
    // Another window arrives beside A; B, C's neighbour, stays.
    fullScreenCThenOpenBesideA();
    ASSERT_EQ(layout(desktop(0), names), "V[H[A D] B]");
    world.setFullScreen(c, false);
    settle();
    EXPECT_EQ(layout(desktop(0), names), "V[H[A D] H[B C]]");
}

TEST_F(TilingWindowManagerMovesTest, AGlideStopsWhenItsOnlyWindowLeavesTheTree) {
    settings.setTilingAnimation(TilingAnimation::slide);
    app = launch();
    engine.start();
    a = open(app);
    // B closes: A glides over the whole area; before it lands, the window manager takes A away.
    for (const bool fullScreen : {true, false}) {
        b = open(app);
        world.writes().clear();
        world.closeWindow(b);
        sim.scheduler.runPending();
        sim.scheduler.advance(TreePolicy::kLeaveSettle + 0.02s);
        ASSERT_FALSE(world.writes().empty());
        if (fullScreen) world.setFullScreen(a, true);
        else world.sendWindowToSpace(a, std::nullopt);
        sim.scheduler.runPending();
        world.writes().clear();
        settle(2s);
        EXPECT_EQ(writesTo(a), 0u) << (fullScreen ? "full screen" : "onto every desktop");
        if (fullScreen) {
            world.setFullScreen(a, false);
            settle(2s);
        }
    }
}

TEST_F(TilingWindowManagerMovesTest, AFullScreenWindowSweptBeforeItsNewsArrivesStillComesBackToItsPlace) {
    openThree();
    world.focusWindow(a);
    settle();
    const Rect bTile = frameOf(b);
    // The news of full screen is slow; another application starting sweeps the desktop first.
    world.setFullScreen(b, true, 1s);
    launch("Terminal");
    EXPECT_EQ(layout(desktop(0), names), "V[A C]");
    settle(1.5s);
    // And the end of it: a sweep takes it in again before the news.
    world.setFullScreen(b, false, 1s);
    launch("Browser");
    settle(1.5s);
    EXPECT_EQ(layout(desktop(0), names), "V[A H[B C]]");
    EXPECT_EQ(frameOf(b), bTile);
}
