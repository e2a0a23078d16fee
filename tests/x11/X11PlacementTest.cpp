// Placement on a real X server with a real window manager: the first window of a newly launched
// application splits the window focused before it, an application quitting with several windows
// retiles its desktop once, windows already on their tiles are not written, and a window the
// window manager will not put on its tile leaves the tree.
#include "TilingOnX11.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>

using namespace quorvel;
using namespace quorvel::x11test;

namespace {

class X11PlacementTest : public TilingOnX11Test {};

// A second client that sees what is asked of the window manager: a frame request sent to the root
// (as EWMH asks) reaches every client listening there for substructure changes.
class RootWatcher {
public:
    explicit RootWatcher(const std::string& display) : m_c(xcb_connect(display.c_str(), nullptr)) {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data;
        m_root = screen->root;
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_c, m_root, XCB_CW_EVENT_MASK, &mask);
        const char name[] = "_NET_MOVERESIZE_WINDOW";
        auto* reply = xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, sizeof name - 1, name), nullptr);
        m_moveResize = reply ? reply->atom : 0;
        std::free(reply);
        roundTrip();
    }
    ~RootWatcher() { xcb_disconnect(m_c); }
    RootWatcher(const RootWatcher&) = delete;
    RootWatcher& operator=(const RootWatcher&) = delete;

    // The frame requests seen since the last call, as (window, flags). Call after the sender synced:
    // a round trip here then has every one of them queued.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> frameRequests() {
        roundTrip();
        std::vector<std::pair<std::uint32_t, std::uint32_t>> seen;
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_c)) {
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event);
                if (message->type == m_moveResize) seen.emplace_back(message->window, message->data.data32[0]);
            }
            std::free(event);
        }
        return seen;
    }
    // Takes _NET_MOVERESIZE_WINDOW out of the window manager's _NET_SUPPORTED, as on a window
    // manager that does not know it.
    void unannounceMoveResize() {
        const char name[] = "_NET_SUPPORTED";
        auto* atom = xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, sizeof name - 1, name), nullptr);
        const xcb_atom_t supportedAtom = atom->atom;
        std::free(atom);
        auto* reply = xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, m_root, supportedAtom, XCB_ATOM_ATOM, 0, 4096), nullptr);
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        std::vector<xcb_atom_t> kept;
        for (int i = 0; i < xcb_get_property_value_length(reply) / 4; ++i)
            if (atoms[i] != m_moveResize) kept.push_back(atoms[i]);
        std::free(reply);
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, m_root, supportedAtom, XCB_ATOM_ATOM, 32,
                            static_cast<std::uint32_t>(kept.size()), kept.data());
        roundTrip();
    }

private:
    void roundTrip() { std::free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr)); }
    xcb_connection_t* m_c;
    xcb_window_t m_root = 0;
    xcb_atom_t m_moveResize = 0;
};

constexpr std::uint32_t kMoveXY = (1u << 8) | (1u << 9);
constexpr std::uint32_t kMoveWidthHeight = (1u << 10) | (1u << 11);

// Xvfb's 1920×1080 screen without a dock, gap 8.
const Rect kLeftTop{8, 8, 948, 528};
const Rect kLeftBottom{8, 544, 948, 528};

} // namespace

TEST_F(X11PlacementTest, TheFirstWindowOfANewProcessSplitsTheWindowFocusedBeforeIt) {
    const ClientWindow a = server->openWindow({.title = "A"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 1; }));
    const ClientWindow b = server->openWindow({.title = "B"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 2; }));
    // B took the focus when it opened; the user goes back to A.
    ASSERT_TRUE(platform->waitFor([&] { return platform->engine->view().lastFocusedWindow(1) == b.window; }));
    server->run("xdotool windowactivate --sync " + std::to_string(a.window));
    ASSERT_TRUE(platform->waitFor([&] { return platform->engine->view().lastFocusedWindow(1) == a.window; }));

    // A process of its own: the application is launched with this window, which takes the focus.
    const ClientWindow n = server->openWindow({.title = "N"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 3; }));
    EXPECT_TRUE(landsOn(a.window, kLeftTop));
    EXPECT_TRUE(landsOn(n.window, kLeftBottom));
    EXPECT_TRUE(landsOn(b.window, kRightHalf));
}

