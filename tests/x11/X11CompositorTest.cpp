// Compositing manager detection on a real X server: none at first, then xcompmgr taking the
// screen's selection, then xcompmgr gone; and one already running before we look.
#include "CapturingLog.h"
#include "CompositorProcess.h"
#include "PollLoop.h"
#include "X11Compositor.h"
#include "X11Connection.h"
#include "XServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace std::chrono_literals;
using namespace quorvel;
using namespace quorvel::x11test;

namespace {

class X11CompositorTest : public ::testing::Test {
protected:
    void SetUp() override {
        QUORVEL_NEED_X_SERVER();
        if (!CompositorProcess::available()) {
            if (XServer::required()) FAIL() << "xcompmgr is not installed (scripts/quorvel test installs it)";
            GTEST_SKIP() << "xcompmgr is not installed";
        }
        server = std::make_unique<XServer>();
        connection = x11::X11Connection::open(server->display(), log);
        ASSERT_TRUE(connection);
        loop.watch(connection->fileDescriptor(), [this] { connection->dispatch(); });
    }

    sim::CapturingLog log;
    PollLoop loop;
    std::unique_ptr<XServer> server;
    std::unique_ptr<x11::X11Connection> connection;
};

} // namespace

TEST_F(X11CompositorTest, FollowsACompositorStartingAndEnding) {
    x11::X11Compositor compositor(*connection);
    std::vector<bool> heard;
    compositor.onChanged = [&](bool present) { heard.push_back(present); };
    EXPECT_FALSE(compositor.present()) << "Openbox composites nothing";
    ASSERT_TRUE(compositor.following());

    auto xcompmgr = std::make_unique<CompositorProcess>(*server);
    ASSERT_TRUE(loop.runUntil([&] { return compositor.present(); }, 3000ms));
    EXPECT_EQ(heard, std::vector<bool>{true});

    xcompmgr->stop();
    ASSERT_TRUE(loop.runUntil([&] { return !compositor.present(); }, 3000ms));
    EXPECT_EQ(heard, (std::vector<bool>{true, false}));

    // And again: following does not stop after the first one.
    xcompmgr = std::make_unique<CompositorProcess>(*server);
    ASSERT_TRUE(loop.runUntil([&] { return compositor.present(); }, 3000ms));
    EXPECT_EQ(heard, (std::vector<bool>{true, false, true}));
}

TEST_F(X11CompositorTest, SeesACompositorThatRanBefore) {
    CompositorProcess xcompmgr(*server);
    // A fresh look each time, until xcompmgr has taken its selection.
    EXPECT_TRUE(XServer::waitFor([&] { return x11::X11Compositor(*connection).present(); }));
}
