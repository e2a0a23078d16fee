// The settings window on the simulator: built once from the stored settings, the tiling box that
// shows only what the coordinator decided, launch at login shown truthfully. Each control's stored
// value, the tabs and Clear All Custom Names are covered by the Qt test.
#include "DesktopNamesFixture.h"
#include "settingsui/SettingsWindowController.h"
#include "shortcuts/ShortcutStore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel::test {
namespace {

class SettingsWindowControllerTest : public DesktopNamesFixture {
protected:
    SettingsWindowController controller{{.views = &sim.settingsViews,
                                         .settings = settings,
                                         .labels = labels,
                                         .launchAtLogin = &sim.launchAtLogin,
                                         .log = sim.log}};
    int refreshes = 0;
    int tilingClicks = 0;

    void SetUp() override {
        controller.onRefresh = [this] { ++refreshes; };
        controller.onToggleTiling = [this] { ++tilingClicks; };
    }
    sim::SimSettingsView& open() {
        controller.show();
        return *sim.settingsViews.window;
    }
};

TEST_F(SettingsWindowControllerTest, BuiltOnceFromTheShortcutsOfTheMomentAndBroughtForwardLater) {
    ShortcutStore(sim.defaults).set(Shortcut::parse("4:35"), HotkeyAction::togglePanel);
    auto& view = open();
    const std::string item = view.row(SettingsControlId::accessMode)->control.items.at(0);
    EXPECT_EQ(item, "Keyboard Shortcut (" + Shortcut::parse("4:35")->displayText() + ")");
    EXPECT_EQ(view.content.tabs.at(3).keycaps.at(0).keys, "\u2303\u23251\u20139");

    ShortcutStore(sim.defaults).set(std::nullopt, HotkeyAction::togglePanel);
    view.close();
    controller.show();
    EXPECT_EQ(sim.settingsViews.createdCount, 1);
    EXPECT_EQ(view.contentSets, 1);
    EXPECT_TRUE(controller.isVisible());
    EXPECT_EQ(view.row(SettingsControlId::accessMode)->control.items.at(0), item)
        << "the item follows a changed shortcut only when the window is built again";
}

// The tabs themselves, with and without the strip's switch, are QtSettingsWindowTest's.
TEST_F(SettingsWindowControllerTest, WithoutALoginServiceThereIsNoLaunchAtLoginBox) {
    SettingsWindowController again({.views = &sim.settingsViews, .settings = settings, .labels = labels,
                                    .launchAtLogin = nullptr, .log = sim.log});
    again.show();
    EXPECT_EQ(again.row(SettingsControlId::launchAtLogin), nullptr);
}

TEST_F(SettingsWindowControllerTest, TheTilingBoxShowsWhatTheCoordinatorDecidedNotTheClick) {
    auto& view = open();
    const auto shownOn = [&] { return view.row(SettingsControlId::tiling)->control.checked.at(0); };

    view.click(SettingsControlId::tiling, 0, true); // refused: nothing stored
    EXPECT_EQ(tilingClicks, 1);
    EXPECT_FALSE(shownOn());
    EXPECT_FALSE(sim.defaults.object(Settings::tilingEnabledKey).has_value()) << "the box writes nothing itself";

    sim.defaults.set(Settings::tilingEnabledKey, true); // turned on elsewhere (menu, hot key)
    controller.refreshTilingState();
    EXPECT_TRUE(shownOn());
}

TEST_F(SettingsWindowControllerTest, ARefusedLaunchAtLoginChangeIsLoggedAndTheBoxShowsTheRealState) {
    auto& view = open();
    sim.launchAtLogin.refusal = "autostart folder is read-only";
    view.click(SettingsControlId::launchAtLogin, 0, true);
    EXPECT_FALSE(view.row(SettingsControlId::launchAtLogin)->control.checked.at(0));
    EXPECT_EQ(sim.log.lines("app"),
              (std::vector<std::string>{"Launch-at-login change failed: autostart folder is read-only"}));

    sim.launchAtLogin.refusal.clear();
    view.click(SettingsControlId::launchAtLogin, 0, true);
    EXPECT_TRUE(view.row(SettingsControlId::launchAtLogin)->control.checked.at(0));
    EXPECT_TRUE(sim.launchAtLogin.enabled);
}

// The crash-report question says the choice can be changed in the settings: the box is there when
// the build sends reports, and choosing in it also settles the question.
TEST_F(SettingsWindowControllerTest, CrashReportsAreSwitchedInTheSettingsWhereTheBuildSendsThem) {
    EXPECT_EQ(open().row(SettingsControlId::crashReports), nullptr);

    SettingsWindowController sending{{.views = &sim.settingsViews,
                                      .settings = settings,
                                      .labels = labels,
                                      .sendsCrashReports = true,
                                      .log = sim.log}};
    sending.show();
    auto& view = *sim.settingsViews.window;
    ASSERT_NE(view.row(SettingsControlId::crashReports), nullptr);
    EXPECT_FALSE(view.row(SettingsControlId::crashReports)->control.checked.at(0));
    view.click(SettingsControlId::crashReports, 0, true);
    EXPECT_TRUE(settings.defaults().boolFor(Settings::crashReportingKey));
    EXPECT_TRUE(settings.defaults().boolFor(Settings::crashReportingAskedKey));
    view.click(SettingsControlId::crashReports, 0, false);
    EXPECT_FALSE(settings.defaults().boolFor(Settings::crashReportingKey));
    EXPECT_EQ(sim.log.lines("app"), (std::vector<std::string>{"crash reporting enabled", "crash reporting declined"}));
}

} // namespace
} // namespace quorvel::test
