// The tray menu on the simulator: what it holds per density and number of displays, the in-place
// edits of an open menu (rename, edit switch, density, tiling switch), the title, and the tray-less
// start.
#include "SimServices.h"
#include "menubar/MenuBarController.h"
#include "settings/AccessibilityGrant.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace quorvel {
// For failure messages: an item in one line instead of its bytes.
static void PrintTo(const MenuItem& item, std::ostream* os) {
    *os << "{kind " << static_cast<int>(item.kind) << " \"" << item.title << "\"";
    if (item.row)
        *os << " row " << item.row->spaceID << " \"" << item.row->displayedName << "\" pencil "
            << item.row->showPencil << " tiling " << item.row->showTiling << " current " << item.row->isCurrent;
    if (item.toggles) *os << " edit " << item.toggles->editOn << " tiling " << item.toggles->tilingOn;
    if (item.indicator) *os << " density " << static_cast<int>(item.indicator->density);
    *os << "}";
}
} // namespace quorvel

namespace quorvel::test {
namespace {

using K = MenuItemKind;

// The menu in one line: I indicator, - separator, H header, R row, T switch row, commands by title.
std::string shape(const std::vector<MenuItem>& items) {
    std::string out;
    for (const MenuItem& item : items) {
        if (!out.empty()) out += " ";
        switch (item.kind) {
        case K::indicator: out += "I"; break;
        case K::separator: out += "-"; break;
        case K::header: out += "H"; break;
        case K::row: out += "R"; break;
        case K::toggleRow: out += "T"; break;
        case K::command: out += "[" + item.title + "]"; break;
        case K::submenu: out += "[" + item.title + " >" + shape(item.submenu) + "]"; break;
        case K::displayChoice: out += item.title + (item.checked ? "*" : ""); break;
        }
    }
    return out;
}

class MenuBarControllerTest : public ::testing::Test {
protected:
    void start(int displays = 1, bool tiling = false) {
        for (int d = 0; d < displays; ++d) world.addDisplay({.uuid = "UUID-" + std::to_string(d), .spaceCount = 3});
        if (tiling) sim.defaults.set(Settings::tilingEnabledKey, true);
        core = std::make_unique<CoreServices>(platform);
        if (tiling) core->coordinator.setEnabled(true, TilingCoordinator::Source::launch);
        menu = std::make_unique<MenuBarController>(menuBarDependencies(platform, *core));
        menu->onSwitch = [this](const Space& s) { switched.push_back(s.id); };
        menu->onEditModeChanged = [this] { ++editModeChanges; };
        menu->setup();
        sim.tray.open();
    }
    void TearDown() override {
        menu.reset();
        core.reset();
    }
    std::string shown() const { return shape(sim.tray.items); }
    // The view shows exactly what the controller's model holds, and the model its index layout.
    void expectConsistent() {
        EXPECT_TRUE(menu->menu().holdsIndexInvariant()) << shown();
        EXPECT_EQ(sim.tray.items, menu->menu().items());
    }
    // After an edit in place: the open menu holds what a full build from the current settings
    // and desktops would give, every row's, indicator's and switch row's field included.
    void expectSameAsFreshBuild() {
        expectConsistent();
        const std::vector<MenuItem> open = sim.tray.items;
        menu->buildMenuBarMenu();
        EXPECT_EQ(open, sim.tray.items) << shown();
    }
    const MenuItem& row(std::size_t n) {
        std::size_t seen = 0;
        for (const MenuItem& item : sim.tray.items)
            if (item.kind == K::row && seen++ == n) return item;
        throw std::out_of_range("no such row");
    }
    SpaceId desktop(std::size_t display, std::size_t position) const {
        return world.displays().at(display).spaces.at(position).id;
    }

