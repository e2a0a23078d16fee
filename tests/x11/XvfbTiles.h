// The tiles of Xvfb's default 1920×1080 screen, which has no dock: the usable area is the whole
// screen and the gap is 8 around and between tiles.
#pragma once

#include "platform/Types.h"

namespace quorvel::x11test {

inline const Rect kLeftHalf{8, 8, 948, 1064};
inline const Rect kRightHalf{964, 8, 948, 1064};
inline const Rect kRightTop{964, 8, 948, 528};
inline const Rect kRightBottom{964, 544, 948, 528};

} // namespace quorvel::x11test
