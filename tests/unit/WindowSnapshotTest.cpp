// The window snapshot: which windows count, their desktops, and who names a desktop.
#include "SpaceFixture.h"

using namespace quorvel;

namespace {
class WindowSnapshotTest : public test::SpaceFixture {
protected:
    void SetUp() override { world.addDisplay({.uuid = "MAIN", .bounds = {0, 0, 1440, 900}, .spaceCount = 2}); }
    std::vector<WindowId> ids(const WindowSnapshot& snapshot) {
        std::vector<WindowId> out;
        for (const auto& entry : snapshot.entries) out.push_back(entry.windowID);
        return out;
    }
};
} // namespace

TEST_F(WindowSnapshotTest, KeepsOrdinaryWindowsLargerThanAHundredPointsFrontToBack) {
    const Pid app = world.launchApp({.name = "Mail"});
    const WindowId narrow = world.openWindow(app, {0, 0, 100, 300});
    const WindowId square = world.openWindow(app, {0, 0, 101, 101}, {.title = "Inbox"});
    const WindowId menu = world.openWindow(app, {0, 0, 500, 500}, {.layer = 101});
    const WindowId big = world.openWindow(app, {0, 0, 800, 600});
    (void)narrow;
    (void)menu;
    const auto snapshot = snapshots.capture();
    EXPECT_EQ(ids(snapshot), (std::vector<WindowId>{big, square}));
    EXPECT_EQ(snapshot.entries[1].title, "Inbox");
    EXPECT_FALSE(snapshot.entries[0].title.has_value());
    EXPECT_EQ(snapshot.entries[1].spaceIDs, std::vector<SpaceId>{spaceAt(0, 0)});
    EXPECT_EQ(snapshot.entries[1].bounds, (Rect{0, 0, 101, 101}));
}

TEST_F(WindowSnapshotTest, AWindowWhoseDesktopCannotBeFoundBelongsToNoDesktop) {
    const Pid app = world.launchApp({.name = "Mail"});
    world.openWindow(app, {0, 0, 800, 600});
    world.failNext("desktopsOfWindow");
    auto snapshot = snapshots.capture();
    ASSERT_EQ(snapshot.entries.size(), 1u);
    EXPECT_TRUE(snapshot.entries[0].spaceIDs.empty());
    EXPECT_FALSE(snapshot.firstAppName(spaceAt(0, 0), {}).has_value());

    world.setUnannounced(DesktopHint::windowDesktop);
    snapshot = snapshots.capture();
    EXPECT_TRUE(snapshot.entries[0].spaceIDs.empty());
    EXPECT_EQ(sim.log.count("unavailable"), 0u) << "a missing desktop lookup is no answer, not an error";
}

TEST_F(WindowSnapshotTest, AWindowWithoutAnOwnerNameIsSkippedAndAFailedReadGivesNothing) {
    const Pid nameless = world.launchApp({.name = "Helper"});
    world.app(nameless)->info.localizedName.reset();
    world.openWindow(nameless, {0, 0, 500, 500});
    const Pid editor = world.launchApp({.name = "Editor"});
    const WindowId kept = world.openWindow(editor, {0, 0, 500.5, 500});
    EXPECT_EQ(ids(snapshots.capture()), std::vector<WindowId>{kept});

    world.failNext("windowList");
    EXPECT_TRUE(snapshots.capture().entries.empty());
    EXPECT_EQ(world.calls("desktopsOfWindow"), 1u) << "no desktop lookups without a window list";

    // A window manager without a client list: said once in the log, not on every refresh.
    world.setUnannounced(DesktopHint::clientList);
    EXPECT_TRUE(snapshots.capture().entries.empty());
    EXPECT_TRUE(snapshots.capture().entries.empty());
    EXPECT_EQ(sim.log.lines("privateapi"), std::vector<std::string>{"_NET_CLIENT_LIST unavailable"});
}

