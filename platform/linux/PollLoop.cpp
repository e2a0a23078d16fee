// Real-time loop: timers by due time, descriptors through poll().
#include "PollLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace quorvel {

PollLoop::PollLoop() : m_origin(std::chrono::steady_clock::now()), m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

PollLoop::~PollLoop() {
    if (m_wake >= 0) ::close(m_wake);
}

void PollLoop::postFromAnyThread(Task task) {
    {
        const std::lock_guard lock(m_incomingLock);
        m_incoming.push_back(std::move(task));
    }
    const std::uint64_t one = 1;
    if (m_wake >= 0) [[maybe_unused]] const auto written = ::write(m_wake, &one, sizeof one);
}

void PollLoop::takeIncoming() {
    std::uint64_t count = 0;
    if (m_wake >= 0) [[maybe_unused]] const auto read = ::read(m_wake, &count, sizeof count);
    std::vector<Task> incoming;
    {
        const std::lock_guard lock(m_incomingLock);
        incoming.swap(m_incoming);
    }
    for (Task& task : incoming) post(std::move(task));
}

double PollLoop::now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_origin).count();
}

double PollLoop::wallClock() const {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

TaskHandle PollLoop::schedule(double delay, Task task, double interval) {
    auto cancelled = std::make_shared<bool>(false);
    m_queue.emplace(std::pair{now() + std::max(0.0, delay), m_sequence++}, Entry{std::move(task), cancelled, interval});
    return TaskHandle(cancelled);
}

void PollLoop::watch(int fd, std::function<void()> onReadable) { m_watched[fd] = std::move(onReadable); }

void PollLoop::unwatch(int fd) { m_watched.erase(fd); }

void PollLoop::turn(double maxWait) {
    takeIncoming();
    // Tasks due now, including those they post for now; a repeating timer runs once per turn.
    const double horizon = now();
    while (!m_queue.empty() && m_queue.begin()->first.first <= horizon) {
        auto node = m_queue.extract(m_queue.begin());
        Entry& entry = node.mapped();
        if (*entry.cancelled) continue;
        if (entry.interval > 0)
            m_queue.emplace(std::pair{node.key().first + entry.interval, m_sequence++},
                            Entry{entry.task, entry.cancelled, entry.interval});
        entry.task();
    }

    // A connection may already hold events it read while waiting for a reply; those never make its
    // descriptor readable, so every watcher drains what it has before the loop blocks.
    for (const auto& [fd, callback] : std::map(m_watched)) callback();

    double wait = maxWait;
    if (!m_queue.empty()) wait = std::min(wait, std::max(0.0, m_queue.begin()->first.first - now()));
    std::vector<pollfd> fds;
    for (const auto& [fd, callback] : m_watched) fds.push_back({fd, POLLIN, 0});
    // A task posted from another thread wakes the wait; it runs on the next turn.
    if (m_wake >= 0) fds.push_back({m_wake, POLLIN, 0});
    const int ms = static_cast<int>(wait * 1000 + 0.999);
    if (::poll(fds.data(), fds.size(), ms) <= 0) return;
    for (const pollfd& p : fds) {
        if (!(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
        const auto it = m_watched.find(p.fd);
        if (it != m_watched.end()) it->second();
    }
}

bool PollLoop::runUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const double deadline = now() + std::chrono::duration<double>(timeout).count();
    while (!condition()) {
        const double left = deadline - now();
        if (left <= 0) return condition();
        turn(std::min(left, 0.05));
    }
    return true;
}

void PollLoop::runFor(std::chrono::milliseconds duration) {
    runUntil([] { return false; }, duration);
}

} // namespace quorvel
