// Pure helpers of the tiling commands: the neighbour of a tile in a direction, and the spotlight
// rule that zooms one window over the desktop.
#pragma once

#include "tiling/BSPTree.h"

#include <optional>

namespace quorvel {

enum class Direction { left, right, up, down }; // up is smaller y (window-server space)

namespace DirectionalSearch {
// The window wholly on that side of `from` that shares the most edge length with it; then the
// nearest; then the smallest id. Frames equal to `from` are never candidates.
std::optional<WindowId> nearest(const Rect& from, const FrameMap& frames, Direction direction);
} // namespace DirectionalSearch

namespace Spotlight {
// `frames` with the spotlit window's frame replaced by `area`, when it is among more than one window.
FrameMap apply(FrameMap frames, std::optional<WindowId> spotlit, const Rect& area);
} // namespace Spotlight

} // namespace quorvel
