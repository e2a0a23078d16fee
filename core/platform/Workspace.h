// Running applications, the frontmost one, launching and activating, and the workspace's
// notifications (launched, terminated, activated, hidden, unhidden, active desktop changed).
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// A process with windows of its own.
struct RunningApplication {
    Pid pid = 0;
    std::optional<std::string> localizedName;
    std::optional<std::string> desktopFileId;  // its desktop entry's id when known; on X11 so far WM_CLASS's instance, which often is not one
    std::optional<std::string> executablePath; // the program it runs
    std::optional<std::string> wmClass, wmInstance;
    bool isHidden = false;
    bool isTerminated = false;

    friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

enum class WorkspaceEvent {
    didLaunchApplication,
    didTerminateApplication,
    didActivateApplication,
    didHideApplication,
    didUnhideApplication,
    activeSpaceDidChange, // carries no application
};

// How to start an application: a program and its arguments, never through a shell.
struct LaunchRequest {
    std::vector<std::string> argv;
    std::optional<std::string> workingDirectory;
    bool activates = true;
};

using ObserverToken = std::uint64_t; // 0 is no registration

class Workspace {
public:
    using Observer = std::function<void(const std::optional<RunningApplication>& application)>;
    // The launched process, or the reason it could not be started. Called on the main thread.
    using LaunchCompletion = std::function<void(std::optional<Pid> pid, std::optional<std::string> error)>;

    Workspace() = default;
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;
    virtual ~Workspace() = default;

    virtual Pid ownPid() const = 0;
    // The program this process runs.
    virtual std::optional<std::string> ownExecutablePath() const = 0;

    virtual std::vector<RunningApplication> runningApplications() = 0;
    virtual std::optional<RunningApplication> runningApplication(Pid pid) = 0;
    virtual std::optional<RunningApplication> frontmostApplication() = 0;

    // Brings the application's windows forward; false when it is gone.
    virtual bool activate(Pid pid) = 0;
    // Activates this process itself (its own windows come forward).
    virtual void activateSelf() = 0;
    virtual void launch(const LaunchRequest& request, LaunchCompletion completion) = 0;
    virtual bool openURL(const std::string& url) = 0;

    // Observers are called on the main queue, in registration order.
    virtual ObserverToken addObserver(WorkspaceEvent event, Observer observer) = 0;
    virtual void removeObserver(ObserverToken token) = 0;
};

} // namespace quorvel
