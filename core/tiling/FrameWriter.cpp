// Frame writes for the tiling engine: placing windows, landing animations with the fewest writes,
// and judging windows that refuse to move. Neighbours: TilingRetile.cpp decides the frames.
#include "tiling/FrameWriter.h"

#include "tiling/WindowTracker.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

using tiling::kCategory;

namespace {
std::string bracketed(const std::vector<WindowId>& ids) {
    std::string out = "[";
    for (std::size_t i = 0; i < ids.size(); ++i) out += (i ? ", " : "") + std::to_string(ids[i]);
    return out + "]";
}

bool within(double a, double b, double tolerance) { return std::abs(a - b) <= tolerance; }

// A size that moves in steps stops short of its tile, never past it: `actual` fits `target` when
// it is at most `slack` larger and less than `shortfall` smaller.
bool sizeFits(double actual, double target, double slack, double shortfall) {
    const double missing = target - actual;
    return missing >= -slack && missing < shortfall;
}
} // namespace

FrameWriter::FrameWriter(const TilingContext& context, const TilingRun& run, WindowTracker& tracker,
                         Listener& listener)
    : m_ctx(context), m_run(run), m_tracker(tracker), m_listener(listener) {
    m_tracker.onForget = [this](WindowId window) { forgetWindow(window); };
}

FrameWriter::~FrameWriter() { m_tracker.onForget = nullptr; }

void FrameWriter::stop() {
    for (auto& [space, animator] : m_animators) animator->cancel();
    m_animators.clear();
    // Checks still to come belong to this run: none of them judges anything now.
    for (auto& [space, check] : m_landedChecks) ++check;
    m_asked.clear();
}

bool FrameWriter::setFrame(WindowId window, const Rect& rect) {
    return write(window, FrameChange{rect.origin(), rect.size()}, rect);
}

bool FrameWriter::write(WindowId window, const FrameChange& change, const Rect& target) {
    m_asked[window] = target;
    const FrameWritten written = m_ctx.windows.setFrame(window, change);
    if (!written.ok()) {
        m_ctx.log.error(kCategory, "setFrame refused: pos=%s size=%s rect=%s", written.origin.name(),
                        written.size.name(), target.description());
        return false;
    }
    return true;
}

std::optional<Rect> FrameWriter::currentFrame(WindowId window) {
    const auto frame = m_ctx.windows.frame(window);
    if (!frame) return std::nullopt;
    return *frame;
}

std::vector<WindowId> FrameWriter::applyFrames(const FrameMap& frames) {
    std::vector<WindowId> refused;
    std::vector<WindowId> tracked;
    for (const auto& [id, rect] : frames) {
        if (m_tracker.isTracked(id)) tracked.push_back(id);
        else refused.push_back(id);
    }
    // Where every window is now, in one read: a window already on its tile is not written, and
    // the others get only the part that differs.
    const auto current = m_ctx.windows.frames(tracked);
    for (const WindowId id : tracked) {
        const Rect& target = frames.at(id);
        FrameChange change{target.origin(), target.size()};
        if (const auto now = current.find(id); now != current.end()) {
            // Within half a pixel (the server's pixels), or a size short of the tile by less than
            // the window's size step, writing again would change nothing, unless another frame
            // asked of the window may still land on top of it.
            const Rect& at = now->second.frame;
            const Size step = now->second.sizeStep;
            const auto asked = m_asked.find(id);
            if (asked != m_asked.end() && asked->second != target) {
                if (!write(id, change, target)) refused.push_back(id);
                continue;
            }
            if (within(at.x, target.x, 0.5) && within(at.y, target.y, 0.5)) change.origin.reset();
            if (sizeFits(at.width, target.width, 0.5, std::max(0.5, step.width - 0.5)) &&
                sizeFits(at.height, target.height, 0.5, std::max(0.5, step.height - 0.5)))
                change.size.reset();
            if (!change.origin && !change.size) continue;
        }
        if (!write(id, change, target)) refused.push_back(id);
    }
    return refused;
}

void FrameWriter::checkLanded(TreeKey tree, FrameMap frames, double gap) {
    const std::uint64_t check = ++m_landedChecks[tree];
    m_ctx.scheduler.after(kLandedCheckDelay,
                          m_lifetime.guard([this, tree, check, frames = std::move(frames), gap] {
                              judgeLanded(tree, check, frames, gap, std::nullopt);
                          }));
}

