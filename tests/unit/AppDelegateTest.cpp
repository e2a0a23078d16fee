// The application delegate on the simulator: the launch order and its gate, how every hot key is
// routed (real presses through the hot-key manager), the two debounces, hot-key mode, the strip's
// developer switch, the desktop-change handler and the quit steps.
#include "DelegateFixture.h"

namespace quorvel::test {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kControlOption = 0x1800;
constexpr std::uint32_t kOptionShift = 0x0A00;

class AppDelegateTest : public DelegateFixture {
protected:
    bool launch() {
        const bool ok = app->applicationDidFinishLaunching();
        settle();
        return ok;
    }
    void press(std::uint32_t keyCode, std::uint32_t flags) {
        ASSERT_TRUE(sim.hotkeys.press(keyCode, flags));
        settle();
    }
    int menuBuilds() const { return sim.tray.menuBuilds; }
    const std::vector<std::string>& toasts() const { return sim.notifier.toasts; }
};

TEST_F(AppDelegateTest, AFirstLaunchRegistersKeysShowsTheTrayAndWelcomeAndSavesTheSnapshot) {
    ASSERT_TRUE(launch());

    EXPECT_EQ(sim.hotkeys.registeredCount(), 22u);
    EXPECT_TRUE(app->menuBar().hasStatusItem());
    EXPECT_EQ(sim.tray.title.text, "Desktop 1");
    EXPECT_EQ(menuBuilds(), 2); // when the item appears, and again once names are restored
    EXPECT_TRUE(app->welcomeController().isVisible());
    EXPECT_TRUE(sim.defaults.boolFor(Settings::hasLaunchedBeforeKey));
    EXPECT_TRUE(core->settings.savedSpaceSnapshot().has_value());
    EXPECT_EQ(sim.applications.scansStarted, 1); // the installed applications, listed ahead of the palette
    EXPECT_TRUE(sim.log.contains("EWMH window manager present: true"));
    EXPECT_FALSE(core->engine.isRunning()); // tiling was never switched on
    EXPECT_FALSE(core->strip.isRunning());
    EXPECT_TRUE(core->namer.isObserving());
    EXPECT_FALSE(app->hasShortcutsController());

    // The second launch shows no welcome window.
    app->applicationWillTerminate();
    app = std::make_unique<AppDelegate>(platform, *core);
    ASSERT_TRUE(launch());
    EXPECT_FALSE(app->welcomeController().isVisible());
}

TEST_F(AppDelegateTest, WithoutTheDesktopInterfacesTheUserIsToldAndNothingStarts) {
    world.setUnannounced(DesktopHint::currentDesktop);
    EXPECT_FALSE(launch());

    ASSERT_EQ(sim.notifier.alerts.size(), 1u);
    EXPECT_EQ(sim.notifier.alerts[0].buttons, std::vector<std::string>{"Quit"});
    EXPECT_TRUE(sim.notifier.alerts[0].critical);
    EXPECT_EQ(sim.log.lines("privateapi"), std::vector<std::string>{"_NET_CURRENT_DESKTOP unavailable"});
    EXPECT_EQ(sim.hotkeys.registeredCount(), 0u);
    EXPECT_FALSE(app->menuBar().hasStatusItem());
    EXPECT_FALSE(sim.defaults.boolFor(Settings::hasLaunchedBeforeKey));
    world.switchToSpace(desktop(1));
    settle();
    EXPECT_EQ(menuBuilds(), 0); // no observer was registered
}

TEST_F(AppDelegateTest, ActivationsRefreshTheTrayOnce200msAfterTheLastUnlessNamingIsManual) {
    ASSERT_TRUE(launch());
    const Pid a = world.launchApp({.name = "Editor"});
    const Pid b = world.launchApp({.name = "Browser"});
    settle();
    const int before = menuBuilds();

    world.activateApp(a);
    settle(0.1s);
    world.activateApp(b);
    settle(0.19s);
    EXPECT_EQ(menuBuilds(), before);
    settle(0.02s);
    EXPECT_EQ(menuBuilds(), before + 1);
    settle(1s);
    EXPECT_EQ(menuBuilds(), before + 1);

    sim.defaults.set(Settings::namingKey, std::string("manual"));
    world.activateApp(a);
    settle(1s);
    EXPECT_EQ(menuBuilds(), before + 1);
    // Desktop switches still refresh.
    world.switchToSpace(desktop(2));
    settle();
    EXPECT_EQ(menuBuilds(), before + 2);
}

TEST_F(AppDelegateTest, InHotkeyModeThereIsNoTrayItemAndNoRefreshEverRuns) {
    sim.defaults.set(Settings::modeKey, std::string("hotkey"));
    ASSERT_TRUE(launch());
    EXPECT_FALSE(app->menuBar().hasStatusItem());
    world.switchToSpace(desktop(1));
    world.activateApp(world.launchApp({.name = "Editor"}));
    settle(1s);
    app->refreshAll();
    EXPECT_EQ(menuBuilds(), 0);

    // Switching back to the tray through the settings window brings the item back.
    sim.defaults.set(Settings::modeKey, std::string("menubar"));
    app->settingsController().onModeChanged();
    EXPECT_TRUE(app->menuBar().hasStatusItem());
}

TEST_F(AppDelegateTest, WithTilingOffTheTilingKeysSayTilingIsOffAndSpotlightSaysNothing) {
    ASSERT_TRUE(launch());
    for (std::uint32_t key : {123u, 124u, 126u, 125u, 38u, 15u, 40u}) press(key, kOptionShift);
    EXPECT_EQ(toasts(), std::vector<std::string>(6, "Tiling is off"));
}

TEST_F(AppDelegateTest, WithTilingOnTheKeysActOnTheFocusedWindowAndReportWhatDidNotHappen) {
    ASSERT_TRUE(launch());
    const int builds = menuBuilds();
    press(17, kOptionShift); // toggle tiling
    ASSERT_TRUE(core->engine.isRunning());
    EXPECT_TRUE(sim.defaults.boolFor(Settings::tilingEnabledKey));
    EXPECT_EQ(menuBuilds(), builds + 1) << "a change by hot key rebuilds the menu";
    EXPECT_EQ(app->settingsController().tilingRefreshCount(), 1);
    sim.notifier.toasts.clear();

    const Pid pid = world.launchApp({.name = "Editor"});
    settle(1s);
    const WindowId only = world.openWindow(pid, {40, 60, 600, 400});
    settle(1s);
    world.focusWindow(only);
    settle(0.1s);

    press(123, kOptionShift); // swap left: nothing there
    press(38, kOptionShift);  // flip: a lone window has no split
    press(15, kOptionShift);  // retile
    EXPECT_EQ(toasts(), (std::vector<std::string>{"No window that way", "Nothing to flip", "Re-tiled"}));

    const WindowId second = world.openWindow(pid, {40, 60, 600, 400});
    settle(1s);
    world.focusWindow(second);
    settle(0.1s);
    const Rect before = world.window(second)->frame;
    press(123, kOptionShift);
    EXPECT_NE(world.window(second)->frame, before);
    EXPECT_EQ(toasts().size(), 3u);

    press(17, kOptionShift); // and off again
    EXPECT_FALSE(core->engine.isRunning());
}

TEST_F(AppDelegateTest, DesktopKeysSwitchOnlyToAnotherExistingDesktop) {
    ASSERT_TRUE(launch());
    app->panelController().show();

    press(19, kControlOption); // ⌃⌥2
    settle(1s);
    EXPECT_EQ(world.activeSpace(), desktop(1));
    EXPECT_FALSE(app->panelController().isVisible()); // hidden before switching

    app->panelController().show();
    press(19, kControlOption); // already there
    press(23, kControlOption); // ⌃⌥5: only four desktops
    app->switchToSpace(0);
    settle(1s);
    EXPECT_EQ(world.activeSpace(), desktop(1));
    EXPECT_TRUE(app->panelController().isVisible());
}

TEST_F(AppDelegateTest, TheStripStartsAndTogglesOnlyBehindItsDeveloperSwitch) {
    ASSERT_TRUE(launch());
    press(31, kControlOption);
    EXPECT_FALSE(core->strip.isRunning());
    EXPECT_FALSE(core->strip.visibilityOverride());
    app->applicationWillTerminate();

    sim.defaults.set(Settings::stripDevKey, true);
    app = std::make_unique<AppDelegate>(platform, *core);
    ASSERT_TRUE(launch());
    EXPECT_TRUE(core->strip.isRunning());
    press(31, kControlOption);
    EXPECT_TRUE(core->strip.visibilityOverride());
    app->applicationWillTerminate();
    EXPECT_FALSE(core->strip.isRunning());
}

TEST_F(AppDelegateTest, TheFileManagerKeyIsDebouncedAndReportsWhatCouldNotBeDone) {
    ASSERT_TRUE(launch());
    press(3, kControlOption);
    press(3, kControlOption); // within 600 ms: not even a toast
    EXPECT_EQ(toasts(), std::vector<std::string>{"Couldn't find a file manager"});

    // Not running: the key (time 41) launches it, once within 600 ms.
    const SummonableApp files{.name = "Files", .desktopFileId = "org.test.Files.desktop", .program = "files"};
    sim.applications.fileManager = files;
    settle(0.6s);
    ASSERT_TRUE(sim.hotkeys.press(3, kControlOption, 41));
    settle(0.5s);
    press(3, kControlOption);
    using Launch = sim::SimApplications::Launch;
    EXPECT_EQ(sim.applications.launches,
              (std::vector<Launch>{{Launch::Kind::main, "org.test.Files.desktop", {}, 41}}));

    // Running with nothing that makes a window.
    world.launchApp({.name = "files", .executablePath = "/usr/bin/files"});
    sim.applications.failures[Launch::Kind::main] = "gone";
    settle(0.6s);
    press(3, kControlOption);
    world.addSpace(0, true);
    world.switchToSpace(world.displays().at(0).spaces.back().id);
    settle(0.6s);
    press(3, kControlOption);
    EXPECT_EQ(toasts(), (std::vector<std::string>{"Couldn't find a file manager", "The file manager has no new-window command",
                                                  "Can't open a file manager window on a fullscreen desktop"}));
}

TEST_F(AppDelegateTest, PanelEditModeAndPaletteKeysToggleTheirWindows) {
    ASSERT_TRUE(launch());
    press(35, kControlOption); // panel
    EXPECT_TRUE(app->panelController().isVisible());
    press(35, kControlOption);
    EXPECT_FALSE(app->panelController().isVisible());

    app->panelController().editingSpaceID = desktop(0);
    press(14, kControlOption); // edit mode on: shows the panel
    EXPECT_TRUE(sim.defaults.boolFor(Settings::editModeKey));
    EXPECT_TRUE(app->panelController().isVisible());
    EXPECT_FALSE(app->panelController().editingSpaceID);
    press(14, kControlOption); // off: the panel stays
    EXPECT_FALSE(sim.defaults.boolFor(Settings::editModeKey));
    EXPECT_TRUE(app->panelController().isVisible());

    ASSERT_TRUE(sim.hotkeys.press(16, kControlOption, 99)); // summon
    settle();
    EXPECT_TRUE(app->summonPalette().isVisible());
    EXPECT_EQ(sim.palettes.palette()->focusTime, 99u);
    press(16, kControlOption);
    EXPECT_FALSE(app->summonPalette().isVisible());
}

TEST_F(AppDelegateTest, ThePanelKeyOpensThePanelWithTheKeysTimeAndReturnSwitchesAndHidesIt) {
    ASSERT_TRUE(launch());
    ASSERT_TRUE(sim.hotkeys.press(35, kControlOption, 777));
    settle();
    sim::SimPanelView* panel = sim.panels.panel();
    ASSERT_TRUE(panel && panel->isVisible());
    EXPECT_EQ(panel->focusTimes, std::vector<InputTime>{777});

    panel->press(PanelKey::down);
    panel->press(PanelKey::down);
    panel->press(PanelKey::returnKey);
    settle(1s);
    EXPECT_EQ(world.activeSpace(), desktop(2));
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(panel->gaveFocusBack); // the new desktop's window gets the focus, not the old one's

    // A name given in the panel is the tray's title at once.
    press(35, kControlOption);
    panel = sim.panels.panel();
    panel->rowEditState(desktop(2), true);
    panel->rowRename(desktop(2), "Mail");
    EXPECT_EQ(sim.tray.title.text, "Mail");
    panel->press(PanelKey::escape);

    // Open again: a desktop change made elsewhere while it shows moves the current desktop's box
    // at once; the selection stays where it was.
    press(35, kControlOption);
    panel = sim.panels.panel();
    world.switchToSpace(desktop(0));
    settle();
    EXPECT_EQ(panel->content.highlights,
              (std::vector<PanelHighlight>{{PanelHighlight::Kind::current, {8, 45, 344, 38}},
                                           {PanelHighlight::Kind::selection, {8, 125, 344, 38}}}));
}

TEST_F(AppDelegateTest, ADesktopChangePrunesVanishedNamesOnlyWhenTheTableReadsAndSavesTheSnapshot) {
    // A name for a desktop gone for 40 days, and one for a desktop that exists.
    sim.defaults.set(LabelStore::labelsKey, Json{{"999", "Old"}, {std::to_string(desktop(0)), "Mail"}});
    sim.defaults.set(LabelStore::labelsLastSeenKey, Json{{"999", sim.scheduler.wallClock() - 40 * 86400.0}});
    ASSERT_TRUE(launch());

    world.overrideDesktopTable(DesktopTable{}); // the next reads come back empty
    world.switchToSpace(desktop(1));
    settle();
    EXPECT_TRUE(LabelStore::storedLabels(sim.defaults).contains("999"));

    world.overrideDesktopTable(std::nullopt);
    world.switchToSpace(desktop(2));
    settle();
    const auto labels = LabelStore::storedLabels(sim.defaults);
    EXPECT_FALSE(labels.contains("999"));
    EXPECT_EQ(labels.at(std::to_string(desktop(0))), "Mail");
    EXPECT_EQ(sim.tray.title.text, "Desktop 3");
}

TEST_F(AppDelegateTest, RenamingSavesTheSnapshotAndQuitReleasesEverythingTheDelegateWired) {
    ASSERT_TRUE(launch());
    core->labels.setLabel("Mail", desktop(1));
    const auto snapshot = core->settings.savedSpaceSnapshot();
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->labels.at(desktop(1)), "Mail");

