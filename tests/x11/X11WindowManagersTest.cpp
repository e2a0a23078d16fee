// The core tiling story under each window manager we support (Openbox, IceWM, Fluxbox): three
// windows, a fourth that splits a tile, a window on desktop 2, a swap. IceWM and Fluxbox keep a
// bar at the bottom, so the tiles must fit the work area they announce, and every frame must land
// on its tile whatever the window manager's decorations.
#include "TilingOnX11.h"

#include "tiling/DirectionalSearch.h"

#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>

using namespace quorvel;
using namespace quorvel::x11test;

namespace {

Rect bounding(const Rect& a, const Rect& b) {
    const double left = std::min(a.x, b.x), top = std::min(a.y, b.y);
    return {left, top, std::max(a.maxX(), b.maxX()) - left, std::max(a.maxY(), b.maxY()) - top};
}

constexpr double kGap = 8;

class X11WindowManagersTest : public ::testing::TestWithParam<XServer::Manager> {
protected:
    void SetUp() override {
        if (!XServer::available(GetParam())) {
            if (XServer::required()) FAIL() << XServer::name(GetParam()) << " is not installed";
            GTEST_SKIP() << XServer::name(GetParam()) << " is not installed";
        }
        // The size the bars were measured on.
        server = std::make_unique<XServer>(XServer::Options{.width = 1600, .height = 1000, .manager = GetParam()});
        area = workArea();
        platform = startTiling(*server);
        ASSERT_TRUE(platform->engine->isRunning());
    }

    // The window manager's own word on what is left for windows (desktop 1; its bar is on every one).
    Rect workArea() {
        Rect r;
        xcb_connection_t* c = xcb_connect(server->display().c_str(), nullptr);
        if (xcb_connection_has_error(c)) {
            ADD_FAILURE() << "cannot connect to " << server->display();
            xcb_disconnect(c);
            return r;
        }
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 13, "_NET_WORKAREA"), nullptr);
        auto* reply = atom ? xcb_get_property_reply(
                                 c, xcb_get_property(c, 0, root, atom->atom, XCB_ATOM_CARDINAL, 0, 4), nullptr)
                           : nullptr;
        if (reply && xcb_get_property_value_length(reply) >= 16) {
            const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
            r = {double(v[0]), double(v[1]), double(v[2]), double(v[3])};
        } else {
            ADD_FAILURE() << "the window manager publishes no _NET_WORKAREA";
        }
        std::free(reply);
        std::free(atom);
        xcb_disconnect(c);
        return r;
    }

    std::size_t leaves(SpaceId space) {
        const BSPTree* tree = platform->engine->view().tree(space);
        return tree ? tree->leafCount() : 0;
    }
    Rect frame(const ClientWindow& window) { return server->frameGeometry(window.window); }
    ::testing::AssertionResult landsOn(const ClientWindow& window, const Rect& tile) {
        return x11test::landsOn(*platform, *server, window.window, tile);
    }
    // Opens a window on desktop 1 and waits until the engine has tiled it and seen it focused.
    ClientWindow open(const char* title, std::size_t tiles) {
        const ClientWindow window = openTiled(*platform, *server, title);
        EXPECT_EQ(leaves(1), tiles) << title;
        return window;
    }

    // Tiles of the work area, gap 8 around and between.
    Rect whole() const { return {area.x + kGap, area.y + kGap, area.width - 2 * kGap, area.height - 2 * kGap}; }
    Rect leftHalf() const { return {area.x + kGap, area.y + kGap, (area.width - 3 * kGap) / 2, area.height - 2 * kGap}; }
    Rect rightHalf() const {
        const Rect left = leftHalf();
        return {left.maxX() + kGap, left.y, left.width, left.height};
    }
    Rect rightTop() const {
        const Rect right = rightHalf();
        return {right.x, right.y, right.width, (right.height - kGap) / 2};
    }
    Rect rightBottom() const {
        const Rect top = rightTop();
        return {top.x, top.maxY() + kGap, top.width, top.height};
    }

    std::unique_ptr<XServer> server;
    std::unique_ptr<X11Platform> platform;
    Rect area;
};

std::string managerName(const ::testing::TestParamInfo<XServer::Manager>& info) {
    return XServer::name(info.param);
}

} // namespace

