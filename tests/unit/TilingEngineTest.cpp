// Tiling stories on the simulator: windows opening, closing, minimising, hiding, moving between
// desktops and refusing to move, checked by where they land, the trees and the log.
#include "TilingFixture.h"

using namespace quorvel;
using namespace quorvel::test;

namespace {

using TilingEngineTest = ThreeWindowFixture;

} // namespace

TEST_F(TilingEngineTest, ThreeWindowsOpenedInARowTileAsAOnTheLeftAndBOverC) {
    openThree();
    EXPECT_EQ(layout(desktop(0), names), "V[A H[B C]]");
    // Gap 8 inside the usable area (0, 25, 1440, 875).
    EXPECT_EQ(frameOf(a), (Rect{8, 33, 708, 859}));
    EXPECT_EQ(frameOf(b), (Rect{724, 33, 708, 425.5}));
    EXPECT_EQ(frameOf(c), (Rect{724, 466.5, 708, 425.5}));
    EXPECT_TRUE(sim.log.contains("Tiling started"));
    EXPECT_TRUE(sim.log.contains("window created " + std::to_string(c) + " (pid " + std::to_string(app) +
                                 ") — adopting"));
    EXPECT_TRUE(sim.log.contains("retile space 1: 3 window(s), gap 8.000000"));
}

TEST_F(TilingEngineTest, ASingleWindowFillsTheUsableAreaInsideTheGapAndGapZeroTouchesTheEdges) {
    sim.defaults.set(Settings::tilingGapKey, 0);
    app = launch();
    engine.start();
    a = open(app);
    EXPECT_EQ(frameOf(a), (Rect{0, 25, 1440, 875}));
    b = open(app);
    EXPECT_EQ(frameOf(a), (Rect{0, 25, 720, 875}));
    EXPECT_EQ(frameOf(b), (Rect{720, 25, 720, 875}));
}

TEST_F(TilingEngineTest, TheNewWindowSplitsTheTileOfTheWindowFocusedBeforeIt) {
    openThree();
    world.focusWindow(a);
    settle();
    const WindowId d = open(app);
    names[d] = "D";
    EXPECT_EQ(layout(desktop(0), names), "V[H[A D] H[B C]]");
    EXPECT_EQ(engine.view().lastFocusedWindow(desktop(0)), d);
}

TEST_F(TilingEngineTest, ClosingAWindowRefitsOrKeepsTheSplitsAsSet) {
    openThree();
    world.closeWindow(a);
    settle();
    // B and C take the whole area; reoriented for its wide shape, they sit side by side.
    EXPECT_EQ(layout(desktop(0), names), "V[B C]");
    EXPECT_EQ(frameOf(b), (Rect{8, 33, 708, 859}));

    sim.defaults.set(Settings::tilingCloseBehaviorKey, "keep");
    const WindowId d = open(app);
    names[d] = "D";
    world.focusWindow(d);
    settle();
    EXPECT_EQ(layout(desktop(0), names), "V[B H[C D]]");
    world.closeWindow(b);
    settle();
    EXPECT_EQ(layout(desktop(0), names), "H[C D]") << "kept: the stacked split stays stacked";
    EXPECT_EQ(frameOf(c), (Rect{8, 33, 1424, 425.5}));
}

TEST_F(TilingEngineTest, MinimisingGivesTheTileAwayAndRestoringTakesItBack) {
    openThree();
    world.minimizeWindow(b);
    settle();
    EXPECT_EQ(layout(desktop(0), names), "V[A C]");
    world.unminimizeWindow(b);
    settle();
    EXPECT_EQ(engine.view().tree(desktop(0))->leafCount(), 3u);
    EXPECT_TRUE(engine.view().tree(desktop(0))->contains(b));
    EXPECT_EQ(frameOf(b).width, 708);
}

TEST_F(TilingEngineTest, HidingAndUnhidingAnAppBringsItsSplitLayoutBack) {
    const Pid other = launch("Terminal");
    openThree();
    world.focusWindow(a);
    settle();
    const WindowId t = open(other);
    names[t] = "T";
    EXPECT_EQ(layout(desktop(0), names), "V[H[A T] H[B C]]");

    world.hideApp(app);
    settle();
    EXPECT_EQ(layout(desktop(0), names), "T");
    world.unhideApp(app);
    settle(0.3s);
    EXPECT_EQ(layout(desktop(0), names), "V[H[A T] H[B C]]");
    EXPECT_EQ(engine.view().hiddenLayoutCount(), 0u);
}

