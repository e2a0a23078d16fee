// Workspace over the client tracker: applications appear with their first window, end when their
// last window is gone and their process has exited; launches are posix_spawnp'd and reaped here.
#include "X11Workspace.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

extern char** environ;

namespace quorvel::x11 {

namespace {
constexpr const char* kCategory = "workspace";
// How often our children are reaped and window-less applications are checked for having exited.
constexpr Seconds kProcessWatchInterval{0.5};
constexpr std::uint32_t kSourcePager = 2;

std::optional<std::string> executablePath(const std::string& procEntry) {
    std::error_code error;
    const auto target = std::filesystem::read_symlink(procEntry, error);
    if (error || target.empty()) return std::nullopt;
    return target.string();
}
} // namespace

X11Workspace::X11Workspace(X11Connection& connection, X11ClientTracker& tracker, Scheduler& scheduler, Log& log)
    : m_connection(connection), m_tracker(tracker), m_scheduler(scheduler), m_log(log) {
    // Applications already running were launched before us: known, not announced.
    for (const XWindow window : m_tracker.clients())
        if (const Pid pid = m_tracker.pidOf(window); pid != 0 && !m_announced.contains(pid))
            m_announced[pid] = describe(pid);
    m_frontmost = m_tracker.pidOf(m_tracker.activeWindow());
    m_subscription = m_tracker.subscribe([this](const X11ClientTracker::Event& event) { onTrackerEvent(event); });
}

X11Workspace::~X11Workspace() {
    m_tracker.unsubscribe(m_subscription);
    m_watch.cancel();
}

Pid X11Workspace::ownPid() const { return static_cast<Pid>(::getpid()); }

std::optional<std::string> X11Workspace::ownExecutablePath() const { return executablePath("/proc/self/exe"); }

// --- Applications -------------------------------------------------------------------------------

bool X11Workspace::isRunning(Pid pid) const {
    if (pid <= 0) return false;
    if (m_tracker.ownsWindows(pid)) return true;
    return (m_announced.contains(pid) || m_launched.contains(pid)) && X11ClientTracker::processRunning(pid);
}

RunningApplication X11Workspace::describe(Pid pid) {
    RunningApplication app;
    const auto known = m_announced.find(pid);
    if (known != m_announced.end() && known->second.localizedName) {
        // What names a process does not change while it runs.
        app = known->second;
    } else {
        app.pid = pid;
        const auto windows = m_tracker.windowsOf(pid);
        if (!windows.empty()) {
            app.localizedName = m_connection.applicationName(windows.front(), pid);
            if (const auto wmClass = m_connection.windowClass(windows.front())) {
                // WM_CLASS is instance then class; an empty string is no answer.
                if (!wmClass->first.empty()) app.desktopFileId = app.wmInstance = wmClass->first;
                if (!wmClass->second.empty()) app.wmClass = wmClass->second;
            }
        }
        if (!app.localizedName) {
            if (const auto launched = m_launched.find(pid); launched != m_launched.end())
                app.localizedName = std::filesystem::path(launched->second).filename().string();
            else app.localizedName = X11ClientTracker::processName(pid);
        }
        app.executablePath = executablePath("/proc/" + std::to_string(pid) + "/exe");
    }
    app.isHidden = false; // X11 has no hiding of applications
    app.isTerminated = !X11ClientTracker::processRunning(pid);
    return app;
}

std::vector<RunningApplication> X11Workspace::runningApplications() {
    std::set<Pid> pids;
    for (const XWindow window : m_tracker.clients())
        if (const Pid pid = m_tracker.pidOf(window); pid != 0) pids.insert(pid);
    for (const auto& [pid, app] : m_announced)
        if (isRunning(pid)) pids.insert(pid);
    for (const auto& [pid, program] : m_launched)
        if (isRunning(pid)) pids.insert(pid);
    std::vector<RunningApplication> out;
    for (const Pid pid : pids) out.push_back(describe(pid));
    return out;
}

std::optional<RunningApplication> X11Workspace::runningApplication(Pid pid) {
    if (!isRunning(pid)) return std::nullopt;
    return describe(pid);
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() {
    const Pid pid = m_tracker.pidOf(m_tracker.activeWindow());
    if (pid == 0) return std::nullopt;
    return describe(pid);
}

bool X11Workspace::activate(Pid pid) {
    const auto windows = m_tracker.windowsOf(pid);
    if (windows.empty()) return isRunning(pid);
    XWindow target = windows.front();
    for (const XWindow window : windows) {
        if (m_tracker.isMinimised(window)) continue;
        target = window;
        break;
    }
    m_connection.sendRootMessage(target, m_connection.ewmh()->_NET_ACTIVE_WINDOW, kSourcePager, XCB_CURRENT_TIME,
                                 m_tracker.activeWindow());
    return true;
}

// --- Launching ----------------------------------------------------------------------------------

std::pair<Pid, std::string> X11Workspace::spawn(const std::vector<std::string>& argv,
                                                const std::optional<std::string>& workingDirectory) {
    // The child runs on the display we are connected to, whatever our own environment says.
    std::vector<std::string> environment;
    for (char** entry = environ; entry && *entry; ++entry)
        if (std::strncmp(*entry, "DISPLAY=", 8) != 0) environment.emplace_back(*entry);
    if (!m_connection.displayName().empty()) environment.push_back("DISPLAY=" + m_connection.displayName());
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (workingDirectory) posix_spawn_file_actions_addchdir_np(&actions, workingDirectory->c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A session of its own: the application outlives us and never sees our terminal's signals.
    sigset_t noSignals;
    sigemptyset(&noSignals);
    posix_spawnattr_setsigmask(&attributes, &noSignals);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = 0;
    const int error = ::posix_spawnp(&pid, args.front(), &actions, &attributes, args.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return {0, std::strerror(error)};
    return {static_cast<Pid>(pid), {}};
}

void X11Workspace::adoptLaunched(Pid pid, const std::string& program) {
    if (pid <= 0) return;
    m_launched[pid] = program;
    ensureWatching();
}

void X11Workspace::launch(const LaunchRequest& request, LaunchCompletion completion) {
    const auto finish = [this, completion](std::optional<Pid> pid, std::optional<std::string> error) {
        m_scheduler.post(m_lifetime.guard([completion, pid, error] {
            if (completion) completion(pid, error);
        }));
    };
    if (request.argv.empty() || request.argv.front().empty()) {
        finish(std::nullopt, std::string(std::strerror(ENOENT)));
        return;
    }
    const auto [pid, error] = spawn(request.argv, request.workingDirectory);
    if (pid == 0) {
        m_log.error(kCategory, "launching %s failed: %s", request.argv.front(), error);
        finish(std::nullopt, error);
        return;
    }
    m_log.info(kCategory, "launched %s (%d)", request.argv.front(), pid);
    m_launched[pid] = request.argv.front();
    ensureWatching();
    finish(pid, std::nullopt);
}

bool X11Workspace::openURL(const std::string& url) {
    const auto [pid, error] = spawn({"xdg-open", url}, std::nullopt);
    if (pid == 0) {
        m_log.error(kCategory, "opening %s failed: %s", url, error);
        return false;
    }
    m_helpers.insert(pid);
    ensureWatching();
    return true;
}

void X11Workspace::ensureWatching() {
    if (!m_watch.isCancelled()) return;
    m_watch = m_scheduler.every(kProcessWatchInterval, m_lifetime.guard([this] { watchProcesses(); }));
}

void X11Workspace::watchProcesses() {
    const auto reaped = [](Pid pid) {
        const pid_t result = ::waitpid(pid, nullptr, WNOHANG);
        return result == pid || (result < 0 && errno == ECHILD);
    };
    std::erase_if(m_launched, [&](const auto& entry) { return reaped(entry.first); });
    std::erase_if(m_helpers, reaped);

    bool waiting = !m_launched.empty() || !m_helpers.empty();
    std::vector<Pid> ended;
    for (const auto& [pid, app] : m_announced) {
        if (m_tracker.ownsWindows(pid)) continue;
        if (X11ClientTracker::processRunning(pid)) waiting = true;
        else ended.push_back(pid);
    }
    for (const Pid pid : ended) {
        RunningApplication app = m_announced.at(pid);
        m_announced.erase(pid);
        app.isTerminated = true;
        notify(WorkspaceEvent::didTerminateApplication, app);
    }
    if (!waiting) m_watch.cancel();
}

// --- Notifications ------------------------------------------------------------------------------

ObserverToken X11Workspace::addObserver(WorkspaceEvent event, Observer observer) {
    const ObserverToken token = m_nextToken++;
    m_observers[token] = {event, std::move(observer)};
    return token;
}

void X11Workspace::removeObserver(ObserverToken token) { m_observers.erase(token); }

void X11Workspace::notify(WorkspaceEvent event, const std::optional<RunningApplication>& application) {
    for (const auto& [token, registration] : m_observers) {
        if (registration.event != event) continue;
        // On the main queue, in registration order; an observer removed meanwhile hears nothing.
        m_scheduler.post(m_lifetime.guard([this, token = token, application] {
            const auto it = m_observers.find(token);
            if (it == m_observers.end()) return;
            const Observer observer = it->second.observer; // it may remove itself
            observer(application);
        }));
    }
}

void X11Workspace::onTrackerEvent(const X11ClientTracker::Event& event) {
    using Kind = X11ClientTracker::Event::Kind;
    switch (event.kind) {
    case Kind::windowAdded:
        if (event.pid == 0 || m_announced.contains(event.pid)) break;
        m_announced[event.pid] = describe(event.pid);
        notify(WorkspaceEvent::didLaunchApplication, m_announced[event.pid]);
        break;
    case Kind::windowRemoved:
        if (event.pid == 0 || !m_announced.contains(event.pid) || m_tracker.ownsWindows(event.pid)) break;
        // The last window closes a moment before its process exits: watch it go.
        ensureWatching();
        watchProcesses();
        break;
    case Kind::activeWindowChanged: {
        const Pid pid = m_tracker.pidOf(event.window);
        if (pid == m_frontmost) break;
        m_frontmost = pid;
        if (pid != 0) notify(WorkspaceEvent::didActivateApplication, describe(pid));
        break;
    }
    case Kind::currentDesktopChanged:
        notify(WorkspaceEvent::activeSpaceDidChange, std::nullopt);
        break;
    case Kind::windowStateChanged:
    case Kind::frameChanged:
    case Kind::windowDesktopChanged:
    case Kind::fullScreenChanged:
    case Kind::keptAsideChanged:
        break;
    }
}

} // namespace quorvel::x11
