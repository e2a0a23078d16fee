// The desktop strip in the running app on two monitors: one strip per monitor, tabs that switch
// desktops, and in hover mode a strip revealed and hidden by the pointer at the top edge without
// any window of ours standing between the user's clicks and the windows beneath.
#include "AppFixture.h"
#include "strip/StripLayout.h"

#include <xcb/xcb.h>

#include <chrono>
#include <fstream>
#include <sstream>

using namespace quorvel;
using namespace quorvel::x11test;
using namespace std::chrono_literals;

namespace {

constexpr Rect kLeft{0, 0, 1920, 1080};
constexpr Rect kRight{1920, 0, 1920, 1080};

class StripAppTest : public AppFixture {
protected:
    void startTwoMonitors() {
        startServer({.width = 3840, .height = 1080});
        ASSERT_EQ(server->run("xrandr --setmonitor '*LEFT' 1920/508x1080/286+0+0 screen"), 0);
        ASSERT_EQ(server->run("xrandr --setmonitor RIGHT 1920/508x1080/286+1920+0 none"), 0);
    }

    struct Strip {
        std::uint32_t window = 0;
        Rect frame;
    };
    // The strips shown now, by the monitor holding each one's centre.
    std::map<std::string, Strip> visibleStrips() {
        std::map<std::string, Strip> strips;
        std::istringstream ids(output("xdotool search --onlyvisible --name '^Quorvel strip$'"));
        for (std::string id; ids >> id;) {
            const auto window = static_cast<std::uint32_t>(std::stoul(id));
            const Rect frame = server->clientGeometry(window);
            strips[frame.x + frame.width / 2 < 1920 ? "left" : "right"] = {window, frame};
        }
        return strips;
    }

    // Moves the pointer as a mouse does: XTest's absolute moves make no raw motion on Xvfb.
    void movePointer(int fromX, int fromY, int x, int y) {
        ASSERT_EQ(server->run("xdotool mousemove " + std::to_string(fromX) + " " + std::to_string(fromY) +
                              " mousemove_relative -- " + std::to_string(x - fromX) + " " + std::to_string(y - fromY)),
                  0);
    }

    // Neither listed as a window to tile nor able to take the focus.
    void expectNeverTiledNorFocused(const Strip& strip) {
        EXPECT_NE(property(strip.window, "_NET_WM_WINDOW_TYPE").find("_NET_WM_WINDOW_TYPE_DOCK"), std::string::npos);
        EXPECT_NE(property(strip.window, "WM_HINTS").find("accepts input or input focus: False"), std::string::npos)
            << property(strip.window, "WM_HINTS");
        EXPECT_NE(activeWindow(), strip.window);
        EXPECT_EQ(property(strip.window, "_NET_WM_STRUT_PARTIAL").find("= "), std::string::npos) << "reserves no space";
    }
};

} // namespace

TEST_F(StripAppTest, EachMonitorShowsAStripAndATabOnTheRightMonitorSwitchesEveryMonitorsDesktop) {
    startTwoMonitors();
    writeDefaults({{"strip_dev", true}, {"strip_mode", "alwaysOn"}});
    startApp();
    std::map<std::string, Strip> strips;
    ASSERT_TRUE(XServer::waitFor([&] { return (strips = visibleStrips()).size() == 2; }, 5s)) << app->output();
    for (const auto& [monitor, strip] : strips) {
        const Rect& screen = monitor == "left" ? kLeft : kRight;
        EXPECT_GE(strip.frame.minX(), screen.minX()) << monitor;
        EXPECT_LE(strip.frame.maxX(), screen.maxX()) << monitor;
        EXPECT_LT(strip.frame.minY(), 40) << monitor << ": hangs from the top edge";
        EXPECT_GT(strip.frame.height, 0);
    }

    // Where core lays out the tab of desktop 3: the strip's width tells the density it chose.
    const Strip right = strips.at("right");
    StripPresentation presentation;
    for (int i = 1; i <= 4; ++i) presentation.tabs.push_back({.spaceID = SpaceId(i), .index = i, .name = "Desktop " + std::to_string(i)});
    presentation.actualCurrentSpaceID = 1;
    for (const MenuDensity density : {MenuDensity::full, MenuDensity::focused, MenuDensity::minimal})
        if (std::abs(stripWidth(4, density, true, 0) - right.frame.width) < 1) presentation.density = density;
    const std::vector<StripTabLayout> tabs = layOutStrip(presentation);
    ASSERT_EQ(tabs.size(), 4u);
    EXPECT_EQ(stripFrame(kRight, 0, StripAlignment::centre, right.frame.width).x, right.frame.x) << "centred";
    const Rect tab = tabs[2].frame;
    ASSERT_EQ(currentDesktop(), 0);
    ASSERT_EQ(server->run("xdotool mousemove " + std::to_string(int(right.frame.x + tab.x + tab.width / 2)) + " " +
                          std::to_string(int(right.frame.y + tab.y + tab.height / 2)) + " click 1"),
              0);
    EXPECT_TRUE(XServer::waitFor([&] { return currentDesktop() == 2; })) << app->output();
    EXPECT_EQ(visibleStrips().size(), 2u) << "on every desktop";
    for (const auto& [monitor, strip] : visibleStrips()) expectNeverTiledNorFocused(strip);
}

