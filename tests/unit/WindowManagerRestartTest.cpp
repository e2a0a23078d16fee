// Tiling across a window manager restart on the simulator: the trees are kept while it is away and
// laid out again once one is back; only an absence longer than the grace reaches the user.
#include "TilingFixture.h"
#include "tiling/TilingCoordinator.h"

namespace quorvel::test {
namespace {

constexpr const char* kNoWindowManager = "Tiling paused — no window manager is running on this display";

class WindowManagerRestartTest : public ThreeWindowFixture {
protected:
    TilingCoordinator coordinator{engine,        settings,     labels,        sim.windowControl,
                                  sim.workspace, sim.notifier, sim.scheduler, sim.log};

    void SetUp() override {
        ThreeWindowFixture::SetUp();
        world.onWindowManagerChanged = [this](bool present) {
            if (present) coordinator.windowManagerAppeared();
            else coordinator.windowManagerLost();
        };
        openThree();
        // A shape of the user's making, which adopting the windows afresh would not give.
        world.focusWindow(a);
        settle();
        ASSERT_TRUE(engine.swapFocusedWindow(Direction::right));
        settle();
        shape = layout(desktop(0), names);
        for (const WindowId id : {a, b, c}) tiles[id] = frameOf(id);
    }
    // What a window manager leaves behind: windows where it let go of them, or anywhere.
    void scatter() {
        for (const WindowId id : {a, b, c})
            if (sim::SimWindow* window = world.window(id)) window->frame = {200, 200, 500, 300};
    }

    std::string shape;
    std::map<WindowId, Rect> tiles;
};

TEST_F(WindowManagerRestartTest, ARestartKeepsTheTreeAndPutsEveryWindowBackWithoutAWord) {
    ASSERT_NE(shape, "V[A H[B C]]") << "the swap gave the tree a shape of its own";
    // A replacement lets go of every window before it goes: the tree empties, then pauses.
    world.loseWindowManager();
    settle();
    EXPECT_TRUE(engine.isPaused());
    EXPECT_TRUE(coordinator.waitingForWindowManager());
    scatter();

    sim.scheduler.advance(Seconds(3));
    world.regainWindowManager();
    settle(TilingCoordinator::kWindowManagerSettle + 0.1s);
    ASSERT_TRUE(engine.isRunning());
    EXPECT_EQ(layout(desktop(0), names), shape);
    for (const WindowId id : {a, b, c}) EXPECT_EQ(frameOf(id), tiles[id]) << names[id];
    EXPECT_TRUE(sim.notifier.toasts.empty());
    EXPECT_TRUE(sim.notifier.alerts.empty());
    EXPECT_FALSE(coordinator.waitingForWindowManager());
    EXPECT_TRUE(sim.log.contains("window manager back — tiling resumed from the kept trees"));
}

TEST_F(WindowManagerRestartTest, AWindowManagerSlowToListTheWindowsStillGetsTheKeptTrees) {
    world.loseWindowManager();
    settle();
    ASSERT_TRUE(engine.isPaused());
    scatter();

    world.regainWindowManager(Seconds(1.5));
    settle(TilingCoordinator::kWindowManagerSettle + 0.1s);
    EXPECT_TRUE(engine.isPaused()) << "waits for the windows to be listed";
    settle(Seconds(1.5));
    ASSERT_TRUE(engine.isRunning());
    EXPECT_EQ(layout(desktop(0), names), shape);
    for (const WindowId id : {a, b, c}) EXPECT_EQ(frameOf(id), tiles[id]) << names[id];
    EXPECT_TRUE(sim.log.contains("window manager back — tiling resumed from the kept trees"));
}

TEST_F(WindowManagerRestartTest, ALongAbsenceIsToldAfterTheGraceAndAWindowClosedMeanwhileIsLeftOut) {
    // A crash lets go of nothing.
    world.loseWindowManager(false);
    settle();
    ASSERT_TRUE(engine.isPaused());
    world.closeWindow(c);
    scatter();

    sim.scheduler.advance(TilingCoordinator::kWindowManagerGrace - 0.2s);
    EXPECT_TRUE(sim.notifier.toasts.empty());
    sim.scheduler.advance(Seconds(0.3));
    EXPECT_EQ(sim.notifier.toasts, std::vector<std::string>{kNoWindowManager});
    EXPECT_TRUE(sim.log.contains("no EWMH window manager for 10 s — tiling stays paused until one starts"));
    sim.scheduler.advance(Seconds(60));
    EXPECT_EQ(sim.notifier.toasts.size(), 1u) << "told once";

    world.regainWindowManager();
    settle(TilingCoordinator::kWindowManagerSettle + 0.1s);
    EXPECT_TRUE(engine.isPaused()) << "the closed window is waited for, a bounded time";
    settle(TilingCoordinator::kWindowManagerListing);
    ASSERT_TRUE(engine.isRunning());
    EXPECT_EQ(sim.notifier.toasts.back(), "Tiling on");
    const std::string left = layout(desktop(0), names);
    EXPECT_EQ(left.find('C'), std::string::npos) << left;
    EXPECT_EQ(engine.view().tree(desktop(0))->leafCount(), 2u);
    // A and B fill the area between them, side by side as they were.
    EXPECT_LT(frameOf(b).x, frameOf(a).x) << left;
    EXPECT_EQ(frameOf(a).y, frameOf(b).y);
}

TEST_F(WindowManagerRestartTest, TurningTilingOffWhileWaitingEndsTheWait) {
    world.loseWindowManager();
    settle();
    coordinator.setEnabled(false, TilingCoordinator::Source::menu);
    sim.scheduler.advance(Seconds(30));
    EXPECT_EQ(sim.notifier.toasts, std::vector<std::string>{"Tiling off"});

    EXPECT_FALSE(coordinator.waitingForWindowManager());

    world.regainWindowManager();
    settle(Seconds(1));
    EXPECT_FALSE(engine.isRunning());
    EXPECT_FALSE(engine.isPaused());
}

TEST_F(WindowManagerRestartTest, TheLastForcedDesktopSetBackWhilePausedDropsTheKeptTrees) {
    // Tiling only because the desktop is forced on.
    labels.setTilingOverride(TilingOverride::on, desktop(0));
    coordinator.setEnabled(false, TilingCoordinator::Source::menu);
    ASSERT_TRUE(engine.isRunning());
    world.loseWindowManager(false);
    settle();
    ASSERT_TRUE(engine.isPaused());

    labels.setTilingOverride(TilingOverride::automatic, desktop(0));
    coordinator.spaceOverrideChanged(desktop(0), TilingCoordinator::Source::menu);
    EXPECT_FALSE(engine.isPaused());
    EXPECT_FALSE(coordinator.waitingForWindowManager());
    world.regainWindowManager();
    settle(Seconds(1));
    EXPECT_FALSE(engine.isRunning());

    // Turned on much later: the desktop is adopted afresh, not laid out as it was before.
    sim.scheduler.advance(Seconds(3600));
    coordinator.setEnabled(true, TilingCoordinator::Source::menu);
    settle();
    ASSERT_TRUE(engine.isRunning());
    EXPECT_NE(layout(desktop(0), names), shape);
}

} // namespace
} // namespace quorvel::test
