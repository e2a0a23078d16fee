// The harness itself: a private server with an EWMH window manager, and our client's windows.
#include "X11Connection.h"
#include "XServer.h"
#include "CapturingLog.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::x11test;

TEST(XServerTest, StartsAServerWithAnEWMHWindowManagerAndManagesOurWindows) {
    XServer server;
    sim::CapturingLog log;
    const auto connection = x11::X11Connection::open(server.display(), log);
    ASSERT_TRUE(connection);
    EXPECT_TRUE(connection->hasEWMHWindowManager());
    EXPECT_EQ(connection->cardinal(connection->root(), connection->ewmh()->_NET_NUMBER_OF_DESKTOPS), 4u);

    const ClientWindow window = server.openWindow({.title = "Hello", .width = 500, .height = 300});
    EXPECT_EQ(connection->windowTitle(window.window), "Hello");
    EXPECT_EQ(connection->windowPid(window.window), static_cast<std::uint32_t>(window.pid));
    EXPECT_EQ(connection->applicationName(window.window), "QuorvelTestClient");
    ASSERT_TRUE(XServer::waitFor([&] { return server.clientGeometry(window.window).width == 500; }));
    const Rect frame = server.frameGeometry(window.window);
    const auto seen = connection->frameRect(window.window);
    ASSERT_TRUE(seen);
    EXPECT_EQ(*seen, frame) << "the frame as our connection sees it matches the real one";

    const auto start = std::chrono::steady_clock::now();
    server.close(window);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_FALSE(connection->frameRect(window.window)) << "a vanished window answers none";
    EXPECT_TRUE(connection->isAlive());
}

TEST(XServerTest, LosingTheServerIsReportedOnceAndNothingCrashes) {
    XServer server;
    sim::CapturingLog log;
    const auto connection = x11::X11Connection::open(server.display(), log);
    ASSERT_TRUE(connection);
    const ClientWindow window = server.openWindow();
    int lost = 0;
    connection->onConnectionLost = [&] { ++lost; };

    server.kill();
    EXPECT_TRUE(XServer::waitFor([&] { return !connection->dispatch(); }));
    EXPECT_FALSE(connection->windowTitle(window.window)) << "reads of a dead connection answer none";
    EXPECT_FALSE(connection->frameRect(window.window));
    EXPECT_FALSE(connection->isAlive());
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(log.count("lost the connection to the X server"), 1u);
}
