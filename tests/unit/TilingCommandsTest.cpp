// The tiling commands from the keyboard: swap in four directions, flip a split, spotlight; and the
// pure neighbour search behind swap.
#include "TilingFixture.h"
#include "tiling/DirectionalSearch.h"

using namespace quorvel;
using namespace quorvel::test;

namespace {

class TilingCommandsTest : public TilingFixture {
protected:
    // A top-left, B top-right, C bottom-left, D bottom-right.
    void grid() {
        app = launch();
        engine.start();
        a = open(app);
        b = open(app);
        focus(a);
        c = open(app);
        focus(b);
        d = open(app);
        names = {{a, "A"}, {b, "B"}, {c, "C"}, {d, "D"}};
        focus(a);
    }
    void focus(WindowId id) {
        world.focusWindow(id);
        settle();
    }
    Pid app = 0;
    WindowId a = 0, b = 0, c = 0, d = 0;
    std::map<WindowId, std::string> names;
    const Rect topLeft{8, 33, 708, 425.5}, topRight{724, 33, 708, 425.5};
    const Rect bottomLeft{8, 466.5, 708, 425.5}, bottomRight{724, 466.5, 708, 425.5};
};

} // namespace

TEST_F(TilingCommandsTest, SwapWalksTheFocusedWindowAroundATwoByTwoGrid) {
    grid();
    ASSERT_EQ(layout(desktop(0), names), "V[H[A C] H[B D]]");
    EXPECT_FALSE(engine.swapFocusedWindow(Direction::left));
    EXPECT_FALSE(engine.swapFocusedWindow(Direction::up));

    EXPECT_TRUE(engine.swapFocusedWindow(Direction::right));
    settle();
    EXPECT_EQ(frameOf(a), topRight);
    EXPECT_EQ(frameOf(b), topLeft);
    EXPECT_TRUE(sim.log.contains("swap " + std::to_string(a) + " with " + std::to_string(b) + " on space 1"));

    EXPECT_TRUE(engine.swapFocusedWindow(Direction::down));
    settle();
    EXPECT_EQ(frameOf(a), bottomRight);
    EXPECT_EQ(frameOf(d), topRight);
    EXPECT_TRUE(engine.swapFocusedWindow(Direction::left));
    settle();
    EXPECT_EQ(frameOf(a), bottomLeft);
    EXPECT_TRUE(engine.swapFocusedWindow(Direction::up));
    settle();
    EXPECT_EQ(frameOf(a), topLeft);
    EXPECT_EQ(layout(desktop(0), names), "V[H[A B] H[D C]]");
    EXPECT_EQ(world.frontmost(), app);
    EXPECT_EQ(engine.lastFocusedWindow(desktop(0)), a) << "the moved window keeps focus";
}

TEST_F(TilingCommandsTest, CommandsDoNothingWithoutATiledFocusedWindowOrWhenStopped) {
    const Pid other = launch("Viewer");
    grid();
    world.openWindow(other, {0, 0, 300, 300}, {.subrole = "AXFloatingWindow"});
    settle();
    EXPECT_FALSE(engine.swapFocusedWindow(Direction::right)) << "focus is on a window outside the tree";
    engine.stop();
    EXPECT_FALSE(engine.swapFocusedWindow(Direction::right));
    EXPECT_FALSE(engine.toggleSplitOfFocusedWindow());
}

TEST_F(TilingCommandsTest, FlipTurnsTheSplitAroundTheFocusedWindow) {
    app = launch();
    engine.start();
    a = open(app);
    EXPECT_FALSE(engine.toggleSplitOfFocusedWindow()) << "a window alone has no split";
    b = open(app);
    c = open(app);
    focus(b);
    EXPECT_TRUE(engine.toggleSplitOfFocusedWindow());
    EXPECT_EQ(layout(desktop(0), {{a, "A"}, {b, "B"}, {c, "C"}}), "V[A V[B C]]");
    EXPECT_EQ(frameOf(b), (Rect{724, 33, 350, 859}));
    EXPECT_EQ(frameOf(c), (Rect{1082, 33, 350, 859}));
    EXPECT_TRUE(sim.log.contains("toggle split around " + std::to_string(b) + " on space 1"));
}

