// Installed applications of the simulated machine: made-up entries that a scan lists after a
// settable virtual delay, launches recorded and answered as the test says, and folder changes
// announced on request.
#pragma once

#include "platform/Applications.h"
#include "platform/Scheduler.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::sim {

class SimApplications final : public Applications {
public:
    struct Launch {
        enum class Kind { main, action, program };
        Kind kind;
        std::string desktopFileId;
        std::vector<std::string> arguments; // the action's id, or the program's arguments
        InputTime time;
        friend bool operator==(const Launch&, const Launch&) = default;
    };

    explicit SimApplications(Scheduler& scheduler) : m_scheduler(scheduler) {}

    void scan(ScanDone done) override;
    ObserverToken observeChanges(std::function<void()> handler) override;
    void removeObserver(ObserverToken token) override { m_observers.erase(token); }
    std::optional<SummonableApp> defaultFileManager() override {
        ++fileManagerAsked;
        return fileManager;
    }
    LaunchResult launch(const SummonableApp& app, InputTime time) override;
    LaunchResult launchAction(const SummonableApp& app, const std::string& actionId, InputTime time) override;
    LaunchResult launchProgram(const SummonableApp& app, const std::vector<std::string>& arguments,
                               InputTime time) override;

    // An applications folder changed: observers hear of it on the main queue.
    void announceChange();

    std::vector<SummonableApp> installed;  // what a scan lists (as the scan starts)
    Seconds scanDelay{0.05};               // each scan takes this long, one after the other
    std::optional<SummonableApp> fileManager; // also what a scan reports (as the scan starts)
    // The error every launch of the given kind answers with; none: launches succeed.
    std::map<Launch::Kind, std::string> failures;
    std::vector<Launch> launches;
    int scansStarted = 0;
    int fileManagerAsked = 0; // calls of defaultFileManager() (a scan's own lookup not counted)

private:
    LaunchResult record(Launch launch);

    Scheduler& m_scheduler;
    double m_busyUntil = 0;
    std::map<ObserverToken, std::function<void()>> m_observers;
    ObserverToken m_nextToken = 1;
    Pid m_nextPid = 7000;
};

} // namespace quorvel::sim
