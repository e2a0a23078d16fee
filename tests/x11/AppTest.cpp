// The app end to end: tiling keys, desktop keys, names kept over a restart, taken keys, a second
// copy, a lost display, a missing window manager.
#include "AppFixture.h"

#include <array>
#include <thread>

using namespace quorvel;
using namespace quorvel::x11test;
using namespace std::chrono_literals;

namespace {

// Xvfb's 1920×1080 screen has no dock: the usable area is the whole screen; the gap is 8.
const Rect kLeftHalf{8, 8, 948, 1064};
const Rect kRightTop{964, 8, 948, 528};
const Rect kRightBottom{964, 544, 948, 528};
const Rect kWhole{0, 0, 1920, 1080}; // a spotlit window covers the whole usable area

class AppTest : public AppFixture {};

} // namespace

TEST_F(AppTest, TheTilingKeyTilesTheOpenWindowsAndTheCommandKeysDoWhatTheySay) {
    startServer();
    const ClientWindow a = server->openWindow({.title = "A"});
    const ClientWindow b = server->openWindow({.title = "B"});
    const ClientWindow c = server->openWindow({.title = "C"});
    startApp();

    // Tiling is off: the commands say so, and the spotlight says nothing.
    press("alt+shift+Left", "swap_left");
    EXPECT_TRUE(toastShows("Tiling is off"));
    press("alt+shift+j", "toggle_split");
    press("alt+shift+r", "retile");
    EXPECT_TRUE(toastShows("Tiling is off"));

    press("alt+shift+t", "toggle_tiling");
    ASSERT_TRUE(tiled({a, b, c}, {kLeftHalf, kRightTop, kRightBottom})) << app->output();
    EXPECT_TRUE(readDefaults().value("tiling_enabled", false));

    // Focus the window on the left and swap it right: it trades places with its neighbour there.
    std::vector<ClientWindow> windows = {a, b, c};
    const auto onLeft = *std::find_if(windows.begin(), windows.end(),
                                      [&](const ClientWindow& w) { return near(server->frameGeometry(w.window), kLeftHalf); });
    ASSERT_EQ(server->run("xdotool windowactivate --sync " + std::to_string(onLeft.window)), 0);
    press("alt+shift+Right", "swap_right");
    EXPECT_TRUE(XServer::waitFor([&] { return !near(server->frameGeometry(onLeft.window), kLeftHalf); }));
    EXPECT_TRUE(tiled({a, b, c}, {kLeftHalf, kRightTop, kRightBottom}));

    // Spotlight zooms it over the desktop; again restores the tiles.
    press("alt+shift+k", "spotlight_window");
    EXPECT_TRUE(XServer::waitFor([&] { return near(server->frameGeometry(onLeft.window), kWhole); }));
    EXPECT_TRUE(outlineShown()); // the outline sits on the spotlit window
    press("alt+shift+k", "spotlight_window");
    EXPECT_TRUE(tiled({a, b, c}, {kLeftHalf, kRightTop, kRightBottom}));
    EXPECT_TRUE(XServer::waitFor([&] { return !outlineShown(); }));

    // Flip turns the pair it sits in from stacked to side by side.
    press("alt+shift+j", "toggle_split");
    EXPECT_TRUE(XServer::waitFor([&] {
        const Rect frame = server->frameGeometry(onLeft.window);
        return std::abs(frame.height - 1064) <= 1 && std::abs(frame.width - 470) <= 1;
    })) << server->frameGeometry(onLeft.window).description();

    // A window dragged out of place is put back by the retile key.
    const Rect before = server->frameGeometry(onLeft.window);
    server->run("xdotool windowmove " + std::to_string(onLeft.window) + " 300 300");
    ASSERT_TRUE(XServer::waitFor([&] { return !near(server->frameGeometry(onLeft.window), before); }));
    press("alt+shift+r", "retile");
    EXPECT_TRUE(XServer::waitFor([&] { return near(server->frameGeometry(onLeft.window), before); }));
    EXPECT_TRUE(toastShows("Re-tiled"));

    EXPECT_EQ(app->stop(SIGTERM), 0);
}

TEST_F(AppTest, ControlOptionTwoSwitchesToDesktopTwoWithEitherTechnique) {
    for (const bool direct : {true, false}) {
        SCOPED_TRACE(direct ? "direct switch" : "helper window");
        startServer();
        writeDefaults({{"use_direct_space_switch", direct}, {"has_launched_before", true}});
        server->openWindow({.title = "on desktop 1"});
        startApp();
        ASSERT_EQ(currentDesktop(), 0);
        press("ctrl+alt+2", "switch_space_2");
        EXPECT_TRUE(XServer::waitFor([&] { return currentDesktop() == 1; })) << app->output();
        press("ctrl+alt+4", "switch_space_4");
        EXPECT_TRUE(XServer::waitFor([&] { return currentDesktop() == 3; })) << app->output();
        // The helper window parked on the empty desktop never shows in a taskbar or pager.
        for (const std::string& states : managedAppWindowStates()) {
            EXPECT_NE(states.find("_NET_WM_STATE_SKIP_TASKBAR"), std::string::npos) << states;
            EXPECT_NE(states.find("_NET_WM_STATE_SKIP_PAGER"), std::string::npos) << states;
        }
        if (!direct) {
            EXPECT_FALSE(managedAppWindowStates().empty());
        }
        EXPECT_EQ(app->stop(SIGTERM), 0);
        app.reset();
        server.reset();
    }
}