TEST_F(TilingCommandsTest, SpotlightZoomsTheFocusedWindowAndOutlinesItUntilToggledOrFocusMoves) {
    grid();
    int changes = 0;
    engine.onSpotlightChanged = [&] { ++changes; };

    engine.toggleSpotlight();
    settle();
    EXPECT_EQ(frameOf(a), (Rect{0, 25, 1440, 875})) << "the whole usable area, edge to edge";
    EXPECT_EQ(frameOf(b), topRight) << "the others keep their tiles underneath";
    EXPECT_EQ(engine.spotlitWindow(desktop(0)), a);
    ASSERT_TRUE(sim.outline.shown);
    EXPECT_EQ(*sim.outline.shown, (Rect{0, 25, 1440, 875})) << "exactly over the zoomed window";
    EXPECT_TRUE(sim.log.contains("retile space 1: 4 window(s), gap 8.000000, spotlit"));

    engine.toggleSpotlight();
    settle();
    EXPECT_EQ(frameOf(a), topLeft);
    EXPECT_FALSE(sim.outline.shown);

    engine.toggleSpotlight();
    settle();
    focus(d);
    EXPECT_FALSE(engine.spotlitWindow(desktop(0)));
    EXPECT_EQ(frameOf(a), topLeft);
    EXPECT_FALSE(sim.outline.shown);
    EXPECT_EQ(changes, 4);
}

TEST_F(TilingCommandsTest, SpotlightSurvivesADesktopSwitchAndItsBorderFollowsTheDesktopShown) {
    grid();
    engine.toggleSpotlight();
    settle();
    world.switchToSpace(desktop(1));
    settle();
    EXPECT_FALSE(sim.outline.shown) << "switching desktops hides the border at once";
    world.switchToSpace(desktop(0));
    settle();
    EXPECT_EQ(engine.spotlitWindow(desktop(0)), a);
    EXPECT_TRUE(sim.outline.shown);

    sim.defaults.set(Settings::spotlightBorderKey, false);
    engine.retile(desktop(0), std::nullopt);
    EXPECT_FALSE(sim.outline.shown) << "no border when it is switched off, but the spotlight stays";
    EXPECT_EQ(frameOf(a), (Rect{0, 25, 1440, 875}));
}

TEST_F(TilingCommandsTest, SpotlightOnASingleWindowChangesNoFrameButIsRecorded) {
    app = launch();
    engine.start();
    a = open(app);
    int changes = 0;
    engine.onSpotlightChanged = [&] { ++changes; };
    engine.toggleSpotlight();
    EXPECT_EQ(frameOf(a), (Rect{8, 33, 1424, 859}));
    EXPECT_EQ(engine.spotlitWindow(desktop(0)), a);
    EXPECT_EQ(changes, 1);
}

TEST(DirectionalSearchTest, LargerSharedEdgeWinsThenNearerThenSmallerId) {
    const Rect from{0, 0, 100, 100};
    // Right of `from`: 7 shares the whole edge but is far; 3 shares half and touches.
    const FrameMap frames{{1, from}, {7, {300, 0, 100, 100}}, {3, {100, 0, 100, 50}}, {9, {100, 50, 100, 50}}};
    EXPECT_EQ(DirectionalSearch::nearest(from, frames, Direction::right), 7u);
    const FrameMap halves{{1, from}, {9, {100, 50, 100, 50}}, {3, {100, 0, 100, 50}}};
    EXPECT_EQ(DirectionalSearch::nearest(from, halves, Direction::right), 3u) << "equal overlap and gap: smaller id";
    const FrameMap overlapping{{1, from}, {2, {50, 0, 100, 100}}, {4, {100, 100, 100, 100}}};
    EXPECT_FALSE(DirectionalSearch::nearest(from, overlapping, Direction::right)) << "not wholly on that side, or only touching at a corner";
    const FrameMap twin{{1, from}, {2, from}};
    EXPECT_FALSE(DirectionalSearch::nearest(from, twin, Direction::left));
}

TEST(SpotlightRuleTest, ReplacesTheSpotlitFrameOnlyAmongSeveralWindows) {
    const Rect area{0, 0, 1000, 800};
    const FrameMap two{{1, {8, 8, 488, 784}}, {2, {504, 8, 488, 784}}};
    EXPECT_EQ(Spotlight::apply(two, 2, area).at(2), area);
    EXPECT_EQ(Spotlight::apply(two, 5, area), two);
    const FrameMap one{{1, {8, 8, 984, 784}}};
    EXPECT_EQ(Spotlight::apply(one, 1, area), one);
}
