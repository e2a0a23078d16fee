// The app end to end: tiling keys, desktop keys, names kept over a restart, taken keys, a second
// copy, a lost display, a missing window manager.
#include "AppFixture.h"
#include "XvfbTiles.h"

#include <array>

using namespace quorvel;
using namespace quorvel::x11test;
using namespace std::chrono_literals;

namespace {

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
    EXPECT_TRUE(XServer::waitFor([&] { return readDefaults().value("tiling_enabled", false); }));

    // Focus the window on the left and swap it right: it trades places with its neighbour there.
    std::vector<ClientWindow> windows = {a, b, c};
    const auto onLeft = *std::find_if(windows.begin(), windows.end(),
                                      [&](const ClientWindow& w) { return near(server->frameGeometry(w.window), kLeftHalf); });
    focusSeenByApp(onLeft.window);
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

TEST_F(AppTest, SwitchingLeavesTheFocusOnTheTargetDesktopWithEitherTechnique) {
    enum class Technique { byDefault, direct, helper };
    for (const Technique technique : {Technique::byDefault, Technique::direct, Technique::helper}) {
        SCOPED_TRACE(technique == Technique::byDefault ? "no stored choice"
                     : technique == Technique::direct  ? "direct switch"
                                                       : "helper window");
        startServer();
        nlohmann::json defaults = {{"has_launched_before", true}};
        if (technique != Technique::byDefault) defaults["use_direct_space_switch"] = technique == Technique::direct;
        writeDefaults(defaults);
        const ClientWindow first = server->openWindow({.title = "on desktop 1"});
        const ClientWindow second = server->openWindow({.title = "on desktop 2", .desktop = 1});
        startApp();
        ASSERT_EQ(currentDesktop(), 0);
        // Settled: none of the app's windows is managed (no helper left) and the focus is on a
        // window of the target desktop, or on none.
        const auto focusStaysOn = [&](std::uint32_t allowed) {
            return XServer::waitFor([&] {
                const std::uint32_t active = server->activeWindow();
                return (active == 0 || active == allowed) && managedAppWindowStates().empty();
            });
        };

        press("ctrl+alt+2", "switch_space_2");
        EXPECT_TRUE(XServer::waitFor([&] { return currentDesktop() == 1; })) << app->output();
        EXPECT_TRUE(focusStaysOn(second.window)) << server->activeWindow() << "\n" << app->output();
        press("ctrl+alt+4", "switch_space_4");
        EXPECT_TRUE(XServer::waitFor([&] { return currentDesktop() == 3; })) << app->output();
        EXPECT_TRUE(focusStaysOn(0)) << server->activeWindow() << "\n" << app->output();
        press("ctrl+alt+1", "switch_space_1");
        EXPECT_TRUE(XServer::waitFor([&] { return currentDesktop() == 0; })) << app->output();
        EXPECT_TRUE(focusStaysOn(first.window)) << server->activeWindow() << "\n" << app->output();

        EXPECT_EQ(app->count("direct switch to space"), technique == Technique::helper ? 0u : 3u) << app->output();
        EXPECT_EQ(app->count("did not take"), 0u) << app->output();
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
    // Written on the turn after the restore.
    EXPECT_TRUE(XServer::waitFor([&] { return readDefaults().contains("space_labels"); })) << app->output();
    const nlohmann::json restored = readDefaults();
    EXPECT_EQ(restored["space_labels"]["2"], "Mail") << restored.dump();
    EXPECT_EQ(restored["tiling_overrides"]["2"], "off") << restored.dump();

    // The override holds: a window on desktop 2 keeps its own size.
    const ClientWindow w = server->openWindow({.title = "untiled", .width = 500, .height = 400, .desktop = 1});
    server->run("xdotool set_desktop 1");
    ASSERT_TRUE(XServer::waitFor([&] { return currentDesktop() == 1; }));
    // The re-tile key adopts and lays out the current desktop at once: if the override were lost,
    // the window would be moved before the toast shows.
    press("alt+shift+r", "retile");
    ASSERT_TRUE(toastShows("Re-tiled")) << app->output();
    EXPECT_EQ(app->count("retile space 2:"), 0u) << app->output();
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
    // The wait for a window manager shortened from 10 s: none comes.
    app = std::make_unique<AppProcess>(*server, home, std::vector<std::string>{"QUORVEL_WM_WAIT_SECONDS=0.5"});
    ASSERT_TRUE(XServer::waitFor([&] { return server->run("xdotool search --onlyvisible --name '^Quorvel$' >/dev/null") == 0; },
                                 10s))
        << app->output();
    EXPECT_TRUE(app->waitForLine("unavailable"));
    server->run("xdotool search --onlyvisible --name '^Quorvel$' windowfocus --sync key Return");
    EXPECT_EQ(app->waitExit(), 1) << app->output();
    EXPECT_EQ(app->count("registered"), 0u) << app->output(); // no hot key was ever taken
}

// --- The tray item and its menu, through trayer (an XEmbed tray) --------------------------------

namespace {

class TrayTest : public AppTest {
protected:
    void TearDown() override {
        if (trayerPid > 0) ::kill(trayerPid, SIGTERM);
        AppTest::TearDown();
    }
    void startTrayer() {
        const std::string pidFile = (home / "trayer.pid").string();
        ASSERT_EQ(server->run("trayer --edge top --align right --widthtype request --height 24 --SetDockType true "
                              ">/dev/null 2>&1 & echo $! > " + pidFile),
                  0);
        std::ifstream(pidFile) >> trayerPid;
        ASSERT_TRUE(XServer::waitFor([&] { return server->run("xdotool search --class '^trayer$' >/dev/null") == 0; }));
    }
    // The centre of the app's icon docked in the tray at the top right; none while it is not there.
    std::optional<Point> trayIcon() { return dockedTrayIcon(1800); }
    // The open menu's frame on the screen; none while it is closed.
    std::optional<Rect> menuFrame() {
        const std::string file = (home / "menu").string();
        if (server->run("xdotool search --onlyvisible --name '^Quorvel menu$' getwindowgeometry --shell > " + file) != 0)
            return std::nullopt;
        std::ifstream in(file);
        Rect r;
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with("X=")) r.x = std::stod(line.substr(2));
            if (line.starts_with("Y=")) r.y = std::stod(line.substr(2));
            if (line.starts_with("WIDTH=")) r.width = std::stod(line.substr(6));
            if (line.starts_with("HEIGHT=")) r.height = std::stod(line.substr(7));
        }
        return r.width > 0 ? std::optional(r) : std::nullopt;
    }
    void click(double x, double y, int button = 1) {
        ASSERT_EQ(server->run("xdotool mousemove " + std::to_string(int(x)) + " " + std::to_string(int(y)) +
                              " click " + std::to_string(button)),
                  0);
    }
    // Clicks the icon and waits for the menu. A tray that has just started may still move the icon
    // it embedded: a click that opened nothing is made again where the icon is now.
    Rect openMenu(int button = 1) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            std::optional<Point> icon;
            if (!XServer::waitFor([&] { return (icon = trayIcon()).has_value(); })) break;
            click(icon->x, icon->y, button);
            std::optional<Rect> frame;
            if (XServer::waitFor([&] { return (frame = menuFrame()).has_value(); }, 3s)) return *frame;
        }
        ADD_FAILURE() << "the tray menu did not open\n" << app->output();
        return {};
    }
    // Menu layout (one display): the indicator row, a separator, then 28-point desktop rows.
    static Point rowCentre(const Rect& menu, int desktop) { return {menu.x + 150, menu.y + 44 + 28.0 * (desktop - 1)}; }
    static Point eye(const Rect& menu) { return {menu.x + 275, menu.y + 14}; }
    static Point tilingSwitch(const Rect& menu) { return {menu.x + 230, menu.y + 160}; }
    // The title (the icon's tool tip) as the app reports it when it changes.
    bool titleIs(const std::string& title) {
        return XServer::waitFor([&] { return app->count("tray title: " + title) > 0; }, 5s);
    }

    pid_t trayerPid = 0;
};

} // namespace

