// Qt timers by id (no QObject per task), one zero-time timer turning the posted queue, socket
// notifiers for descriptors.
#include "QtScheduler.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <QTimerEvent>

#include <algorithm>
#include <cmath>

namespace quorvel::ui {

namespace {
// Qt timers count milliseconds in an int: longer waits are armed a day at a time.
constexpr double kLongestArm = 86400.0;

int milliseconds(double seconds) {
    return static_cast<int>(std::lround(std::clamp(seconds, 0.0, kLongestArm) * 1000));
}
} // namespace

QtScheduler::QtScheduler() : m_origin(std::chrono::steady_clock::now()) {}

QtScheduler::~QtScheduler() { disconnect(m_aboutToBlock); }

double QtScheduler::now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_origin).count();
}

double QtScheduler::wallClock() const {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

TaskHandle QtScheduler::post(Task task) {
    auto cancelled = std::make_shared<bool>(false);
    m_posted.push_back({std::move(task), cancelled});
    if (m_drainTimer == 0) m_drainTimer = startTimer(0, Qt::PreciseTimer);
    return TaskHandle(cancelled);
}

void QtScheduler::postFromAnyThread(Task task) {
    QMetaObject::invokeMethod(this, [this, task = std::move(task)]() mutable { post(std::move(task)); },
                              Qt::QueuedConnection);
}

TaskHandle QtScheduler::after(Seconds delay, Task task) { return schedule(delay.count(), std::move(task), 0); }

TaskHandle QtScheduler::every(Seconds interval, Task task) {
    // A zero interval would spin the loop; a millisecond is the shortest repeat.
    return schedule(std::max(interval.count(), 0.001), std::move(task), std::max(interval.count(), 0.001));
}

TaskHandle QtScheduler::schedule(double delay, Task task, double interval) {
    releaseCancelled();
    auto cancelled = std::make_shared<bool>(false);
    delay = std::max(0.0, delay);
    arm(delay, Timer{std::move(task), cancelled, now() + delay, interval});
    return TaskHandle(cancelled);
}

void QtScheduler::arm(double delay, Timer timer) {
    const int id = startTimer(milliseconds(delay), Qt::PreciseTimer);
    if (id != 0) m_timers.emplace(id, std::move(timer));
}

void QtScheduler::releaseCancelled() {
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        if (!*it->second.cancelled) {
            ++it;
            continue;
        }
        killTimer(it->first);
        it = m_timers.erase(it);
    }
}

void QtScheduler::timerEvent(QTimerEvent* event) {
    const int id = event->timerId();
    if (id == m_drainTimer) {
        drainPosted();
        return;
    }
    const auto it = m_timers.find(id);
    if (it == m_timers.end()) {
        killTimer(id);
        return;
    }
    if (*it->second.cancelled) {
        killTimer(id);
        m_timers.erase(it);
        return;
    }
    if (it->second.interval > 0) {
        // A copy: the task may cancel its own timer and schedule others, which releases the entry.
        const Task task = it->second.task;
        task();
        return;
    }
    killTimer(id);
    Timer timer = std::move(it->second);
    m_timers.erase(it);
    const double remaining = timer.due - now();
    if (remaining > 0.001) { // a wait longer than one arm
        arm(remaining, std::move(timer));
        return;
    }
    timer.task();
}

void QtScheduler::drainPosted() {
    killTimer(m_drainTimer);
    m_drainTimer = 0;
    // This turn runs what was posted before it; tasks posted meanwhile re-arm the drain timer.
    for (std::size_t n = m_posted.size(); n > 0 && !m_posted.empty(); --n) {
        Posted next = std::move(m_posted.front());
        m_posted.pop_front();
        if (!*next.cancelled) next.task();
    }
}

void QtScheduler::watch(int fd, std::function<void()> onReadable) {
    unwatch(fd);
    auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, [callback = std::move(onReadable)] {
        if (callback) callback();
    });
    m_watched.emplace(fd, std::move(notifier));
}

void QtScheduler::unwatch(int fd) {
    const auto it = m_watched.find(fd);
    if (it == m_watched.end()) return;
    // The callback may be unwatching its own descriptor from inside the notifier's signal.
    it->second->setEnabled(false);
    it->second.release()->deleteLater();
    m_watched.erase(it);
}

void QtScheduler::setBeforeBlocking(std::function<void()> drain) {
    disconnect(m_aboutToBlock);
    m_beforeBlocking = std::move(drain);
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (!m_beforeBlocking || !dispatcher) return;
    m_aboutToBlock = connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
        const auto drainNow = m_beforeBlocking; // it may replace itself
        drainNow();
    });
}

} // namespace quorvel::ui