TEST_P(X11WindowManagersTest, TheTilingStoryFitsTheWorkAreaAndEveryFrameLandsOnItsTile) {
    // IceWM's taskbar and Fluxbox's toolbar take a band at the bottom; Openbox keeps the screen.
    if (GetParam() == XServer::Manager::openbox) EXPECT_TRUE(near(area, {0, 0, 1600, 1000}, 0));
    else EXPECT_LT(area.height, 1000);

    const ClientWindow a = open("A", 1);
    const ClientWindow b = open("B", 2);
    const ClientWindow c = open("C", 3);
    EXPECT_TRUE(landsOn(a, leftHalf())) << frame(a).description();
    EXPECT_TRUE(landsOn(b, rightTop())) << frame(b).description();
    EXPECT_TRUE(landsOn(c, rightBottom())) << frame(c).description();

    // The fourth window splits the focused tile (C's): together they fill it, side by side or stacked.
    const ClientWindow d = open("D", 4);
    ASSERT_TRUE(platform->waitFor([&] {
        const Rect both = bounding(frame(c), frame(d));
        return near(both, rightBottom()) && frame(c).intersection(frame(d)).isEmpty();
    })) << frame(c).description() << " " << frame(d).description();
    EXPECT_TRUE(landsOn(a, leftHalf()));
    EXPECT_TRUE(landsOn(b, rightTop()));

    // A window on desktop 2 gets a tree of its own and the whole work area there.
    const ClientWindow other = server->openWindow({.title = "elsewhere", .desktop = 1});
    server->run("xdotool set_desktop 1");
    ASSERT_TRUE(platform->waitFor([&] { return leaves(2) == 1; }));
    EXPECT_TRUE(landsOn(other, whole())) << frame(other).description();
    EXPECT_EQ(leaves(1), 4u);
    server->run("xdotool set_desktop 0");

    // Swapping A to the right trades it with its neighbour there.
    std::map<std::uint32_t, Rect> before;
    for (const ClientWindow& w : {a, b, c, d}) before[w.window] = frame(w);
    ASSERT_EQ(server->run("xdotool windowactivate --sync " + std::to_string(a.window)), 0);
    ASSERT_TRUE(platform->waitFor([&] { return platform->engine->view().lastFocusedWindow(1) == WindowId(a.window); }));
    ASSERT_TRUE(platform->engine->swapFocusedWindow(Direction::right));
    // The neighbour lands on the left half and A on the neighbour's old tile (writes land one by one).
    const auto neighbour = [&]() -> std::optional<ClientWindow> {
        for (const ClientWindow& w : {b, c, d})
            if (near(frame(w), leftHalf())) return w;
        return std::nullopt;
    };
    ASSERT_TRUE(platform->waitFor([&] { return neighbour().has_value(); })) << frame(a).description();
    EXPECT_TRUE(landsOn(a, before[neighbour()->window])) << frame(a).description();
}

INSTANTIATE_TEST_SUITE_P(EachWindowManager, X11WindowManagersTest,
                         ::testing::Values(XServer::Manager::openbox, XServer::Manager::icewm,
                                           XServer::Manager::fluxbox),
                         managerName);

TEST_P(X11WindowManagersTest, MovesKeepTheSizeAndResizesKeepThePosition) {
    platform->engine->stop(); // our writes only
    const ClientWindow window = server->openWindow({.title = "alone", .width = 300, .height = 200});
    WindowControl& control = *platform->windowControl;
    const WindowId id = window.window;
    ASSERT_TRUE(platform->waitFor([&] { return platform->tracker->isManaged(window.window); }));
    ASSERT_TRUE(control.setFrame(id, Rect{40, 50, 500, 400}).ok());
    ASSERT_TRUE(landsOn(window, {40, 50, 500, 400})) << frame(window).description();

    // Moves one after the other, as the steps of a glide write them.
    for (const double x : {60.0, 90.0, 120.0}) {
        ASSERT_TRUE(control.setFrame(id, FrameChange{.origin = Point{x, x}}).ok());
        EXPECT_TRUE(landsOn(window, {x, x, 500, 400})) << frame(window).description();
    }
    ASSERT_TRUE(control.setFrame(id, FrameChange{.size = Size{360, 240}}).ok());
    EXPECT_TRUE(landsOn(window, {120, 120, 360, 240})) << frame(window).description();
    // A resize followed at once by a move: the move does not undo the resize on its way.
    ASSERT_TRUE(control.setFrame(id, FrameChange{.size = Size{420, 330}}).ok());
    ASSERT_TRUE(control.setFrame(id, FrameChange{.origin = Point{30, 40}}).ok());
    // Waited for without running the platform's loop: it hears of the landing only after the hand
    // resize below, as when the user is quicker than its events.
    EXPECT_TRUE(XServer::waitFor([&] { return near(frame(window), {30, 40, 420, 330}); }))
        << frame(window).description();

    // Resized by hand once the writes have landed: later moves keep the size the user gave it.
    ASSERT_EQ(server->run("xdotool windowsize " + std::to_string(window.window) + " 250 180"), 0);
    const auto handMade = [&] {
        const Rect client = server->clientGeometry(window.window);
        return client.width == 250 && client.height == 180;
    };
    ASSERT_TRUE(XServer::waitFor(handMade)) << server->clientGeometry(window.window).description();
    const Rect resized = frame(window);
    ASSERT_TRUE(control.setFrame(id, FrameChange{.origin = Point{70, 80}}).ok());
    EXPECT_TRUE(landsOn(window, {70, 80, resized.width, resized.height})) << frame(window).description();
    EXPECT_TRUE(handMade()) << server->clientGeometry(window.window).description();
}
