// Virtual time for tests and the demo.
#include "SimScheduler.h"

#include <algorithm>

namespace quorvel::sim {

TaskHandle SimScheduler::schedule(double delay, Task task, double interval) {
    auto cancelled = std::make_shared<bool>(false);
    m_queue.emplace(Key{m_now + std::max(0.0, delay), m_sequence++}, Entry{std::move(task), cancelled, interval});
    return TaskHandle(cancelled);
}

bool SimScheduler::runNextDueBy(double time) {
    while (!m_queue.empty()) {
        auto it = m_queue.begin();
        if (it->first.first > time) return false;
        Entry entry = std::move(it->second);
        const double due = it->first.first;
        m_queue.erase(it);
        if (*entry.cancelled) continue;
        m_now = std::max(m_now, due);
        if (entry.interval > 0) {
            // Re-arm first, so that the task may cancel its own timer.
            m_queue.emplace(Key{due + entry.interval, m_sequence++}, Entry{entry.task, entry.cancelled, entry.interval});
        }
        entry.task();
        return true;
    }
    return false;
}

void SimScheduler::postFromAnyThread(Task task) {
    const std::lock_guard lock(m_incomingLock);
    m_incoming.push_back(std::move(task));
}

void SimScheduler::takeIncoming() {
    std::vector<Task> incoming;
    {
        const std::lock_guard lock(m_incomingLock);
        incoming.swap(m_incoming);
    }
    for (Task& task : incoming) post(std::move(task));
}

std::size_t SimScheduler::runPending() {
    takeIncoming();
    std::size_t ran = 0;
    while (runNextDueBy(m_now)) ++ran;
    return ran;
}

void SimScheduler::advance(Seconds d) {
    takeIncoming();
    const double end = m_now + std::max(0.0, d.count());
    while (runNextDueBy(end)) {
    }
    m_now = std::max(m_now, end); // a task may have burnt time past the end
}

std::size_t SimScheduler::pendingCount() const {
    const std::lock_guard lock(m_incomingLock);
    return m_incoming.size() + static_cast<std::size_t>(
        std::count_if(m_queue.begin(), m_queue.end(), [](const auto& kv) { return !*kv.second.cancelled; }));
}

} // namespace quorvel::sim
