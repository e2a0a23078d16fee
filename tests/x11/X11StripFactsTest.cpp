// The strip's facts on a real X server: the pointer watch over trigger regions, the tray icons of
// an XEmbed tray, the full-screen active window per monitor, and a top panel's inset per monitor.
#include "CapturingLog.h"
#include "PollLoop.h"
#include "X11Connection.h"
#include "X11Screens.h"
#include "X11StripFacts.h"
#include "XServer.h"

#include <gtest/gtest.h>
#include <xcb/xcb_icccm.h>
#include <xcb/xinput.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <utility>
#include <vector>

#include <unistd.h>

using namespace std::chrono_literals;
using namespace quorvel;
using namespace quorvel::x11test;

namespace {

// XTest's absolute moves make no raw motion on Xvfb; relative ones do, as a mouse's.
std::string moveTo(int fromX, int fromY, int x, int y) {
    return "xdotool mousemove " + std::to_string(fromX) + " " + std::to_string(fromY) + " mousemove_relative -- " +
           std::to_string(x - fromX) + " " + std::to_string(y - fromY);
}

struct Session {
    explicit Session(const XServer::Options& options = {})
        : server(options), connection(x11::X11Connection::open(server.display(), log)) {
        if (!connection) throw std::runtime_error("cannot connect to " + server.display());
        loop.watch(connection->fileDescriptor(), [this] { connection->dispatch(); });
        facts = std::make_unique<x11::X11StripFacts>(*connection, loop);
    }
    ~Session() {
        if (trayerPid > 0) ::kill(trayerPid, SIGTERM);
    }

    // Raw motion as this connection selects it on the root, as the server reports it.
    bool rawMotionSelected() {
        xcb_connection_t* c = connection->raw();
        std::unique_ptr<xcb_input_xi_get_selected_events_reply_t, decltype(&std::free)> reply(
            xcb_input_xi_get_selected_events_reply(c, xcb_input_xi_get_selected_events(c, connection->root()), nullptr),
            &std::free);
        if (!reply) return false;
        for (auto it = xcb_input_xi_get_selected_events_masks_iterator(reply.get()); it.rem;
             xcb_input_event_mask_next(&it))
            if (it.data->mask_len > 0 && (*xcb_input_event_mask_mask(it.data) & XCB_INPUT_XI_EVENT_MASK_RAW_MOTION))
                return true;
        return false;
    }

    XServer server;
    sim::CapturingLog log;
    PollLoop loop;
    std::unique_ptr<x11::X11Connection> connection;
    std::unique_ptr<x11::X11StripFacts> facts;
    pid_t trayerPid = 0;
};

} // namespace

TEST(X11StripFactsTest, ThePointerWatchReportsEnterAndExitPerRegionAndDeselectsWhenEmptied) {
    Session s({.width = 3840, .height = 1080});
    std::vector<std::pair<std::string, bool>> changes;
    ASSERT_FALSE(s.rawMotionSelected()) << "nothing is listened to before a region is given";
    s.facts->watchPointer({{"left", Rect{560, 0, 1200, 24}}, {"right", Rect{2480, 0, 1200, 24}}},
                          [&](const std::string& id, bool inside) { changes.emplace_back(id, inside); });
    EXPECT_TRUE(s.rawMotionSelected());

    ASSERT_EQ(s.server.run(moveTo(900, 300, 900, 5)), 0);
    ASSERT_TRUE(s.loop.runUntil([&] { return changes.size() == 1; }, 2000ms));
    EXPECT_EQ(changes.back(), std::make_pair(std::string("left"), true));

    // Straight from one region into the other: one exit, one enter.
    ASSERT_EQ(s.server.run(moveTo(900, 5, 3000, 10)), 0);
    ASSERT_TRUE(s.loop.runUntil([&] { return changes.size() == 3; }, 2000ms));
    EXPECT_EQ(changes[1], std::make_pair(std::string("left"), false));
    EXPECT_EQ(changes[2], std::make_pair(std::string("right"), true));

    // A burst of 40 small moves below the edge: one exit, and far fewer queries than motions.
    std::string burst = "xdotool";
    for (int i = 0; i < 40; ++i) burst += " mousemove_relative 0 5";
    const std::uint64_t queriesBefore = s.facts->pointerQueries();
    ASSERT_EQ(s.server.run(burst), 0);
    ASSERT_TRUE(s.loop.runUntil([&] { return changes.size() == 4; }, 2000ms));
    // Every motion of the burst is in and answered: route what the round trip brought, then drain.
    s.connection->sync();
    s.connection->dispatch();
    bool drained = false;
    s.loop.post([&] { drained = true; });
    ASSERT_TRUE(s.loop.runUntil([&] { return drained; }, 2000ms));
    EXPECT_EQ(changes[3], std::make_pair(std::string("right"), false));
    const std::uint64_t queries = s.facts->pointerQueries() - queriesBefore;
    EXPECT_LT(queries, 20u) << "coalesced";
    std::cerr << "40 raw motions, " << queries << " pointer queries\n";

    s.facts->watchPointer({}, [&](const std::string& id, bool inside) { changes.emplace_back(id, inside); });
    EXPECT_FALSE(s.facts->watching());
    EXPECT_FALSE(s.rawMotionSelected()) << "an empty map stops listening to the pointer";
}

