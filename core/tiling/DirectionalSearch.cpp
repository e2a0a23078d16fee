// Neighbour search and the spotlight rule.
#include "tiling/DirectionalSearch.h"

#include <algorithm>

namespace quorvel {

std::optional<WindowId> DirectionalSearch::nearest(const Rect& from, const FrameMap& frames, Direction direction) {
    struct Candidate {
        WindowId id;
        double overlap;
        double gap;
    };
    std::optional<Candidate> best;
    for (const auto& [id, c] : frames) {
        if (c == from) continue;
        double gap = 0;
        double overlap = 0;
        switch (direction) {
        case Direction::left: gap = from.minX() - c.maxX(); break;
        case Direction::right: gap = c.minX() - from.maxX(); break;
        case Direction::up: gap = from.minY() - c.maxY(); break;
        case Direction::down: gap = c.minY() - from.maxY(); break;
        }
        if (gap < 0) continue;
        if (direction == Direction::left || direction == Direction::right)
            overlap = std::min(from.maxY(), c.maxY()) - std::max(from.minY(), c.minY());
        else
            overlap = std::min(from.maxX(), c.maxX()) - std::max(from.minX(), c.minX());
        if (!(overlap > 0)) continue;
        const Candidate candidate{id, overlap, gap};
        const bool better = !best || candidate.overlap > best->overlap ||
                            (candidate.overlap == best->overlap &&
                             (candidate.gap < best->gap || (candidate.gap == best->gap && candidate.id < best->id)));
        if (better) best = candidate;
    }
    if (!best) return std::nullopt;
    return best->id;
}

FrameMap Spotlight::apply(FrameMap frames, std::optional<WindowId> spotlit, const Rect& area) {
    if (spotlit && frames.size() > 1) {
        if (const auto it = frames.find(*spotlit); it != frames.end()) it->second = area;
    }
    return frames;
}

} // namespace quorvel
