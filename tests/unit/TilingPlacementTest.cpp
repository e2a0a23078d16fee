// Frame writes that are checked: windows already on their tiles are not written and the frames a
// retile needs are read in one call; a window the window manager keeps off its tile leaves the
// tree with one log line, while a terminal a few pixels short of its tile stays.
#include "TilingFixture.h"

using namespace quorvel;
using namespace quorvel::test;

namespace {

class TilingPlacementTest : public TilingFixture {
protected:
    void openThree() {
        app = launch();
        engine.start();
        a = open(app);
        b = open(app);
        c = open(app);
        names = {{a, "A"}, {b, "B"}, {c, "C"}};
        sim.scheduler.advance(1s); // reconciles and landed checks are over
    }
    Pid app = 0;
    WindowId a = 0, b = 0, c = 0;
    std::map<WindowId, std::string> names;
};

} // namespace

TEST_F(TilingPlacementTest, ARetileWritesOnlyWhatDiffersAndReadsTheFramesInOneCall) {
    openThree();
    world.writes().clear();
    world.resetCalls();
    engine.retile(desktop(0), std::nullopt);
    EXPECT_TRUE(world.writes().empty()) << "every window is on its tile already";
    EXPECT_EQ(world.calls("frames"), 1u);
    EXPECT_EQ(world.calls("frame"), 0u);

    // The user drags B by its title bar: it is moved back, its size is left alone.
    const Rect tile = frameOf(b);
    world.window(b)->frame.x += 50;
    engine.retile(desktop(0), std::nullopt);
    ASSERT_EQ(world.writes().size(), 1u);
    EXPECT_EQ(world.writes()[0].window, b);
    EXPECT_TRUE(world.writes()[0].change.origin.has_value());
    EXPECT_FALSE(world.writes()[0].change.size.has_value());
    EXPECT_EQ(frameOf(b), tile);
}

TEST_F(TilingPlacementTest, AWindowThatStaysOffItsTileIsDroppedOnceAndTheOthersFillTheArea) {
    openThree();
    world.refuseFrames(b); // answers every write as done and stays where it is
    sim.log.clear();
    world.closeWindow(c);
    settle(TreePolicy::kLeaveSettle + FrameWriter::kLandedCheckDelay);
    EXPECT_EQ(layout(desktop(0), names), "V[A B]") << "a first look may find the window manager still busy";
    sim.scheduler.advance(FrameWriter::kLandedRecheckDelay);
    EXPECT_EQ(layout(desktop(0), names), "A");
    EXPECT_EQ(frameOf(a), (Rect{8, 33, 1424, 859}));
    EXPECT_FALSE(engine.view().isTracked(b));
    // Focusing it, or another window arriving, does not try it again.
    world.focusWindow(b);
    open(app);
    sim.scheduler.advance(5s);
    EXPECT_FALSE(engine.view().isTracked(b));
    EXPECT_EQ(sim.log.count("stay off their tiles"), 1u);
    EXPECT_TRUE(sim.log.contains("retile space 1: windows [" + std::to_string(b) +
                                 "] stay off their tiles — dropping them"));
}

TEST_F(TilingPlacementTest, AMinimumSizeWiderThanTheTileIsARefusalButSizeStepsAreNot) {
    app = launch();
    engine.start();
    a = open(app);
    world.window(a)->sizeStep = {6, 13}; // a terminal: lands a few pixels short of its tile
    const WindowId wide = world.openWindow(app, {40, 60, 600, 400});
    world.window(wide)->minimumSize = Size{1000, 300};
    settle();
    sim.scheduler.advance(1s);
    EXPECT_EQ(treeOf(desktop(0)), std::to_string(a));
    EXPECT_FALSE(engine.view().isTracked(wide));
    EXPECT_LT(std::abs(frameOf(a).width - 1424), 6.0);
    EXPECT_LT(std::abs(frameOf(a).height - 859), 13.0);
    EXPECT_EQ(sim.log.count("stay off their tiles"), 1u);
}

TEST_F(TilingPlacementTest, AWindowTheUserIsStillDraggingIsNotTakenForARefusal) {
    openThree();
    engine.retile(desktop(0), std::nullopt);
    world.window(b)->frame.x += 50; // grabbed by its title bar
    sim.scheduler.advance(FrameWriter::kLandedCheckDelay);
    world.window(b)->frame.x += 30; // and still moving
    sim.scheduler.advance(FrameWriter::kLandedRecheckDelay);
    EXPECT_EQ(layout(desktop(0), names), "V[A H[B C]]");
    EXPECT_TRUE(engine.view().isTracked(b));
    EXPECT_EQ(sim.log.count("stay off their tiles"), 0u);
}
