// The shortcuts window in the real app with Openbox's own key bindings: the swap keys it holds are
// reported, the window opens from the settings window, a combination typed with real keys while
// a field records is stored, registered (swap-left no longer refused) and fires; the window is
// never tiled.
#include "AppFixture.h"
#include "XvfbTiles.h"

using namespace quorvel;
using namespace quorvel::x11test;
using namespace std::chrono_literals;

namespace {

// The window's fixed layout: the first field's centre 62 below the client's top, one row every
// 30, fields centred 105 left of the client's right edge. Swap-left is the fourth row, swap-right the fifth.
constexpr int kFirstFieldCentre = 62;
constexpr int kRowPitch = 30;
constexpr int kFieldCentreFromRight = 105;
constexpr int kSwapLeftRow = 3;
constexpr int kSwapRightRow = 4;
// The switcher panel (four desktops): its Settings button, from the client's bottom left.
constexpr int kSettingsButtonX = 317;
constexpr int kSettingsButtonFromBottom = 22;

class ShortcutsAppTest : public AppFixture {
protected:
    // The visible window of the app titled `title`; 0 when there is none (waits, bounded).
    std::uint32_t appWindow(const std::string& title) {
        std::uint32_t found = 0;
        XServer::waitFor([&] {
            const std::string id = output("xdotool search --onlyvisible --name '^" + title + "$' | head -1");
            if (id.empty() || output("xdotool getwindowpid " + id) != std::to_string(app->pid())) return false;
            found = static_cast<std::uint32_t>(std::stoul(id));
            return true;
        });
        return found;
    }
    // As a user does it: the switcher panel's Settings button, then in the settings window the
    // Shortcuts tab (Alt+S) and its Customize button (Alt+C).
    std::uint32_t openShortcutsFromSettings() {
        press("ctrl+alt+p", "toggle_panel");
        const std::uint32_t panel = appWindow("Quorvel");
        if (panel == 0) return 0;
        const Rect client = server->clientGeometry(panel);
        const int x = static_cast<int>(client.x) + kSettingsButtonX;
        const int y = static_cast<int>(client.y + client.height) - kSettingsButtonFromBottom;
        server->run("xdotool mousemove --sync " + std::to_string(x) + " " + std::to_string(y) + " click 1");
        const std::uint32_t settings = appWindow("Quorvel Settings");
        if (settings == 0) return 0;
        // The panel stays open above the others until its key is pressed again.
        press("ctrl+alt+p", "toggle_panel");
        XServer::waitFor([&] { return !visible(panel); });
        server->run("xdotool windowactivate --sync " + std::to_string(settings) + " key --clearmodifiers alt+s alt+c");
        return appWindow("Keyboard Shortcuts");
    }
    void clickField(std::uint32_t window, int row) {
        const Rect client = server->clientGeometry(window);
        const int x = static_cast<int>(client.x + client.width) - kFieldCentreFromRight;
        const int y = static_cast<int>(client.y) + kFirstFieldCentre + kRowPitch * row;
        // XTest input is taken in order: no need to wait for the move (which never ends where the
        // pointer already is).
        ASSERT_EQ(server->run("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1"), 0);
    }
};

} // namespace

TEST_F(ShortcutsAppTest, ACombinationRecordedWithRealKeysReplacesATakenOneAndSwapsTheTiles) {
    startServer({.stockKeyBindings = true});
    writeDefaults({{"has_launched_before", true}});
    const ClientWindow a = server->openWindow({.title = "A"});
    const ClientWindow b = server->openWindow({.title = "B"});
    startApp();
    ASSERT_TRUE(app->waitForLine("hotkey registration failures: swap_left, swap_right")) << app->output();
    const std::size_t failureLines = app->count("hotkey registration failures:");

    const Rect right{964, 8, 948, 1064};
    press("alt+shift+t", "toggle_tiling");
    ASSERT_TRUE(tiled({a, b}, {kLeftHalf, right})) << app->output();

    const std::uint32_t shortcuts = openShortcutsFromSettings();
    ASSERT_NE(shortcuts, 0u) << "the shortcuts window did not open\n" << app->output();
    // A window of ours: centred, left where it is, the tiles untouched.
    const Rect frame = server->frameGeometry(shortcuts);
    EXPECT_NEAR(frame.x + frame.width / 2, 960, 4) << frame.description();
    EXPECT_TRUE(tiled({a, b}, {kLeftHalf, right}));

    // While a field records the keyboard is ours: Openbox's own Ctrl+Alt+Right is recorded instead
    // of switching desktops.
    clickField(shortcuts, kSwapLeftRow);
    ASSERT_EQ(server->run("xdotool key --clearmodifiers ctrl+alt+Right"), 0);
    EXPECT_TRUE(XServer::waitFor([&] { return readDefaults().value("hotkey_swap_left", "") == "3:124"; }))
        << readDefaults().dump() << "\n" << app->output();
    EXPECT_EQ(currentDesktop(), 0);

    // Record Ctrl+Alt+Shift+H for swap-left with real key presses.
    clickField(shortcuts, kSwapLeftRow);
    ASSERT_EQ(server->run("xdotool key --clearmodifiers ctrl+alt+shift+h"), 0);
    EXPECT_TRUE(XServer::waitFor([&] { return readDefaults().value("hotkey_swap_left", "") == "7:4"; }))
        << readDefaults().dump() << "\n" << app->output();
    // Registered again: swap-left is no longer among the refused (the orange line lists those).
    ASSERT_TRUE(XServer::waitFor([&] { return app->count("hotkey registration failures:") > failureLines; }))
        << app->output();
    EXPECT_TRUE(app->waitForLine("hotkey registration failures: swap_right")) << app->output();

    // Shift+1 types "!", yet it is recorded as the 1 key with shift held.
    clickField(shortcuts, kSwapRightRow);
    ASSERT_EQ(server->run("xdotool key --clearmodifiers ctrl+shift+1"), 0);
    EXPECT_TRUE(XServer::waitFor([&] { return readDefaults().value("hotkey_swap_right", "") == "5:18"; }))
        << readDefaults().dump() << "\n" << app->output();

    // Done (Return) closes the window; the new combination swaps the focused right tile left.
    ASSERT_EQ(server->run("xdotool key Return"), 0);
    EXPECT_TRUE(XServer::waitFor([&] { return !visible(shortcuts); }));
    std::vector<ClientWindow> windows = {a, b};
    const auto onRight = *std::find_if(windows.begin(), windows.end(),
                                       [&](const ClientWindow& w) { return near(server->frameGeometry(w.window), right); });
    focusSeenByApp(onRight.window);
    press("ctrl+alt+shift+h", "swap_left");
    EXPECT_TRUE(XServer::waitFor([&] { return near(server->frameGeometry(onRight.window), kLeftHalf); }))
        << server->frameGeometry(onRight.window).description();
    EXPECT_TRUE(tiled({a, b}, {kLeftHalf, right}));
    EXPECT_EQ(app->stop(SIGTERM), 0);
}
