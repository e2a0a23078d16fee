// The main queue, timers and the clock. Everything runs on one thread; every delay goes through
// here so that tests run in virtual time (SimScheduler) and the app on its event loop.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace quorvel {

using Seconds = std::chrono::duration<double>;
using Task = std::function<void()>;

// A scheduled task or timer. Cancelling is idempotent; a cancelled task never runs again.
// Dropping a handle does not cancel: handles are for the owner that may need to cancel.
class TaskHandle {
public:
    TaskHandle() = default;
    explicit TaskHandle(std::shared_ptr<bool> cancelled) : m_cancelled(std::move(cancelled)) {}

    void cancel() {
        if (m_cancelled) *m_cancelled = true;
    }
    bool isCancelled() const { return !m_cancelled || *m_cancelled; }
    bool isValid() const { return m_cancelled != nullptr; }

private:
    std::shared_ptr<bool> m_cancelled;
};

class Scheduler {
public:
    Scheduler() = default;
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;
    virtual ~Scheduler() = default;

    // Monotonic seconds (for animation timing and elapsed time).
    virtual double now() const = 0;
    // Seconds since 1970 (for stored timestamps).
    virtual double wallClock() const = 0;

    // Runs `task` on a later turn of the main queue, after every task already due.
    virtual TaskHandle post(Task task) = 0;
    // Runs `task` once, `delay` from now, on the main queue.
    virtual TaskHandle after(Seconds delay, Task task) = 0;
    // Runs `task` every `interval` until the handle is cancelled.
    virtual TaskHandle every(Seconds interval, Task task) = 0;
    // Runs `task` on the main queue like post(); the one call that may come from any thread (a
    // worker hands back its result). Tasks posted from one thread run in the order posted.
    virtual void postFromAnyThread(Task task) = 0;
};

} // namespace quorvel
