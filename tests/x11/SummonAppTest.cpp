// Summoning in the real app on Xvfb + Openbox: the palette opened with its key, a few letters typed
// and Return pressed, over the test's own desktop entries (xterm's own, one with a new-window
// action, one started again for a new window). The new window opens on the desktop the user is on.
#include "AppFixture.h"
#include "XvfbTiles.h"

using namespace quorvel::x11test;

namespace {

class SummonAppTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        if (IsSkipped()) return;
        const fs::path data = home / "data";
        const fs::path system = home / "system-data";
        fs::create_directories(data / "applications");
        fs::create_directories(system / "applications");
        // Programs of their own name, so that the editor (the test client) is not taken for them.
        fs::create_directories(home / "bin");
        for (const char* program : {"notes-app", "viewer-app"})
            fs::copy_file(QUORVEL_TEST_CLIENT, home / "bin" / program);
        const std::string notes = (home / "bin" / "notes-app").string();
        const std::string viewer = (home / "bin" / "viewer-app").string();
        // Only the entries the test writes, and xterm's own as Debian ships it.
        fs::copy_file("/usr/share/applications/debian-xterm.desktop", system / "applications" / "debian-xterm.desktop");
        std::ofstream(data / "applications" / "notes.desktop")
            << "[Desktop Entry]\nType=Application\nName=Notes\n"
            << "Exec=" << notes << " --title Notes\nActions=new-window;\n\n"
            << "[Desktop Action new-window]\nName=New Window\n"
            << "Exec=" << notes << " --title \"Notes from its action\"\n";
        std::ofstream(data / "applications" / "viewer.desktop")
            << "[Desktop Entry]\nType=Application\nName=Viewer\nExec=" << viewer << " --title Viewer\n";
        environment = {"XDG_DATA_HOME=" + data.string(), "XDG_DATA_DIRS=" + system.string()};
        writeDefaults({{"has_launched_before", true}, {"tiling_enabled", true}});
    }

    // Waits (bounded) until the app's palette is the active window (380 wide), and answers it.
    std::uint32_t paletteWithFocus() {
        std::uint32_t palette = 0;
        XServer::waitFor([&] {
            const std::uint32_t active = activeWindow();
            if (active == 0 || output("xdotool getwindowpid " + std::to_string(active)) != std::to_string(app->pid()) ||
                server->clientGeometry(active).width != 380)
                return false;
            palette = active;
            return true;
        });
        return palette;
    }
    // Opens the palette, types `query` and presses Return.
    void summon(const std::string& query) {
        press("ctrl+alt+y", "summon");
        ASSERT_NE(paletteWithFocus(), 0u) << "the palette never took the focus\n" << app->output();
        ASSERT_EQ(server->run("xdotool type --delay 20 '" + query + "'"), 0);
        ASSERT_EQ(server->run("xdotool key Return"), 0);
    }
    std::vector<std::uint32_t> windows(const std::string& search) {
        std::vector<std::uint32_t> found;
        std::istringstream lines(output("xdotool search --onlyvisible " + search));
        for (std::string line; std::getline(lines, line);)
            if (!line.empty()) found.push_back(static_cast<std::uint32_t>(std::stoul(line)));
        return found;
    }
};

} // namespace

TEST_F(SummonAppTest, ThePaletteIsNeverTiledAndTypingXteAndReturnOpensANewXtermOnTheCurrentDesktop) {
    startServer();
    startApp();
    ASSERT_EQ(server->run("xdotool set_desktop 2"), 0);
    ASSERT_TRUE(XServer::waitFor([&] { return currentDesktop() == 2; }));
    const ClientWindow editor = server->openWindow({.title = "Editor"});
    ASSERT_TRUE(app->waitForLine("retile space 3: 1 window(s)")) << app->output();

    // The palette is never tiled: a window opened while it is on screen is adopted after it, so
    // once that window takes the right half the engine has seen the palette and left it alone.
    userWorksIn(editor.window);
    press("ctrl+alt+y", "summon");
    const std::uint32_t palette = paletteWithFocus();
    ASSERT_NE(palette, 0u) << app->output();
    const quorvel::Rect shown = server->clientGeometry(palette);
    // On every desktop, above the others, in no taskbar or pager.
    EXPECT_NE(property(palette, "_NET_WM_DESKTOP").find("4294967295"), std::string::npos);
    const std::string states = property(palette, "_NET_WM_STATE");
    for (const char* state : {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"})
        EXPECT_NE(states.find(state), std::string::npos) << states;
    const ClientWindow other = server->openWindow({.title = "Other"});
    ASSERT_TRUE(tiled({editor, other}, {kLeftHalf, kRightHalf})) << app->output();
    EXPECT_EQ(app->count("retile space 3: 3 window(s)"), 0u) << app->output();
    if (visible(palette)) {
        EXPECT_TRUE(near(server->clientGeometry(palette), shown));
    }

    userWorksIn(other.window);
    summon("xte");
    std::vector<std::uint32_t> xterms;
    ASSERT_TRUE(XServer::waitFor([&] { return !(xterms = windows("--class XTerm")).empty(); }, 10s)) << app->output();
    ASSERT_EQ(xterms.size(), 1u);
    EXPECT_EQ(server->desktopOf(xterms.front()), 2u);
    // Tiled beside the other two: three windows on desktop 3, never the palette.
    EXPECT_TRUE(app->waitForLine("retile space 3: 3 window(s)")) << app->output();
    EXPECT_EQ(app->count("4 window(s)"), 0u) << app->output();
    EXPECT_EQ(currentDesktop(), 2);
    EXPECT_EQ(app->stop(SIGTERM), 0);
}

TEST_F(SummonAppTest, ARunningAppGetsItsNewWindowActionAnotherIsStartedAgainAndEscapeDismisses) {
    startServer();
    startApp();
    const ClientWindow editor = server->openWindow({.title = "Editor"});
    userWorksIn(editor.window);

    summon("notes"); // not running yet: started
    ASSERT_TRUE(XServer::waitFor([&] { return windows("--name '^Notes$'").size() == 1; }, 10s)) << app->output();
    userWorksIn(editor.window);
    summon("notes"); // running: its new-window action
    ASSERT_TRUE(XServer::waitFor([&] { return windows("--name '^Notes from its action$'").size() == 1; }, 10s))
        << app->output();
    EXPECT_EQ(windows("--name '^Notes$'").size(), 1u);
    EXPECT_TRUE(app->waitForLine("opened Notes via desktop action New Window")) << app->output();

    summon("view");
    ASSERT_TRUE(XServer::waitFor([&] { return windows("--name '^Viewer$'").size() == 1; }, 10s)) << app->output();
    userWorksIn(editor.window);
    summon("view"); // running, no action: started again, which opens a second window
    EXPECT_TRUE(XServer::waitFor([&] { return windows("--name '^Viewer$'").size() == 2; }, 10s)) << app->output();

    userWorksIn(editor.window);
    press("ctrl+alt+y", "summon");
    const std::uint32_t palette = paletteWithFocus();
    ASSERT_NE(palette, 0u) << app->output();
    ASSERT_EQ(server->run("xdotool type xte"), 0);
    ASSERT_EQ(server->run("xdotool key Escape"), 0);
    EXPECT_TRUE(XServer::waitFor([&] { return !visible(palette); }));
    EXPECT_TRUE(XServer::waitFor([&] { return activeWindow() == editor.window; }));
    EXPECT_TRUE(windows("--class XTerm").empty());
    EXPECT_EQ(app->stop(SIGTERM), 0);
}