void FrameWriter::judgeLanded(TreeKey tree, std::uint64_t check, const FrameMap& frames, double gap,
                              const std::optional<FrameMap>& firstLook) {
    if (!m_run.running || m_landedChecks[tree] != check || m_animators.contains(tree)) return;
    std::vector<WindowId> windows;
    for (const auto& [id, rect] : frames)
        if (m_tracker.isTracked(id)) windows.push_back(id);
    const auto landed = m_ctx.windows.frames(windows);
    FrameMap off;
    FrameMap seen;
    for (const auto& [id, reading] : landed) {
        const Rect& tile = frames.at(id);
        // A window whose size moves in steps lands up to a step short of its tile, never larger.
        const double dx = std::max(1.0, reading.sizeStep.width);
        const double dy = std::max(1.0, reading.sizeStep.height);
        const Rect& at = reading.frame;
        if (within(at.x, tile.x, dx) && within(at.y, tile.y, dy) && sizeFits(at.width, tile.width, 1.0, dx) &&
            sizeFits(at.height, tile.height, 1.0, dy))
            continue;
        // Refused is off its tile and staying put: a window still on the move (the window manager
        // busy, the user dragging it) is not judged.
        if (firstLook) {
            const auto before = firstLook->find(id);
            const Rect& was = before != firstLook->end() ? before->second : Rect{};
            if (before == firstLook->end() || !within(was.x, at.x, 1) || !within(was.y, at.y, 1) ||
                !within(was.width, at.width, 1) || !within(was.height, at.height, 1))
                continue;
        }
        off[id] = tile;
        seen[id] = at;
    }
    if (off.empty()) return;
    if (!firstLook) {
        // Look once more, later, without writing again.
        m_ctx.scheduler.after(kLandedRecheckDelay,
                              m_lifetime.guard([this, tree, check, off = std::move(off), seen = std::move(seen), gap] {
                                  judgeLanded(tree, check, off, gap, seen);
                              }));
        return;
    }
    std::vector<WindowId> refused;
    for (const auto& [id, tile] : off) refused.push_back(id);
    m_ctx.log.error(kCategory, "retile space %llu: windows %s stay off their tiles — dropping them",
                    tree.space, bracketed(refused));
    for (const WindowId id : refused) m_tracker.setAside(id);
    m_listener.dropWindows(tree, refused, gap);
}

std::vector<WindowId> FrameWriter::landFrames(const FrameMap& frames, const FrameAnimator* animator,
                                              const std::map<WindowId, Rect>& settled) {
    std::vector<WindowId> refused;
    for (const auto& [id, target] : frames) {
        if (!m_tracker.isTracked(id)) {
            refused.push_back(id);
            continue;
        }
        std::optional<Rect> known = animator ? animator->writtenFrame(id) : std::nullopt;
        if (const auto it = settled.find(id); !known && it != settled.end()) known = it->second;
        if (!known) {
            if (!setFrame(id, target)) refused.push_back(id);
            continue;
        }
        // Only what still differs (the last steps of a glide stop a fraction short).
        FrameChange change;
        if (known->size() != target.size()) change.size = target.size();
        if (known->origin() != target.origin()) change.origin = target.origin();
        if (!change.size && !change.origin) continue;
        if (!write(id, change, target)) refused.push_back(id);
    }
    return refused;
}

void FrameWriter::animate(TreeKey space, std::vector<FrameAnimator::Move> moves,
                          std::function<void(const FrameAnimator* finished)> landed) {
    cancelAnimation(space);
    auto animator = std::make_shared<FrameAnimator>(
        std::move(moves),
        m_lifetime.guard([this, space, landed = std::move(landed)] {
            if (!m_run.running) return;
            // Keep the animator alive until this completion returns.
            const auto self = m_animators.find(space);
            const std::shared_ptr<FrameAnimator> finished = self != m_animators.end() ? self->second : nullptr;
            m_animators.erase(space);
            landed(finished.get());
        }),
        m_ctx.windows, m_ctx.scheduler, m_ctx.log);
    m_animators[space] = animator;
    const std::weak_ptr<FrameAnimator> weakAnimator = animator;
    m_ctx.scheduler.post(m_lifetime.guard([this, space, weakAnimator] {
        const auto it = m_animators.find(space);
        const auto animatorNow = weakAnimator.lock();
        if (animatorNow && it != m_animators.end() && it->second == animatorNow) animatorNow->start();
    }));
}

void FrameWriter::cancelAnimation(TreeKey space) {
    const auto it = m_animators.find(space);
    if (it == m_animators.end()) return;
    it->second->cancel();
    m_animators.erase(it);
}

void FrameWriter::cancelAnimations(SpaceId space) {
    std::vector<TreeKey> keys;
    for (const auto& [key, animator] : m_animators)
        if (key.space == space) keys.push_back(key);
    for (const TreeKey key : keys) cancelAnimation(key);
}

bool FrameWriter::isAnimating(SpaceId space) const {
    return std::any_of(m_animators.begin(), m_animators.end(), [space](const auto& entry) { return entry.first.space == space; });
}

void FrameWriter::dropUnresponsive(TreeKey space, const std::vector<WindowId>& refused, std::size_t leafCount,
                                   double gap) {
    if (refused.empty()) return;
    // The tiles change without them: what the last check would compare is out of date.
    ++m_landedChecks[space];
    if (refused.size() == leafCount && !m_ctx.windows.isAvailable()) {
        m_ctx.log.error(kCategory, "retile space %llu: all %ld window(s) refused and the window manager is gone — pausing tiling",
                        space.space, static_cast<long>(refused.size()));
        m_listener.accessLost();
        return;
    }
    m_ctx.log.error(kCategory, "retile space %llu: dropping unresponsive windows %s", space.space, bracketed(refused));
    m_listener.dropWindows(space, refused, gap);
}

} // namespace quorvel
