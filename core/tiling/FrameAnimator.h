// Moves a set of windows from their current frames to their tiles over 0.28 s, writing eased
// intermediate frames at 30 ticks a second. Never decides layout; the owner's completion writes
// the exact final frames. Dropping the animator (or calling cancel) ends it without completion.
#pragma once

#include "platform/WindowControl.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace quorvel {

class FrameAnimator {
public:
    struct Move {
        WindowId window;
        Rect from;
        Rect to;
        std::optional<Rect> via; // always empty; kept for the record of a move
    };

    static constexpr double kDuration = 0.28;
    static constexpr double kTickInterval = 1.0 / 30.0;
    static constexpr double kTickBudget = 0.05;
    static constexpr long kMaxOverBudgetTicks = 2;
    static constexpr double kWriteThreshold = 0.5;

    FrameAnimator(std::vector<Move> moves, std::function<void()> completion, WindowControl& windows,
                  Scheduler& scheduler, Log& log);
    ~FrameAnimator(); // cancels the timer
    FrameAnimator(const FrameAnimator&) = delete;
    FrameAnimator& operator=(const FrameAnimator&) = delete;

    // Writes the starting frames and starts the timer.
    void start();
    // Stops the timer; the completion is never called.
    void cancel();

    bool isRunning() const { return m_timer.isValid() && !m_timer.isCancelled(); }
    long tickCount() const { return m_tickCount; }
    long overBudgetTicks() const { return m_overBudgetTicks; }
    const std::vector<Move>& moves() const { return m_moves; }
    // The frame last written to a moving window (steps under 0.5 point are not written, so this
    // can lag behind the interpolation); none for a window that is not moving.
    std::optional<Rect> writtenFrame(WindowId window) const;

private:
    void tick();
    void finish();
    // Writes what changed by more than the threshold, in one request; returns whether the size and
    // the position were written.
    std::pair<bool, bool> setStep(WindowId window, const Rect& frame, const std::optional<Rect>& last);

    std::vector<Move> m_moves;
    std::function<void()> m_completion;
    WindowControl& m_windows;
    Scheduler& m_scheduler;
    Log& m_log;
    TaskHandle m_timer;
    double m_startTime = 0;
    std::vector<std::optional<Rect>> m_lastApplied;
    std::vector<Rect> m_written;
    long m_overBudgetTicks = 0;
    long m_tickCount = 0;
    Lifetime m_lifetime;
};

} // namespace quorvel