TEST(X11StripFactsTest, ARegionKeptAcrossAReplacementIsNotReportedAgain) {
    Session s;
    std::vector<std::pair<std::string, bool>> changes;
    auto record = [&](const std::string& id, bool inside) { changes.emplace_back(id, inside); };
    s.facts->watchPointer({{"screen", Rect{560, 0, 1200, 24}}}, record);
    ASSERT_EQ(s.server.run(moveTo(900, 300, 900, 5)), 0);
    ASSERT_TRUE(s.loop.runUntil([&] { return changes.size() == 1; }, 2000ms));

    // The strip is redrawn with the same region while the pointer stays: leaving is reported once.
    s.facts->watchPointer({{"screen", Rect{560, 0, 1200, 24}}}, record);
    ASSERT_EQ(s.server.run(moveTo(900, 5, 905, 6) + " mousemove_relative -- -5 394"), 0);
    ASSERT_TRUE(s.loop.runUntil([&] { return changes.size() == 2; }, 2000ms));
    EXPECT_EQ(changes[1], std::make_pair(std::string("screen"), false));
}

TEST(X11StripFactsTest, TrayIconsAreTheWindowsTheTrayHostEmbeds) {
    Session s;
    EXPECT_TRUE(s.facts->trayIconFrames().empty()) << "no tray host";

    const std::string pidFile = "/tmp/quorvel-strip-trayer-" + std::to_string(::getpid());
    ASSERT_EQ(s.server.run("trayer --edge top --align right --widthtype request --height 24 --SetDockType true "
                           ">/dev/null 2>&1 & echo $! > " + pidFile),
              0);
    std::ifstream(pidFile) >> s.trayerPid;
    std::remove(pidFile.c_str());
    const xcb_atom_t selection = s.connection->atom("_NET_SYSTEM_TRAY_S0");
    xcb_connection_t* c = s.connection->raw();
    auto owner = [&] {
        std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> reply(
            xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr), &std::free);
        return reply ? reply->owner : xcb_window_t{XCB_WINDOW_NONE};
    };
    ASSERT_TRUE(XServer::waitFor([&] { return owner() != XCB_WINDOW_NONE; }));
    EXPECT_TRUE(s.facts->trayIconFrames().empty()) << "a tray with no icons";

    // An icon of our own, docked as XEmbed clients do.
    const xcb_window_t icon = xcb_generate_id(c);
    const std::uint32_t background = s.connection->screen()->white_pixel;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, icon, s.connection->root(), 0, 0, 22, 22, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL, &background);
    xcb_size_hints_t hints{};
    xcb_icccm_size_hints_set_min_size(&hints, 22, 22);
    xcb_icccm_size_hints_set_size(&hints, 0, 22, 22);
    xcb_icccm_set_wm_normal_hints(c, icon, &hints);
    const xcb_atom_t embedInfo = s.connection->atom("_XEMBED_INFO");
    const std::uint32_t info[] = {0, 1}; // version 0, mapped
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, icon, embedInfo, embedInfo, 32, 2, info);
    xcb_client_message_event_t dock{};
    dock.response_type = XCB_CLIENT_MESSAGE;
    dock.format = 32;
    dock.window = owner();
    dock.type = s.connection->atom("_NET_SYSTEM_TRAY_OPCODE");
    dock.data.data32[0] = XCB_CURRENT_TIME;
    dock.data.data32[1] = 0; // request dock
    dock.data.data32[2] = icon;
    xcb_send_event(c, 0, dock.window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&dock));
    s.connection->flush();

    std::vector<Rect> icons;
    ASSERT_TRUE(XServer::waitFor([&] { return (icons = s.facts->trayIconFrames()).size() == 1; })) << "docked";
    // trayer may still be settling its own size: wait for it to sit at the top right.
    ASSERT_TRUE(XServer::waitFor([&] {
        icons = s.facts->trayIconFrames();
        return icons.size() == 1 && icons[0].width == 22 && icons[0].maxX() >= 1900 && icons[0].maxX() <= 1920;
    })) << "at the top right";
    EXPECT_LT(icons[0].minY(), 24);
    EXPECT_LE(icons[0].height, 24);
}

