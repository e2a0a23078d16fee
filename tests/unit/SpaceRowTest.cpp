// The desktop row's stories: renaming, the tiling cycle with its word, where a click lands in
// either style, its texts, and the mini-map's arithmetic.
#include "menubar/SpaceRow.h"

#include "SimScheduler.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

SpaceRowFields menuFields() {
    SpaceRowFields f;
    f.style = SpaceRowStyle::menu;
    f.spaceID = 7;
    f.index = 2;
    f.placeholder = "Desktop 2";
    f.customLabel = "Mail";
    f.displayedName = "Mail";
    f.showPencil = true;
    f.showMiniMap = true;
    f.showTiling = true;
    return f;
}

struct Recorder {
    int switches = 0;
    std::vector<std::optional<std::string>> renames;
    std::vector<bool> editStates;
    std::vector<TilingOverride> overrides;

    void attach(SpaceRow& row) {
        row.onSwitch = [this] { ++switches; };
        row.onRename = [this](const std::optional<std::string>& name) { renames.push_back(name); };
        row.onEditStateChanged = [this](bool on) { editStates.push_back(on); };
        row.onCycleTiling = [this](TilingOverride value) { overrides.push_back(value); };
    }
};

class SpaceRowTest : public ::testing::Test {
protected:
    SpaceRow& make(SpaceRowFields f) {
        row.emplace(std::move(f), &scheduler);
        calls.attach(*row);
        return *row;
    }
    sim::SimScheduler scheduler;
    std::optional<SpaceRow> row;
    Recorder calls;
};

TEST_F(SpaceRowTest, RenameReportsTheTrimmedNameOnceAndAnEmptyNameAsAbsent) {
    SpaceRow& r = make(menuFields());
    r.rightMouseDown();
    ASSERT_TRUE(r.isEditing());
    EXPECT_EQ(r.editText(), "Mail");
    r.commit("  Inbox zero \n");
    r.commit("Something else");
    ASSERT_EQ(calls.renames.size(), 1u);
    EXPECT_EQ(calls.renames[0], "Inbox zero");
    EXPECT_TRUE(r.isEditing()) << "the owner replaces the row; it stays in rename mode until then";

    // Leaving and starting again allows one more commit; white space alone clears the name.
    r.cancelEditing();
    EXPECT_EQ(calls.editStates, (std::vector<bool>{true, false})) << "a menu row reports both ends of a rename";
    r.beginEditing();
    r.commit(" \t\n ");
    ASSERT_EQ(calls.renames.size(), 2u);
    EXPECT_EQ(calls.renames[1], std::nullopt);
}

TEST(TrimmedNameTest, TrimsUnicodeWhiteSpaceAtBothEndsAndKeepsWholeCharacters) {
    EXPECT_EQ(trimmedName("\u3000Mail\u00A0\n"), "Mail");
    EXPECT_EQ(trimmedName("\u202F\u205F\u1680\u200A\u2029\v\f\r Inbox zero\u2000"), "Inbox zero");
    EXPECT_EQ(trimmedName("Inbox\u00A0zero"), "Inbox\u00A0zero") << "only the ends";
    EXPECT_EQ(trimmedName("\u00A0\u3000"), "");
    // Characters whose last byte is 0x85 or 0xA0 (à = C3 A0, … = E2 80 A6, Ņ = C5 85) stay whole.
    EXPECT_EQ(trimmedName("Caf\u00E0 "), "Caf\u00E0");
    EXPECT_EQ(trimmedName("\u0145 "), "\u0145");
    EXPECT_EQ(trimmedName(" \u00E0"), "\u00E0");
    // Not white space: the zero-width space and joiner, the byte-order mark.
    EXPECT_EQ(trimmedName("\u200B\uFEFF"), "\u200B\uFEFF");
}

