// The welcome window on the simulator: texts composed from the shortcuts as they are at each show,
// the access-mode choice, and the row shown only while no window manager runs.
#include "SimServices.h"
#include "settingsui/WelcomeWindowController.h"
#include "shell/AppDelegate.h"
#include "shortcuts/ShortcutStore.h"

#include <gtest/gtest.h>

namespace quorvel::test {
namespace {

constexpr std::int64_t kKeyH = 4;

class WelcomeWindowControllerTest : public ::testing::Test {
protected:
    sim::SimPlatform sim;
    WelcomeWindowController welcome{&sim.welcomeViews, sim.defaults, sim.windowControl, sim.notifier};
    int modeChanges = 0;

    void SetUp() override { welcome.onModeChanged = [this] { ++modeChanges; }; }
    sim::SimWelcomeView& window() { return *sim.welcomeViews.window; }
    const WelcomeContent& shown() { return window().content; }
};

TEST_F(WelcomeWindowControllerTest, TheTextsFollowAChangedShortcutAtTheNextShowInTheSameWindow) {
    welcome.show();
    EXPECT_EQ(shown().shortcutTable, "⌃⌥P  Switcher panel     ⌃⌥E  Edit mode\n"
                                     "⌥⇧T  Toggle tiling        ⌥⇧R  Re-tile current space\n"
                                     "⌥⇧←→↑↓  Swap window with its neighbour");
    EXPECT_NE(shown().bullets.find("⌃⌥P opens the switcher panel"), std::string::npos);
    EXPECT_NE(shown().bullets.find("off by default: ⌥⇧T"), std::string::npos);
    window().clickGetStarted();
    EXPECT_FALSE(welcome.isVisible());

    // A changed panel key in the table, the bullets and the pop-up is QtWelcomeWindowTest's; the
    // swap row takes its modifiers from swap-left.
    ShortcutStore(sim.defaults)
        .set(Shortcut{kKeyH, {KeyModifiers::control, KeyModifiers::option, KeyModifiers::shift}}, HotkeyAction::swapLeft);
    welcome.show();
    EXPECT_TRUE(welcome.isVisible());
    EXPECT_EQ(sim.welcomeViews.createdCount, 1);
    EXPECT_NE(shown().shortcutTable.find("\n⌃⌥⇧←→↑↓  Swap window"), std::string::npos);
}

TEST_F(WelcomeWindowControllerTest, WithNoStoredModeMenuBarIsSelectedAndTheOtherChoiceStoresHotkey) {
    welcome.show();
    ASSERT_EQ(shown().modeItems.size(), 2u);
    EXPECT_EQ(shown().modeItems.at(0), "Menu Bar");
    EXPECT_EQ(shown().selectedMode, 0);

    window().chooseMode(1);
    EXPECT_EQ(sim.defaults.stringFor(Settings::modeKey), "hotkey");
    EXPECT_EQ(modeChanges, 1);

    // The next show selects what is stored; choosing the first item stores "menubar".
    welcome.show();
    EXPECT_EQ(shown().selectedMode, 1);
    window().chooseMode(0);
    EXPECT_EQ(sim.defaults.stringFor(Settings::modeKey), "menubar");
    EXPECT_EQ(modeChanges, 2);
}

TEST_F(WelcomeWindowControllerTest, TheWindowManagerRowAppearsOnlyWithoutOneAndItsButtonExplains) {
    welcome.show();
    EXPECT_FALSE(shown().permission.has_value());

    sim.world.revokeTrust();
    welcome.show();
    ASSERT_TRUE(shown().permission.has_value());
    EXPECT_NE(shown().permission->label.find("window manager"), std::string::npos);
    window().clickPermissionButton();
    ASSERT_EQ(sim.notifier.alerts.size(), 1u);
    EXPECT_NE(sim.notifier.alerts[0].informativeText.find("EWMH"), std::string::npos);

    sim.world.grantTrust();
    welcome.show();
    EXPECT_FALSE(shown().permission.has_value());
}

TEST(WelcomeAtFirstLaunch, ChoosingTheKeyboardShortcutThereRemovesTheTrayItem) {
    sim::SimPlatform sim;
    sim.world.addDisplay({.uuid = "MAIN-UUID", .spaceCount = 2});
    const PlatformServices platform = sim::platformServices(sim);
    CoreServices core(platform);
    AppDelegate app(platform, core);
    ASSERT_TRUE(app.applicationDidFinishLaunching());
    sim.scheduler.runPending();
    ASSERT_NE(sim.welcomeViews.window, nullptr);
    ASSERT_TRUE(sim.welcomeViews.window->isVisible());
    ASSERT_TRUE(app.menuBar().hasStatusItem());

    sim.welcomeViews.window->chooseMode(1);
    EXPECT_FALSE(app.menuBar().hasStatusItem());
    app.applicationWillTerminate();
}

} // namespace
} // namespace quorvel::test
