// Arranged tiles across restarts of the real app: killed and started again over the same windows,
// and started again while the windows themselves are opened again with their titles.
#include "AppFixture.h"
#include "XvfbTiles.h"
#include "tiling/LayoutMemory.h"

#include <csignal>
#include <map>

using namespace quorvel;
using namespace quorvel::x11test;
using namespace std::chrono_literals;

namespace {

const std::vector<std::string> kTitles{"one", "two", "three", "four"};

class LayoutRestoreAppTest : public AppFixture {
protected:
    std::map<std::string, Rect> framesByTitle() {
        std::map<std::string, Rect> frames;
        for (std::size_t i = 0; i < windows.size(); ++i) frames[kTitles[i]] = server->frameGeometry(windows[i].window);
        return frames;
    }
    bool framesAre(const std::map<std::string, Rect>& expected) {
        return XServer::waitFor([&] {
            const auto now = framesByTitle();
            for (const auto& [title, frame] : expected)
                if (!near(now.at(title), frame)) return false;
            return true;
        }, 5s);
    }
    std::string describe(const std::map<std::string, Rect>& expected) {
        std::string text;
        const auto now = framesByTitle();
        for (const auto& [title, frame] : expected)
            text += title + " expected " + frame.description() + ", is " + now.at(title).description() + "\n";
        return text;
    }
    // Whether the defaults file holds a saved tree that lays out to exactly these frames (the whole
    // screen, gap 8), each leaf marked with its window's id and title.
    bool savedAs(const std::map<std::string, Rect>& expected, std::chrono::milliseconds timeout = 5s) {
        return XServer::waitFor([&] {
            const auto defaults = readDefaults();
            if (!defaults.is_object() || !defaults.contains(layout::kDefaultsKey)) return false;
            const auto saved = layout::fromJson(defaults[layout::kDefaultsKey]);
            if (!saved || saved->size() != 1) return false;
            const SavedTree& tree = saved->begin()->second;
            const FrameMap frames = tree.shape->layout(Rect{0, 0, 1920, 1080}.insetBy(8, 8), 8);
            if (frames.size() != expected.size()) return false;
            for (const auto& [leaf, frame] : frames) {
                const WindowMark& mark = tree.marks.at(leaf - 1);
                if (!expected.contains(mark.title) || !near(expected.at(mark.title), frame)) return false;
            }
            return true;
        }, timeout);
    }

    std::vector<ClientWindow> windows;
};

} // namespace

TEST_F(LayoutRestoreAppTest, ArrangedTilesComeBackAfterAKillAndWhenTheWindowsAreOpenedAgain) {
    startServer();
    for (const std::string& title : kTitles) windows.push_back(server->openWindow({.title = title}));
    writeDefaults({{"tiling_enabled", true}});
    startApp();
    ASSERT_TRUE(app->waitForLine("retile space 1: 4 window(s)")) << app->output();
    const auto onLeftHalf = [&](const ClientWindow& w) { return near(server->frameGeometry(w.window), kLeftHalf); };
    ASSERT_TRUE(XServer::waitFor([&] { return std::any_of(windows.begin(), windows.end(), onLeftHalf); }));

    // A shape of the user's making: the window on the left swapped right, its new pair flipped.
    const auto plain = framesByTitle();
    const auto onLeft = std::find_if(windows.begin(), windows.end(), onLeftHalf);
    ASSERT_NE(onLeft, windows.end());
    focusSeenByApp(onLeft->window);
    press("alt+shift+Right", "swap_right");
    ASSERT_TRUE(XServer::waitFor([&] { return !onLeftHalf(*onLeft); }));
    const Rect swapped = server->frameGeometry(onLeft->window);
    press("alt+shift+j", "toggle_split");
    // Landed and saved: what the defaults file holds lays out to what is on the screen.
    std::map<std::string, Rect> arranged;
    ASSERT_TRUE(XServer::waitFor([&] {
        arranged = framesByTitle();
        return !near(arranged.at(kTitles[onLeft - windows.begin()]), swapped) && savedAs(arranged, 0ms);
    }, 5s)) << describe(arranged) << readDefaults().dump() << app->output();
    ASSERT_NE(arranged, plain);

    // Killed: nothing is written on the way out; started again over the same windows.
    ASSERT_TRUE(app->stop(SIGKILL));
    startApp();
    EXPECT_TRUE(framesAre(arranged)) << describe(arranged) << app->output();
    EXPECT_TRUE(app->waitForLine("restore of space 1: 4 of 4 saved tile(s) taken")) << app->output();

    // Killed again, the windows closed; the app starts and the windows come back one by one, in
    // another order, with new ids and their old titles.
    ASSERT_TRUE(app->stop(SIGKILL));
    for (const ClientWindow& w : windows) server->close(w);
    startApp();
    for (const std::size_t i : {2u, 0u, 3u, 1u}) windows[i] = server->openWindow({.title = kTitles[i]});
    EXPECT_TRUE(framesAre(arranged)) << describe(arranged) << app->output();
    EXPECT_TRUE(savedAs(arranged)) << readDefaults().dump();
    EXPECT_EQ(app->stop(SIGTERM), 0);
}