TEST_F(SpaceRowTest, WhileRenamingClicksNeitherSwitchNorCycle) {
    SpaceRow& r = make(menuFields());
    r.beginEditing();
    r.mouseDown({150, 14}, false);
    r.badgeClicked();
    r.tilingClicked();
    r.mouseDown({150, 14}, true);
    r.pencilClicked();
    EXPECT_EQ(calls.switches, 0);
    EXPECT_TRUE(calls.overrides.empty());
    EXPECT_EQ(calls.editStates, std::vector<bool>{true}) << "only the start, once";
    EXPECT_EQ(r.tilingOverride(), TilingOverride::automatic);
}

TEST_F(SpaceRowTest, PanelRowsAskTheirOwnerToEditInsteadOfEditingThemselves) {
    SpaceRowFields f = menuFields();
    f.style = SpaceRowStyle::panel;
    SpaceRow& r = make(f);
    EXPECT_FALSE(r.mouseDown({200, 20}, false)) << "a plain click in the panel goes to the panel";
    EXPECT_EQ(calls.switches, 0);
    r.rightMouseDown();
    r.mouseDown({200, 20}, true);
    r.performAccessibilityAction("Rename");
    EXPECT_EQ(calls.editStates, (std::vector<bool>{true, true, true}));
    EXPECT_FALSE(r.isEditing());
    r.beginEditing(); // the panel names this row its editing row
    EXPECT_TRUE(r.isEditing());
    r.badgeClicked(); // the panel's badge switches even while renaming
    EXPECT_EQ(calls.switches, 1);
}

TEST_F(SpaceRowTest, PanelClicksOnTheBadgePencilAndTilingButtonAreTheRowsTheRestThePanels) {
    SpaceRowFields f = menuFields();
    f.style = SpaceRowStyle::panel;
    SpaceRow& r = make(f);
    const SpaceRowLayout& l = r.layout();
    ASSERT_TRUE(l.pencil && l.tilingButton);
    const auto middle = [](const Rect& frame) { return Point{frame.x + frame.width / 2, frame.y + frame.height / 2}; };

    EXPECT_TRUE(r.mouseDown(middle(l.badge.frame), false));
    EXPECT_EQ(calls.switches, 1);
    EXPECT_TRUE(r.mouseDown(middle(l.tilingButton->frame), false));
    EXPECT_EQ(calls.overrides, std::vector<TilingOverride>{nextTilingOverride(TilingOverride::automatic)});
    EXPECT_TRUE(r.mouseDown(middle(l.pencil->frame), false));
    EXPECT_EQ(calls.editStates, std::vector<bool>{true}); // the panel decides which row edits
    // Beside the controls (the name, the margin around the tiling button that the menu counts as
    // its zone): the panel's, which moves the window.
    EXPECT_FALSE(r.mouseDown(middle(l.name.frame), false));
    EXPECT_FALSE(r.mouseDown({l.tilingButton->frame.minX() - 1, middle(l.tilingButton->frame).y}, false));
    EXPECT_EQ(calls.switches, 1);
    EXPECT_EQ(calls.overrides.size(), 1u);
    EXPECT_EQ(calls.editStates.size(), 1u);
}

TEST_F(SpaceRowTest, ThreeTilingClicksComeBackAndTheWordHidesAfterItsTime) {
    SpaceRowFields f = menuFields();
    f.globalTiling = true;
    SpaceRow& r = make(f);
    const Rect zone = r.layout().tilingBtnFrame;
    r.mouseDown({zone.minX() + 1, 1}, false);
    EXPECT_EQ(r.shownWord(), "On");
    EXPECT_EQ(r.wordTint(), ColourRole::accent);
    scheduler.advance(Seconds(1.0));
    r.tilingClicked(); // restarts the word's time
    EXPECT_EQ(r.shownWord(), "Off");
    scheduler.advance(Seconds(1.0));
    EXPECT_EQ(r.shownWord(), "Off");
    r.performAccessibilityAction("Cycle tiling");
    EXPECT_EQ(calls.overrides,
              (std::vector<TilingOverride>{TilingOverride::on, TilingOverride::off, TilingOverride::automatic}));
    EXPECT_EQ(r.tilingOverride(), TilingOverride::automatic);
    scheduler.advance(Seconds(1.39));
    EXPECT_TRUE(r.shownWord().has_value());
    scheduler.advance(Seconds(0.02));
    EXPECT_FALSE(r.shownWord().has_value());
    EXPECT_EQ(calls.switches, 0);
}

