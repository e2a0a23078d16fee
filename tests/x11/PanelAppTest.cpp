// The switcher panel in the real app on Xvfb + Openbox with four desktops, driven with real keys
// and clicks only: it opens with the keyboard focus, switches with the arrows and Return, renames
// a desktop in place (kept over a restart), gives the focus back on Escape but not when the user
// went to another window meanwhile, keeps its hints when shown again, and is never tiled.
#include "AppFixture.h"

#include <xcb/xcb.h>

#include <cstdio>
#include <sstream>

using namespace quorvel;
using namespace quorvel::x11test;
using namespace std::chrono_literals;

namespace {

constexpr int kRowHeight = 40;
constexpr int kFirstRowTop = 44; // one display: the rows start under the title

class PanelAppTest : public AppFixture {
protected:
    // Waits (bounded) until the active window is the app's panel, and answers it (0 if never).
    std::uint32_t panelWithFocus() {
        std::uint32_t panel = 0;
        XServer::waitFor([&] {
            const std::uint32_t active = activeWindow();
            if (active == 0 || output("xdotool getwindowname " + std::to_string(active)) != "Quorvel" ||
                output("xdotool getwindowpid " + std::to_string(active)) != std::to_string(app->pid()))
                return false;
            panel = active;
            return true;
        });
        return panel;
    }
    // Returns once Openbox has handled every request sent to it so far: it handles them in order,
    // so once a move asked for now is done, what came before is done too. Twice, because a focus
    // change it makes reaches it again as an event before _NET_ACTIVE_WINDOW is updated.
    void windowManagerCaughtUp(std::uint32_t window) {
        for (int step = 1; step <= 2; ++step) {
            const Rect before = server->clientGeometry(window);
            const int x = static_cast<int>(before.x) + 20;
            ASSERT_EQ(server->run("xdotool windowmove " + std::to_string(window) + " " + std::to_string(x) + " " +
                                  std::to_string(static_cast<int>(before.y))),
                      0);
            ASSERT_TRUE(XServer::waitFor([&] { return server->clientGeometry(window).x != before.x; }));
        }
    }
    // A screenshot of one row of the panel (row 1 is the first), as a file.
    std::string rowShot(std::uint32_t panel, int row, const std::string& name) {
        const std::string file = (home / (name + ".png")).string();
        const int top = kFirstRowTop + kRowHeight * (row - 1);
        server->run("import -window " + std::to_string(panel) + " -crop 360x" + std::to_string(kRowHeight) + "+0+" +
                    std::to_string(top) + " +repage " + file);
        return file;
    }
    bool samePixels(const std::string& a, const std::string& b) {
        return server->run("compare -metric AE " + a + " " + b + " null: 2>/dev/null") == 0;
    }
    // A shot of a row once the panel has painted it and it holds still (two shots alike, and the
    // panel's background where an unpainted window is black); empty when that never happens.
    std::string settledRowShot(std::uint32_t panel, int row, const std::string& name) {
        std::string shot;
        XServer::waitFor([&] {
            const std::string first = rowShot(panel, row, name + "-1");
            shot = rowShot(panel, row, name);
            return samePixels(first, shot) &&
                   output("convert " + shot + " -format '%[fx:int(255*p{2,2}.r)]' info:") != "0";
        });
        return shot;
    }
    // Right-clicks the middle of a row of the panel.
    void rightClickRow(std::uint32_t panel, int row) {
        const Rect client = server->clientGeometry(panel);
        const int x = static_cast<int>(client.x) + 200;
        const int y = static_cast<int>(client.y) + kFirstRowTop + kRowHeight * (row - 1) + kRowHeight / 2;
        ASSERT_EQ(server->run("xdotool mousemove --sync " + std::to_string(x) + " " + std::to_string(y) + " click 3"), 0);
    }
};

} // namespace

