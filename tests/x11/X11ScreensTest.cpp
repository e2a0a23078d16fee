// Screens on a real X server: RandR monitors as screens, visible frames under docks' struts, the
// pointer in root coordinates, and notifications when monitors or docks change.
#include "CapturingLog.h"
#include "PollLoop.h"
#include "X11Connection.h"
#include "X11Screens.h"
#include "X11WindowServer.h"
#include "XServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

using namespace std::chrono_literals;
using namespace quorvel;
using namespace quorvel::x11test;

namespace {

struct Session {
    explicit Session(const XServer::Options& options = {})
        : server(options), connection(x11::X11Connection::open(server.display(), log)) {
        if (!connection) throw std::runtime_error("cannot connect to " + server.display());
        loop.watch(connection->fileDescriptor(), [this] { connection->dispatch(); });
        screens = std::make_unique<x11::X11Screens>(*connection, loop);
        screens->observeScreenParameters([this] { ++notifications; });
    }

    // Gives a window a strut, as a panel or dock does (left, right, top, bottom, then the ranges).
    void reserve(std::uint32_t window, std::vector<std::uint32_t> strut) {
        xcb_change_property(connection->raw(), XCB_PROP_MODE_REPLACE, window, connection->ewmh()->_NET_WM_STRUT_PARTIAL,
                            XCB_ATOM_CARDINAL, 32, static_cast<std::uint32_t>(strut.size()), strut.data());
        connection->flush();
    }

    XServer server;
    sim::CapturingLog log;
    PollLoop loop;
    std::unique_ptr<x11::X11Connection> connection;
    std::unique_ptr<x11::X11Screens> screens;
    int notifications = 0;
};

} // namespace

TEST(X11ScreensTest, OneMonitorIsOneScreenAndThePointerIsInRootCoordinates) {
    Session s;
    const auto screens = s.screens->screens();
    ASSERT_EQ(screens.size(), 1u);
    const ScreenInfo& screen = screens.front();
    EXPECT_EQ(screen.displayNumber, s.screens->mainDisplayId());
    EXPECT_EQ(screen.localizedName, "screen");
    EXPECT_EQ(screen.frame, (Rect{0, 0, 1920, 1080}));
    EXPECT_EQ(screen.visibleFrame, screen.frame) << "no dock, nothing reserved";
    EXPECT_EQ(s.screens->mainScreen(), screen);
    EXPECT_EQ(s.screens->displayUUID(screen.displayNumber), "x11-monitor-screen");
    EXPECT_EQ(s.screens->displayUUID(screen.displayNumber + 1000), std::nullopt);
    EXPECT_EQ(s.screens->onlineDisplays(16), std::vector<DisplayNumber>{screen.displayNumber});
    EXPECT_EQ(s.screens->displayBounds(screen.displayNumber), (Rect{0, 0, 1920, 1080}));
    EXPECT_FALSE(s.screens->isBuiltin(screen.displayNumber));

    ASSERT_EQ(s.server.run("xdotool mousemove 100 200"), 0);
    EXPECT_EQ(s.screens->pointerLocation(), (Point{100, 200}));
}

TEST(X11ScreensTest, ADockShrinksTheVisibleFrameAndNotifiesOnce) {
    Session s;
    const ClientWindow panel = s.server.openWindow({.title = "panel", .width = 1920, .height = 40});
    // A 40-pixel panel along the bottom edge.
    s.reserve(panel.window, {0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, 1919});
    ASSERT_TRUE(s.loop.runUntil([&] { return s.notifications > 0; }, 2000ms)) << "the work area changed";

    const ScreenInfo screen = s.screens->screens().front();
    EXPECT_EQ(screen.frame, (Rect{0, 0, 1920, 1080}));
    EXPECT_EQ(screen.visibleFrame, (Rect{0, 0, 1920, 1040})) << "the panel takes the bottom 40 pixels";
    // Openbox handles requests in order: once it has switched desktops on a request sent after the
    // strut, every work-area change it made for the strut is on its way to us.
    ASSERT_EQ(s.server.run("xdotool set_desktop 1"), 0);
    ASSERT_TRUE(s.loop.runUntil(
        [&] { return s.connection->cardinal(s.connection->root(), s.connection->ewmh()->_NET_CURRENT_DESKTOP) == 1u; },
        2000ms));
    s.connection->dispatch();
    bool drained = false;
    s.loop.post([&] { drained = true; });
    ASSERT_TRUE(s.loop.runUntil([&] { return drained; }, 2000ms));
    EXPECT_EQ(s.notifications, 1) << "one change, one call";
}