TEST_F(SpaceRowTest, WordTimerOfADroppedRowDoesNothing) {
    make(menuFields()).tilingClicked();
    EXPECT_EQ(scheduler.pendingCount(), 1u);
    row.reset();
    EXPECT_EQ(scheduler.runPending(), 0u);
    scheduler.advance(Seconds(2));
    EXPECT_EQ(scheduler.pendingCount(), 0u) << "the dropped row's word timer was cancelled";
}

TEST_F(SpaceRowTest, MenuClicksOnThePencilAndItsMarginRenameElsewhereSwitch) {
    SpaceRow& r = make(menuFields());
    const Rect pencil = r.layout().pencil->frame; // 70, 2, 22, 24
    EXPECT_EQ(pencil, (Rect{70, 2, 22, 24}));
    r.mouseDown({pencil.minX() - 3.5, 14}, false);
    EXPECT_TRUE(r.isEditing()) << "up to 4 points left of the pencil still renames";
    r.cancelEditing();
    r.mouseDown({pencil.maxX() + 3.5, 0.5}, false);
    EXPECT_TRUE(r.isEditing()) << "the corner of the grown frame still renames";
    r.cancelEditing();
    EXPECT_EQ(calls.switches, 0);
    r.mouseDown({pencil.minX() - 4.5, 14}, false);
    EXPECT_FALSE(r.isEditing());
    EXPECT_EQ(calls.switches, 1);
    r.mouseDown({30, 14}, true); // Control-click renames in place
    EXPECT_TRUE(r.isEditing());
}

TEST_F(SpaceRowTest, HoverBoxOnlyInTheMenuAndNotWhileRenaming) {
    SpaceRow& r = make(menuFields());
    r.hoverEntered();
    EXPECT_EQ(r.hoverBox(), (Rect{5, 1, 290, 26}));
    r.beginEditing();
    EXPECT_FALSE(r.hoverBox());
    r.hoverEntered();
    EXPECT_FALSE(r.hoverBox());
}

TEST(SpaceRowLayoutTest, NameColumnFollowsTheOptionalParts) {
    struct Case {
        SpaceRowStyle style;
        bool miniMap, pencil, tiling;
        Rect name;
    };
    const Case cases[] = {
        {SpaceRowStyle::menu, true, true, true, {96, 4, 300 - 96 - 76, 20}},
        {SpaceRowStyle::menu, true, false, false, {72, 4, 300 - 72 - 16, 20}},
        {SpaceRowStyle::menu, false, true, false, {68, 4, 300 - 68 - 16, 20}},
        {SpaceRowStyle::panel, true, true, true, {116, 10, 360 - 116 - 82, 22}},
        {SpaceRowStyle::panel, true, false, false, {86, 10, 360 - 86 - 16, 22}},
        {SpaceRowStyle::panel, false, true, false, {80, 10, 360 - 80 - 16, 22}},
        {SpaceRowStyle::panel, false, false, true, {54, 10, 360 - 54 - 82, 22}},
    };
    for (const Case& c : cases) {
        const SpaceRowLayout l = layOutSpaceRow(c.style, 0, c.miniMap, c.pencil, c.tiling, false);
        EXPECT_EQ(l.name.frame, c.name) << int(c.style) << c.miniMap << c.pencil << c.tiling;
        EXPECT_EQ(l.editField.frame.x, c.name.x);
        EXPECT_EQ(l.underline.y, l.editField.frame.maxY() + 1);
    }
    const SpaceRowLayout panel = layOutSpaceRow(SpaceRowStyle::panel, 400, true, true, true, true);
    EXPECT_EQ(panel.tilingButton->frame, (Rect{326, 10, 18, 22}));
    EXPECT_EQ(panel.tilingBtnFrame, (Rect{318, 0, 34, 40}));
    EXPECT_EQ(panel.editField.frame, (Rect{116, 10, 400 - 116 - 16, 22}));
    EXPECT_EQ(panel.name.weight, FontWeight::semibold);
}