TEST_F(TrayTest, TheTrayMenuRenamesChangesDensityTilesAndSwitchesWithTheMouse) {
    startServer();
    writeDefaults({{"has_launched_before", true}});
    const ClientWindow a = server->openWindow({.title = "A"});
    const ClientWindow b = server->openWindow({.title = "B"});
    const ClientWindow c = server->openWindow({.title = "C"});
    startTrayer();
    startApp();
    ASSERT_TRUE(XServer::waitFor([&] { return trayIcon().has_value(); })) << app->output();
    // Automatic naming: the front window's application and title name the current desktop.
    EXPECT_TRUE(titleIs("QuorvelTestClient — C")) << "the icon got its title\n" << app->output();

    // Right-click the current desktop's row, type a name, Return: renamed, and the menu stays.
    Rect menu = openMenu();
    EXPECT_GE(menu.height, 28 * 4 + 28);
    const Point first = rowCentre(menu, 1);
    click(first.x, first.y, 3);
    ASSERT_EQ(server->run("xdotool type --delay 15 'Research' && xdotool key Return"), 0);
    EXPECT_TRUE(XServer::waitFor([&] { return readDefaults().value("/space_labels/1"_json_pointer, "") == "Research"; }))
        << readDefaults().dump();
    EXPECT_TRUE(titleIs("Research"));
    ASSERT_TRUE(menuFrame()) << "renaming closed the menu";

    // The eye cycles the density with the menu open: focused drops the switch row and the
    // commands but Quit; minimal as well; full brings them back.
    const double fullHeight = menuFrame()->height;
    click(eye(menu).x, eye(menu).y);
    EXPECT_TRUE(XServer::waitFor([&] { return readDefaults().value("menu_density", "") == "focused"; }));
    EXPECT_TRUE(XServer::waitFor([&] { return menuFrame() && menuFrame()->height < fullHeight - 60; }))
        << "the switch row and tail stayed";
    click(eye(menu).x, eye(menu).y);
    EXPECT_TRUE(XServer::waitFor([&] { return readDefaults().value("menu_density", "") == "minimal"; }));
    ASSERT_TRUE(menuFrame());
    click(eye(menu).x, eye(menu).y);
    EXPECT_TRUE(XServer::waitFor([&] { return readDefaults().value("menu_density", "") == "full"; }));
    EXPECT_TRUE(XServer::waitFor([&] { return menuFrame() && std::abs(menuFrame()->height - fullHeight) < 2; }));

    // The tiling switch turns tiling on; the windows tile and the menu stays.
    click(tilingSwitch(menu).x, tilingSwitch(menu).y);
    EXPECT_TRUE(tiled({a, b, c}, {kLeftHalf, kRightTop, kRightBottom})) << app->output();
    EXPECT_TRUE(XServer::waitFor([&] { return readDefaults().value("tiling_enabled", false); }));
    EXPECT_TRUE(menuFrame()) << "the tiling switch closed the menu";

    // A click on desktop 2's row switches there and closes the menu.
    const Point second = rowCentre(menu, 2);
    click(second.x, second.y);
    EXPECT_TRUE(XServer::waitFor([&] { return currentDesktop() == 1; })) << app->output();
    EXPECT_TRUE(XServer::waitFor([&] { return !menuFrame(); }));

    // The name outlives the app.
    EXPECT_EQ(app->stop(SIGTERM), 0);
    server->run("xdotool set_desktop 0");
    startApp();
    EXPECT_TRUE(XServer::waitFor([&] { return app->count("tray title: Research") + app->count("tray title: ◎ Research") > 0; }, 5s))
        << app->output();
    EXPECT_EQ(app->stop(SIGTERM), 0);
}

TEST_F(TrayTest, WithoutATrayTheToastNamesThePanelShortcutAndTheIconComesWithTheTray) {
    startServer();
    writeDefaults({{"has_launched_before", true}});
    startApp();
    // (The dash is matched by ".*": xdotool's pattern is read in the C locale.)
    EXPECT_TRUE(toastShows("No system tray .* Ctrl.Alt.P opens the desktop panel")) << app->output();
    EXPECT_FALSE(trayIcon());
    startTrayer();
    EXPECT_TRUE(XServer::waitFor([&] { return trayIcon().has_value(); }, 5s)) << app->output();
    const Rect menu = openMenu(3);
    EXPECT_GT(menu.height, 0);
    EXPECT_EQ(app->stop(SIGTERM), 0);
}