TEST_F(WindowSnapshotTest, FirstAppNameSkipsAppsAndAddsADistinctTitle) {
    const Pid finder = world.launchApp({.name = "Finder"});
    const Pid pages = world.launchApp({.name = "Pages"});
    const Pid notes = world.launchApp({.name = "Notes"});
    world.openWindow(notes, {0, 0, 500, 500}, {.title = "Notes", .space = spaceAt(0, 1), .focus = false});
    world.openWindow(pages, {0, 0, 500, 500}, {.title = "Essay"});
    world.openWindow(finder, {0, 0, 500, 500}, {.title = "Home"});
    const auto& snapshot = snapshots.current();
    EXPECT_EQ(snapshot.firstAppName(spaceAt(0, 0), {"Finder"}), "Pages \u2014 Essay");
    EXPECT_EQ(snapshot.firstAppName(spaceAt(0, 0), {}), "Finder \u2014 Home");
    EXPECT_EQ(snapshot.firstAppName(spaceAt(0, 1), {}), "Notes") << "a title equal to the app adds nothing";
    EXPECT_FALSE(snapshot.firstAppName(99, {}).has_value());
}

TEST_F(WindowSnapshotTest, FullScreenNamesComeFromTheFrontMostWideWindowOfEachDesktop) {
    const SpaceId a = spaceAt(0, 0);
    const SpaceId b = spaceAt(0, 1);
    WindowSnapshot snapshot;
    snapshot.entries = {
        {1, "Small", std::nullopt, {a}, {0, 0, 400, 900}},
        {2, "Movie", std::nullopt, {a}, {0, 0, 1440, 900}},
        {3, "Other", std::nullopt, {a, b}, {0, 0, 1440, 900}},
    };
    EXPECT_EQ(snapshot.fullScreenAppNames({a, b}), (std::map<SpaceId, std::string>{{a, "Movie"}, {b, "Other"}}));
    EXPECT_TRUE(snapshot.fullScreenAppNames({}).empty());
    EXPECT_TRUE(WindowSnapshot{}.fullScreenAppNames({a}).empty());
}

TEST_F(WindowSnapshotTest, TheCachedSnapshotLivesUntilTheNextTurn) {
    const Pid app = world.launchApp({.name = "Mail"});
    world.openWindow(app, {0, 0, 800, 600});
    const auto first = snapshots.current().entries;
    world.openWindow(app, {0, 0, 800, 600});
    EXPECT_EQ(snapshots.current().entries, first) << "same turn, same snapshot";
    sim.scheduler.runPending();
    EXPECT_EQ(snapshots.current().entries.size(), 2u);
    EXPECT_EQ(snapshots.captureCount(), 2);
}

TEST_F(WindowSnapshotTest, MiniMapsOfADesktopOnTwoMonitorsCoverBoth) {
    // The pure rule: a display's area takes in every monitor no display names.
    const std::map<std::string, Rect> monitors{{"MAIN", {0, 0, 1440, 900}}, {"RIGHT", {1440, 0, 1280, 1000}}};
    EXPECT_EQ(layoutAreas({"MAIN"}, monitors), (std::map<std::string, Rect>{{"MAIN", {0, 0, 2720, 1000}}}));
    EXPECT_EQ(layoutAreas({"MAIN", "RIGHT"}, monitors), monitors) << "monitors with desktops of their own";
    EXPECT_TRUE(layoutAreas({"ELSEWHERE"}, monitors).empty());

    // A window on each monitor: both on the mini-map, against the box of both monitors.
    world.addMonitor(0, {1440, 0, 1280, 1000});
    const Pid app = world.launchApp({.name = "Mail"});
    world.openWindow(app, {0, 0, 680, 500});
    world.openWindow(app, {2040, 500, 680, 500});
    const auto layouts = spaces.windowLayouts(spaces.getDisplays());
    ASSERT_EQ(layouts.at(spaceAt(0, 0)).size(), 2u);
    EXPECT_EQ(layouts.at(spaceAt(0, 0))[0], (Rect{0.75, 0.5, 0.25, 0.5}));
    EXPECT_EQ(layouts.at(spaceAt(0, 0))[1], (Rect{0, 0, 0.25, 0.5}));
}
