// What the real-server tiling tests share: frames compared within a pixel, and the platform
// started with tiling switched on.
#pragma once

#include "X11Platform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace quorvel::x11test {

inline ::testing::AssertionResult near(const Rect& actual, const Rect& expected, double tolerance = 1.0) {
    if (std::abs(actual.x - expected.x) <= tolerance && std::abs(actual.y - expected.y) <= tolerance &&
        std::abs(actual.width - expected.width) <= tolerance && std::abs(actual.height - expected.height) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actual.description() << " is not within " << tolerance << " of "
                                         << expected.description();
}

// The platform on `server` with tiling on and the engine started (check isRunning()).
inline std::unique_ptr<X11Platform> startTiling(XServer& server) {
    auto platform = std::make_unique<X11Platform>(server);
    platform->defaults.set(Settings::tilingEnabledKey, true);
    platform->engine->start();
    return platform;
}

} // namespace quorvel::x11test