TEST_F(X11PlacementTest, AnApplicationWithThreeWindowsKilledRetilesTheDesktopOnce) {
    const ClientWindow a = server->openWindow({.title = "A"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 1; }));
    ClientApp app = server->openApp({.title = "one"});
    server->openAnother(app, "two");
    server->openAnother(app, "three");
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 4; }));
    platform->log.clear();

    ::kill(app.pid, SIGKILL);
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 1; }));
    EXPECT_TRUE(landsOn(a.window, {8, 8, 1904, 1064}));
    // The application's end is the last news of it (its windows are already gone).
    ASSERT_TRUE(platform->waitFor([&] {
        const auto gone = platform->workspace->runningApplication(app.pid);
        return !gone || gone->isTerminated;
    }));
    std::string tiling;
    for (const std::string& line : platform->log.lines("tiling")) tiling += line + "\n";
    EXPECT_EQ(platform->log.count("retile space 1:"), 1u) << tiling;
}

TEST_F(X11PlacementTest, WindowsOnTheirTilesAreNotWrittenAndAMovedOneGetsOneRequest) {
    const ClientWindow a = server->openWindow({.title = "A"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 1; }));
    const ClientWindow b = server->openWindow({.title = "B"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 2; }));
    const Rect leftHalf{8, 8, 948, 1064};
    ASSERT_TRUE(landsOn(a.window, leftHalf));
    ASSERT_TRUE(landsOn(b.window, kRightHalf));
    // The window manager moves the frame and the client in two requests: the platform reads the
    // client, which may follow the frame a moment later.
    const auto readOn = [&](std::uint32_t window, const Rect& tile) {
        const auto reading = platform->windowControl->frame(window);
        return reading.ok() && near(*reading, tile);
    };
    ASSERT_TRUE(platform->waitFor([&] { return readOn(a.window, leftHalf) && readOn(b.window, kRightHalf); }));
    RootWatcher watcher(server->display());

    platform->engine->retile(1, std::nullopt);
    platform->connection->sync();
    EXPECT_TRUE(watcher.frameRequests().empty()) << "both windows are on their tiles";

    server->run("xdotool windowmove " + std::to_string(b.window) + " 1000 100");
    ASSERT_TRUE(XServer::waitFor([&] { return server->frameGeometry(b.window).x != kRightHalf.x; }));
    platform->engine->retile(1, std::nullopt);
    platform->connection->sync();
    const auto requests = watcher.frameRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].first, b.window);
    // A move carries the size the window has (Fluxbox grows a window moved without one).
    EXPECT_EQ(requests[0].second & kMoveXY, kMoveXY);
    EXPECT_TRUE(landsOn(b.window, kRightHalf));
}

TEST_F(X11PlacementTest, WithoutMoveResizeAnnouncedWindowsArePlacedWithConfigureWindow) {
    RootWatcher watcher(server->display());
    watcher.unannounceMoveResize();
    const ClientWindow a = server->openWindow({.title = "A"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 1; }));
    const ClientWindow b = server->openWindow({.title = "B"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 2; }));
    EXPECT_TRUE(landsOn(a.window, {8, 8, 948, 1064}));
    EXPECT_TRUE(landsOn(b.window, kRightHalf));
    platform->connection->sync();
    EXPECT_TRUE(watcher.frameRequests().empty());
    EXPECT_EQ(platform->log.count("_NET_MOVERESIZE_WINDOW unavailable"), 1u);
}

TEST_F(X11PlacementTest, AWindowTheWindowManagerKeepsWiderThanItsTileIsDroppedAndTheOtherFillsTheScreen) {
    const ClientWindow a = server->openWindow({.title = "A"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 1; }));
    // Half the screen is 948 wide; the window manager keeps this one at least 1400 wide.
    const ClientWindow wide = server->openWindow({.title = "wide", .minimumSize = Size{1400, 200}});
    ASSERT_TRUE(platform->waitFor([&] { return platform->log.count("stay off their tiles") == 1; }));
    EXPECT_EQ(leaves(1), 1u);
    EXPECT_TRUE(landsOn(a.window, {8, 8, 1904, 1064}));
    EXPECT_FALSE(platform->engine->view().isTracked(wide.window));
    EXPECT_EQ(platform->log.count("windows [" + std::to_string(wide.window) + "] stay off their tiles"), 1u);
}
