// Frames compared within a pixel, for every real-server test that checks where a window landed.
#pragma once

#include "platform/Types.h"

#include <gtest/gtest.h>

#include <cmath>

inline ::testing::AssertionResult near(const quorvel::Rect& actual, const quorvel::Rect& expected,
                                       double tolerance = 1.0) {
    if (std::abs(actual.x - expected.x) <= tolerance && std::abs(actual.y - expected.y) <= tolerance &&
        std::abs(actual.width - expected.width) <= tolerance && std::abs(actual.height - expected.height) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actual.description() << " is not within " << tolerance << " of "
                                         << expected.description();
}
