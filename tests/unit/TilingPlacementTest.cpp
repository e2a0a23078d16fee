// Frame writes that are checked: windows already on their tiles are not written and the frames a
// retile needs are read in one call; a window the window manager keeps off its tile leaves the
// tree with one log line, while a terminal a few pixels short of its tile stays (but not one
// larger); a write still on its way is not taken as done, and a refused window's id is free again
// once the window is gone.
#include "TilingFixture.h"

using namespace quorvel;
using namespace quorvel::test;

namespace {

class TilingPlacementTest : public ThreeWindowFixture {
protected:
    void openThree() {
        ThreeWindowFixture::openThree();
        sim.scheduler.advance(1s); // reconciles and landed checks are over
    }
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

TEST_F(TilingPlacementTest, AWriteStillOnItsWayIsNotTakenForTheWindowBeingInPlace) {
    app = launch();
    engine.start();
    a = open(app);
    sim.scheduler.advance(1s);
    const Rect whole = frameOf(a);
    world.window(a)->frameLag = 0.3s; // the window manager is slow to apply what it is asked
    b = world.openWindow(app, {40, 60, 600, 400});
    sim.scheduler.runPending(); // A is asked for half the area...
    ASSERT_FALSE(world.writes().empty());
    world.closeWindow(b); // ...and B is gone before that lands: A is read at its whole tile
    sim.scheduler.advance(2s);
    EXPECT_EQ(frameOf(a), whole) << "the whole tile is asked again, after the half one";
    EXPECT_EQ(treeOf(desktop(0)), std::to_string(a));
    EXPECT_EQ(sim.log.count("stay off their tiles"), 0u);
}

TEST_F(TilingPlacementTest, ARefusedWindowsIdIsFreeOnceTheWindowIsGone) {
    openThree();
    // B refuses and is closed; the application's next window gets B's id from the server.
    world.refuseFrames(b);
    world.closeWindow(a);
    sim.scheduler.advance(2s);
    ASSERT_FALSE(engine.view().isTracked(b));
    world.closeWindow(b);
    settle();
    open(app, {.id = b});
    sim.scheduler.advance(1s);
    EXPECT_EQ(layout(desktop(0), names), "V[C B]");

    // C refuses and its end is never heard; another application's window gets its id.
    world.failAlways("watch windowDestroyed");
    const WindowId d = open(app);
    ASSERT_FALSE(engine.view().isDestroyArmed(d));
    world.refuseFrames(d);
    world.closeWindow(b);
    sim.scheduler.advance(1s);
    ASSERT_FALSE(engine.view().isTracked(d));
    world.closeWindow(d);
    world.clearFailures();
    const Pid other = launch("Viewer");
    open(other, {.id = d});
    sim.scheduler.advance(1s);
    names[d] = "D";
    EXPECT_EQ(layout(desktop(0), names), "V[C D]");
}

TEST_F(TilingPlacementTest, ALaunchedApplicationsWindowWithoutADesktopYetIsTriedAgain) {
    engine.start();
    app = world.launchApp({.name = "Editor"});
    a = world.openWindow(app, {40, 60, 600, 400}, {.space = SpaceId{0}, .focus = false});
    sim.scheduler.runPending(); // attached with its window, which is on no desktop yet
    ASSERT_TRUE(engine.view().isTracked(a));
    world.moveWindowToSpace(a, desktop(0));
    sim.scheduler.advance(1s);
    EXPECT_EQ(treeOf(desktop(0)), std::to_string(a));
}

TEST_F(TilingPlacementTest, TheWindowsLeftAfterADropAreCheckedWhereTheyLand) {
    openThree();
    world.window(b)->refusesMoves = true; // answers writes with an error
    world.refuseFrames(c);                // answers them as done and stays put
    world.closeWindow(a);
    settle(TreePolicy::kLeaveSettle);
    ASSERT_FALSE(engine.view().isTracked(b));
    sim.scheduler.advance(FrameWriter::kLandedCheckDelay + FrameWriter::kLandedRecheckDelay + 0.1s);
    EXPECT_FALSE(engine.view().isTracked(c));
    EXPECT_EQ(treeOf(desktop(0)), "");
    EXPECT_EQ(sim.log.count("stay off their tiles"), 1u);
}

TEST_F(TilingPlacementTest, AWindowLargerThanItsTileByLessThanAStepIsWrittenAndJudged) {
    app = launch();
    engine.start();
    a = open(app);
    world.window(a)->sizeStep = {6, 13};
    sim.scheduler.advance(1s);
    const Rect tile{8, 33, 1424, 859};
    world.window(a)->frame = Rect{tile.x, tile.y, tile.width + 4, tile.height};
    world.writes().clear();
    engine.retile(desktop(0), std::nullopt);
    ASSERT_EQ(world.writes().size(), 1u);
    EXPECT_TRUE(world.writes()[0].change.size.has_value());
    EXPECT_LE(frameOf(a).width, tile.width);

    // One that keeps the larger size is off its tile.
    world.refuseFrames(a);
    world.window(a)->frame = Rect{tile.x, tile.y, tile.width + 4, tile.height};
    engine.retile(desktop(0), std::nullopt);
    sim.scheduler.advance(1s);
    EXPECT_FALSE(engine.view().isTracked(a));
    EXPECT_EQ(sim.log.count("stay off their tiles"), 1u);
}
