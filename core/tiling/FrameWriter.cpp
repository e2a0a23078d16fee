// Frame writes for the tiling engine: placing windows, landing animations with the fewest writes,
// and judging windows that refuse to move. Neighbours: TilingRetile.cpp decides the frames.
#include "tiling/FrameWriter.h"

#include "tiling/WindowTracker.h"

#include <algorithm>

namespace quorvel {

using tiling::kCategory;

namespace {
std::string bracketed(const std::vector<WindowId>& ids) {
    std::string out = "[";
    for (std::size_t i = 0; i < ids.size(); ++i) out += (i ? ", " : "") + std::to_string(ids[i]);
    return out + "]";
}
} // namespace

FrameWriter::FrameWriter(const TilingContext& context, const TilingRun& run, const WindowTracker& tracker,
                         Listener& listener)
    : m_ctx(context), m_run(run), m_tracker(tracker), m_listener(listener) {}

void FrameWriter::stop() {
    for (auto& [space, animator] : m_animators) animator->cancel();
    m_animators.clear();
}

bool FrameWriter::setFrame(WindowId window, const Rect& rect) {
    const FrameWritten first = m_ctx.windows.setFrame(window, rect);
    // Windows that clamp or shift while being resized land right on the second pass.
    (void)m_ctx.windows.setFrame(window, rect);
    if (!first.ok()) {
        m_ctx.log.error(kCategory, "setFrame refused: pos=%s size=%s rect=%s", first.origin.name(), first.size.name(),
                        rect.description());
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
    for (const auto& [id, rect] : frames)
        if (!m_tracker.isTracked(id) || !setFrame(id, rect)) refused.push_back(id);
    return refused;
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
        const FrameWritten written = m_ctx.windows.setFrame(id, change);
        if (!written.ok()) {
            m_ctx.log.error(kCategory, "setFrame refused: pos=%s size=%s rect=%s", written.origin.name(),
                            written.size.name(), target.description());
            refused.push_back(id);
        }
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
    if (refused.size() == leafCount && !m_ctx.windows.isAvailable()) {
        m_ctx.log.error(kCategory, "retile space %llu: all %ld window(s) refused and AX trust is gone — pausing tiling",
                        space.space, static_cast<long>(refused.size()));
        m_listener.accessLost();
        return;
    }
    m_ctx.log.error(kCategory, "retile space %llu: dropping unresponsive windows %s", space.space, bracketed(refused));
    m_listener.dropWindows(space, refused, gap);
}

} // namespace quorvel
