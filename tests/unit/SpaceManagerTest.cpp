// Reading the displays and desktops as every view sees them, and the mini-map layouts.
#include "SpaceFixture.h"

using namespace quorvel;
using test::indexes;

namespace {
class SpaceManagerTest : public test::SpaceFixture {};
} // namespace

TEST_F(SpaceManagerTest, ReadsDisplaysWithNamesNumbersAndTheCurrentDesktop) {
    twoDisplays();
    world.switchToSpace(spaceAt(1, 1));
    const auto displays = spaces.getDisplays();
    ASSERT_EQ(displays.size(), 2u);
    EXPECT_EQ(displays[0].label, "Left");
    EXPECT_EQ(displays[1].label, "Right");
    EXPECT_TRUE(displays[0].isMain);
    EXPECT_EQ(indexes(displays), "1 2 3 | 4 5");
    EXPECT_TRUE(displays[1].spaces[1].isCurrent);
    EXPECT_FALSE(displays[0].spaces[0].isCurrent);

    sim.defaults.set(Settings::numberingKey, "per_display");
    EXPECT_EQ(indexes(spaces.getDisplays()), "1 2 3 | 1 2");

    const auto all = spaces.getSpaces();
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[3].displayID, "RIGHT-UUID");
    EXPECT_EQ(spaces.orderedSpaceIDs(), (std::vector<SpaceId>{1, 2, 3, 4, 5}));
    EXPECT_EQ(spaces.currentSpaceID("RIGHT-UUID"), spaceAt(1, 1));
    EXPECT_EQ(spaces.currentSpaceID("LEFT-UUID"), spaceAt(0, 0));
    EXPECT_EQ(spaces.spaceInfo(spaceAt(1, 0)), (SpaceInfo{false, "RIGHT-UUID"}));
}

TEST_F(SpaceManagerTest, WithoutUUIDsTheFirstDisplayIsMainAndDisplaysAreNamedByPosition) {
    twoDisplays();
    world.setUUIDLookupResolves(false);
    const auto displays = spaces.getDisplays();
    EXPECT_TRUE(displays[0].isMain);
    EXPECT_FALSE(displays[1].isMain);
    EXPECT_EQ(displays[0].label, "Display 1");
    EXPECT_EQ(displays[1].label, "Display 2");
    EXPECT_FALSE(spaces.mainDisplayID().has_value());
    EXPECT_TRUE(spaces.windowLayouts(displays).at(1).empty());
}

TEST_F(SpaceManagerTest, FullScreenDesktopIsNamedAfterItsFrontWideWindow) {
    world.addDisplay({.uuid = "MAIN", .spaceCount = 2});
    const SpaceId full = world.addSpace(0, true);
    const Pid keynote = world.launchApp({.name = "Keynote"});
    const Pid notes = world.launchApp({.name = "Notes"});
    world.openWindow(keynote, {0, 0, 1440, 900}, {.space = full});
    world.openWindow(notes, {20, 20, 400, 300}, {.space = full}); // in front, but narrow
    const auto displays = spaces.getDisplays();
    const Space& space = displays[0].spaces[2];
    EXPECT_TRUE(space.isFullScreen);
    EXPECT_EQ(space.index, 0);
    EXPECT_EQ(space.fullScreenAppName, "Keynote");
}

TEST_F(SpaceManagerTest, AnUnreadableTableGivesNoDisplaysAndSaysWhy) {
    twoDisplays();
    world.failNext("desktopTable");
    EXPECT_TRUE(spaces.getDisplays().empty());
    EXPECT_TRUE(spaces.allSpaceIDs().size() == 5);
    EXPECT_TRUE(sim.log.lines("privateapi").empty()) << "a read that failed once is not unavailable";

    world.setUnannounced(DesktopHint::numberOfDesktops);
    world.setUnannounced(DesktopHint::currentDesktop);
    EXPECT_TRUE(spaces.getDisplays().empty());
    EXPECT_TRUE(sim.log.contains("_NET_NUMBER_OF_DESKTOPS unavailable"));
    EXPECT_TRUE(sim.log.contains("_NET_CURRENT_DESKTOP unavailable"));
    EXPECT_EQ(sim.log.entries().back().category, "privateapi");
}

TEST_F(SpaceManagerTest, WindowLayoutsAreUnitRectanglesPerDesktopFrontFirst) {
    // The right display hangs 200 points below the left one's top.
    world.addDisplay({.uuid = "L", .bounds = {0, 0, 1000, 800}, .spaceCount = 2});
    world.addDisplay({.uuid = "R", .bounds = {1000, 200, 2000, 1000}, .spaceCount = 1});
    const Pid app = world.launchApp({.name = "Editor"});
    const SpaceId left = spaceAt(0, 0);
    const SpaceId second = spaceAt(0, 1);
    const SpaceId right = spaceAt(1, 0);
    const WindowId wide = world.openWindow(app, {0, 0, 500, 400}, {.space = left});
    world.window(wide)->spaces = {left, second}; // a window on two desktops shows on both
    world.openWindow(app, {1500, 450, 1000, 250}, {.space = right});
    world.openWindow(app, {990, 0, 200, 400}, {.space = left});           // mostly off its display
    world.openWindow(app, {100, 100, 10, 400}, {.space = left, .layer = 0}); // too small for the list

    const auto layouts = spaces.windowLayouts(spaces.getDisplays());
    ASSERT_EQ(layouts.size(), 3u);
    EXPECT_EQ(layouts.at(left).size(), 1u) << "the 1% sliver is dropped";
    EXPECT_EQ(layouts.at(left)[0], (Rect{0, 0, 0.5, 0.5}));
    EXPECT_EQ(layouts.at(second), layouts.at(left));
    ASSERT_EQ(layouts.at(right).size(), 1u);
    EXPECT_EQ(layouts.at(right)[0], (Rect{0.25, 0.25, 0.5, 0.25}));
}

TEST_F(SpaceManagerTest, MiniMapShowsAtMostEightWindows) {
    world.addDisplay({.uuid = "L", .bounds = {0, 0, 1000, 1000}});
    const Pid app = world.launchApp({.name = "Terminal"});
    for (int i = 0; i < 12; ++i) world.openWindow(app, {double(i) * 10, 0, 400, 400});
    const auto layouts = spaces.windowLayouts(spaces.getDisplays());
    ASSERT_EQ(layouts.at(spaceAt(0, 0)).size(), SpaceManager::kMaxMiniMapWindows);
    EXPECT_DOUBLE_EQ(layouts.at(spaceAt(0, 0))[0].x, 0.11) << "the front-most window comes first";
}

TEST_F(SpaceManagerTest, ARefreshReadsTheWindowListOncePerTurnOfTheMainQueue) {
    twoDisplays();
    world.addSpace(1, true);
    const Pid app = world.launchApp({.name = "Safari"});
    world.openWindow(app, {0, 0, 800, 600});

    // A refresh of menu, panel and strip: each reads the displays and the mini-maps.
    auto refresh = [&] {
        for (int view = 0; view < 3; ++view) spaces.windowLayouts(spaces.getDisplays());
    };
    refresh();
    EXPECT_EQ(world.calls("windowList"), 1u);
    sim.scheduler.runPending();
    refresh();
    EXPECT_EQ(world.calls("windowList"), 2u);
    EXPECT_EQ(sim.log.lines("app"), (std::vector<std::string>{"window snapshot #1: 1 qualifying windows",
                                                              "window snapshot #2: 1 qualifying windows"}));
}
