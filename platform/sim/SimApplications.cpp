// The simulated installed applications.
#include "SimApplications.h"

#include <algorithm>

namespace quorvel::sim {

void SimApplications::scan(ScanDone done) {
    ++scansStarted;
    // Scans run one after the other, each `scanDelay` long.
    const double now = m_scheduler.now();
    m_busyUntil = std::max(now, m_busyUntil) + scanDelay.count();
    m_scheduler.after(Seconds(m_busyUntil - now),
                      [done = std::move(done), result = ScanResult{installed, fileManager}] { done(result); });
}

ObserverToken SimApplications::observeChanges(std::function<void()> handler) {
    m_observers.emplace(m_nextToken, std::move(handler));
    return m_nextToken++;
}

void SimApplications::announceChange() {
    m_scheduler.post([this] {
        const auto observers = m_observers;
        for (const auto& [token, handler] : observers)
            if (m_observers.contains(token)) handler();
    });
}

LaunchResult SimApplications::record(Launch launch) {
    const auto failure = failures.find(launch.kind);
    launches.push_back(std::move(launch));
    if (failure != failures.end()) return {.pid = std::nullopt, .error = failure->second};
    return {.pid = m_nextPid++, .error = std::nullopt};
}

LaunchResult SimApplications::launch(const SummonableApp& app, InputTime time) {
    return record({Launch::Kind::main, app.desktopFileId, {}, time});
}

LaunchResult SimApplications::launchAction(const SummonableApp& app, const std::string& actionId, InputTime time) {
    return record({Launch::Kind::action, app.desktopFileId, {actionId}, time});
}

LaunchResult SimApplications::launchProgram(const SummonableApp& app, const std::vector<std::string>& arguments,
                                            InputTime time) {
    return record({Launch::Kind::program, app.desktopFileId, arguments, time});
}

} // namespace quorvel::sim
