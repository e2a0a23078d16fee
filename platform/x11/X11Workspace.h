// The workspace on X11: running applications are the processes owning managed windows (plus what
// we launched, until it exits); notifications come from the client tracker (X11ClientTracker) and
// are delivered on the main queue. Launching spawns directly, never through a shell.
#pragma once

#include "X11ClientTracker.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"
#include "platform/Workspace.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace quorvel::x11 {

class X11Workspace final : public Workspace {
public:
    X11Workspace(X11Connection& connection, X11ClientTracker& tracker, Scheduler& scheduler, Log& log);
    ~X11Workspace() override;

    Pid ownPid() const override;
    std::optional<std::string> ownExecutablePath() const override;

    std::vector<RunningApplication> runningApplications() override;
    std::optional<RunningApplication> runningApplication(Pid pid) override;
    // The owner of the active window.
    std::optional<RunningApplication> frontmostApplication() override;

    // Raises the application's front-most window; true for a running process without windows.
    bool activate(Pid pid) override;
    // Nothing to do yet: our own windows come forward through the toolkit.
    void activateSelf() override {}
    void launch(const LaunchRequest& request, LaunchCompletion completion) override;
    // A child another part of the app started (a desktop entry through GIO): reaped here and running
    // from now until it exits, like one of our own launches.
    void adoptLaunched(Pid pid, const std::string& program);
    // Hands the address to xdg-open.
    bool openURL(const std::string& url) override;

    ObserverToken addObserver(WorkspaceEvent event, Observer observer) override;
    void removeObserver(ObserverToken token) override;

private:
    // A process is an application while it owns a window, once announced until it exits, and
    // from our launch until it exits.
    bool isRunning(Pid pid) const;
    RunningApplication describe(Pid pid);
    void onTrackerEvent(const X11ClientTracker::Event& event);
    void notify(WorkspaceEvent event, const std::optional<RunningApplication>& application);
    // Spawns `argv` in a session of its own; the pid, or the reason it failed.
    std::pair<Pid, std::string> spawn(const std::vector<std::string>& argv,
                                      const std::optional<std::string>& workingDirectory);
    // Reaps our children and ends applications whose process went after their last window.
    void watchProcesses();
    void ensureWatching();

    X11Connection& m_connection;
    X11ClientTracker& m_tracker;
    Scheduler& m_scheduler;
    Log& m_log;
    std::uint64_t m_subscription = 0;

    struct Registration {
        WorkspaceEvent event;
        Observer observer;
    };
    std::map<ObserverToken, Registration> m_observers;
    ObserverToken m_nextToken = 1;

    // Applications announced as launched and not yet as terminated, with what was last known of
    // them (a terminated application is described from this).
    std::map<Pid, RunningApplication> m_announced;
    std::map<Pid, std::string> m_launched; // our children still running: pid → program
    std::set<Pid> m_helpers;               // our children that are not applications (xdg-open)
    Pid m_frontmost = 0;
    TaskHandle m_watch;
    Lifetime m_lifetime;
};

} // namespace quorvel::x11
