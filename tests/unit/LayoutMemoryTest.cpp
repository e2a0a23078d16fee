// Layouts that survive a restart: the saved form and its matching rules, then the engine restarted
// over the simulator with every, some or none of the saved windows coming back.
#include "TilingFixture.h"
#include "tiling/LayoutMemory.h"

#include <algorithm>
#include <memory>

using namespace quorvel;
using namespace quorvel::test;

namespace {

// V[1 H[2 3]] with a 0.3 first split.
SavedTree threeLeafShape(std::vector<WindowMark> marks) {
    BSPTree tree;
    tree.insert(1, std::nullopt, {0, 0, 1000, 800});
    tree.insert(2, 1, {0, 0, 1000, 800});
    tree.insert(3, 2, {0, 0, 1000, 800});
    tree.root()->ratio = 0.3;
    return {std::shared_ptr<const BSPTree>(tree.clone()), std::move(marks)};
}

TEST(LayoutMemoryFormat, ARoundTripKeepsShapeRatiosAndMarksAndABadTreeCostsOnlyItsDesktop) {
    BSPTree tree;
    tree.insert(70, std::nullopt, {0, 0, 1000, 800});
    tree.insert(71, 70, {0, 0, 1000, 800});
    tree.insert(72, 70, {0, 0, 1000, 800});
    tree.toggleSplit(72);
    tree.root()->ratio = 0.62;
    const std::map<WindowId, WindowMark> marks{{70, {70, "XTerm", "one", 400}}, {72, {72, "XTerm", "two", 401}}};
    const SavedTree saved = layout::save(tree, marks);
    ASSERT_EQ(saved.shape->describe(), "V[V[1 2] 3]");
    EXPECT_EQ(saved.marks.at(1), (WindowMark{72, "XTerm", "two", 401}));
    EXPECT_EQ(saved.marks.at(2), (WindowMark{71, "", "", std::nullopt})); // no facts: its id only

    const auto back = layout::fromJson(Json::parse(layout::toJson({{TreeKey{3, 1}, saved}}).dump()));
    ASSERT_TRUE(back);
    ASSERT_TRUE(back->contains(TreeKey{3, 1}));
    const SavedTree& again = back->at(TreeKey{3, 1});
    EXPECT_EQ(again.shape->describe(), "V[V[1 2] 3]");
    EXPECT_DOUBLE_EQ(again.shape->root()->ratio, 0.62);
    EXPECT_EQ(again.marks, saved.marks);

    for (const Json& bad : {Json("text"), Json::object(), Json{{"version", 99}, {"trees", Json::array()}}})
        EXPECT_FALSE(layout::fromJson(bad)) << bad.dump();

    // A bad tree beside a good one: that desktop starts afresh, the other keeps its layout.
    const Json good = layout::toJson({{TreeKey{3, 1}, saved}});
    const auto nested = [](int levels) {
        Json node{{"window", 1}};
        for (int i = 0; i < levels; ++i) {
            Json split{{"split", "vertical"}, {"ratio", 0.5}, {"second", {{"window", i + 2}}}};
            split["first"] = std::move(node);
            node = std::move(split);
        }
        return node;
    };
    for (const Json& badTree : {Json{{"split", "vertical"}, {"ratio", 1.5}, {"first", {{"window", 1}}}, {"second", {{"window", 2}}}},
                                Json{{"split", "diagonal"}, {"ratio", 0.5}, {"first", {{"window", 1}}}, {"second", {{"window", 2}}}},
                                Json{{"split", "vertical"}, {"ratio", 0.5}, {"first", {{"window", 1}}}},
                                Json{{"window", -4}}, nested(600)}) {
        Json both = good;
        both["trees"].push_back({{"desktop", 4}, {"monitor", 1}, {"tree", badTree}});
        std::size_t skipped = 0;
        const auto read = layout::fromJson(both, &skipped);
        ASSERT_TRUE(read) << badTree.dump().substr(0, 120);
        EXPECT_EQ(read->size(), 1u);
        EXPECT_TRUE(read->contains(TreeKey{3, 1}));
        EXPECT_EQ(skipped, 1u);
    }
    // A hundred windows each tiled beside the last nest a hundred deep, and read back.
    Json deep = good;
    deep["trees"][0]["tree"] = nested(100);
    const auto read = layout::fromJson(deep);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->at(TreeKey{3, 1}).marks.size(), 101u);
}

