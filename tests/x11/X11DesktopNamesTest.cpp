// Automatic desktop names on a real X server: the desktop a file manager draws and a panel are
// part of the desktop, not applications the user works in, so neither names it when in front.
#include "X11Platform.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::x11test;

namespace {

class X11DesktopNamesTest : public ::testing::Test {
protected:
    void SetUp() override {
        QUORVEL_NEED_X_SERVER();
        server = std::make_unique<XServer>();
        platform = std::make_unique<X11Platform>(*server);
    }

    // Activates `window` the way a click does and waits until the backend has seen it.
    ::testing::AssertionResult bringToFront(const ClientWindow& window) {
        server->run("xdotool windowactivate " + std::to_string(window.window));
        if (platform->waitFor([&] { return platform->tracker->activeWindow() == window.window; }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the window manager did not activate " << window.window;
    }

    std::unique_ptr<XServer> server;
    std::unique_ptr<X11Platform> platform;
};

} // namespace

TEST_F(X11DesktopNamesTest, TheDesktopOrAPanelInFrontNeverNamesTheDesktop) {
    AutoNamer& namer = *platform->namer;
    const ClientWindow notes = server->openWindow({.title = "Notes"});
    ASSERT_TRUE(bringToFront(notes));
    const auto working = namer.currentSpaceAutoName();
    ASSERT_TRUE(working && working->ends_with("\u2014 Notes")) << working.value_or("(none)");
    namer.recordCurrentSpaceApp();

    // Drawn by a file manager over the whole screen, on every desktop and out of the taskbar.
    const ClientWindow drawn = server->openWindow(
        {.title = "Desktop", .width = 1920, .height = 1080,
         .extra = {"--type", "desktop", "--desktop", "all", "--state", "skip-taskbar"}});
    // A panel along the top edge, also on every desktop.
    const ClientWindow panel = server->openWindow(
        {.title = "Panel", .width = 1920, .height = 30, .extra = {"--type", "dock", "--desktop", "all"}});
    for (const ClientWindow& window : {drawn, panel}) {
        ASSERT_TRUE(bringToFront(window));
        EXPECT_EQ(platform->windowControl->kind(window.window).valueOr(WindowKind::standard), WindowKind::desktop);
        EXPECT_EQ(namer.currentSpaceAutoName(), std::nullopt) << window.window;
        namer.recordCurrentSpaceApp();
        EXPECT_EQ(namer.recordedName(1, true), working) << "the desktop keeps the name of the window behind";
    }
    const auto names = namer.autoNameAll(platform->spaces->getSpaces());
    EXPECT_EQ(names.at(1), "Desktop 1");

    ASSERT_TRUE(bringToFront(notes));
    EXPECT_EQ(namer.currentSpaceAutoName(), working);
}
