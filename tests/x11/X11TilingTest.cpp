// The tiling engine end to end on a real X server with a real window manager: windows opened by
// our test client are tiled, refitted, moved between desktops, minimised and restored, and their
// frames land on their tiles within a pixel.
#include "TilingOnX11.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>

using namespace quorvel;
using namespace quorvel::x11test;

namespace {

class X11TilingTest : public TilingOnX11Test {};


} // namespace

TEST_F(X11TilingTest, ThreeWindowsTileAsAOnTheLeftAndBOverCAndClosingBRefits) {
    const ClientWindow a = openTiled(*platform, *server, "A");
    const ClientWindow b = openTiled(*platform, *server, "B");
    const ClientWindow c = openTiled(*platform, *server, "C");

    EXPECT_TRUE(landsOn(a, kLeftHalf));
    EXPECT_TRUE(landsOn(b, kRightTop));
    EXPECT_TRUE(landsOn(c, kRightBottom));

    server->close(b);
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 2; }));
    EXPECT_TRUE(landsOn(a, kLeftHalf));
    EXPECT_TRUE(landsOn(c, kRightHalf));
}

TEST_F(X11TilingTest, AWindowOnDesktopTwoGetsItsOwnTree) {
    const ClientWindow a = server->openWindow({.title = "A"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 1; }));
    const ClientWindow other = server->openWindow({.title = "elsewhere", .desktop = 1});
    server->run("xdotool set_desktop 1");
    ASSERT_TRUE(platform->waitFor([&] { return leaves(2) == 1; }));
    EXPECT_EQ(leaves(1), 1u);
    EXPECT_TRUE(landsOn(other, {8, 8, 1904, 1064}));
    (void)a;
}

TEST_F(X11TilingTest, MinimisingAndRestoringGivesTheTileBack) {
    const ClientWindow a = server->openWindow({.title = "A"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 1; }));
    const ClientWindow b = server->openWindow({.title = "B"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 2; }));

    server->run("xdotool windowminimize " + std::to_string(b.window));
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 1; }));
    EXPECT_TRUE(landsOn(a, {8, 8, 1904, 1064}));

    server->run("xdotool windowactivate " + std::to_string(b.window));
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 2; }));
    EXPECT_TRUE(landsOn(b, kRightHalf));
}

TEST_F(X11TilingTest, AWindowDestroyedDuringARetileIsDroppedQuietly) {
    const ClientWindow a = server->openWindow({.title = "A"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 1; }));
    const ClientWindow b = server->openWindow({.title = "B"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 2; }));

    // Gone between the engine's last look and the retile: no event has been read yet.
    ::kill(b.pid, SIGKILL);
    ASSERT_TRUE(XServer::waitFor([&] { return server->clientGeometry(b.window).width == 0; }));
    platform->engine->retile(1, std::nullopt);
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 1; }));
    EXPECT_TRUE(platform->engine->isRunning());
    EXPECT_TRUE(landsOn(a, {8, 8, 1904, 1064}));
    EXPECT_TRUE(platform->connection->isAlive());
}

TEST_F(X11TilingTest, AdoptingANewWindowWaitsForTheServerOnlyAFewTimes) {
    // What the adoption asks about the window is read with its first reading, and the desktop and
    // screen answers stay known until they change: a handful of round trips, not one per question.
    ClientApp app = server->openApp({.title = "A"});
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 1; }));
    platform->loop.runFor(std::chrono::milliseconds(500)); // the first window's landing checks are over
    const std::uint64_t before = platform->connection->roundTrips();
    const ClientWindow b = server->openAnother(app, "B");
    ASSERT_TRUE(platform->waitFor([&] { return leaves(1) == 2; }));
    EXPECT_LE(platform->connection->roundTrips() - before, 10u);
    EXPECT_TRUE(landsOn(app.first, kLeftHalf));
    EXPECT_TRUE(landsOn(b, kRightHalf));
}