TEST(LayoutMemoryMatching, SameIdThenClassAndTitleThenClassAloneInSavedOrder) {
    const SavedTree saved = threeLeafShape({{10, "XTerm", "a", 1}, {11, "XTerm", "b", 1}, {12, "XTerm", "c", 1}});
    // Listed first, the class-only window must not take the tile the title match wants.
    const auto found = layout::match(saved, {{98, "XTerm", "q", 5}, {99, "XTerm", "c", 5}, {11, "XTerm", "renamed", 1}}, {});
    EXPECT_EQ(found, (std::map<std::size_t, WindowId>{{1, 98}, {2, 11}, {3, 99}}));

    // A reused id with another class is no id match; a taken leaf is not handed out again.
    const auto second = layout::match(saved, {{10, "Firefox", "a", 7}, {50, "XTerm", "b", 8}}, {{2, 77}});
    EXPECT_EQ(second, (std::map<std::size_t, WindowId>{{1, 50}}));
    // A reused id in another process loses to the window whose title matches.
    const auto reused = layout::match(saved, {{10, "XTerm", "c", 9}, {60, "XTerm", "a", 9}}, {});
    EXPECT_EQ(reused, (std::map<std::size_t, WindowId>{{1, 60}, {3, 10}}));
    // Two windows for one leaf: the first in saved order wins, the other stays unmatched.
    const auto crowd = layout::match(threeLeafShape({{1, "A", "x", {}}, {2, "B", "y", {}}, {3, "B", "z", {}}}),
                                     {{40, "A", "x", {}}, {41, "A", "x", {}}}, {});
    EXPECT_EQ(crowd, (std::map<std::size_t, WindowId>{{1, 40}}));

    // Rebuilt with leaf 2 missing: its sibling takes the split's place.
    BSPTree rebuilt;
    rebuilt.setRoot(layout::rebuild(saved, {{1, 500}, {3, 502}}));
    EXPECT_EQ(rebuilt.describe(), "V[500 502]");
    EXPECT_DOUBLE_EQ(rebuilt.root()->ratio, 0.3);
}

class LayoutRestoreTest : public TilingFixture {
protected:
    // Four terminals, swapped and flipped away from the plain adoption order; saved.
    void arrange() {
        app = launch("Term");
        engine.start();
        for (const char* title : {"one", "two", "three", "four"}) windows.push_back(open(app, {.title = title}));
        focus(windows[0]);
        ASSERT_TRUE(engine.swapFocusedWindow(Direction::right));
        settle();
        focus(windows[2]);
        ASSERT_TRUE(engine.toggleSplitOfFocusedWindow());
        settle(1.5s); // past the save delay
        for (const WindowId id : windows) saved.push_back(frameOf(id));
    }
    void focus(WindowId id) {
        world.focusWindow(id);
        settle();
    }
    // The app killed and started again: a new engine over the same defaults.
    TilingEngine& restart() {
        engine.stop();
        second = std::make_unique<TilingEngine>(TilingContext{api, sim.windowControl, sim.workspace, sim.screens, settings,
                                                               labels, spaces, border, sim.scheduler, sim.log});
        second->start();
        settle();
        return *second;
    }
    // The tree of the engine running now, in names.
    std::string shape(const std::map<WindowId, std::string>& names) { return layout(desktop(0), names, second.get()); }
    std::size_t savedLeaves() {
        const auto stored = sim.defaults.object(layout::kDefaultsKey);
        const auto layouts = stored ? layout::fromJson(*stored) : std::nullopt;
        return layouts && !layouts->empty() ? layouts->begin()->second.marks.size() : 0;
    }
    std::vector<Rect> framesNow() {
        std::vector<Rect> frames;
        for (const WindowId id : windows) frames.push_back(frameOf(id));
        return frames;
    }
    // The terminals closed and opened again (new ids) in the given order of titles.
    void reopen(const std::vector<std::size_t>& order) {
        const std::vector<std::string> titles{"one", "two", "three", "four"};
        std::vector<WindowId> again(windows.size(), 0);
        for (const std::size_t i : order) again[i] = open(app, {.title = titles[i]});
        windows = again;
    }
    Pid app = 0;
    std::vector<WindowId> windows;
    std::vector<Rect> saved;
    std::unique_ptr<TilingEngine> second;
};

TEST_F(LayoutRestoreTest, EveryWindowStillThereGetsItsSavedTileBackAtStart) {
    arrange();
    restart();
    settle(1s);
    EXPECT_EQ(framesNow(), saved);

    // A window closing is saved only once windows stopped leaving for a while, as a session
    // ending closes them all before it ends us.
    world.closeWindow(windows[3]);
    settle(2s);
    EXPECT_EQ(savedLeaves(), 4u);
    settle(4s);
    EXPECT_EQ(savedLeaves(), 3u);

    // A window list that cannot be read when the save is due postpones it; it is not dropped.
    world.closeWindow(windows[2]);
    settle(1s);
    world.failAlways("windowList");
    settle(6s);
    EXPECT_EQ(savedLeaves(), 3u);
    world.clearFailures();
    settle(1.5s);
    EXPECT_EQ(savedLeaves(), 2u);
}

TEST_F(LayoutRestoreTest, WindowsReopenedWithTheSameTitlesTakeTheirTilesWhateverTheirOrder) {
    arrange();
    engine.stop();
    for (const WindowId id : windows) world.closeWindow(id);
    settle(3s);
    restart();
    reopen({3, 1, 0, 2});
    settle(1s);
    EXPECT_EQ(framesNow(), saved);
    EXPECT_FALSE(second->view().trees().empty());
}