TEST_F(AppTest, NamesAndOverridesSurviveQuittingAndStartingAgain) {
    startServer();
    // Desktop 2 is called "Mail" and never tiles; tiling is on.
    writeDefaults({{"space_labels", {{"2", "Mail"}}},
                   {"tiling_overrides", {{"2", "off"}}},
                   {"tiling_enabled", true},
                   {"has_launched_before", true}});
    startApp();
    EXPECT_EQ(app->stop(SIGTERM), 0) << app->output();
    nlohmann::json saved = readDefaults();
    EXPECT_EQ(saved["saved_space_labels"]["2"], "Mail") << saved.dump();
    EXPECT_EQ(saved["saved_space_tiling_overrides"]["2"], "off") << saved.dump();

    // The live tables are lost (as when desktop ids change); the snapshot brings them back.
    saved.erase("space_labels");
    saved.erase("tiling_overrides");
    writeDefaults(saved);
    startApp();
    EXPECT_TRUE(app->waitForLine("restored")) << app->output();
    const nlohmann::json restored = readDefaults();
    EXPECT_EQ(restored["space_labels"]["2"], "Mail") << restored.dump();
    EXPECT_EQ(restored["tiling_overrides"]["2"], "off") << restored.dump();

    // The override holds: a window on desktop 2 keeps its own size.
    const ClientWindow w = server->openWindow({.title = "untiled", .width = 500, .height = 400, .desktop = 1});
    server->run("xdotool set_desktop 1");
    std::this_thread::sleep_for(300ms); // give a wrong retile the chance to happen
    EXPECT_NEAR(server->clientGeometry(w.window).width, 500, 1);
    EXPECT_EQ(app->stop(SIGTERM), 0);
}

TEST_F(AppTest, WithOpenboxsOwnKeyBindingsTheTakenKeysAreReportedAndTheRestWork) {
    startServer({.stockKeyBindings = true});
    const ClientWindow a = server->openWindow({.title = "A"});
    const ClientWindow b = server->openWindow({.title = "B"});
    startApp();
    ASSERT_TRUE(app->waitForLine("hotkey registration failures:")) << app->output();
    EXPECT_TRUE(app->waitForLine("swap_left")) << app->output();
    EXPECT_TRUE(app->waitForLine("swap_right")) << app->output();

    press("alt+shift+t", "toggle_tiling");
    EXPECT_TRUE(tiled({a, b}, {kLeftHalf, Rect{964, 8, 948, 1064}})) << app->output();
    press("ctrl+alt+2", "switch_space_2");
    EXPECT_TRUE(XServer::waitFor([&] { return currentDesktop() == 1; }));
    EXPECT_EQ(app->stop(SIGINT), 0);
}

TEST_F(AppTest, ASecondCopyOnTheSameDisplayRefusesToStart) {
    startServer();
    startApp();
    AppProcess second(*server, home);
    EXPECT_EQ(second.waitExit(), 1);
    EXPECT_TRUE(second.waitForLine("already running on display " + server->display(), 100ms)) << second.output();
    EXPECT_EQ(app->stop(SIGTERM), 0);
}

TEST_F(AppTest, LosingTheDisplayEndsTheAppWithoutACrash) {
    startServer();
    startApp();
    server->kill();
    const auto code = app->waitExit();
    ASSERT_TRUE(code.has_value()) << app->output();
    EXPECT_LT(*code, 128) << app->output(); // ended, not killed by a signal
}

TEST_F(AppTest, WithoutAnEWMHWindowManagerTheAppSaysSoAndQuits) {
    startServer({.windowManager = false});
    app = std::make_unique<AppProcess>(*server, home);
    ASSERT_TRUE(XServer::waitFor([&] { return server->run("xdotool search --onlyvisible --name '^Quorvel$' >/dev/null") == 0; },
                                 10s))
        << app->output();
    EXPECT_TRUE(app->waitForLine("unavailable"));
    server->run("xdotool search --onlyvisible --name '^Quorvel$' windowfocus --sync key Return");
    EXPECT_EQ(app->waitExit(), 1) << app->output();
    EXPECT_EQ(app->count("registered"), 0u) << app->output(); // no hot key was ever taken
}
