// The installed applications as far as this build knows them: only the user's default file
// manager, started through the workspace. Stands in until the desktop-entry scan through GIO is
// wired here; the palette then lists every entry.
#pragma once

#include "DefaultFileManager.h"
#include "platform/Applications.h"
#include "platform/Scheduler.h"
#include "platform/Workspace.h"

namespace quorvel {

class FileManagerApplications final : public Applications {
public:
    FileManagerApplications(Workspace& workspace, Scheduler& scheduler, Log& log)
        : m_workspace(workspace), m_scheduler(scheduler), m_log(log) {}

    void scan(ScanDone done) override {
        m_scheduler.post([done = std::move(done)] { done({}); });
    }
    ObserverToken observeChanges(std::function<void()>) override { return 0; }
    void removeObserver(ObserverToken) override {}

    std::optional<SummonableApp> defaultFileManager() override {
        const auto found = quorvel::defaultFileManager(m_log);
        if (!found) return std::nullopt;
        return SummonableApp{.name = found->name, .desktopFileId = found->desktopFileId,
                             .program = found->argv.empty() ? "" : found->argv.front()};
    }
    LaunchResult launch(const SummonableApp& app, InputTime) override {
        const auto found = quorvel::defaultFileManager(m_log);
        if (!found || found->desktopFileId != app.desktopFileId) return {.pid = std::nullopt, .error = "not installed"};
        // The process starts at once; its pid comes later, so 0 stands for "requested".
        m_workspace.launch({.argv = found->argv, .workingDirectory = found->workingDirectory}, {});
        return {.pid = 0, .error = std::nullopt};
    }
    LaunchResult launchAction(const SummonableApp&, const std::string&, InputTime) override {
        return {.pid = std::nullopt, .error = "not supported"};
    }
    LaunchResult launchProgram(const SummonableApp&, const std::vector<std::string>&, InputTime) override {
        return {.pid = std::nullopt, .error = "not supported"};
    }

private:
    Workspace& m_workspace;
    Scheduler& m_scheduler;
    Log& m_log;
};

} // namespace quorvel
