// The window manager's own moves and windows that are not like the test client's plain ones, on a
// real X server with Openbox: windows sent to another desktop, full screen, windows kept aside,
// client-side decorations, owners without _NET_WM_PID, and xterm beside our own client.
#include "TilingOnX11.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace quorvel;
using namespace quorvel::x11test;

namespace {

// One window alone on Xvfb's 1920×1080 screen (no dock, gap 8).
const Rect kWhole{8, 8, 1904, 1064};

class X11WindowManagerMovesTest : public TilingOnX11Test {
protected:
    bool inAnyTree(std::uint32_t window) {
        const auto& trees = platform->engine->view().treeMap();
        return std::any_of(trees.begin(), trees.end(), [&](const auto& e) { return e.second->contains(window); });
    }
    // _NET_WM_STATE as a pager asks for it: add (1) or remove (0) one state.
    void setState(std::uint32_t window, bool add, xcb_atom_t state) {
        platform->connection->sendRootMessage(window, platform->connection->ewmh()->_NET_WM_STATE, add ? 1 : 0, state,
                                              0, 2);
    }
};

} // namespace

TEST_F(X11WindowManagerMovesTest, AWindowSentToAnotherDesktopLeavesNoEmptyTileAndIsTiledThere) {
    const ClientWindow a = server->openWindow({.title = "A"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 1; }));
    // xterm, a client nobody here wrote, beside ours.
    const std::size_t before = platform->tracker->clients().size();
    ASSERT_EQ(server->run("xterm -title xt >/dev/null 2>&1 &"), 0);
    ASSERT_TRUE(platform->waitFor([&] { return platform->tracker->clients().size() == before + 1; },
                                  std::chrono::seconds(5)));
    const std::uint32_t xterm = platform->tracker->clients().back();
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 2; }));
    EXPECT_TRUE(landsOn(a.window, kLeftHalf));

    // Sent away as a pager or the window manager's menu does, while desktop 1 stays shown.
    ASSERT_EQ(server->run("xdotool set_desktop_for_window " + std::to_string(xterm) + " 1"), 0);
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 1 && leaves(2) == 1; }));
    EXPECT_TRUE(tree(2)->contains(xterm));
    EXPECT_TRUE(landsOn(a.window, kWhole));

    // And our own client the other way.
    ASSERT_EQ(server->run("xdotool set_desktop_for_window " + std::to_string(a.window) + " 1"), 0);
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 0 && leaves(2) == 2; }));
}

TEST_F(X11WindowManagerMovesTest, FullScreenLeavesTheTreeAndComesBackToTheSamePlace) {
    const ClientWindow a = openTiled(*platform, *server, "A");
    const ClientWindow b = openTiled(*platform, *server, "B");
    const ClientWindow c = openTiled(*platform, *server, "C");
    ASSERT_TRUE(landsOn(b.window, kRightTop));
    const std::string shape = tree(1)->describe();

    const xcb_atom_t fullScreen = platform->connection->ewmh()->_NET_WM_STATE_FULLSCREEN;
    setState(b.window, true, fullScreen);
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 2; }));
    EXPECT_FALSE(inAnyTree(b.window));
    EXPECT_TRUE(landsOn(c.window, kRightHalf));
    // A retile now leaves the full-screen window where the window manager put it: the whole screen.
    // Moves of A sent after the retile go through the window manager after any write the retile
    // made: once A is back, such a write to B would have landed too. (A goes straight back to its
    // tile, or the retile's landing check could take it for a window that refused its tile.)
    platform->engine->retile(1, std::nullopt);
    const Rect aside{300, 300, 500, 400};
    ASSERT_TRUE(platform->windowControl->setFrame(a.window, aside).ok());
    ASSERT_TRUE(landsOn(a.window, aside));
    ASSERT_TRUE(platform->windowControl->setFrame(a.window, kLeftHalf).ok());
    ASSERT_TRUE(landsOn(a.window, kLeftHalf));
    EXPECT_TRUE(near(server->frameGeometry(b.window), {0, 0, 1920, 1080}));

    setState(b.window, false, fullScreen);
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 3; }));
    EXPECT_EQ(tree(1)->describe(), shape);
    EXPECT_TRUE(landsOn(b.window, kRightTop));
    EXPECT_TRUE(landsOn(c.window, kRightBottom));
    EXPECT_TRUE(landsOn(a.window, kLeftHalf));
}

TEST_F(X11WindowManagerMovesTest, WindowsKeptAsideAreNeverTiledNorNamedAndBecomingOneLeavesTheTree) {
    const ClientWindow sticky = server->openWindow({.title = "sticky", .extra = {"--desktop", "all"}});
    const ClientWindow above = server->openWindow({.title = "above", .extra = {"--state", "above"}});
    const ClientWindow skipping = server->openWindow({.title = "skipping", .extra = {"--state", "skip-taskbar"}});
    // The plain windows come after: once they are tiled, the others had their chance.
    const ClientWindow a = server->openWindow({.title = "A"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 1; }));
    const ClientWindow b = server->openWindow({.title = "B"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 2; }));
    for (const ClientWindow& w : {sticky, above, skipping}) EXPECT_FALSE(inAnyTree(w.window)) << w.window;
    EXPECT_TRUE(landsOn(a.window, kLeftHalf));

    // Naming: desktop 2 holds nothing of its own; desktop 1 only the plain windows.
    const WindowSnapshot& snapshot = platform->snapshots->current();
    EXPECT_EQ(snapshot.firstAppName(2, {}), std::nullopt);
    EXPECT_EQ(snapshot.entries.size(), 2u);
    for (const auto& entry : snapshot.entries)
        EXPECT_TRUE(entry.windowID == a.window || entry.windowID == b.window) << "named after " << entry.windowID;

    // Kept above later: out of the tree.
    setState(b.window, true, platform->connection->ewmh()->_NET_WM_STATE_ABOVE);
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 1; }));
    EXPECT_TRUE(landsOn(a.window, kWhole));
    // And back among the desktop's windows.
    setState(b.window, false, platform->connection->ewmh()->_NET_WM_STATE_ABOVE);
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 2; }));
}