    app->applicationWillTerminate();
    EXPECT_EQ(sim.hotkeys.registeredCount(), 0u);
    EXPECT_FALSE(app->hotkeys().isHandlerInstalled());
    const int builds = menuBuilds();
    world.switchToSpace(desktop(1));
    world.activateApp(world.launchApp({.name = "Editor"}));
    settle(1s);
    EXPECT_EQ(menuBuilds(), builds);

    // Callbacks that outlive the delegate do nothing.
    auto onToggle = app->settingsController().onToggleTiling;
    app.reset();
    core->labels.onChange();
    core->engine.onSpotlightChanged();
    if (onToggle) onToggle();
    EXPECT_FALSE(core->engine.isDisplayTransitionInProgress());
    world.switchToSpace(desktop(2));
    settle(1s);
    EXPECT_FALSE(core->engine.isRunning());
}

TEST_F(AppDelegateTest, AWindowManagerGoneForLongAndFocusDisplayOutcomesReachTheUser) {
    sim.defaults.set(Settings::tilingEnabledKey, true);
    ASSERT_TRUE(launch());
    ASSERT_TRUE(core->engine.isRunning());

    // As the engine reports it: every window refused to move, no window manager, it has paused.
    world.revokeTrust();
    core->engine.pause();
    core->engine.onAccessLost();
    const std::size_t before = toasts().size();
    EXPECT_GE(app->settingsController().tilingRefreshCount(), 1);
    settle(9.9s);
    EXPECT_EQ(toasts().size(), before) << "a window manager restarting is waited for quietly";
    settle(0.2s);
    EXPECT_EQ(toasts().back(), "Tiling paused — no window manager is running on this display");
    world.grantTrust();
    settle(1.5s);
    EXPECT_TRUE(core->engine.isRunning());
    EXPECT_EQ(toasts().back(), "Tiling on");

    core->focusDisplay.onSwapSettled(false, "DELL U2720Q");
    EXPECT_EQ(toasts().back(), "Focus Display didn't take — arrangement unchanged");
    core->focusDisplay.onSwapSettled(true, "DELL U2720Q");
    EXPECT_EQ(toasts().back(), "Focused on DELL U2720Q");
}

TEST_F(AppDelegateTest, TheSettingsWindowOpensFromTheTrayAndQuitsTheWayTheMenuDoes) {
    ASSERT_TRUE(launch());
    app->menuBar().onOpenSettings();
    ASSERT_NE(sim.settingsViews.window, nullptr);
    EXPECT_TRUE(app->settingsController().isVisible());
    sim.settingsViews.window->quit();
    EXPECT_TRUE(sim.tray.quitRequested);
}

} // namespace
} // namespace quorvel::test