TEST_F(PanelAppTest, ThePanelKeyOpensItWithTheFocusAndDownDownReturnSwitchesToDesktopThree) {
    startServer();
    const ClientWindow editor = server->openWindow({.title = "Editor"});
    writeDefaults({{"has_launched_before", true}});
    startApp();
    // Openbox gives the focus to a new window only when asked with a user time stamp newer than
    // that of the window the user works in.
    userWorksIn(editor.window);

    press("ctrl+alt+p", "toggle_panel");
    const std::uint32_t panel = panelWithFocus();
    ASSERT_NE(panel, 0u) << "the panel never became the active window\n" << app->output();
    // On every desktop, above the others, in no taskbar or pager; centred on the screen.
    EXPECT_NE(property(panel, "_NET_WM_DESKTOP").find("4294967295"), std::string::npos);
    const std::string states = property(panel, "_NET_WM_STATE");
    for (const char* state : {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"})
        EXPECT_NE(states.find(state), std::string::npos) << states;
    const Rect client = server->clientGeometry(panel);
    EXPECT_EQ(client.width, 360);
    EXPECT_EQ(client.height, 4 * 40 + 44 + 44 + 16);
    EXPECT_NEAR(client.x + client.width / 2, 960, 2);

    ASSERT_EQ(server->run("xdotool key Down Down Return"), 0);
    EXPECT_TRUE(XServer::waitFor([&] { return currentDesktop() == 2; })) << app->output();
    EXPECT_TRUE(XServer::waitFor([&] { return !visible(panel); }));

    // Back on desktop 1 with the editor focused: Escape closes the panel and the editor has the
    // focus again.
    press("ctrl+alt+1", "switch_space_1");
    ASSERT_TRUE(XServer::waitFor([&] { return currentDesktop() == 0; }));
    userWorksIn(editor.window);
    press("ctrl+alt+p", "toggle_panel");
    const std::uint32_t again = panelWithFocus(); // each opening builds a fresh window
    ASSERT_NE(again, 0u) << app->output();
    ASSERT_EQ(server->run("xdotool key Escape"), 0);
    EXPECT_TRUE(XServer::waitFor([&] { return !visible(again); }));
    EXPECT_TRUE(XServer::waitFor([&] { return activeWindow() == editor.window; }))
        << "active: " << activeWindow() << ", editor: " << editor.window;
    EXPECT_EQ(currentDesktop(), 0);
    EXPECT_EQ(app->stop(SIGTERM), 0);
}

TEST_F(PanelAppTest, ClosingThePanelLeavesTheFocusWithTheWindowTheUserWentToMeanwhile) {
    startServer();
    const ClientWindow editor = server->openWindow({.title = "Editor"});
    const ClientWindow browser = server->openWindow({.title = "Browser"});
    writeDefaults({{"has_launched_before", true}});
    startApp();
    userWorksIn(editor.window);
    press("ctrl+alt+p", "toggle_panel");
    const std::uint32_t panel = panelWithFocus();
    ASSERT_NE(panel, 0u) << app->output();

    // With the panel still open the user goes to the browser; then the panel key closes it.
    ASSERT_EQ(server->run("xdotool windowactivate --sync " + std::to_string(browser.window)), 0);
    ASSERT_TRUE(visible(panel));
    press("ctrl+alt+p", "toggle_panel");
    ASSERT_TRUE(XServer::waitFor([&] { return !visible(panel); }));
    // The app has done all it does for a key once it takes the next one (here a switch to the
    // desktop already shown, which does nothing), and the window manager has then seen it all.
    press("ctrl+alt+1", "switch_space_1");
    windowManagerCaughtUp(browser.window);
    EXPECT_EQ(activeWindow(), browser.window) << "editor: " << editor.window << ", browser: " << browser.window;
    EXPECT_EQ(currentDesktop(), 0);
    EXPECT_EQ(app->stop(SIGTERM), 0);
}

TEST_F(PanelAppTest, ThePanelShownAgainByEditModeIsStillOnEveryDesktopAndInNoTaskbarOrPager) {
    startServer();
    writeDefaults({{"has_launched_before", true}});
    startApp();
    press("ctrl+alt+p", "toggle_panel");
    const std::uint32_t panel = panelWithFocus();
    ASSERT_NE(panel, 0u) << app->output();
    ASSERT_EQ(server->run("xdotool key Escape"), 0);
    ASSERT_TRUE(XServer::waitFor([&] { return !visible(panel); }));
    // Hidden, the window is withdrawn: the window manager has dropped its desktop and states.
    // Edit mode shows the same window again.
    press("ctrl+alt+e", "toggle_edit_mode");
    ASSERT_EQ(panelWithFocus(), panel) << app->output();
    std::string desktop;
    std::string states;
    const bool hinted = XServer::waitFor([&] {
        desktop = property(panel, "_NET_WM_DESKTOP");
        states = property(panel, "_NET_WM_STATE");
        return desktop.find("4294967295") != std::string::npos &&
               states.find("_NET_WM_STATE_SKIP_TASKBAR") != std::string::npos &&
               states.find("_NET_WM_STATE_SKIP_PAGER") != std::string::npos &&
               states.find("_NET_WM_STATE_ABOVE") != std::string::npos;
    });
    EXPECT_TRUE(hinted) << desktop << "\n" << states;
    EXPECT_EQ(app->stop(SIGTERM), 0);
}

TEST_F(PanelAppTest, ARightClickedRowTakesATypedNameWhichIsStoredAndShownAfterARestart) {
    startServer();
    writeDefaults({{"has_launched_before", true}});
    startApp();
    press("ctrl+alt+p", "toggle_panel");
    std::uint32_t panel = panelWithFocus();
    ASSERT_NE(panel, 0u) << app->output();
    const std::string before = settledRowShot(panel, 1, "before");

    rightClickRow(panel, 1); // the current desktop
    // The row turns into an edit field with its text selected; typing replaces it.
    ASSERT_TRUE(XServer::waitFor([&] { return !samePixels(before, rowShot(panel, 1, "editing")); }));
    ASSERT_EQ(server->run("xdotool type --delay 20 '  Mail '"), 0);
    ASSERT_EQ(server->run("xdotool key Return"), 0);
    ASSERT_TRUE(XServer::waitFor([&] {
        const nlohmann::json saved = readDefaults();
        return saved.contains("space_labels") && saved["space_labels"].value("1", "") == "Mail";
    })) << readDefaults().dump() << "\n" << app->output();
    EXPECT_TRUE(visible(panel)); // renaming does not close the panel
    EXPECT_TRUE(app->waitForLine("tray title: Mail")) << app->output(); // the tray's tool tip follows
    // The rename ended and the rows were rebuilt: the keys are the panel's again.
    ASSERT_EQ(server->run("xdotool key Escape"), 0);
    EXPECT_TRUE(XServer::waitFor([&] { return !visible(panel); }));

    press("ctrl+alt+p", "toggle_panel");
    panel = panelWithFocus();
    ASSERT_NE(panel, 0u) << app->output();
    const std::string renamed = settledRowShot(panel, 1, "renamed");
    EXPECT_FALSE(samePixels(before, renamed));
    EXPECT_EQ(app->stop(SIGTERM), 0);

    startApp();
    press("ctrl+alt+p", "toggle_panel");
    panel = panelWithFocus();
    ASSERT_NE(panel, 0u) << app->output();
    EXPECT_TRUE(samePixels(renamed, settledRowShot(panel, 1, "restarted")));
    EXPECT_EQ(readDefaults()["space_labels"]["1"], "Mail");
    EXPECT_EQ(app->stop(SIGTERM), 0);
}

TEST_F(PanelAppTest, ThePanelIsNeverTiledEvenWithTilingOnAndThreeWindowsOpen) {
    startServer();
    writeDefaults({{"has_launched_before", true}, {"tiling_enabled", true}});
    for (const char* title : {"A", "B", "C"}) server->openWindow({.title = title});
    startApp();
    ASSERT_TRUE(app->waitForLine("retile space 1: 3 window(s)")) << app->output();

    press("ctrl+alt+p", "toggle_panel");
    const std::uint32_t panel = panelWithFocus();
    ASSERT_NE(panel, 0u) << app->output();
    // A window opened after the panel is adopted after it: once the engine retiles with four
    // windows, it has seen the panel and left it alone.
    const ClientWindow d = server->openWindow({.title = "D"});
    ASSERT_TRUE(XServer::waitFor([&] { return server->clientGeometry(d.window).width != 400; })) << app->output();
    EXPECT_TRUE(app->waitForLine("retile space 1: 4 window(s)")) << app->output();
    EXPECT_EQ(app->count("5 window(s)"), 0u) << app->output();
    // The panel keeps its own size and place, in front of the tiles.
    const Rect client = server->clientGeometry(panel);
    EXPECT_EQ(client.width, 360);
    EXPECT_EQ(client.height, 264);
    EXPECT_NEAR(client.x + client.width / 2, 960, 2);
    EXPECT_TRUE(visible(panel));
    EXPECT_EQ(app->stop(SIGTERM), 0);
}