TEST(X11StripFactsTest, FullScreenIsTheActiveWindowsStateOnTheMonitorHoldingItsCentreAndTopPanelsInsetTheirMonitor) {
    Session s({.width = 3840, .height = 1080});
    ASSERT_EQ(s.server.run("xrandr --setmonitor LEFT 1920/508x1080/286+0+0 screen"), 0);
    ASSERT_EQ(s.server.run("xrandr --setmonitor RIGHT 1920/508x1080/286+1920+0 none"), 0);
    const Rect left{0, 0, 1920, 1080}, right{1920, 0, 1920, 1080};

    const ClientWindow window = s.server.openWindow({.title = "film"});
    xcb_ewmh_connection_t* ewmh = s.connection->ewmh();
    s.connection->sendRootMessage(window.window, ewmh->_NET_MOVERESIZE_WINDOW, (1u << 8) | (1u << 9) | 1, 2200, 100);
    s.connection->sendRootMessage(window.window, ewmh->_NET_ACTIVE_WINDOW, 2, XCB_CURRENT_TIME);
    ASSERT_TRUE(XServer::waitFor([&] { return s.server.activeWindow() == window.window; }));
    EXPECT_FALSE(s.facts->activeWindowFullScreen(right)) << "not full screen yet";

    s.connection->sendRootMessage(window.window, ewmh->_NET_WM_STATE, 1, ewmh->_NET_WM_STATE_FULLSCREEN);
    ASSERT_TRUE(XServer::waitFor([&] { return s.facts->activeWindowFullScreen(right); }));
    EXPECT_FALSE(s.facts->activeWindowFullScreen(left)) << "the other monitor shows no full-screen window";

    // A top panel on the right monitor only: the right monitor's visible frame starts below it.
    x11::X11Screens screens(*s.connection, s.loop);
    const ClientWindow panel = s.server.openWindow({.title = "panel", .width = 1920, .height = 28});
    const std::vector<std::uint32_t> strut{0, 0, 28, 0, 0, 0, 0, 0, 1920, 3839, 0, 0};
    xcb_change_property(s.connection->raw(), XCB_PROP_MODE_REPLACE, panel.window, ewmh->_NET_WM_STRUT_PARTIAL,
                        XCB_ATOM_CARDINAL, 32, 12, strut.data());
    s.connection->flush();
    auto visible = [&](const Rect& frame) {
        for (const ScreenInfo& screen : screens.screens())
            if (screen.frame == frame) return screen.visibleFrame;
        return Rect{};
    };
    ASSERT_TRUE(s.loop.runUntil([&] { return visible(right) == Rect{1920, 28, 1920, 1052}; }, 2000ms));
    EXPECT_EQ(visible(left), left);
}