TEST_F(TilingEngineTest, AWindowMovedToAnotherDesktopLeavesItsOldTreeAndBothRetile) {
    openThree();
    world.moveWindowToSpace(c, desktop(1));
    world.switchToSpace(desktop(1));
    settle();
    EXPECT_EQ(layout(desktop(0), names), "V[A B]");
    EXPECT_EQ(layout(desktop(1), names), "C");
    EXPECT_EQ(frameOf(c), (Rect{8, 33, 1424, 859}));
    EXPECT_EQ(frameOf(b), (Rect{724, 33, 708, 859}));
}

TEST_F(TilingEngineTest, QuittingAnAppRemovesItsWindowsAndRetilesEachDesktopOnce) {
    openThree();
    const Pid other = launch("Terminal");
    const WindowId t = open(other);
    sim.log.clear();
    world.quitApp(app);
    settle();
    EXPECT_EQ(treeOf(desktop(0)), std::to_string(t));
    EXPECT_EQ(frameOf(t), (Rect{8, 33, 1424, 859}));
    EXPECT_EQ(engine.view().trackedCount(), 1u);
    EXPECT_EQ(sim.log.count("retile space 1: 1 window(s)"), 1u);
    EXPECT_EQ(sim.log.count("retile space 1:"), 1u) << "nothing refused, nothing dropped";
}

TEST_F(TilingEngineTest, AWindowWhoseCloseCannotBeObservedLeavesWithinTwoSeconds) {
    app = launch();
    engine.start();
    a = open(app);
    world.failAlways("watch windowDestroyed", WindowError::cannotComplete);
    b = open(app);
    EXPECT_FALSE(engine.view().isDestroyArmed(b));
    EXPECT_TRUE(sim.log.contains("track " + std::to_string(b) +
                                 ": destroy notification refused (cannotComplete) — relying on the close sweep"));

    sim.scheduler.advance(0.5s); // past the deferred reconcile of b's adoption

    // A window on a desktop not shown is not gone.
    world.moveWindowToSpace(a, desktop(1));
    world.closeWindow(b);
    sim.scheduler.advance(2.1s);
    EXPECT_TRUE(sim.log.contains("close sweep: window " + std::to_string(b) + " is gone — removing from tree"));
    EXPECT_TRUE(engine.view().isTracked(a));
    EXPECT_FALSE(engine.view().isTracked(b));
}

TEST_F(TilingEngineTest, AWindowListWithoutAnAnswerIsNotAnEmptyDesktop) {
    app = launch();
    engine.start();
    a = open(app);
    world.failAlways("watch windowDestroyed", WindowError::cannotComplete);
    b = open(app); // only the close sweep can notice b going
    names = {{a, "A"}, {b, "B"}};
    sim.scheduler.advance(0.5s);
    world.failAlways("windowList");
    sim.scheduler.advance(4.1s); // two sweeps without an answer
    EXPECT_FALSE(sim.log.contains("close sweep"));
    EXPECT_TRUE(engine.view().isTracked(b));
    EXPECT_EQ(layout(desktop(0), names), "V[A B]");
    world.clearFailures();
    world.closeWindow(b);
    sim.scheduler.advance(2.1s);
    EXPECT_TRUE(sim.log.contains("close sweep: window " + std::to_string(b) + " is gone — removing from tree"));
}

TEST_F(TilingEngineTest, DialogsAndFixedSizeWindowsAreNeverTracked) {
    app = launch();
    engine.start();
    a = open(app);
    const WindowId dialog = open(app, {.kind = WindowKind::dialog});
    const WindowId fixed = open(app, {.resizable = false});
    EXPECT_EQ(treeOf(desktop(0)), std::to_string(a));
    EXPECT_FALSE(engine.view().isTracked(dialog));
    EXPECT_FALSE(engine.view().isTracked(fixed));
}

