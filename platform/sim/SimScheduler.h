// A virtual-time scheduler: nothing runs until the test turns the main queue (runPending) or
// moves the clock (advance); due tasks run in order of due time, then of scheduling.
#pragma once

#include "platform/Scheduler.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>
#include <utility>

namespace quorvel::sim {

class SimScheduler final : public Scheduler {
public:
    // The wall clock starts at 2026-01-01 00:00:00 UTC unless told otherwise.
    explicit SimScheduler(double wallClockStart = 1767225600.0) : m_wallStart(wallClockStart) {}

    double now() const override { return m_now; }
    double wallClock() const override { return m_wallStart + m_now; }

    TaskHandle post(Task task) override { return schedule(0, std::move(task), 0); }
    TaskHandle after(Seconds delay, Task task) override { return schedule(delay.count(), std::move(task), 0); }
    TaskHandle every(Seconds interval, Task task) override {
        return schedule(interval.count(), std::move(task), interval.count());
    }
    // Queued under a lock; joins the main queue when the test next turns it (runPending, advance).
    void postFromAnyThread(Task task) override;

    // One turn of the main queue: runs every task already due now, including those that the
    // tasks it runs post for the same instant. Returns how many ran.
    std::size_t runPending();
    // Moves the clock forward by `d`, running every task that falls due on the way, in order.
    void advance(Seconds d);
    // Time passing inside a synchronous call (a slow write into another process): the clock moves
    // without running anything.
    void burn(Seconds d) { m_now += std::max(0.0, d.count()); }
    // Moves the wall clock without moving monotonic time (a clock change, a long sleep).
    void shiftWallClock(Seconds d) { m_wallStart += d.count(); }

    std::size_t pendingCount() const;

private:
    struct Entry {
        Task task;
        std::shared_ptr<bool> cancelled;
        double interval; // 0 for one-shot
    };
    using Key = std::pair<double, std::uint64_t>;

    TaskHandle schedule(double delay, Task task, double interval);
    bool runNextDueBy(double time);
    // Moves what other threads posted onto the main queue. Main thread.
    void takeIncoming();

    double m_now = 0;
    double m_wallStart;
    std::uint64_t m_sequence = 0;
    std::map<Key, Entry> m_queue;
    mutable std::mutex m_incomingLock;
    std::vector<Task> m_incoming;
};

} // namespace quorvel::sim
