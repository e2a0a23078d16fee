// The main queue, timers and the clock on Qt's event loop, plus the X connection's descriptor:
// the app's Scheduler. Needs the application object; main thread only.
#pragma once

#include "platform/Scheduler.h"

#include <QMetaObject>
#include <QObject>

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>

class QSocketNotifier;

namespace quorvel::ui {

class QtScheduler final : public QObject, public Scheduler {
public:
    QtScheduler();
    ~QtScheduler() override;

    double now() const override;
    double wallClock() const override;
    // Posted tasks run in the order posted, each turn taking only those posted before it began.
    TaskHandle post(Task task) override;
    TaskHandle after(Seconds delay, Task task) override;
    TaskHandle every(Seconds interval, Task task) override;
    // A queued call into this object's thread, which then posts the task.
    void postFromAnyThread(Task task) override;

    // `onReadable` runs whenever `fd` has data to read; a second watch of the same fd replaces it.
    void watch(int fd, std::function<void()> onReadable);
    void unwatch(int fd);
    // Runs `drain` each time the loop is about to wait: a connection may already hold events it
    // read while waiting for a reply, and those never make its descriptor readable.
    void setBeforeBlocking(std::function<void()> drain);

    // Timers still armed (cancelled ones are released on the next schedule or when they fire).
    std::size_t armedTimerCount() const { return m_timers.size(); }

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    struct Timer {
        Task task;
        std::shared_ptr<bool> cancelled;
        double due;      // now() when a one-shot falls due
        double interval; // 0 for one-shot
    };
    struct Posted {
        Task task;
        std::shared_ptr<bool> cancelled;
    };

    TaskHandle schedule(double delay, Task task, double interval);
    void arm(double delay, Timer timer);
    void releaseCancelled();
    void drainPosted();

    std::chrono::steady_clock::time_point m_origin;
    std::map<int, Timer> m_timers; // by Qt timer id
    std::deque<Posted> m_posted;
    int m_drainTimer = 0;
    std::map<int, std::unique_ptr<QSocketNotifier>> m_watched;
    std::function<void()> m_beforeBlocking;
    QMetaObject::Connection m_aboutToBlock;
};

} // namespace quorvel::ui
