// Eased frame interpolation on a repeating timer, for retile (TilingEngine*.cpp). Every write is a
// synchronous call into another process, so unchanged sizes and positions are not written again.
#include "tiling/FrameAnimator.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace quorvel {

FrameAnimator::FrameAnimator(std::vector<Move> moves, std::function<void()> completion, WindowControl& windows,
                             Scheduler& scheduler, Log& log)
    : m_moves(std::move(moves)),
      m_completion(std::move(completion)),
      m_windows(windows),
      m_scheduler(scheduler),
      m_log(log) {}

FrameAnimator::~FrameAnimator() { m_timer.cancel(); }

void FrameAnimator::start() {
    // Never restarted: a second start would run a second timer over the same windows.
    if (m_timer.isValid()) return;

    m_lastApplied.assign(m_moves.size(), std::nullopt);
    m_written.clear();
    for (std::size_t i = 0; i < m_moves.size(); ++i) {
        const Move& move = m_moves[i];
        (void)m_windows.setFrame(move.window, move.from);
        m_lastApplied[i] = move.from;
        m_written.push_back(move.from);
    }
    m_startTime = m_scheduler.now();
    m_timer = m_scheduler.every(Seconds(kTickInterval), m_lifetime.guard([this] { tick(); }));
}

void FrameAnimator::cancel() {
    m_timer.cancel();
    m_completion = nullptr;
}

void FrameAnimator::tick() {
    const double t = (m_scheduler.now() - m_startTime) / kDuration;
    if (t >= 1) {
        finish();
        return;
    }

    ++m_tickCount;
    const double tickStart = m_scheduler.now();
    const double p = std::clamp(t, 0.0, 1.0);
    const double e = 1 - std::pow(1 - p, 3);
    for (std::size_t i = 0; i < m_moves.size(); ++i) {
        const Move& move = m_moves[i];
        const Rect frame{move.from.x + e * (move.to.x - move.from.x), move.from.y + e * (move.to.y - move.from.y),
                         move.from.width + e * (move.to.width - move.from.width),
                         move.from.height + e * (move.to.height - move.from.height)};
        const auto [sizeWritten, positionWritten] = setStep(move.window, frame, m_lastApplied[i]);
        if (sizeWritten) {
            m_written[i].width = frame.width;
            m_written[i].height = frame.height;
        }
        if (positionWritten) {
            m_written[i].x = frame.x;
            m_written[i].y = frame.y;
        }
        m_lastApplied[i] = frame;
    }

    // Slow writes: stop interpolating and let the completion place the windows at once.
    if (m_scheduler.now() - tickStart > kTickBudget) {
        ++m_overBudgetTicks;
        if (m_overBudgetTicks >= kMaxOverBudgetTicks) finish();
    }
}

void FrameAnimator::finish() {
    m_timer.cancel();
    m_log.info("tiling", "animation finished: %ld tick(s), %ld over budget", m_tickCount, m_overBudgetTicks);
    // The completion may drop this animator: take it out first, so it runs at most once, and touch
    // nothing after calling it.
    std::function<void()> completion = std::exchange(m_completion, nullptr);
    if (completion) completion();
}

std::optional<Rect> FrameAnimator::writtenFrame(WindowId window) const {
    for (std::size_t i = 0; i < m_moves.size() && i < m_written.size(); ++i)
        if (m_moves[i].window == window) return m_written[i];
    return std::nullopt;
}

std::pair<bool, bool> FrameAnimator::setStep(WindowId window, const Rect& frame, const std::optional<Rect>& last) {
    const bool sizeChanged = !last || std::abs(frame.width - last->width) > kWriteThreshold ||
                             std::abs(frame.height - last->height) > kWriteThreshold;
    const bool positionChanged =
        !last || std::abs(frame.x - last->x) > kWriteThreshold || std::abs(frame.y - last->y) > kWriteThreshold;
    FrameChange change;
    if (sizeChanged) change.size = frame.size();
    if (positionChanged) change.origin = frame.origin();
    if (sizeChanged || positionChanged) (void)m_windows.setFrame(window, change);
    return {sizeChanged, positionChanged};
}

} // namespace quorvel