TEST_F(TilingEngineTest, AnAppLaunchedWhileTilingRunsIsAttachedAtOnceAndRetriesWhileItHasNoWindow) {
    engine.start();
    const Pid pid = world.launchApp({.name = "Slow"});
    sim.scheduler.runPending();
    EXPECT_TRUE(engine.view().hasObserver(pid)) << "attached at once, though it has no window yet";
    sim.scheduler.advance(3.6s);
    EXPECT_TRUE(sim.log.contains("attach: no windows after 3 attempts: Slow (" + std::to_string(pid) + ")"));
    EXPECT_EQ(sim.log.count("attached Slow"), 1u);
}

TEST_F(TilingEngineTest, TheFirstWindowOfANewAppSplitsTheWindowFocusedBeforeItWithoutWaiting) {
    app = launch();
    engine.start();
    a = open(app);
    b = open(app);
    world.focusWindow(a);
    settle();
    // The launch is reported together with the first window, which has taken the focus already.
    const Pid fresh = world.launchApp({.name = "Fresh"});
    const WindowId n = world.openWindow(fresh, {40, 60, 600, 400});
    sim.scheduler.runPending();
    const std::map<WindowId, std::string> named{{a, "A"}, {b, "B"}, {n, "N"}};
    EXPECT_EQ(layout(desktop(0), named), "V[H[A N] B]") << "tiled in the same turn, beside A";
    EXPECT_EQ(frameOf(n), (Rect{8, 466.5, 708, 425.5}));
}

TEST_F(TilingEngineTest, WindowsClosedInOneTurnRetileTheirDesktopOnce) {
    openThree();
    const WindowId d = open(app);
    sim.log.clear();
    world.closeWindow(b);
    world.closeWindow(c);
    world.closeWindow(d);
    settle();
    EXPECT_EQ(treeOf(desktop(0)), std::to_string(a));
    EXPECT_EQ(frameOf(a), (Rect{8, 33, 1424, 859}));
    EXPECT_EQ(sim.log.count("retile space 1:"), 1u);
}

TEST_F(TilingEngineTest, OurOwnProcessIsNeverAttachedAndNoOtherIsSkippedByName) {
    const Pid helper = world.launchApp({.name = "Helper", .pid = world.ownPid}); // our own, under another name
    const Pid dock = world.launchApp({.name = "Dock"}); // a name like any other here
    const WindowId window = world.openWindow(dock, {40, 60, 600, 400});
    engine.start();
    sim.scheduler.advance(5s);
    EXPECT_FALSE(engine.view().hasObserver(helper));
    EXPECT_TRUE(engine.view().isTracked(window));
    EXPECT_EQ(sim.log.count("attach: no windows"), 0u) << "no retry is scheduled for them";
}

TEST_F(TilingEngineTest, AWindowThatRefusesToMoveIsDroppedAndTheOthersCloseTheGap) {
    openThree();
    world.window(b)->refusesMoves = true;
    world.window(b)->frame.x += 50; // dragged off its tile: the retile has to move it
    engine.retile(desktop(0), std::nullopt);
    EXPECT_TRUE(sim.log.contains("retile space 1: dropping unresponsive windows [" + std::to_string(b) + "]"));
    EXPECT_EQ(layout(desktop(0), names), "V[A C]");
    EXPECT_EQ(frameOf(c), (Rect{724, 33, 708, 859}));
    EXPECT_FALSE(engine.view().isTracked(b));
}

TEST_F(TilingEngineTest, AWindowThatMovesButNoLongerResizesIsDroppedAndTheLogNamesThePartRefused) {
    openThree();
    world.window(c)->resizable = false; // as a window whose size got fixed after it was tiled
    world.window(c)->frame.width -= 50; // and changed: the retile has to resize it
    engine.retile(desktop(0), std::nullopt);
    EXPECT_TRUE(sim.log.contains("setFrame refused: pos=ok size=cannotComplete rect={{724, 466.5}, {708, 425.5}}"));
    EXPECT_EQ(layout(desktop(0), names), "V[A B]");
    EXPECT_EQ(frameOf(b), (Rect{724, 33, 708, 859}));
    EXPECT_FALSE(engine.view().isTracked(c));
}

