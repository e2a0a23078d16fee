// Focus Display with the real app on Xorg's dummy driver, whose outputs are real RandR outputs:
// the tray menu's choice makes the second output primary, the toast confirms and the choice is
// stored; after the X server and the app restart, the stored output is primary again, and again
// whenever it comes back online.
#include "AppFixture.h"

namespace quorvel::x11test {
namespace {

class FocusDisplayAppTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (!XServer::dummyOutputsAvailable()) {
            if (XServer::required()) FAIL() << "Xorg or its dummy driver is not installed (scripts/quorvel installs both)";
            GTEST_SKIP() << "Xorg or its dummy driver is not installed";
        }
    }
    void TearDown() override {
        stopTrayer();
        AppFixture::TearDown();
    }
    void startDummyServer() {
        startServer({.dummyOutputs = true});
        // DUMMY0 lights up with the server; DUMMY1 is connected and dark until given a mode.
        ASSERT_EQ(server->run("xrandr --output DUMMY0 --mode 1920x1080 --pos 0x0 --primary"), 0);
    }
    void lightSecondOutput() {
        server->run("xrandr --addmode DUMMY1 1920x1080 2>/dev/null");
        ASSERT_EQ(server->run("xrandr --output DUMMY1 --mode 1920x1080 --right-of DUMMY0"), 0);
    }
    // The output `xrandr --query` marks primary; empty when none is.
    std::string primaryOutput() {
        return output("xrandr --query | awk '$2 == \"connected\" && $3 == \"primary\" { print $1 }'");
    }
    void startTrayer() {
        const std::string pidFile = (home / "trayer.pid").string();
        ASSERT_EQ(server->run("trayer --edge top --align right --widthtype request --height 24 --SetDockType true "
                              ">/dev/null 2>&1 & echo $! > " + pidFile),
                  0);
        std::ifstream(pidFile) >> trayerPid;
        ASSERT_TRUE(XServer::waitFor([&] { return server->run("xdotool search --class '^trayer$' >/dev/null") == 0; }));
    }
    void stopTrayer() {
        if (trayerPid > 0) ::kill(trayerPid, SIGTERM);
        trayerPid = 0;
    }
    // The centre of the app's icon docked in the tray; none while it is not there.
    std::optional<Point> trayIcon() { return dockedTrayIcon(); }
    bool menuOpen() {
        return server->run("xdotool search --onlyvisible --name '^Quorvel menu$' >/dev/null") == 0;
    }
    // Opens the tray menu with a click on the icon (again if a tray still settling moved it).
    void openMenu() {
        for (int attempt = 0; attempt < 3; ++attempt) {
            std::optional<Point> icon;
            if (!XServer::waitFor([&] { return (icon = trayIcon()).has_value(); })) break;
            ASSERT_EQ(server->run("xdotool mousemove " + std::to_string(int(icon->x)) + " " +
                                  std::to_string(int(icon->y)) + " click 1"),
                      0);
            if (XServer::waitFor([&] { return menuOpen(); })) return;
        }
        FAIL() << "the tray menu did not open\n" << app->output();
    }

    pid_t trayerPid = 0;
};

TEST_F(FocusDisplayAppTest, TheChosenOutputBecomesPrimaryAndStaysSoAcrossRestarts) {
    ASSERT_NO_FATAL_FAILURE(startDummyServer());
    ASSERT_NO_FATAL_FAILURE(lightSecondOutput());
    ASSERT_EQ(primaryOutput(), "DUMMY0");
    // The focused density ends the menu with Focus Display, a separator and Quit.
    writeDefaults({{"has_launched_before", true}, {"menu_density", "focused"}});
    ASSERT_NO_FATAL_FAILURE(startTrayer());
    ASSERT_NO_FATAL_FAILURE(startApp());
    ASSERT_NO_FATAL_FAILURE(openMenu());

    // From the bottom: Quit, then Focus Display; into its submenu, past DUMMY0 to DUMMY1.
    ASSERT_EQ(server->run("xdotool key Up Up Right Down Return"), 0);
    EXPECT_TRUE(XServer::waitFor([&] { return primaryOutput() == "DUMMY1"; }, 3s)) << output("xrandr --query");
    EXPECT_TRUE(app->waitForLine("swap verified: DUMMY1 is main", 5s)) << app->output();
    EXPECT_TRUE(toastShows("Focused on DUMMY1"));
    EXPECT_TRUE(XServer::waitFor([&] {
        const nlohmann::json stored = readDefaults();
        return stored.is_object() && stored.value("preferred_focus_display_uuid", "") == "DUMMY1";
    })) << readDefaults().dump();

    // X forgets the primary output when it restarts; the app makes the stored one primary at launch.
    ASSERT_EQ(app->stop(), 0);
    app.reset();
    stopTrayer();
    server.reset();
    ASSERT_NO_FATAL_FAILURE(startDummyServer());
    ASSERT_NO_FATAL_FAILURE(lightSecondOutput());
    ASSERT_EQ(primaryOutput(), "DUMMY0");
    ASSERT_NO_FATAL_FAILURE(startApp());
    EXPECT_TRUE(XServer::waitFor([&] { return primaryOutput() == "DUMMY1"; }, 3s)) << app->output();
    EXPECT_EQ(app->count("preferred display DUMMY1 is online: made main again"), 1u) << app->output();

    // Switched off, the main display passes to the other; switched on again, it is main once more.
    ASSERT_EQ(server->run("xrandr --output DUMMY1 --off --output DUMMY0 --primary"), 0);
    ASSERT_EQ(primaryOutput(), "DUMMY0");
    // Once the app has seen it go ("displays online: DUMMY0" alone, not followed by DUMMY1).
    ASSERT_TRUE(XServer::waitFor([&] {
        return app->count("displays online: DUMMY0") > app->count("displays online: DUMMY0, DUMMY1");
    })) << app->output();
    ASSERT_NO_FATAL_FAILURE(lightSecondOutput());
    EXPECT_TRUE(XServer::waitFor([&] { return primaryOutput() == "DUMMY1"; }, 3s)) << app->output();
    EXPECT_TRUE(XServer::waitFor([&] { return app->count("made main again") == 2; })) << app->output();
}

} // namespace
} // namespace quorvel::x11test