    sim::SimPlatform sim;
    sim::SimWorld& world = sim.world;
    PlatformServices platform = sim::platformServices(sim);
    std::unique_ptr<CoreServices> core;
    std::unique_ptr<MenuBarController> menu;
    std::vector<SpaceId> switched;
    int editModeChanges = 0;
};

TEST_F(MenuBarControllerTest, DensitiesWithOneDisplay) {
    start(1, true);
    const std::string tail = "[Flip Split Orientation] -";
    EXPECT_EQ(shown(), "I - R R R - T - " + tail + " [Report a Problem…] [Settings...] - [Quit Quorvel]");
    expectConsistent();
    sim.defaults.set(Settings::menuDensityKey, std::string("focused"));
    menu->buildMenuBarMenu();
    EXPECT_EQ(shown(), "I - R R R - " + tail + " [Quit Quorvel]");
    sim.defaults.set(Settings::menuDensityKey, std::string("minimal"));
    menu->buildMenuBarMenu();
    EXPECT_EQ(shown(), "I - R R R - [Quit Quorvel]");
    expectConsistent();
    // Anything else is the full menu.
    sim.defaults.set(Settings::menuDensityKey, std::string("Minimal"));
    menu->buildMenuBarMenu();
    EXPECT_EQ(sim.tray.items[0].indicator->density, MenuDensity::full);
}

TEST_F(MenuBarControllerTest, DensitiesWithTwoDisplaysAndWithoutWindowManagerAccess) {
    world.revokeTrust();
    start(2);
    const std::string wm = "[Tiling Needs an EWMH Window Manager…] -";
    const std::string rows = "H R R R - H R R R -";
    EXPECT_EQ(shown(), "I - " + rows + " T - " + wm + " [Report a Problem…] [Settings...] - [Quit Quorvel]");
    EXPECT_EQ(sim.tray.items[2].title, menu->cachedDisplays()[0].label);
    EXPECT_FALSE(sim.tray.items[2].enabled);
    sim.defaults.set(Settings::menuDensityKey, std::string("focused"));
    menu->buildMenuBarMenu();
    EXPECT_EQ(shown(), "I - " + rows + " " + wm + " [Quit Quorvel]");
    sim.defaults.set(Settings::menuDensityKey, std::string("minimal"));
    menu->buildMenuBarMenu();
    EXPECT_EQ(shown(), "I - " + rows + " " + wm + " [Quit Quorvel]");
    expectConsistent();
    EXPECT_EQ(sim.tray.items[0].indicator->numbers.size(), 6u);
}

TEST_F(MenuBarControllerTest, WindowManagerItemTellsAStaleAccessFromADuplicateCopy) {
    sim.defaults.set(AccessibilityGrant::everGrantedKey, true);
    world.revokeTrust();
    start();
    const auto fixItem = [this]() -> const MenuItem& {
        const auto fix = std::find_if(sim.tray.items.begin(), sim.tray.items.end(),
                                      [](const MenuItem& i) { return i.command == MenuCommand::openAccessibility; });
        if (fix == sim.tray.items.end()) throw std::out_of_range("no window-manager item");
        return *fix;
    };
    EXPECT_EQ(fixItem().title, "Fix Window Manager Access…");
    EXPECT_EQ(fixItem().toolTip, "The window manager stopped answering as it did before, so Quorvel cannot move windows. "
                                 "Restart the window manager (one that supports EWMH, such as Openbox), then try again.");

    // Access was last seen working for a program installed elsewhere: this one is a second copy.
    sim.defaults.set(AccessibilityGrant::grantedExecutablePathKey, std::string("/opt/quorvel/bin/quorvel"));
    menu->buildMenuBarMenu();
    EXPECT_EQ(fixItem().title, "Duplicate Copy Blocking Tiling…");
    world.ownExecutablePath = "/opt/quorvel/bin/quorvel";
    menu->buildMenuBarMenu();
    EXPECT_EQ(fixItem().title, "Fix Window Manager Access…") << "the same program again: the access went stale";
}

TEST_F(MenuBarControllerTest, RowsCarryTheirDesktopTheSettingsAndAReadableTitle) {
    start();
    world.openWindow(world.launchApp({.name = "Editor"}), {0, 0, 960, 1080});
    sim.scheduler.runPending(); // the window list is read once per turn
    menu->refresh();
    const MenuItem& first = row(0);
    ASSERT_TRUE(first.row);
    EXPECT_TRUE(first.row->isCurrent);
    EXPECT_EQ(first.row->placeholder, "Desktop 1");
    EXPECT_EQ(first.title, first.row->displayedName + " — current desktop");
    EXPECT_EQ(first.toolTip, "Click to switch · right-click to rename");
    EXPECT_EQ(row(1).title, "Desktop 2, empty");
    EXPECT_EQ(first.row->miniLayout.size(), 1u);
    EXPECT_FALSE(first.row->showPencil) << "edit mode is off";
    EXPECT_TRUE(first.row->showTiling) << "tiling badges are on by default";

    sim.tray.clickEditSwitch(true);
    EXPECT_TRUE(row(0).row->showPencil);
    EXPECT_EQ(editModeChanges, 1);
    EXPECT_TRUE(sim.tray.isOpen);
    expectSameAsFreshBuild();
    sim.defaults.set(Settings::menuDensityKey, std::string("minimal"));
    sim.defaults.set(Settings::showMiniMapsKey, false);
    menu->buildMenuBarMenu();
    EXPECT_FALSE(row(0).row->showPencil);
    EXPECT_FALSE(row(0).row->showTiling);
    EXPECT_TRUE(row(0).row->miniLayout.empty());
}

TEST_F(MenuBarControllerTest, RenamingFromTheOpenMenuStoresTheNameAndReplacesOnlyTheRows) {
    start(2);
    const int builds = sim.tray.menuBuilds;
    const Space second = row(1).space;
    sim.tray.user().rowRename(second, std::string("Research"));
    EXPECT_EQ(core->labels.label(second.id), "Research");
    EXPECT_EQ(row(1).row->displayedName, "Research");
    EXPECT_EQ(row(1).title, "Research, empty");
    EXPECT_TRUE(sim.tray.isOpen);
    EXPECT_EQ(sim.tray.menuBuilds, builds) << "edited in place, not rebuilt";
    expectSameAsFreshBuild();

    // Renaming the current desktop changes the title at once; clearing brings the default back.
    const Space current = row(0).space;
    sim.tray.user().rowRename(current, std::string("Mail"));
    EXPECT_EQ(sim.tray.title.text, "Mail");
    sim.tray.user().rowRename(current, std::nullopt);
    EXPECT_EQ(sim.tray.title.text, "Desktop 1");
    EXPECT_EQ(core->labels.label(current.id), std::nullopt);
    expectSameAsFreshBuild();
}

TEST_F(MenuBarControllerTest, ARefreshWhileARowIsRenamedKeepsTheRowsAndBuildsWhenTheRenameIsCommitted) {
    start();
    const Space second = row(1).space;
    const std::vector<MenuItem> before = sim.tray.items;
    const int builds = sim.tray.menuBuilds;
    const int edits = sim.tray.edits;
    sim.tray.user().rowEditStateChanged(second, true); // right-click on the second row

    // The desktop changes under the open menu: the refresh the app runs for it.
    world.switchToSpace(desktop(0, 2));
    menu->refresh();
    EXPECT_EQ(sim.tray.title.text, "Desktop 3") << "the title follows at once";
    EXPECT_EQ(sim.tray.title.iconText, "3");
    EXPECT_EQ(sim.tray.menuBuilds, builds) << "the row being renamed stays";
    EXPECT_EQ(sim.tray.edits, edits);
    EXPECT_EQ(sim.tray.items, before);
    EXPECT_TRUE(menu->hasDeferredMenuBuild());

    sim.tray.user().rowRename(second, std::string("Research"));
    EXPECT_EQ(sim.tray.menuBuilds, builds + 1) << "the refresh that waited, with the name";
    EXPECT_TRUE(sim.tray.isOpen);
    EXPECT_EQ(row(1).row->displayedName, "Research");
    EXPECT_TRUE(row(2).row->isCurrent) << "the rows show the desktop switched to while renaming";
    EXPECT_FALSE(menu->isRenamingInMenu());
    EXPECT_FALSE(menu->hasDeferredMenuBuild());
    expectConsistent();

    // Nothing waits any more: the next refresh builds at once.
    menu->refresh();
    EXPECT_EQ(sim.tray.menuBuilds, builds + 2);
}

TEST_F(MenuBarControllerTest, ARefreshThatWaitedForARenameRunsWhenItIsLeftOrTheMenuCloses) {
    start();
    const int builds = sim.tray.menuBuilds;
    sim.tray.user().rowEditStateChanged(row(0).space, true);
    world.switchToSpace(desktop(0, 1));
    menu->refresh();
    EXPECT_EQ(sim.tray.menuBuilds, builds);
    // Another row leaving rename mode is not the row renaming.
    sim.tray.user().rowEditStateChanged(row(2).space, false);
    EXPECT_EQ(sim.tray.menuBuilds, builds);
    sim.tray.user().rowEditStateChanged(row(0).space, false); // Escape
    EXPECT_EQ(sim.tray.menuBuilds, builds + 1);
    EXPECT_TRUE(row(1).row->isCurrent);
    expectConsistent();

    // A rename still open when the menu closes is dropped with it.
    sim.tray.user().rowEditStateChanged(row(1).space, true);
    world.switchToSpace(desktop(0, 0));
    menu->refresh();
    EXPECT_EQ(sim.tray.menuBuilds, builds + 1);
    sim.tray.close();
    EXPECT_EQ(sim.tray.menuBuilds, builds + 2);
    EXPECT_TRUE(row(0).row->isCurrent);
    EXPECT_FALSE(menu->isRenamingInMenu());
    expectConsistent();

    // Closing with nothing waiting builds nothing.
    sim.tray.open();
    sim.tray.close();
    EXPECT_EQ(sim.tray.menuBuilds, builds + 2);
}

TEST_F(MenuBarControllerTest, CyclingDensityKeepsTheMenuOpenAndReplacesTheIndicatorOnALaterTurn) {
    start(1, true);
    sim.tray.user().cycleDensity(MenuDensity::focused);
    EXPECT_EQ(sim.defaults.stringFor(Settings::menuDensityKey), "focused");
    EXPECT_TRUE(sim.tray.isOpen);
    EXPECT_EQ(sim.tray.items[0].indicator->density, MenuDensity::full) << "the clicked indicator stays for now";
    EXPECT_EQ(shown(), "I - R R R - [Flip Split Orientation] - [Quit Quorvel]");
    sim.scheduler.runPending();
    EXPECT_EQ(sim.tray.items[0].indicator->density, MenuDensity::focused);
    expectSameAsFreshBuild();

    sim.tray.user().cycleDensity(MenuDensity::minimal);
    sim.scheduler.runPending();
    EXPECT_EQ(shown(), "I - R R R - [Quit Quorvel]");
    expectSameAsFreshBuild();
    sim.tray.user().cycleDensity(MenuDensity::full);
    sim.scheduler.runPending();
    EXPECT_EQ(shown(), "I - R R R - T - [Flip Split Orientation] - [Report a Problem…] [Settings...] - [Quit Quorvel]");
    EXPECT_TRUE(sim.tray.isOpen);
    expectSameAsFreshBuild();
}

TEST_F(MenuBarControllerTest, IndicatorCyclesTheEyeAndSwitchesOnlyToOtherDesktops) {
    start();
    const IndicatorModel& ind = *sim.tray.items[0].indicator;
    EXPECT_EQ(ind.width, 300);
    EXPECT_EQ(ind.eyeFrame, (Rect{264, 3, 22, 22}));
    EXPECT_EQ(ind.hitTest({259, 1}).cycleTo, MenuDensity::focused) << "the eye's margin";
    EXPECT_FALSE(ind.hitTest({15, 10}).switchTo) << "the current desktop";
    ASSERT_TRUE(ind.hitTest({40, 10}).switchTo);
    EXPECT_EQ(ind.hitTest({40, 10}).switchTo->index, 2);
    EXPECT_FALSE(ind.hitTest({150, 10}).switchTo);
    EXPECT_EQ(ind.eyeToolTip, "Full menu — click to change");
    EXPECT_EQ(makeIndicator(std::vector<Space>(12), MenuDensity::minimal).width, 348);
}

TEST_F(MenuBarControllerTest, RowsAndTailCommandsDoWhatTheySay) {
    start();
    // Clicking the current row closes the menu and reports nothing; another row switches.
    sim.tray.user().rowSwitch(row(0).space);
    EXPECT_FALSE(sim.tray.isOpen);
    EXPECT_TRUE(switched.empty());
    sim.tray.open();
    sim.tray.user().rowSwitch(row(2).space);
    EXPECT_FALSE(sim.tray.isOpen);
    EXPECT_EQ(switched, std::vector<SpaceId>{desktop(0, 2)});

    int settings = 0;
    menu->onOpenSettings = [&] { ++settings; };
    sim.tray.user().perform(MenuCommand::openSettings);
    EXPECT_EQ(settings, 1);
    sim.tray.user().perform(MenuCommand::flipSplit);
    EXPECT_EQ(sim.notifier.toasts.back(), "Nothing to flip");

    sim.tray.open();
    sim.tray.user().rowCycleTiling(row(1).space, TilingOverride::on);
    EXPECT_EQ(core->labels.tilingOverride(desktop(0, 1)), TilingOverride::on);
    EXPECT_TRUE(core->engine.isRunning()) << "a desktop that forces tiling starts the engine";
    sim.tray.user().perform(MenuCommand::quit);
    EXPECT_TRUE(sim.tray.quitRequested);
}

TEST_F(MenuBarControllerTest, TilingSwitchInTheMenuOnlySetsTheSwitchAHotKeyChangeRebuilds) {
    start();
    core->coordinator.onStateChanged = [this](TilingCoordinator::Source source) {
        menu->tilingStateChanged(source == TilingCoordinator::Source::menu);
    };
    const int builds = sim.tray.menuBuilds;
    sim.tray.user().tilingToggled(true);
    EXPECT_TRUE(core->engine.isRunning());
    EXPECT_EQ(sim.tray.tilingSwitch, true);
    EXPECT_TRUE(sim.tray.isOpen);
    EXPECT_EQ(sim.tray.menuBuilds, builds);

    core->coordinator.setEnabled(false, TilingCoordinator::Source::hotkey);
    EXPECT_EQ(sim.tray.menuBuilds, builds + 1);
}

TEST_F(MenuBarControllerTest, TitleKeeps24CharactersShortens25AndMarksATilingDesktop) {
    EXPECT_EQ(shortenedTitle("abcdefghijklmnopqrstuvwx"), "abcdefghijklmnopqrstuvwx");
    EXPECT_EQ(shortenedTitle("abcdefghijklmnopqrstuvwxy"), "abcdefghijklmnopqrstuvw…");
    EXPECT_EQ(shortenedTitle("Quarterly report draft 2026"), "Quarterly report draft…") << "trimmed before the ellipsis";
    EXPECT_EQ(shortenedTitle("ééééééééééééééééééééééééé"), "ééééééééééééééééééééééé…") << "characters, not bytes";
    const std::string coder = "👩‍💻"; // woman, joiner, laptop: one character
    std::string name;
    for (int i = 0; i < 22; ++i) name += "a";
    EXPECT_EQ(shortenedTitle(name + coder + "e\u0301"), name + coder + "e\u0301") << "24 characters";
    EXPECT_EQ(shortenedTitle(name + "b" + coder + "c"), name + "b" + "…") << "never half a character";
    EXPECT_EQ(trayTitle(std::nullopt, true), "?");

    start(1, true);
    world.openWindow(world.launchApp({.name = "Editor"}), {0, 0, 800, 600});
    sim.scheduler.advance(Seconds(1));
    menu->refresh();
    EXPECT_TRUE(sim.tray.title.tilingMark);
    EXPECT_EQ(sim.tray.title.text.rfind("◎ ", 0), 0u) << sim.tray.title.text;
    EXPECT_EQ(sim.tray.title.iconText, "1");
}

TEST(TrayTitleTest, AFlagIsOneCharacterAndIsNeverCutInTwo) {
    const std::string france = "\U0001F1EB\U0001F1F7", germany = "\U0001F1E9\U0001F1EA";
    const std::string a22(22, 'a');
    EXPECT_EQ(shortenedTitle(a22 + france + "b"), a22 + france + "b") << "24 characters";
    EXPECT_EQ(shortenedTitle(a22 + france + germany + "c"), a22 + france + "…");
    // Indicators pair from the first of a run: U F | R, then b and c make 25.
    const std::string a21(21, 'a'), u = "\U0001F1FA";
    EXPECT_EQ(shortenedTitle(a21 + u + france + "bc"), a21 + u + france + "…");
    // The part before the ellipsis is trimmed of any Unicode white space.
    EXPECT_EQ(shortenedTitle(a22 + "\u3000" + "\u00A0" + "bcd"), a22 + "…");
}

TEST_F(MenuBarControllerTest, WithoutATrayTheUserIsToldOnceHowToReachTheDesktops) {
    sim.tray.available = false;
    start();
    EXPECT_EQ(sim.notifier.toasts, std::vector<std::string>{"No system tray — Ctrl+Alt+P opens the desktop panel"});
    EXPECT_EQ(sim.log.count("no system tray; waiting for one"), 1u);
    EXPECT_TRUE(sim.tray.exists) << "the item waits for a tray";
    menu->removeStatusItem();
    menu->setup();
    EXPECT_EQ(sim.notifier.toasts.size(), 1u);
}

TEST_F(MenuBarControllerTest, FocusDisplayOffersEveryMonitorOnceThereAreTwo) {
    sim::SimDisplayOutputs& outputs = sim.displayOutputs;
    outputs.plug({.id = 1, .identifier = "BOE-0a1b-00000000", .name = "eDP-1", .builtin = true});
    start(1, true);
    // One monitor: nothing to choose.
    EXPECT_EQ(shown().find("Focus Display"), std::string::npos) << shown();

    outputs.plug({.id = 2, .identifier = "DEL-a0c4-3033574c", .name = "DELL U2720Q (DP-1)", .bounds = {1920, 0, 2560, 1440}});
    sim.scheduler.advance(Seconds(0));
    menu->buildMenuBarMenu();
    const std::string item = "[Focus Display >eDP-1* DELL U2720Q (DP-1)] -";
    EXPECT_EQ(shown(), "I - R R R - T - [Flip Split Orientation] - " + item +
                           " [Report a Problem…] [Settings...] - [Quit Quorvel]");
    sim.defaults.set(Settings::menuDensityKey, std::string("focused"));
    menu->buildMenuBarMenu();
    EXPECT_NE(shown().find(item), std::string::npos) << shown();
    sim.defaults.set(Settings::menuDensityKey, std::string("minimal"));
    menu->buildMenuBarMenu();
    EXPECT_EQ(shown().find("Focus Display"), std::string::npos) << shown();
    sim.defaults.set(Settings::menuDensityKey, std::string("full"));

    // Choosing the monitor makes it main and remembers it; the menu shows the new check mark.
    sim.tray.user().focusDisplayChosen("DEL-a0c4-3033574c");
    sim.scheduler.advance(Seconds(1.5));
    EXPECT_EQ(outputs.primary(), 2u);
    EXPECT_EQ(core->settings.preferredFocusDisplayUUID(), "DEL-a0c4-3033574c");
    menu->buildMenuBarMenu();
    EXPECT_NE(shown().find("[Focus Display >eDP-1 DELL U2720Q (DP-1)*]"), std::string::npos) << shown();

    // Choosing the laptop panel goes back to it and forgets the choice.
    sim.tray.user().focusDisplayChosen("BOE-0a1b-00000000");
    sim.scheduler.advance(Seconds(1.5));
    EXPECT_EQ(outputs.primary(), 1u);
    EXPECT_EQ(core->settings.preferredFocusDisplayUUID(), std::nullopt);
}

} // namespace
} // namespace quorvel::test
