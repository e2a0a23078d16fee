// Tiling with a second monitor showing the same desktops, in virtual time: each monitor tiles its
// own windows in its own area, a window dragged across changes trees, a monitor that goes away
// hands its windows over, and swap and spotlight stay within the focused window's monitor.
#include "TilingFixture.h"

using namespace quorvel;
using namespace quorvel::test;

namespace {

// The home display's usable area is (0, 25, 1440, 875); the second monitor, right of it, keeps a
// 30 px bar at its bottom: (1440, 0, 1280, 770). The gap is 8.
constexpr Rect kHomeWhole{8, 33, 1424, 859};
constexpr Rect kHomeLeft{8, 33, 708, 859};
constexpr Rect kHomeRight{724, 33, 708, 859};
constexpr Rect kSecondWhole{1448, 8, 1264, 754};
constexpr Rect kSecondLeft{1448, 8, 628, 754};
constexpr Rect kSecondRight{2084, 8, 628, 754};

class TilingMonitorsTest : public TilingFixture {
protected:
    void SetUp() override {
        TilingFixture::SetUp();
        second = world.addMonitor(0, {1440, 0, 1280, 800}, 0, 30);
        editor = launch();
        engine.start();
        settle();
    }
    std::size_t leaves(DisplayNumber monitor) {
        const BSPTree* tree = engine.view().tree(1, monitor);
        return tree ? tree->leafCount() : 0;
    }
    // Opens a window on the second monitor, as an application remembering its place would.
    WindowId openOnSecond() {
        const WindowId id = world.openWindow(editor, {1600, 100, 600, 400});
        settle(1s);
        return id;
    }

    DisplayNumber second = 0;
    Pid editor = 0;
};

} // namespace

TEST_F(TilingMonitorsTest, EachMonitorTilesItsOwnWindowsAndADraggedWindowChangesTrees) {
    const WindowId a = open(editor);
    const WindowId b = openOnSecond();
    const WindowId c = openOnSecond();
    settle(1s);
    EXPECT_EQ(leaves(kHomeMonitor), 1u);
    EXPECT_EQ(leaves(second), 2u);
    EXPECT_EQ(frameOf(a), kHomeWhole);
    EXPECT_EQ(frameOf(b), kSecondLeft);
    EXPECT_EQ(frameOf(c), kSecondRight);
    EXPECT_EQ(engine.trees(), std::set<SpaceId>{1}) << "one desktop has trees, whatever the monitors";

    // C dragged onto the home monitor: it leaves the second tree and splits A's tile.
    world.dragWindow(c, {300, 300, 600, 400});
    settle(1s);
    EXPECT_EQ(leaves(kHomeMonitor), 2u);
    EXPECT_EQ(leaves(second), 1u);
    EXPECT_EQ(frameOf(a), kHomeLeft);
    EXPECT_EQ(frameOf(c), kHomeRight);
    EXPECT_EQ(frameOf(b), kSecondWhole);

    // A drag within a monitor leaves the trees as they are.
    world.dragWindow(b, {1500, 50, 600, 400});
    settle(1s);
    EXPECT_EQ(leaves(second), 1u);
    EXPECT_EQ(leaves(kHomeMonitor), 2u);
}

TEST_F(TilingMonitorsTest, AMonitorThatGoesAwayHandsItsWindowsToTheOneThatRemains) {
    const WindowId a = open(editor);
    const WindowId b = openOnSecond();
    ASSERT_EQ(leaves(second), 1u);

    world.removeMonitor(second);
    settle(1s);
    EXPECT_EQ(leaves(kHomeMonitor), 2u);
    EXPECT_EQ(engine.view().tree(1, second), nullptr);
    EXPECT_EQ(frameOf(a), kHomeLeft);
    EXPECT_EQ(frameOf(b), kHomeRight);

    // Its return takes nothing back: the windows are on the home monitor now.
    second = world.addMonitor(0, {1440, 0, 1280, 800}, 0, 30);
    settle(1s);
    EXPECT_EQ(leaves(kHomeMonitor), 2u);
    EXPECT_EQ(leaves(second), 0u);
}

TEST_F(TilingMonitorsTest, SwapAndSpotlightStayWithinTheFocusedWindowsMonitor) {
    const WindowId a = open(editor);
    const WindowId b = openOnSecond();
    const WindowId c = openOnSecond();
    settle(1s);
    ASSERT_EQ(frameOf(b), kSecondLeft);

    // B is the left tile of the second monitor; A lies further left, on the home monitor.
    world.focusWindow(b);
    settle();
    EXPECT_FALSE(engine.swapFocusedWindow(Direction::left)) << "never across to another monitor's tree";
    EXPECT_TRUE(engine.swapFocusedWindow(Direction::right));
    settle(1s);
    EXPECT_EQ(frameOf(b), kSecondRight);
    EXPECT_EQ(frameOf(c), kSecondLeft);
    EXPECT_EQ(frameOf(a), kHomeWhole);

    engine.toggleSpotlight();
    settle(1s);
    EXPECT_EQ(frameOf(b), (Rect{1440, 0, 1280, 770})) << "the spotlit window covers its own monitor only";
    EXPECT_EQ(frameOf(a), kHomeWhole);
    ASSERT_TRUE(sim.outline.shown);
    EXPECT_EQ(*sim.outline.shown, (Rect{1440, 0, 1280, 770}));
}

TEST_F(TilingMonitorsTest, OurOwnWritesReadFramesOnlyWithSeveralMonitors) {
    settings.setTilingAnimation(TilingAnimation::none);
    open(editor);
    open(editor);
    settle(1s);
    // A flip writes every window at once; the frame changes it causes arrive on later turns.
    const auto readsAfterFlip = [&] {
        const std::size_t writes = world.writes().size();
        EXPECT_TRUE(engine.toggleSplitOfFocusedWindow());
        EXPECT_GT(world.writes().size(), writes);
        const std::size_t reads = world.calls("frame");
        settle(1s);
        return world.calls("frame") - reads;
    };
    EXPECT_GT(readsAfterFlip(), 0u) << "with two monitors each moved window is looked at";

    world.removeMonitor(second);
    settle(1s);
    EXPECT_EQ(readsAfterFlip(), 0u) << "with one monitor a frame change reads nothing";
}
