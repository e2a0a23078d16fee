// The app across the window manager's life on a real server: `openbox --replace`, a crash and a
// restart a few seconds later, a long absence, and an app started before any window manager.
#include "AppFixture.h"
#include "XvfbTiles.h"

#include <map>
#include <thread>

using namespace quorvel;
using namespace quorvel::x11test;
using namespace std::chrono_literals;

namespace {

constexpr const char* kResumed = "window manager back — tiling resumed from the kept trees";
// A toast is found by its title with xdotool, whose pattern is read in the C locale: ".*" for the dash.
constexpr const char* kNoWindowManager = "Tiling paused .* no window manager is running on this display";

class WindowManagerRestartAppTest : public AppFixture {
protected:
    std::map<std::uint32_t, Rect> framesOf(const std::vector<ClientWindow>& windows) {
        std::map<std::uint32_t, Rect> frames;
        for (const ClientWindow& w : windows) frames[w.window] = server->frameGeometry(w.window);
        return frames;
    }
    bool framesAre(const std::map<std::uint32_t, Rect>& expected) {
        return XServer::waitFor([&] {
            for (const auto& [window, frame] : expected)
                if (!near(server->frameGeometry(window), frame)) return false;
            return true;
        });
    }
    std::string describe(const std::map<std::uint32_t, Rect>& frames) {
        std::string text;
        for (const auto& [window, frame] : frames)
            text += std::to_string(window) + " expected " + frame.description() + ", is " +
                    server->frameGeometry(window).description() + "\n";
        return text;
    }
};

} // namespace

TEST_F(WindowManagerRestartAppTest, AReplacedOrRestartedWindowManagerFindsEveryWindowOnItsTileAgainWithoutAWord) {
    startServer();
    const std::vector<ClientWindow> windows = {server->openWindow({.title = "A"}), server->openWindow({.title = "B"}),
                                               server->openWindow({.title = "C"})};
    writeDefaults({{"tiling_enabled", true}});
    // The settle made long enough for the move below to land within it on a loaded machine.
    startApp({"QUORVEL_WM_SETTLE_SECONDS=2"});
    ASSERT_TRUE(tiled(windows, {kLeftHalf, kRightTop, kRightBottom})) << app->output();

    // A shape of the user's making, which adopting the windows afresh would not give: the window on
    // the left swapped to the right, then its pair there turned side by side.
    const auto onLeft = *std::find_if(windows.begin(), windows.end(), [&](const ClientWindow& w) {
        return near(server->frameGeometry(w.window), kLeftHalf);
    });
    focusSeenByApp(onLeft.window);
    press("alt+shift+Right", "swap_right");
    ASSERT_TRUE(XServer::waitFor([&] { return !near(server->frameGeometry(onLeft.window), kLeftHalf); }));
    press("alt+shift+j", "toggle_split");
    ASSERT_TRUE(XServer::waitFor([&] { return std::abs(server->frameGeometry(onLeft.window).height - 1064) <= 1; }));
    const auto tiles = framesOf(windows);

    server->replaceWindowManager();
    // Moved while tiling waits for the new window manager to settle: only the user's shape laid out
    // again puts it back on its tile.
    ASSERT_TRUE(app->waitForLine("window manager announced itself (check window")) << app->output();
    server->run("xdotool windowmove " + std::to_string(onLeft.window) + " 300 300");
    ASSERT_EQ(app->count(kResumed), 0u) << "the move came after the settle: this run proves nothing";
    ASSERT_TRUE(app->waitForLine(kResumed)) << app->output();
    EXPECT_TRUE(framesAre(tiles)) << describe(tiles) << app->output();

    // A crash, and the window manager back a few seconds later. Meanwhile a window is moved, as
    // nothing keeps it in place.
    server->stopWindowManager(XServer::Ending::crash);
    ASSERT_TRUE(app->waitForLine("window manager gone")) << app->output();
    server->run("xdotool windowmove " + std::to_string(onLeft.window) + " 300 300");
    std::this_thread::sleep_for(2s); // the session takes its time to start it again
    server->startWindowManager();
    ASSERT_TRUE(XServer::waitFor([&] { return app->count(kResumed) == 2; }, 5s)) << app->output();
    EXPECT_TRUE(framesAre(tiles)) << describe(tiles) << app->output();

    EXPECT_EQ(app->count("no EWMH window manager for"), 0u) << "the user was not told: nothing was wrong for long";
    EXPECT_EQ(app->count("Accessibility"), 0u);
    EXPECT_EQ(app->stop(SIGTERM), 0);
}

TEST_F(WindowManagerRestartAppTest, AWindowManagerGoneLongerThanTheGraceIsToldAndTilingComesBackWithIt) {
    startServer();
    const std::vector<ClientWindow> windows = {server->openWindow({.title = "A"}), server->openWindow({.title = "B"})};
    writeDefaults({{"tiling_enabled", true}});
    startApp({"QUORVEL_WM_GRACE_SECONDS=1"});
    const Rect right{964, 8, 948, 1064};
    ASSERT_TRUE(tiled(windows, {kLeftHalf, right})) << app->output();

    server->stopWindowManager(XServer::Ending::quit);
    EXPECT_TRUE(toastShows(kNoWindowManager)) << app->output();
    EXPECT_TRUE(app->waitForLine("no EWMH window manager for 1 s")) << app->output();

    server->startWindowManager();
    EXPECT_TRUE(toastShows("Tiling on")) << app->output();
    EXPECT_TRUE(tiled(windows, {kLeftHalf, right})) << app->output();
    EXPECT_EQ(app->stop(SIGTERM), 0);
}

TEST_F(WindowManagerRestartAppTest, StartedBeforeTheWindowManagerTheAppWaitsForItAndThenRuns) {
    startServer({.windowManager = false});
    writeDefaults({{"tiling_enabled", true}});
    app = std::make_unique<AppProcess>(*server, home);
    // The session's window manager comes once the app has looked for one: it waits, or (as it did
    // once) finds the desktop interfaces unavailable.
    ASSERT_TRUE(XServer::waitFor([&] { return app->count("waiting up to 10000 ms") + app->count("unavailable") > 0; }))
        << app->output();
    server->startWindowManager();
    ASSERT_TRUE(app->waitForLine("launched in", 12s)) << app->output();
    EXPECT_TRUE(app->waitForLine("window manager announced itself after"));
    EXPECT_EQ(app->count("unavailable"), 0u) << app->output();

    const std::vector<ClientWindow> windows = {server->openWindow({.title = "A"}), server->openWindow({.title = "B"})};
    EXPECT_TRUE(tiled(windows, {kLeftHalf, {964, 8, 948, 1064}})) << app->output();
    EXPECT_EQ(app->stop(SIGTERM), 0);
}
