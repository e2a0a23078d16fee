// The switcher panel on the simulator: its size and layout for one and two displays, the keyboard
// selection, switching, the rename flow and the content under the settings, as the window is given it.
#include "SimServices.h"
#include "menubar/PanelController.h"

#include <gtest/gtest.h>

#include <memory>

namespace quorvel::test {
namespace {

class PanelControllerTest : public ::testing::Test {
protected:
    sim::SimPlatform sim;
    sim::SimWorld& world = sim.world;
    std::unique_ptr<CoreServices> core;
    std::unique_ptr<PanelController> controller;
    std::vector<SpaceId> switched;

    // One display with `desktops` desktops, or two displays of three when `twoDisplays`.
    void start(int desktops = 4, bool twoDisplays = false) {
        if (twoDisplays) {
            world.addDisplay({.uuid = "LEFT-UUID", .name = "Left", .bounds = {0, 0, 1440, 900}, .spaceCount = 3});
            world.addDisplay({.uuid = "RIGHT-UUID", .name = "Right", .bounds = {1440, 0, 1920, 1080}, .spaceCount = 3});
        } else {
            world.addDisplay({.uuid = "MAIN-UUID", .bounds = {0, 0, 1920, 1080}, .spaceCount = desktops});
        }
        core = std::make_unique<CoreServices>(sim::platformServices(sim));
        controller = std::make_unique<PanelController>(sim.panels, core->spaces, core->labels, core->settings,
                                                       core->coordinator);
        controller->onSwitch = [this](const Space& space) { switched.push_back(space.id); };
    }
    sim::SimPanelView& panel() {
        sim::SimPanelView* view = sim.panels.panel();
        if (!view) throw std::runtime_error("no panel window");
        return *view;
    }
    SpaceId desktop(std::size_t position, std::size_t display = 0) const {
        return world.displays().at(display).spaces.at(position).id;
    }
    // The desktop whose row carries the selection box, if any.
    std::optional<SpaceId> selectionBox() {
        for (const PanelHighlight& box : panel().content.highlights) {
            if (box.kind != PanelHighlight::Kind::selection) continue;
            for (const PanelRow& row : panel().content.rows)
                if (row.frame.y + 1 == box.frame.y) return row.space.id;
        }
        return std::nullopt;
    }
};

TEST_F(PanelControllerTest, OneDisplayStacksItsRowsBetweenTitleAndButtons) {
    start(4);
    controller->toggle();
    const PanelContent& content = panel().content;
    EXPECT_EQ(content.size, (Size{360, 4 * 40 + 44 + 44 + 16}));
    EXPECT_TRUE(content.headers.empty());
    ASSERT_EQ(content.rows.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(content.rows[i].frame, (Rect{0, 44 + 40.0 * static_cast<double>(i), 360, 40}));
    // Top-down: title at the top, separator below the last row, buttons and hint at the bottom.
    EXPECT_EQ(content.title.frame, (Rect{16, 10, 328, 28}));
    EXPECT_EQ(content.separator, (Rect{16, 220, 328, 1}));
    EXPECT_EQ(content.settingsButton.frame, (Rect{290, 231, 54, 22}));
    EXPECT_EQ(content.editButton.frame, (Rect{232, 231, 50, 22}));
    EXPECT_EQ(content.hint.frame, (Rect{16, 234, 200, 16}));
    EXPECT_EQ(content.highlights, (std::vector<PanelHighlight>{{PanelHighlight::Kind::current, {8, 45, 344, 38}}}));
}

TEST_F(PanelControllerTest, TwoDisplaysOfThreeDesktopsGetAHeaderAboveEachDisplaysRows) {
    start(0, true);
    controller->toggle();
    const PanelContent& content = panel().content;
    EXPECT_EQ(content.size.height, 392);
    ASSERT_EQ(content.headers.size(), 2u);
    EXPECT_EQ(content.headers[1].text, "Right");
    ASSERT_EQ(content.rows.size(), 6u);
    EXPECT_EQ(content.rows[3].space.id, desktop(0, 1));
    // Each header sits in the 24 points above its display's first row.
    for (std::size_t d = 0; d < 2; ++d) {
        EXPECT_GE(content.headers[d].frame.y, content.rows[d * 3].frame.y - 24);
        EXPECT_LE(content.headers[d].frame.maxY(), content.rows[d * 3].frame.y);
    }
    EXPECT_EQ(content.headers[0].frame, (Rect{16, 46, 328, 18}));
    EXPECT_EQ(content.rows[0].frame.y, 68);
    EXPECT_EQ(content.headers[1].frame, (Rect{16, 190, 328, 18}));
    EXPECT_EQ(content.rows[3].frame.y, 212);
    EXPECT_LT(content.rows.back().frame.maxY(), content.separator.y);
    EXPECT_EQ(content.separator.y, 392 - 44) << "the footer keeps to the bottom edge";
}

TEST_F(PanelControllerTest, OpeningSelectsTheCurrentDesktopAndTheArrowsWrapBothWays) {
    start(0, true);
    world.switchToSpace(desktop(1, 1)); // the right display's second desktop, fifth in the panel
    controller->toggle();
    EXPECT_EQ(controller->selectedIndex(), 4);
    EXPECT_EQ(selectionBox(), std::nullopt); // the current desktop's own box marks it

    EXPECT_TRUE(panel().press(PanelKey::down));
    EXPECT_EQ(controller->selectedIndex(), 5);
    EXPECT_EQ(selectionBox(), desktop(2, 1));
    EXPECT_TRUE(panel().press(PanelKey::right)); // past the last desktop: the first
    EXPECT_EQ(controller->selectedIndex(), 0);
    EXPECT_EQ(selectionBox(), desktop(0, 0));
    EXPECT_TRUE(panel().press(PanelKey::up)); // before the first: the last
    EXPECT_EQ(controller->selectedIndex(), 5);
    EXPECT_TRUE(panel().press(PanelKey::left));
    EXPECT_TRUE(panel().press(PanelKey::left));
    EXPECT_EQ(controller->selectedIndex(), 3);
    EXPECT_FALSE(panel().press(PanelKey::other));

    // Opening again selects the current desktop again.
    controller->toggle();
    controller->toggle();
    EXPECT_EQ(controller->selectedIndex(), 4);
}

TEST_F(PanelControllerTest, WithOneDesktopEveryArrowKeepsTheSelection) {
    start(1);
    controller->toggle();
    for (PanelKey key : {PanelKey::up, PanelKey::down, PanelKey::left, PanelKey::right}) {
        EXPECT_TRUE(panel().press(key));
        EXPECT_EQ(controller->selectedIndex(), 0);
    }
}

TEST_F(PanelControllerTest, ReturnSwitchesToTheSelectedDesktopButNotToTheCurrentOne) {
    start(4);
    controller->toggle(4242);
    EXPECT_EQ(panel().focusTimes, std::vector<InputTime>{4242}); // asked for the focus with the key's time

    EXPECT_TRUE(panel().press(PanelKey::returnKey));
    EXPECT_TRUE(panel().press(PanelKey::keypadEnter));
    EXPECT_TRUE(switched.empty());
    EXPECT_TRUE(panel().isVisible());

    panel().press(PanelKey::down);
    panel().press(PanelKey::down);
    EXPECT_TRUE(panel().press(PanelKey::returnKey));
    EXPECT_EQ(switched, std::vector<SpaceId>{desktop(2)});
    panel().press(PanelKey::up);
    EXPECT_TRUE(panel().press(PanelKey::keypadEnter));
    EXPECT_EQ(switched, (std::vector<SpaceId>{desktop(2), desktop(1)}));

    // A row's own switch (its number) reports only another desktop, too.
    panel().rowSwitch(desktop(0));
    panel().rowSwitch(desktop(3));
    EXPECT_EQ(switched.back(), desktop(3));
    EXPECT_EQ(switched.size(), 3u);
}

TEST_F(PanelControllerTest, EscapeAndTheToggleHideThePanelGivingTheFocusBackAndTheNextOpeningIsFresh) {
    start(4);
    controller->toggle();
    EXPECT_TRUE(panel().press(PanelKey::escape));
    EXPECT_FALSE(controller->isVisible());
    EXPECT_TRUE(panel().gaveFocusBack);

    controller->toggle();
    EXPECT_EQ(sim.panels.createdCount, 2); // a new window for every opening
    EXPECT_EQ(panel().centredCount, 1);
    controller->toggle();
    EXPECT_FALSE(controller->isVisible());
    EXPECT_TRUE(panel().gaveFocusBack);

    // Closed with its close button, the next toggle opens it again.
    controller->toggle();
    panel().clickClose();
    controller->toggle();
    EXPECT_TRUE(controller->isVisible());
    EXPECT_EQ(sim.panels.createdCount, 4);
}

TEST_F(PanelControllerTest, RenamingARowHoldsEveryKeyBackUntilReturnStoresTheName) {
    start(4);
    controller->toggle();
    panel().rowEditState(desktop(1), true); // right-click on the second row
    ASSERT_TRUE(panel().row(desktop(1))->renaming);
    EXPECT_FALSE(panel().content.takesKeys);
    for (PanelKey key : {PanelKey::down, PanelKey::up, PanelKey::returnKey, PanelKey::keypadEnter, PanelKey::escape})
        EXPECT_FALSE(panel().press(key)); // they go to the edit field
    EXPECT_EQ(controller->selectedIndex(), 0);
    EXPECT_TRUE(controller->isVisible());
    EXPECT_TRUE(switched.empty());

    panel().rowRename(desktop(1), "Mail");
    EXPECT_EQ(core->labels.label(desktop(1)), "Mail");
    EXPECT_FALSE(controller->editingSpaceID);
    EXPECT_EQ(panel().row(desktop(1))->fields.displayedName, "Mail");
    EXPECT_EQ(panel().row(desktop(1))->fields.customLabel, "Mail");
    EXPECT_FALSE(panel().row(desktop(1))->renaming);
    EXPECT_TRUE(panel().content.takesKeys);
    EXPECT_TRUE(panel().press(PanelKey::down));

    // Escape in the field leaves without a change; an empty name clears the stored one.
    panel().rowEditState(desktop(1), true);
    panel().rowEditState(desktop(1), false);
    EXPECT_FALSE(panel().row(desktop(1))->renaming);
    EXPECT_EQ(core->labels.label(desktop(1)), "Mail");
    panel().rowEditState(desktop(1), true);
    panel().rowRename(desktop(1), std::nullopt);
    EXPECT_EQ(core->labels.label(desktop(1)), std::nullopt);
    EXPECT_EQ(panel().row(desktop(1))->fields.displayedName, "Desktop 2");

    // Opening the panel again starts with no row in rename mode.
    panel().rowEditState(desktop(2), true);
    controller->toggle();
    controller->toggle();
    EXPECT_FALSE(panel().row(desktop(2))->renaming);
    EXPECT_TRUE(panel().press(PanelKey::escape));
}

TEST_F(PanelControllerTest, ADesktopThatGoesAwayWhileRenamedOrSelectedLeavesThePanelUsable) {
    start(4);
    controller->toggle();
    panel().press(PanelKey::up); // the fourth desktop
    panel().rowEditState(desktop(3), true);
    world.removeSpace(desktop(3));
    controller->refreshSpaces();
    controller->rebuildContent();

    // The window fits the three rows left; no row is left in rename mode, so the keys work
    // again; the selection is out of range.
    EXPECT_EQ(panel().content.size.height, 3 * 40 + 44 + 44 + 16);
    EXPECT_TRUE(panel().content.takesKeys);
    EXPECT_TRUE(panel().press(PanelKey::returnKey));
    EXPECT_TRUE(switched.empty());
    EXPECT_TRUE(panel().press(PanelKey::down)); // wraps back in
    EXPECT_EQ(controller->selectedIndex(), 1);
    EXPECT_TRUE(panel().press(PanelKey::escape));
    EXPECT_FALSE(controller->isVisible());
}

TEST_F(PanelControllerTest, EditModeShowsPencilsTilingControlsAndTheShortcutThatEndsIt) {
    start(2);
    controller->toggle();
    const PanelContent& off = panel().content;
    EXPECT_EQ(off.hint.text, "↑↓ · ⏎ switch · right-click rename");
    EXPECT_EQ(off.editButton.title, "✎ Off");
    EXPECT_FALSE(off.editButton.accented);
    EXPECT_EQ(off.settingsButton.title, "Settings");
    EXPECT_FALSE(off.rows[0].fields.showPencil);
    EXPECT_TRUE(off.rows[0].fields.showTiling); // tiling badges are on by default
    EXPECT_TRUE(off.rows[0].fields.showMiniMap);

    sim.defaults.set(Settings::editModeKey, true);
    sim.defaults.set(Settings::showTilingBadgesKey, false);
    sim.defaults.set(Settings::showMiniMapsKey, false);
    controller->rebuildContent();
    const PanelContent& on = panel().content;
    EXPECT_EQ(on.hint.text, "↑↓ · ⏎ switch · ✎ rename · Ctrl+Alt+E edit off");
    EXPECT_EQ(on.editButton.title, "✎ On");
    EXPECT_TRUE(on.editButton.accented);
    EXPECT_TRUE(on.rows[0].fields.showPencil);
    EXPECT_TRUE(on.rows[0].fields.showTiling); // edit mode shows it even without badges
    EXPECT_FALSE(on.rows[0].fields.showMiniMap);

    // The hint names the user's own shortcut.
    sim.defaults.set("hotkey_toggle_edit_mode", "5:2"); // control+shift+D
    controller->rebuildContent();
    EXPECT_EQ(panel().content.hint.text, "↑↓ · ⏎ switch · ✎ rename · Ctrl+Shift+D edit off");

    int edits = 0, settings = 0;
    controller->onToggleEditMode = [&] { ++edits; };
    controller->onOpenSettings = [&] { ++settings; };
    panel().clickEditToggle();
    panel().clickSettings();
    EXPECT_EQ(edits, 1);
    EXPECT_EQ(settings, 1);
}

} // namespace
} // namespace quorvel::test
