// A real-time main loop without a toolkit: due tasks in order, and file descriptors (the X
// connection) watched with poll(). Used by the X11 tests and tools; the app runs on Qt's loop.
#pragma once

#include "platform/Scheduler.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>
#include <utility>

namespace quorvel {

class PollLoop final : public Scheduler {
public:
    PollLoop();
    ~PollLoop() override;

    double now() const override;
    double wallClock() const override;
    TaskHandle post(Task task) override { return schedule(0, std::move(task), 0); }
    TaskHandle after(Seconds delay, Task task) override { return schedule(delay.count(), std::move(task), 0); }
    TaskHandle every(Seconds interval, Task task) override {
        return schedule(interval.count(), std::move(task), interval.count());
    }
    // Queued under a lock and the loop woken (an eventfd it always polls).
    void postFromAnyThread(Task task) override;

    // `onReadable` runs on the loop whenever `fd` has data, and once before every wait (so it must
    // not block: it drains what is already there).
    void watch(int fd, std::function<void()> onReadable);
    void unwatch(int fd);

    // Runs due tasks and waits for descriptors until `condition` holds or `timeout` passes; returns
    // whether the condition held.
    bool runUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
    // Runs for `duration` of real time.
    void runFor(std::chrono::milliseconds duration);

private:
    struct Entry {
        Task task;
        std::shared_ptr<bool> cancelled;
        double interval;
    };
    TaskHandle schedule(double delay, Task task, double interval);
    // One pass: every task due now, then one wait of at most `maxWait` seconds for descriptors.
    void turn(double maxWait);
    // Moves what other threads posted onto the queue, due now.
    void takeIncoming();

    std::chrono::steady_clock::time_point m_origin;
    std::uint64_t m_sequence = 0;
    std::map<std::pair<double, std::uint64_t>, Entry> m_queue;
    std::map<int, std::function<void()>> m_watched;
    int m_wake = -1; // eventfd written by postFromAnyThread
    std::mutex m_incomingLock;
    std::vector<Task> m_incoming;
};

} // namespace quorvel