TEST(X11ScreensTest, TwoMonitorsArePrimaryFirstAndEachKeepsItsOwnStruts) {
    Session s({.width = 3840, .height = 1080});
    ASSERT_EQ(s.server.run("xrandr --setmonitor LEFT 1920/508x1080/286+0+0 screen"), 0);
    ASSERT_EQ(s.server.run("xrandr --setmonitor '*RIGHT' 1920/508x1080/286+1920+0 none"), 0);
    ASSERT_TRUE(s.loop.runUntil([&] { return s.notifications > 0 && s.screens->screens().size() == 2; }, 2000ms));

    const auto screens = s.screens->screens();
    EXPECT_EQ(screens[0].localizedName, "RIGHT") << "the primary monitor comes first";
    EXPECT_EQ(screens[0].frame, (Rect{1920, 0, 1920, 1080}));
    EXPECT_EQ(screens[1].localizedName, "LEFT");
    EXPECT_EQ(screens[1].frame, (Rect{0, 0, 1920, 1080}));
    EXPECT_EQ(s.screens->mainDisplayId(), screens[0].displayNumber);
    EXPECT_EQ(s.screens->displayBounds(screens[1].displayNumber), (Rect{0, 0, 1920, 1080}));

    // The desktop table is named after the primary monitor, so the core's main display matches.
    x11::X11WindowServer windowServer(*s.connection, s.log);
    EXPECT_EQ(windowServer.desktopTable()->displays.at(0).identifier, "x11-monitor-RIGHT");
    EXPECT_EQ(s.screens->displayUUID(s.screens->mainDisplayId()), "x11-monitor-RIGHT");

    // A panel along the bottom of the left monitor only.
    const ClientWindow panel = s.server.openWindow({.title = "panel", .width = 1920, .height = 30});
    const int before = s.notifications;
    s.reserve(panel.window, {0, 0, 0, 30, 0, 0, 0, 0, 0, 0, 0, 1919});
    ASSERT_TRUE(s.loop.runUntil([&] { return s.notifications > before; }, 2000ms));
    const auto after = s.screens->screens();
    EXPECT_EQ(after[0].visibleFrame, after[0].frame);
    EXPECT_EQ(after[1].visibleFrame, (Rect{0, 0, 1920, 1050}));
}

TEST(X11ScreensTest, AnUnmanagedPanelCountsWhileItIsMappedAndWithItsLatestStrut) {
    Session s({.width = 3840, .height = 1080});
    ASSERT_EQ(s.server.run("xrandr --setmonitor LEFT 1920/508x1080/286+0+0 screen"), 0);
    ASSERT_EQ(s.server.run("xrandr --setmonitor RIGHT 1920/508x1080/286+1920+0 none"), 0);
    ASSERT_TRUE(s.loop.runUntil([&] { return s.screens->screens().size() == 2; }, 2000ms));
    const auto leftVisible = [&] {
        for (const ScreenInfo& screen : s.screens->screens())
            if (screen.localizedName == "LEFT") return screen.visibleFrame;
        return Rect{};
    };
    ASSERT_EQ(leftVisible(), (Rect{0, 0, 1920, 1080})) << "read once before the panel comes";

    // A panel no window manager manages (override-redirect) along the bottom of the left monitor.
    xcb_connection_t* c = s.connection->raw();
    const xcb_window_t panel = xcb_generate_id(c);
    const std::uint32_t overrideRedirect = 1;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, panel, s.connection->root(), 0, 1040, 1920, 40, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT,
                      &overrideRedirect);
    s.reserve(panel, {0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, 1919});
    xcb_map_window(c, panel);
    s.connection->flush();
    EXPECT_TRUE(s.loop.runUntil([&] { return leftVisible() == Rect{0, 0, 1920, 1040}; }, 2000ms)) << "mapped";

    s.reserve(panel, {0, 0, 0, 60, 0, 0, 0, 0, 0, 0, 0, 1919});
    EXPECT_TRUE(s.loop.runUntil([&] { return leftVisible() == Rect{0, 0, 1920, 1020}; }, 2000ms)) << "new strut";

    xcb_unmap_window(c, panel);
    s.connection->flush();
    EXPECT_TRUE(s.loop.runUntil([&] { return leftVisible() == Rect{0, 0, 1920, 1080}; }, 2000ms)) << "unmapped";
}

TEST(X11ScreensTest, TheWindowManagersOwnBarCountsOnEveryMonitorItCovers) {
    if (!XServer::available(XServer::Manager::icewm)) {
        if (XServer::required()) FAIL() << "icewm is not installed";
        GTEST_SKIP() << "icewm is not installed";
    }
    // IceWM's taskbar is a framed window of its own, not a listed client; it spans the whole root.
    Session s({.width = 3200, .height = 1000, .manager = XServer::Manager::icewm});
    ASSERT_EQ(s.server.run("xrandr --setmonitor LEFT 1600/508x1000/286+0+0 screen"), 0);
    ASSERT_EQ(s.server.run("xrandr --setmonitor RIGHT 1600/508x1000/286+1600+0 none"), 0);
    ASSERT_TRUE(s.loop.runUntil([&] { return s.screens->screens().size() == 2; }, 2000ms));
    for (const ScreenInfo& screen : s.screens->screens())
        EXPECT_EQ(screen.visibleFrame, (Rect{screen.frame.x, 0, 1600, 974})) << screen.localizedName;
}