TEST_F(StripAppTest, PointingAtTheTopEdgeRevealsThatMonitorsStripWhileClicksThereStillReachTheWindowBeneath) {
    startTwoMonitors();
    writeDefaults({{"strip_dev", true}, {"strip_mode", "onHover"}, {"tiling_enabled", false}});
    // A maximised terminal across the top edge that writes down the clicks it gets (mouse reporting
    // on); under its 20-pixel title bar, its own area starts inside the 24-pixel trigger region.
    const std::string clicks = (home / "clicks").string();
    ASSERT_EQ(server->run("xterm -maximized -title maxterm -e sh -c \"stty raw -echo; printf '\\033[?1000h'; exec cat -v > " + clicks +
                          "\" >/dev/null 2>&1 &"),
              0);
    std::string id;
    ASSERT_TRUE(XServer::waitFor([&] { return !(id = output("xdotool search --onlyvisible --name '^maxterm$'")).empty(); }, 5s));
    const auto terminal = static_cast<std::uint32_t>(std::stoul(id));
    ASSERT_TRUE(XServer::waitFor([&] { return server->frameGeometry(terminal).width >= 1900; }));
    ASSERT_EQ(server->run("xdotool windowmove " + id + " 0 0"), 0); // Openbox opened it on the other monitor
    ASSERT_TRUE(XServer::waitFor([&] {
        const Rect frame = server->frameGeometry(terminal);
        return frame.minY() == 0 && frame.minX() == 0 && frame.width >= 1900 && server->clientGeometry(terminal).minY() < 24;
    })) << server->frameGeometry(terminal).x << "," << server->frameGeometry(terminal).y << " "
        << server->frameGeometry(terminal).width << "x" << server->frameGeometry(terminal).height;

    startApp();
    EXPECT_TRUE(visibleStrips().empty()) << "hidden until pointed at";

    using Clock = std::chrono::steady_clock;
    // Timed from when the move has been made: at most the true delay, never more.
    movePointer(960, 500, 960, 0);
    const auto pointed = Clock::now();
    std::map<std::string, Strip> strips;
    ASSERT_TRUE(XServer::waitFor([&] { return !(strips = visibleStrips()).empty(); }, 3s)) << app->output();
    const auto revealAfter = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - pointed);
    EXPECT_EQ(strips.count("left"), 1u);
    EXPECT_EQ(strips.size(), 1u) << "only the monitor pointed at";
    EXPECT_GE(revealAfter.count(), 90) << "revealed after a short rest, not at once";
    std::cerr << "strip revealed " << revealAfter.count() << " ms after the pointer reached the top edge\n";

    // A click at the top edge beside the strip lands in the terminal beneath.
    const Strip left = strips.at("left");
    const int x = left.frame.minX() > 620 ? 600 : static_cast<int>(left.frame.maxX()) + 20;
    movePointer(960, 0, x, 22);
    ASSERT_EQ(server->run("xdotool click 1"), 0);
    EXPECT_TRUE(XServer::waitFor([&] {
        std::ifstream in(clicks);
        std::stringstream text;
        text << in.rdbuf();
        return text.str().find("^[[M") != std::string::npos;
    })) << "the terminal did not get the click";
    expectNeverTiledNorFocused(left);

    movePointer(x, 22, x, 600);
    const auto leftAt = Clock::now();
    ASSERT_TRUE(XServer::waitFor([&] { return visibleStrips().empty(); }, 3s));
    const auto hideAfter = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - leftAt);
    EXPECT_GE(hideAfter.count(), 650) << "kept a while after the pointer left";
    std::cerr << "strip hidden " << hideAfter.count() << " ms after the pointer left\n";
}