TEST_F(X11WindowManagerMovesTest, AWindowKeptAboveWhenFirstSeenIsTiledOnceItNoLongerIs) {
    // Already there when tiling starts: the application's plain window is tracked at once (no
    // later attempt to attach it comes), the one kept above is not.
    platform->engine->stop();
    ClientApp app = server->openApp({.title = "above", .extra = {"--state", "above"}});
    const ClientWindow above = app.first;
    const ClientWindow a = server->openAnother(app, "A");
    ASSERT_TRUE(platform->waitFor([&] { return platform->tracker->isKeptAside(above.window); }));
    ASSERT_TRUE(platform->waitFor([&] { return platform->tracker->pidOf(a.window) == app.pid; }));
    platform->engine->start();
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 1; }));
    EXPECT_FALSE(inAnyTree(above.window));

    setState(above.window, false, platform->connection->ewmh()->_NET_WM_STATE_ABOVE);
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 2; }));
    EXPECT_TRUE(tree(1)->contains(above.window));
}

TEST_F(X11WindowManagerMovesTest, TheVisiblePartOfAClientSideDecoratedWindowSitsExactlyOnItsTile) {
    const ClientWindow a = server->openWindow({.title = "A"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 1; }));
    // Shadow margins: 20 left, 22 right, 15 top, 25 bottom.
    const ClientWindow csd = server->openWindow({.title = "csd", .extra = {"--shadow", "20,22,15,25"}});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 2; }));
    const auto visible = [&] {
        const Rect client = server->clientGeometry(csd.window);
        return Rect{client.x + 20, client.y + 15, client.width - 42, client.height - 40};
    };
    EXPECT_TRUE(platform->waitFor([&] { return near(visible(), kRightHalf, 0); }))
        << visible().description();
    EXPECT_TRUE(landsOn(a.window, kLeftHalf));
    const auto reported = platform->windowControl->frame(csd.window);
    ASSERT_TRUE(reported.ok());
    EXPECT_TRUE(near(*reported, kRightHalf, 0));
    const auto list = platform->windowServer->windows(WindowFilter::all);
    ASSERT_TRUE(list);
    const auto entry = std::find_if(list->begin(), list->end(), [&](const WindowInfo& w) { return w.id == csd.window; });
    ASSERT_NE(entry, list->end());
    EXPECT_TRUE(near(entry->frame, kRightHalf, 0));
}

TEST_F(X11WindowManagerMovesTest, AWindowNamingAnotherProcessBelongsToTheProcessThatMadeIt) {
    // A sandboxed application's _NET_WM_PID names a process of its sandbox (here: pid 1).
    const ClientWindow sandboxed = server->openWindow({.title = "sandboxed", .extra = {"--pid", "1"}});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 1; }));
    EXPECT_EQ(platform->windowControl->owner(sandboxed.window).valueOr(0), sandboxed.pid);
    EXPECT_TRUE(platform->workspace->runningApplication(sandboxed.pid).has_value());
}

TEST_F(X11WindowManagerMovesTest, AWindowWithoutAClassIsNamedAfterTheProcessThatMadeIt) {
    // No WM_CLASS, and a _NET_WM_PID naming another process: the name comes from the real owner.
    const ClientWindow bare = server->openWindow({.title = "bare", .extra = {"--class", "no", "--pid", "1"}});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 1; }));
    const std::string comm = "quorvel-test-cl"; // the client's executable name, as the kernel keeps it
    const auto list = platform->windowServer->windows(WindowFilter::all);
    ASSERT_TRUE(list);
    const auto entry = std::find_if(list->begin(), list->end(), [&](const WindowInfo& w) { return w.id == bare.window; });
    ASSERT_NE(entry, list->end());
    EXPECT_EQ(entry->ownerName, comm);
    const auto app = platform->workspace->runningApplication(bare.pid);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->localizedName, comm);
}

TEST_F(X11WindowManagerMovesTest, AWindowWithoutAProcessIdIsTiledAndNamedAfterItsApplication) {
    const ClientWindow nameless = server->openWindow({.title = "nameless", .extra = {"--pid", "no"}});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 1; }));
    EXPECT_TRUE(tree(1)->contains(nameless.window));
    EXPECT_TRUE(landsOn(nameless.window, kWhole));
    EXPECT_EQ(platform->windowControl->owner(nameless.window).valueOr(0), nameless.pid);
    const auto app = platform->workspace->runningApplication(nameless.pid);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->localizedName, "QuorvelTestClient");
    const auto list = platform->windowServer->windows(WindowFilter::all);
    ASSERT_TRUE(list);
    const auto entry =
        std::find_if(list->begin(), list->end(), [&](const WindowInfo& w) { return w.id == nameless.window; });
    ASSERT_NE(entry, list->end());
    EXPECT_EQ(entry->ownerPid, nameless.pid);
}