TEST(SpaceRowTextsTest, TilingBadgeSaysWhetherTheDesktopOverridesTheGlobalSwitch) {
    EXPECT_EQ(tilingBadge(TilingOverride::automatic, false).accessibilityValue, "tiling auto, currently off");
    EXPECT_EQ(tilingBadge(TilingOverride::automatic, false).tint, ColourRole::tertiary);
    EXPECT_EQ(tilingBadge(TilingOverride::automatic, true).tint, ColourRole::secondary);
    EXPECT_EQ(tilingBadge(TilingOverride::on, false).toolTip,
              "Tiling: On — this desktop tiles even with tiling off — click to change");
    EXPECT_EQ(tilingBadge(TilingOverride::on, true).toolTip, "Tiling: On — click to change");
    EXPECT_EQ(tilingBadge(TilingOverride::off, true).accessibilityValue, "tiling off, overriding the global setting");
    EXPECT_EQ(tilingBadge(TilingOverride::off, true).toolTip, "Tiling: Off — this desktop stays untiled — click to change");
    EXPECT_FALSE(tilingBadge(TilingOverride::off, false).filled);
    EXPECT_EQ(tilingBadge(TilingOverride::off, false).toolTip, "Tiling: Off — click to change");
}

TEST(SpaceRowTextsTest, AccessibilityLabelAndMiniMapToolTipCountWindows) {
    SpaceRowFields f = menuFields();
    f.miniLayout = {{0, 0, 1, 1}};
    EXPECT_EQ(spaceRowAccessibilityLabel(f), "Mail, 1 window");
    f.miniLayout.clear();
    EXPECT_EQ(spaceRowAccessibilityLabel(f), "Mail, empty");
    f.showMiniMap = false;
    EXPECT_EQ(spaceRowAccessibilityLabel(f), "Mail");
    f.isCurrent = true;
    EXPECT_EQ(spaceRowAccessibilityLabel(f), "Mail — current desktop");
    EXPECT_EQ(miniMapToolTip(0), "No windows");
    EXPECT_EQ(miniMapToolTip(1), "1 window");
    EXPECT_EQ(miniMapToolTip(3), "3 windows");
    f.isFullScreen = true;
    EXPECT_EQ(spaceRowBadgeTitle(f), "⊞");
}

TEST(MiniMapTest, BlocksAreAtLeastTwoPointsClippedAndEarlierWindowsOnTop) {
    const Rect bounds{0, 0, 22, 16}; // inner: 2, 2, 18, 12
    // Left half, a speck, and a window hanging off the right edge of the display.
    const std::vector<Rect> layout{{0, 0, 0.5, 1}, {0.5, 0.5, 0.01, 0.01}, {0.75, 0.5, 0.5, 0.5}};
    const std::vector<Rect> blocks = miniMapBlocks(layout, bounds);
    ASSERT_EQ(blocks.size(), 3u);
    // Painted last to first: the first window is painted last, on top.
    EXPECT_EQ(blocks[2], (Rect{2, 2.5, 8.5, 11.5}));
    EXPECT_EQ(blocks[1].width, 2);
    EXPECT_EQ(blocks[1].height, 2);
    EXPECT_DOUBLE_EQ(blocks[1].maxY(), 2 + 0.51 * 12);
    EXPECT_EQ(blocks[0], (Rect{15.5, 8.5, 4.5, 5.5})) << "clipped to the inner area";
    // A window entirely outside draws nothing; no windows draw only the outline.
    EXPECT_TRUE(miniMapBlocks({{1.2, 0, 0.3, 0.3}}, bounds).empty());
    EXPECT_TRUE(miniMapBlocks({}, bounds).empty());
    EXPECT_EQ(miniMapOutline(bounds), (Rect{0.5, 0.5, 21, 15}));
}

} // namespace