TEST_F(LayoutRestoreTest, AWindowThatNeverReturnsLeavesItsTileAndLateComersAreAdoptedAsUsual) {
    arrange();
    const std::string before = layout(desktop(0), {{windows[0], "A"}, {windows[1], "B"}, {windows[2], "C"}, {windows[3], "D"}});
    engine.stop();
    for (const WindowId id : windows) world.closeWindow(id);
    settle(3s);
    restart();
    reopen({0, 1, 2});
    const std::map<WindowId, std::string> names{{windows[0], "A"}, {windows[1], "B"}, {windows[2], "C"}};
    // D's leaf is gone as if D had closed; the rest keep the saved splits.
    BSPTree expected;
    {
        const auto savedTree = layout::fromJson(*sim.defaults.object(layout::kDefaultsKey));
        ASSERT_TRUE(savedTree);
        const SavedTree& tree = savedTree->begin()->second;
        EXPECT_EQ(tree.marks.size(), 4u); // still saved whole while it restores
        std::map<std::size_t, WindowId> placed;
        for (std::size_t leaf = 1; leaf <= tree.marks.size(); ++leaf)
            for (std::size_t i = 0; i < 3; ++i)
                if (tree.marks[leaf - 1].title == std::vector<std::string>{"one", "two", "three"}[i]) placed[leaf] = windows[i];
        expected.setRoot(layout::rebuild(tree, placed));
    }
    EXPECT_EQ(second->view().tree(desktop(0))->describe(), expected.describe());
    EXPECT_NE(before.find("D"), std::string::npos);
    EXPECT_EQ(shape(names).find("D"), std::string::npos);

    // Past the cut-off a window with a saved title is a plain newcomer, and the save forgets D.
    settle(31s);
    const WindowId late = open(app, {.title = "four"});
    const BSPTree* now = second->view().tree(desktop(0));
    ASSERT_TRUE(now);
    ASSERT_TRUE(now->contains(late));
    EXPECT_NE(frameOf(late), saved[3]);
    const auto without = now->clone();
    without->remove(late, std::nullopt);
    EXPECT_EQ(without->describe(), expected.describe());
    settle(2s);
    const auto after = layout::fromJson(*sim.defaults.object(layout::kDefaultsKey));
    ASSERT_TRUE(after);
    std::vector<std::string> titles;
    for (const WindowMark& mark : after->begin()->second.marks) titles.push_back(mark.title);
    std::sort(titles.begin(), titles.end());
    EXPECT_EQ(titles, (std::vector<std::string>{"four", "one", "three", "two"}));
    EXPECT_EQ(after->begin()->second.shape->leafCount(), 4u);
}

TEST_F(LayoutRestoreTest, NoMatchOrAnUnreadableSaveMeansTheUsualAdoptionAndTheSettingsStay) {
    sim.defaults.set("someSetting", 7);
    sim.defaults.set(layout::kDefaultsKey, Json{{"version", 1}, {"trees", "garbage"}});
    app = launch("Term");
    engine.start();
    for (const char* title : {"one", "two", "three"}) windows.push_back(open(app, {.title = title}));
    EXPECT_GT(sim.log.count("saved layouts unreadable"), 0u);
    EXPECT_EQ(sim.defaults.integerFor("someSetting"), 7);
    settle(1.5s);

    // Saved for another application's windows: nothing here matches, adoption as usual.
    std::string renamed = sim.defaults.object(layout::kDefaultsKey)->dump();
    ASSERT_NE(renamed.find("\"Term\""), std::string::npos);
    for (std::size_t at = renamed.find("\"Term\""); at != std::string::npos; at = renamed.find("\"Term\"", at))
        renamed.replace(at, 6, "\"Mail\"");
    sim.defaults.set(layout::kDefaultsKey, Json::parse(renamed));
    const std::string first = layout(desktop(0), {{windows[0], "A"}, {windows[1], "B"}, {windows[2], "C"}});
    focus(windows[0]);
    ASSERT_TRUE(engine.swapFocusedWindow(Direction::right)); // the saved one differs from the plain one
    settle();
    engine.stop();
    sim.defaults.set(layout::kDefaultsKey, Json::parse(renamed));
    for (const WindowId id : windows) world.closeWindow(id);
    settle(3s);
    restart();
    windows.clear();
    for (const char* title : {"one", "two", "three"}) windows.push_back(open(app, {.title = title}));
    EXPECT_EQ(shape({{windows[0], "A"}, {windows[1], "B"}, {windows[2], "C"}}), first);
}

} // namespace

TEST_F(LayoutRestoreTest, ADesktopFirstShownAfterTheCutOffStillGetsItsSavedTilesBack) {
    arrange();
    engine.stop();
    // Started again while another desktop is shown, and the arranged one shown only a minute later.
    world.switchToSpace(desktop(1));
    restart();
    settle(60s);
    EXPECT_EQ(savedLeaves(), 4u);
    world.switchToSpace(desktop(0));
    settle(1s);
    EXPECT_EQ(framesNow(), saved);
}
