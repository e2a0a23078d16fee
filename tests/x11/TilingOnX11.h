// What the real-server tiling tests share: frames compared within a pixel, and the platform
// started with tiling switched on.
#pragma once

#include "FrameNear.h"
#include "X11Platform.h"
#include "XvfbTiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

namespace quorvel::x11test {

// The platform on `server` with tiling on and the engine started (check isRunning()).
inline std::unique_ptr<X11Platform> startTiling(XServer& server) {
    auto platform = std::make_unique<X11Platform>(server);
    platform->defaults.set(Settings::tilingEnabledKey, true);
    platform->engine->start();
    return platform;
}

// Opens a window on desktop 1 and waits until it is tiled and the engine has seen it focused: a
// window opened next splits its tile, not the one focused before it.
inline ClientWindow openTiled(X11Platform& platform, XServer& server, const char* title) {
    const ClientWindow window = server.openWindow({.title = title});
    const bool tiled = platform.waitFor([&] {
        const BSPTree* tree = platform.engine->view().tree(1);
        return tree && tree->contains(window.window) && platform.engine->view().lastFocusedWindow(1) == window.window;
    });
    EXPECT_TRUE(tiled) << title << " was not tiled and focused";
    return window;
}

// Waits until the frame of `window` lands on `tile` (within a pixel). On a miss it says where the
// window is, every tree and what tiling logged: enough to tell a lost write from a wrong tile.
inline ::testing::AssertionResult landsOn(X11Platform& platform, XServer& server, std::uint32_t window,
                                          const Rect& tile) {
    if (platform.waitFor([&] { return near(server.frameGeometry(window), tile); }))
        return ::testing::AssertionSuccess();
    std::string trees;
    for (const auto& [key, tree] : platform.engine->view().treeMap())
        trees += " desktop " + std::to_string(key.space) + " monitor " + std::to_string(key.monitor) + ": " +
                 tree->describe();
    std::string tiling;
    for (const std::string& line : platform.log.lines("tiling")) tiling += line + "\n";
    return near(server.frameGeometry(window), tile) << " (window " << window << ";" << trees << ")\n" << tiling;
}

// A private server with tiling started; what each story asks of the trees and frames.
class TilingOnX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        QUORVEL_NEED_X_SERVER();
        server = std::make_unique<XServer>();
        platform = startTiling(*server);
        ASSERT_TRUE(platform->engine->isRunning());
    }

    const BSPTree* tree(SpaceId space) { return platform->engine->view().tree(space); }
    std::size_t leaves(SpaceId space) { return tree(space) ? tree(space)->leafCount() : 0; }
    ::testing::AssertionResult landsOn(std::uint32_t window, const Rect& tile) {
        return x11test::landsOn(*platform, *server, window, tile);
    }
    ::testing::AssertionResult landsOn(const ClientWindow& window, const Rect& tile) {
        return landsOn(window.window, tile);
    }

    std::unique_ptr<XServer> server;
    std::unique_ptr<X11Platform> platform;
};

} // namespace quorvel::x11test