TEST_F(TilingEngineTest, AllWindowsRefusingWithTheWindowManagerGonePausesTilingKeepingTheTree) {
    openThree();
    const std::string shape = layout(desktop(0), names);
    int revoked = 0;
    engine.onAccessLost = [&] { ++revoked; };
    world.revokeTrust();
    engine.retile(desktop(0), std::nullopt);
    EXPECT_EQ(revoked, 1);
    EXPECT_FALSE(engine.isRunning());
    EXPECT_TRUE(engine.isPaused());
    EXPECT_TRUE(sim.log.contains(
        "retile space 1: all 3 window(s) refused and the window manager is gone — pausing tiling"));
    EXPECT_TRUE(engine.trees().empty());

    world.grantTrust();
    engine.resume();
    EXPECT_TRUE(engine.isRunning());
    EXPECT_EQ(layout(desktop(0), names), shape);
}

TEST_F(TilingEngineTest, AnimationGlidesNeighboursWhileTheNewWindowJumps) {
    settings.setTilingAnimation(TilingAnimation::slide);
    app = launch();
    engine.start();
    a = open(app);
    sim.scheduler.advance(1s);
    world.writes().clear();
    b = world.openWindow(app, {40, 60, 600, 400});
    sim.scheduler.runPending();
    EXPECT_EQ(frameOf(b), (Rect{724, 33, 708, 859})) << "the new window is placed at once";
    EXPECT_TRUE(engine.view().isAnimating(desktop(0)));
    EXPECT_TRUE(sim.log.contains("retile space 1: animating 1 window(s), style slide, new " + std::to_string(b)));
    sim.scheduler.advance(0.1s);
    EXPECT_GT(frameOf(a).width, 708) << "A is still on its way";
    sim.scheduler.advance(0.5s);
    EXPECT_EQ(frameOf(a), (Rect{8, 33, 708, 859}));
    EXPECT_FALSE(engine.view().isAnimating(desktop(0)));
    const auto finished = sim.log.lines("tiling");
    const auto line = std::find_if(finished.begin(), finished.end(),
                                   [](const std::string& l) { return l.starts_with("animation finished: "); });
    ASSERT_NE(line, finished.end());
    EXPECT_TRUE(*line == "animation finished: 8 tick(s), 0 over budget" ||
                *line == "animation finished: 9 tick(s), 0 over budget")
        << *line;
}

TEST_F(TilingEngineTest, TwoSlowTicksCutTheAnimationShortAndTheFinalFramesStillLand) {
    settings.setTilingAnimation(TilingAnimation::grow);
    app = launch();
    engine.start();
    a = open(app);
    sim.scheduler.advance(1s);
    world.writeCostPerPart = 0.06s; // each tick resizes A: 60 ms, over the 50 ms budget
    b = world.openWindow(app, {40, 60, 600, 400});
    sim.scheduler.advance(1s);
    EXPECT_TRUE(sim.log.contains("animation finished: 2 tick(s), 2 over budget"));
    EXPECT_EQ(frameOf(a), (Rect{8, 33, 708, 859}));
}

TEST_F(TilingEngineTest, ADesktopSetToOffGetsNoTreeAndOneSetToOnTilesWithTilingOff) {
    sim.defaults.set(Settings::tilingEnabledKey, false);
    labels.setTilingOverride(TilingOverride::on, desktop(0));
    app = launch();
    engine.start();
    a = open(app);
    b = open(app);
    EXPECT_EQ(engine.view().tree(desktop(0))->leafCount(), 2u);
    labels.setTilingOverride(TilingOverride::off, desktop(0));
    engine.tilingOverrideChanged(desktop(0));
    EXPECT_EQ(engine.view().tree(desktop(0)), nullptr);
    const Rect before = frameOf(a);
    const WindowId c2 = open(app);
    EXPECT_EQ(frameOf(a), before) << "dropping a tree never moves windows";
    EXPECT_EQ(frameOf(c2), (Rect{40, 60, 600, 400}));
}

TEST_F(TilingEngineTest, StoppingForgetsEverythingAndMovesNothing) {
    openThree();
    const Rect before = frameOf(a);
    engine.stop();
    EXPECT_FALSE(engine.isRunning());
    EXPECT_TRUE(engine.trees().empty() && engine.view().trackedCount() == 0 && engine.view().observerCount() == 0);
    open(app);
    EXPECT_EQ(frameOf(a), before);
    EXPECT_TRUE(sim.log.contains("Tiling stopped"));
}
