// The window tree: where new windows go, how closed windows give their room back, the layout
// arithmetic, and that parent links stay right through every operation.
#include "TreeChecks.h"
#include "tiling/BSPTree.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace quorvel {
namespace {

const Rect kWide{0, 0, 1600, 900};

using test::wellFormed;

BSPTree treeOf(std::initializer_list<WindowId> ids, const Rect& in = kWide) {
    BSPTree tree;
    for (const WindowId id : ids) tree.insert(id, std::nullopt, in);
    return tree;
}

TEST(BSPTreeTest, EmptyTreeAndSingleWindow) {
    BSPTree tree;
    tree.remove(1, kWide);
    EXPECT_FALSE(tree.swap(1, 2));
    EXPECT_FALSE(tree.toggleSplit(1));
    EXPECT_EQ(tree.describe(), "");
    EXPECT_TRUE(tree.leaves().empty());
    EXPECT_TRUE(tree.layout(kWide, 10).empty());

    tree.insert(1, 7, kWide);
    EXPECT_EQ(tree.describe(), "1");
    EXPECT_EQ(tree.layout(kWide, 10), (FrameMap{{1, kWide}}));
    EXPECT_FALSE(tree.toggleSplit(1));
    EXPECT_TRUE(wellFormed(tree));

    tree.remove(1, kWide);
    EXPECT_EQ(tree.root(), nullptr);
    EXPECT_EQ(tree.describe(), "");
}

TEST(BSPTreeTest, SecondWindowSplitsByTheAspectOfTheTile) {
    BSPTree wide = treeOf({1, 2});
    EXPECT_EQ(wide.describe(), "V[1 2]");
    EXPECT_EQ(wide.layout(kWide, 0), (FrameMap{{1, {0, 0, 800, 900}}, {2, {800, 0, 800, 900}}}));

    const Rect tall{0, 0, 900, 1600};
    BSPTree stacked = treeOf({1, 2}, tall);
    EXPECT_EQ(stacked.describe(), "H[1 2]");
    EXPECT_EQ(stacked.layout(tall, 0), (FrameMap{{1, {0, 0, 900, 800}}, {2, {0, 800, 900, 800}}}));

    EXPECT_EQ(treeOf({1, 2}, {0, 0, 1000, 1000}).describe(), "V[1 2]");
    EXPECT_EQ(wide.root()->ratio, 0.5);
}

TEST(BSPTreeTest, WindowsInARowEachSplitTheLastTile) {
    BSPTree tree = treeOf({1, 2, 3});
    // 2's half is 800×900, taller than wide, so it is stacked.
    EXPECT_EQ(tree.describe(), "V[1 H[2 3]]");
    tree.insert(4, std::nullopt, kWide);
    EXPECT_EQ(tree.describe(), "V[1 H[2 V[3 4]]]");
    EXPECT_TRUE(wellFormed(tree));
    EXPECT_EQ(tree.leaves(), (std::vector<WindowId>{1, 2, 3, 4}));
    EXPECT_EQ(tree.layout(kWide, 0), (FrameMap{{1, {0, 0, 800, 900}},
                                               {2, {800, 0, 800, 450}},
                                               {3, {800, 450, 400, 450}},
                                               {4, {1200, 450, 400, 450}}}));
}

TEST(BSPTreeTest, InsertNearSplitsThatWindowsTile) {
    BSPTree tree = treeOf({1, 2, 3});
    tree.insert(4, 1, kWide); // 1's tile is 800×900: stacked
    EXPECT_EQ(tree.describe(), "V[H[1 4] H[2 3]]");
    tree.insert(5, 99, kWide); // not in the tree: the last leaf
    EXPECT_EQ(tree.describe(), "V[H[1 4] H[2 V[3 5]]]");
    tree.insert(2, 1, kWide); // already present
    EXPECT_EQ(tree.describe(), "V[H[1 4] H[2 V[3 5]]]");
    EXPECT_TRUE(wellFormed(tree));
}

TEST(BSPTreeTest, RemovalPromotesTheSiblingSubtree) {
    BSPTree kept = treeOf({1, 2, 3, 4}); // V[1 H[2 V[3 4]]]
    kept.remove(2, std::nullopt);
    EXPECT_EQ(kept.describe(), "V[1 V[3 4]]");
    EXPECT_TRUE(wellFormed(kept));
    kept.remove(1, std::nullopt);
    // The subtree moves up whole, to the root, keeping its orientation.
    EXPECT_EQ(kept.describe(), "V[3 4]");
    EXPECT_TRUE(wellFormed(kept));
    kept.remove(4, std::nullopt);
    EXPECT_EQ(kept.describe(), "3");
    EXPECT_TRUE(wellFormed(kept));

    BSPTree stackedKept = treeOf({1, 2, 3});
    stackedKept.remove(1, std::nullopt);
    EXPECT_EQ(stackedKept.describe(), "H[2 3]");

    // With a refit rectangle every split follows the aspect of the region it now divides.
    BSPTree refitted = treeOf({1, 2, 3});
    refitted.remove(1, kWide);
    EXPECT_EQ(refitted.describe(), "V[2 3]");
    EXPECT_TRUE(wellFormed(refitted));

    BSPTree deeper = treeOf({1, 2, 3, 4}); // V[1 H[2 V[3 4]]]
    deeper.remove(1, kWide);               // H[2 V[3 4]] refitted into 1600×900: V[2 H[3 4]]
    EXPECT_EQ(deeper.describe(), "V[2 H[3 4]]");
    EXPECT_TRUE(wellFormed(deeper));
    EXPECT_EQ(deeper.layout(kWide, 0),
              (FrameMap{{2, {0, 0, 800, 900}}, {3, {800, 0, 800, 450}}, {4, {800, 450, 800, 450}}}));

    deeper.remove(42, kWide); // not in the tree
    EXPECT_EQ(deeper.describe(), "V[2 H[3 4]]");
}

TEST(BSPTreeTest, SwapAndToggleChangeOnlyWhatTheySay) {
    BSPTree tree = treeOf({1, 2, 3});
    EXPECT_FALSE(tree.swap(2, 2));
    EXPECT_FALSE(tree.swap(2, 9));
    EXPECT_TRUE(tree.swap(1, 3));
    EXPECT_EQ(tree.describe(), "V[3 H[2 1]]");
    EXPECT_EQ(tree.layout(kWide, 0).at(3), (Rect{0, 0, 800, 900}));

    EXPECT_TRUE(tree.toggleSplit(2));
    EXPECT_EQ(tree.describe(), "V[3 V[2 1]]");
    EXPECT_TRUE(tree.toggleSplit(3));
    EXPECT_EQ(tree.describe(), "H[3 V[2 1]]");
    EXPECT_FALSE(tree.toggleSplit(9));
    EXPECT_TRUE(wellFormed(tree));
}

TEST(BSPTreeTest, LayoutLeavesTheGapOnlyBetweenSiblingsAtAnyRatio) {
    const Rect region{100, 50, 1000, 600};
    BSPTree tree = treeOf({1, 2, 3}, region); // V[1 H[2 3]]
    const FrameMap frames = tree.layout(region, 10);
    EXPECT_EQ(frames.at(1), (Rect{100, 50, 495, 600}));
    EXPECT_EQ(frames.at(2), (Rect{605, 50, 495, 295}));
    EXPECT_EQ(frames.at(3), (Rect{605, 355, 495, 295}));

    // A gap wider than the region: both halves are empty and the second still moves by the gap.
    const FrameMap squeezed = treeOf({1, 2}).layout({0, 0, 100, 50}, 200);
    EXPECT_EQ(squeezed.at(1), (Rect{0, 0, 0, 50}));
    EXPECT_EQ(squeezed.at(2), (Rect{200, 0, 0, 50}));

    // A rectangle with negative size counts as the same region standardised.
    EXPECT_EQ(treeOf({1, 2}).layout({1600, 900, -1600, -900}, 0), treeOf({1, 2}).layout(kWide, 0));

    // Any ratio: the gap comes out of the whole, the first child gets its share of the rest.
    BSPTree quarter = treeOf({1, 2});
    quarter.root()->ratio = 0.25;
    EXPECT_EQ(quarter.layout({0, 0, 1010, 500}, 10), (FrameMap{{1, {0, 0, 250, 500}}, {2, {260, 0, 750, 500}}}));
}

TEST(BSPTreeTest, CloneIsIndependentOfTheOriginal) {
    BSPTree tree = treeOf({1, 2, 3});
    const auto copy = tree.clone();
    tree.remove(2, std::nullopt);
    tree.toggleSplit(3);
    tree.insert(4, 1, kWide);
    EXPECT_EQ(copy->describe(), "V[1 H[2 3]]");
    EXPECT_TRUE(wellFormed(*copy));
    EXPECT_NE(copy->root(), tree.root());

    // A subtree's copy stands alone.
    const auto subtree = copy->root()->right->clone();
    EXPECT_EQ(subtree->parent, nullptr);
    BSPTree fromSubtree;
    fromSubtree.setRoot(copy->root()->right->clone());
    EXPECT_EQ(fromSubtree.describe(), "H[2 3]");
    EXPECT_TRUE(wellFormed(fromSubtree));
    EXPECT_EQ(BSPTree().clone()->describe(), "");
}

TEST(BSPTreeTest, SplitMissingAChildLosesNothingElse) {
    // Only reachable through setRoot with a hand-made tree: a split holding a single window.
    auto root = std::make_unique<BSPNode>();
    root->left = std::make_unique<BSPNode>(1);
    root->left->parent = root.get();
    BSPTree tree;
    tree.setRoot(std::move(root));
    EXPECT_EQ(tree.describe(), "V[1 -]");
    EXPECT_TRUE(tree.layout(kWide, 0).empty()); // a one-child split lays nothing out
    EXPECT_EQ(tree.leaves(), (std::vector<WindowId>{1}));

    tree.remove(1, kWide);
    EXPECT_EQ(tree.describe(), "V[- -]");
    EXPECT_TRUE(tree.leaves().empty());

    // The empty node takes the next window itself rather than splitting off an empty half.
    tree.insert(2, std::nullopt, kWide);
    EXPECT_EQ(tree.describe(), "2");
    EXPECT_EQ(tree.layout(kWide, 0), (FrameMap{{2, kWide}}));
}

// Any sequence of operations keeps the links right, keeps each window once, and tiles the whole
// region without overlap when there is no gap.
TEST(BSPTreeTest, RandomOperationsKeepTheTreeWellFormed) {
    std::mt19937 random(20260101);
    auto pick = [&](int n) { return static_cast<WindowId>(std::uniform_int_distribution<int>(1, n)(random)); };
    BSPTree tree;
    std::set<WindowId> windows;
    for (int step = 0; step < 2000; ++step) {
        const WindowId id = pick(12);
        switch (pick(5)) {
        case 1:
        case 2:
            tree.insert(id, pick(3) == 1 ? std::nullopt : std::optional<WindowId>(pick(14)), kWide);
            windows.insert(id);
            break;
        case 3:
            tree.remove(id, pick(2) == 1 ? std::optional<Rect>(kWide) : std::nullopt);
            windows.erase(id);
            break;
        case 4:
            tree.swap(id, pick(12));
            break;
        default:
            tree.toggleSplit(id);
            break;
        }
        ASSERT_TRUE(wellFormed(tree)) << "after step " << step;
        const std::vector<WindowId> leaves = tree.leaves();
        ASSERT_EQ(std::set<WindowId>(leaves.begin(), leaves.end()), windows) << "after step " << step;

        double area = 0;
        for (const auto& [window, frame] : tree.layout(kWide, 0)) area += frame.width * frame.height;
        ASSERT_NEAR(area, windows.empty() ? 0 : kWide.width * kWide.height, 1e-6) << "after step " << step;
    }
}

} // namespace
} // namespace quorvel
