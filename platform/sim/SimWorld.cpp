// The simulated desktop's state changes and the notifications they send.
#include "SimWorld.h"

#include <algorithm>
#include <utility>

namespace quorvel::sim {

SimWorld::SimWorld(SimScheduler& scheduler) : m_scheduler(scheduler) {}

bool SimWorld::appRunning(Pid pid) const {
    const auto it = m_apps.find(pid);
    return it != m_apps.end() && !it->second.info.isTerminated;
}

// --- Topology -----------------------------------------------------------------------------------

std::size_t SimWorld::addDisplay(const DisplayOptions& options) {
    SimDisplay display;
    display.number = m_nextDisplay++;
    display.uuid = options.uuid;
    display.name = options.name;
    display.bounds = options.bounds;
    display.topInset = options.topInset;
    display.bottomInset = options.bottomInset;
    display.builtin = options.builtin;
    m_displays.push_back(std::move(display));
    const std::size_t position = m_displays.size() - 1;
    for (int i = 0; i < std::max(1, options.spaceCount); ++i) addSpace(position);
    m_displays[position].current = m_displays[position].spaces.front().id;
    if (!m_activeDisplay) m_activeDisplay = position;
    return position;
}

SpaceId SimWorld::addSpace(std::size_t display, bool fullScreen) {
    const SpaceId id = m_nextSpace++;
    m_displays.at(display).spaces.push_back({id, fullScreen});
    if (m_displays[display].current == 0) m_displays[display].current = id;
    return id;
}

void SimWorld::removeSpace(SpaceId space) {
    const auto position = displayOf(space);
    if (!position) return;
    auto& display = m_displays[*position];
    std::erase_if(display.spaces, [&](const SimSpace& s) { return s.id == space; });
    const SpaceId fallback = display.spaces.empty() ? 0 : display.spaces.front().id;
    for (auto& [id, window] : m_windows) {
        for (auto& s : window.spaces)
            if (s == space) s = fallback;
        std::erase(window.spaces, SpaceId{0});
    }
    if (display.current == space) display.current = fallback;
}

void SimWorld::renumberSpaces() {
    std::map<SpaceId, SpaceId> renamed;
    for (auto& display : m_displays) {
        for (auto& space : display.spaces) {
            renamed[space.id] = m_nextSpace;
            space.id = m_nextSpace++;
        }
        display.current = renamed[display.current];
    }
    for (auto& [id, window] : m_windows)
        for (auto& s : window.spaces) s = renamed[s];
}

void SimWorld::switchToSpace(SpaceId space) {
    const auto position = displayOf(space);
    if (!position) return;
    const bool changed = m_displays[*position].current != space || m_activeDisplay != position;
    m_displays[*position].current = space;
    m_activeDisplay = position;
    if (!changed) return;
    postWorkspace(WorkspaceEvent::activeSpaceDidChange, std::nullopt);
    // The front-most window of the desktop shown takes focus, and its application comes forward.
    for (const WindowId id : m_stack) {
        const SimWindow& w = m_windows.at(id);
        if (!isOnScreen(w) || std::find(w.spaces.begin(), w.spaces.end(), space) == w.spaces.end()) continue;
        if (SimApp* a = app(w.pid)) {
            const bool focusChanged = a->focusedWindow != id;
            a->focusedWindow = id;
            setFrontmost(w.pid);
            if (focusChanged) postWindowEvent(w.pid, id, WindowEvent::focusedWindowChanged);
        }
        break;
    }
}

void SimWorld::setPrimaryDisplay(std::size_t display) {
    if (display >= m_displays.size() || display == 0) return;
    std::rotate(m_displays.begin(), m_displays.begin() + static_cast<std::ptrdiff_t>(display),
                m_displays.begin() + static_cast<std::ptrdiff_t>(display) + 1);
}

SpaceId SimWorld::activeSpace() const {
    if (!m_activeDisplay || *m_activeDisplay >= m_displays.size()) return 0;
    return m_displays[*m_activeDisplay].current;
}

std::optional<std::size_t> SimWorld::displayOf(SpaceId space) const {
    for (std::size_t d = 0; d < m_displays.size(); ++d)
        for (const auto& s : m_displays[d].spaces)
            if (s.id == space) return d;
    return std::nullopt;
}

DisplayNumber SimWorld::addMonitor(std::size_t display, const Rect& bounds, double topInset, double bottomInset) {
    SimMonitor monitor;
    monitor.number = m_nextDisplay++;
    monitor.name = "Monitor " + std::to_string(monitor.number);
    monitor.bounds = bounds;
    monitor.topInset = topInset;
    monitor.bottomInset = bottomInset;
    m_displays.at(display).monitors.push_back(monitor);
    screensChanged();
    return monitor.number;
}

void SimWorld::removeMonitor(DisplayNumber monitor) {
    for (SimDisplay& display : m_displays)
        std::erase_if(display.monitors, [monitor](const SimMonitor& m) { return m.number == monitor; });
    screensChanged();
}

void SimWorld::screensChanged() {
    for (const auto& [token, handler] : m_screenObservers) {
        m_scheduler.post([this, token = token] {
            const auto it = m_screenObservers.find(token);
            if (it != m_screenObservers.end()) it->second();
        });
    }
}

// --- Applications -------------------------------------------------------------------------------

Pid SimWorld::launchApp(const AppOptions& options) {
    const Pid pid = options.pid ? *options.pid : m_nextPid++;
    SimApp app;
    app.info.pid = pid;
    app.info.localizedName = options.name;
    app.info.desktopFileId = options.desktopFileId;
    app.info.executablePath = options.executablePath;
    app.info.wmClass = options.wmClass;
    app.info.wmInstance = options.wmInstance;
    m_apps[pid] = app;
    postWorkspace(WorkspaceEvent::didLaunchApplication, app.info);
    return pid;
}

void SimWorld::quitApp(Pid pid) {
    auto it = m_apps.find(pid);
    if (it == m_apps.end() || it->second.info.isTerminated) return;
    // The process is gone: its windows vanish without notifications.
    std::erase_if(m_registrations, [&](const WatchRegistration& r) {
        const auto observer = m_observers.find(r.observer);
        return observer == m_observers.end() || observer->second.pid == pid;
    });
    std::erase_if(m_windows, [&](const auto& entry) { return entry.second.pid == pid; });
    std::erase_if(m_stack, [&](WindowId id) { return !m_windows.contains(id); });
    it->second.info.isTerminated = true;
    if (m_frontmost == pid) setFrontmost(std::nullopt);
    postWorkspace(WorkspaceEvent::didTerminateApplication, it->second.info);
    m_apps.erase(it);
}

void SimWorld::hideApp(Pid pid) {
    SimApp* a = app(pid);
    if (!a || a->info.isHidden) return;
    a->info.isHidden = true;
    postWorkspace(WorkspaceEvent::didHideApplication, a->info);
}

void SimWorld::unhideApp(Pid pid) {
    SimApp* a = app(pid);
    if (!a || !a->info.isHidden) return;
    a->info.isHidden = false;
    postWorkspace(WorkspaceEvent::didUnhideApplication, a->info);
}

void SimWorld::activateApp(Pid pid) {
    SimApp* a = app(pid);
    if (!a) return;
    if (a->info.isHidden) unhideApp(pid);
    if (a->focusedWindow) raise(*a->focusedWindow);
    setFrontmost(pid);
}

SimApp* SimWorld::app(Pid pid) {
    const auto it = m_apps.find(pid);
    return it == m_apps.end() ? nullptr : &it->second;
}

void SimWorld::setFrontmost(std::optional<Pid> pid) {
    if (m_frontmost == pid) return;
    m_frontmost = pid;
    if (pid) postWorkspace(WorkspaceEvent::didActivateApplication, m_apps.at(*pid).info);
}

// --- Windows ------------------------------------------------------------------------------------

WindowId SimWorld::openWindow(Pid pid, const Rect& frame, const WindowOptions& options) {
    const WindowId id = options.id ? *options.id : m_nextWindow++;
    SimWindow window;
    window.id = id;
    window.pid = pid;
    window.title = options.title;
    window.frame = frame;
    window.layer = options.layer;
    window.kind = options.kind;
    window.resizable = options.resizable;
    const SpaceId space = options.space.value_or(activeSpace());
    if (space != 0) window.spaces.push_back(space);
    m_windows[id] = window;
    m_stack.insert(m_stack.begin(), id);
    postWindowEvent(pid, id, WindowEvent::windowCreated);
    if (options.focus) focusWindow(id);
    return id;
}

void SimWorld::refuseFrames(WindowId id, bool refuse) {
    if (SimWindow* w = window(id)) w->ignoresFrames = refuse;
}

void SimWorld::closeWindow(WindowId id) {
    const auto it = m_windows.find(id);
    if (it == m_windows.end()) return;
    const Pid pid = it->second.pid;
    postWindowEvent(pid, id, WindowEvent::windowDestroyed);
    std::erase_if(m_registrations, [&](const WatchRegistration& r) { return r.window == id; });
    m_windows.erase(it);
    std::erase(m_stack, id);
    if (SimApp* a = app(pid); a && a->focusedWindow == id) {
        a->focusedWindow.reset();
        for (const WindowId next : m_stack) {
            if (m_windows.at(next).pid == pid && !m_windows.at(next).minimized) {
                a->focusedWindow = next;
                postWindowEvent(pid, next, WindowEvent::focusedWindowChanged);
                break;
            }
        }
    }
}

void SimWorld::loseWindowManager(bool letsGo) {
    if (letsGo) {
        for (const auto& [id, window] : m_windows) postWindowEvent(window.pid, id, WindowEvent::windowDestroyed);
        std::erase_if(m_registrations, [](const WatchRegistration& r) { return r.window.has_value(); });
    }
    // After the windows' ends are delivered: until it exits, the window manager still answers.
    m_scheduler.post([this] {
        m_trusted = false;
        if (onWindowManagerChanged) onWindowManagerChanged(false);
    });
}

void SimWorld::regainWindowManager(Seconds listedAfter) {
    m_scheduler.post([this, listedAfter] {
        m_trusted = true;
        if (listedAfter > Seconds(0)) {
            for (const auto& [id, window] : m_windows) m_unlisted.insert(id);
            m_scheduler.after(listedAfter, [this] {
                const std::set<WindowId> unlisted = std::exchange(m_unlisted, {});
                for (const WindowId id : unlisted)
                    if (const SimWindow* w = window(id)) postWindowEvent(w->pid, id, WindowEvent::windowCreated);
            });
        }
        if (onWindowManagerChanged) onWindowManagerChanged(true);
    });
}

void SimWorld::raise(WindowId id) {
    std::erase(m_stack, id);
    m_stack.insert(m_stack.begin(), id);
}

void SimWorld::focusWindow(WindowId id) {
    SimWindow* w = window(id);
    if (!w) return;
    raise(id);
    // Focusing a window on another desktop shows that desktop, as the window server does.
    if (!w->spaces.empty()) switchToSpace(w->spaces.front());
    SimApp* a = app(w->pid);
    if (!a) return;
    const bool changed = a->focusedWindow != id;
    a->focusedWindow = id;
    setFrontmost(w->pid);
    if (changed) postWindowEvent(w->pid, id, WindowEvent::focusedWindowChanged);
}

void SimWorld::minimizeWindow(WindowId id) {
    SimWindow* w = window(id);
    if (!w || w->minimized) return;
    w->minimized = true;
    postWindowEvent(w->pid, id, WindowEvent::minimised);
}

void SimWorld::unminimizeWindow(WindowId id) {
    SimWindow* w = window(id);
    if (!w || !w->minimized) return;
    w->minimized = false;
    postWindowEvent(w->pid, id, WindowEvent::restored);
    focusWindow(id);
}

void SimWorld::setFullScreen(WindowId id, bool fullScreen, Seconds eventLag) {
    SimWindow* w = window(id);
    if (!w || w->fullScreen == fullScreen) return;
    w->fullScreen = fullScreen;
    const WindowEvent event = fullScreen ? WindowEvent::fullScreenEntered : WindowEvent::fullScreenLeft;
    if (eventLag <= Seconds{0}) return postWindowEvent(w->pid, id, event);
    m_scheduler.after(eventLag, [this, pid = w->pid, id, event] { postWindowEvent(pid, id, event); });
}

void SimWorld::sendWindowToSpace(WindowId id, std::optional<SpaceId> space) {
    SimWindow* w = window(id);
    if (!w) return;
    if (space) {
        w->spaces = {*space};
    } else {
        w->spaces.clear();
        for (const SimDisplay& display : m_displays)
            for (const SimSpace& each : display.spaces) w->spaces.push_back(each.id);
    }
    postWindowEvent(w->pid, id, WindowEvent::desktopChanged);
}

void SimWorld::moveWindowToSpace(WindowId id, SpaceId space) {
    if (SimWindow* w = window(id)) w->spaces = {space};
}

void SimWorld::setTitle(WindowId id, const std::string& title) {
    if (SimWindow* w = window(id)) w->title = title;
}

SimWindow* SimWorld::window(WindowId id) {
    const auto it = m_windows.find(id);
    return it == m_windows.end() ? nullptr : &it->second;
}

bool SimWorld::isOnScreen(const SimWindow& w) const {
    if (w.minimized) return false;
    if (const auto a = m_apps.find(w.pid); a != m_apps.end() && a->second.info.isHidden) return false;
    for (const SpaceId space : w.spaces) {
        const auto position = displayOf(space);
        if (position && m_displays[*position].current == space) return true;
    }
    return false;
}

// --- Faults -------------------------------------------------------------------------------------

void SimWorld::setUnannounced(DesktopHint hint, bool unannounced) {
    if (unannounced) m_unannounced.insert(hint);
    else m_unannounced.erase(hint);
}

void SimWorld::failNext(const std::string& call, int times) { failNextWith(call, WindowError::cannotComplete, times); }

void SimWorld::failNextWith(const std::string& call, WindowError error, int times) {
    auto& pending = m_failNext[call];
    pending.times += times;
    pending.error = error;
}

void SimWorld::failAlways(const std::string& call, WindowError error) { m_failAlways[call] = error; }

void SimWorld::clearFailures() {
    m_failNext.clear();
    m_failAlways.clear();
}

std::optional<WindowError> SimWorld::takeFailure(const std::string& call) {
    if (const auto it = m_failAlways.find(call); it != m_failAlways.end()) return it->second;
    const auto it = m_failNext.find(call);
    if (it == m_failNext.end() || it->second.times <= 0) return std::nullopt;
    const WindowError error = it->second.error;
    if (--it->second.times == 0) m_failNext.erase(it);
    return error;
}

std::size_t SimWorld::calls(const std::string& name) const {
    const auto it = m_calls.find(name);
    return it == m_calls.end() ? 0 : it->second;
}

// --- Observers ----------------------------------------------------------------------------------

ObserverToken SimWorld::addWorkspaceObserver(WorkspaceEvent event, Workspace::Observer observer) {
    const ObserverToken token = m_nextToken++;
    m_workspaceObservers[token] = {event, std::move(observer)};
    return token;
}

void SimWorld::removeWorkspaceObserver(ObserverToken token) { m_workspaceObservers.erase(token); }

ObserverToken SimWorld::addScreenObserver(std::function<void()> handler) {
    const ObserverToken token = m_nextToken++;
    m_screenObservers[token] = std::move(handler);
    return token;
}

void SimWorld::removeScreenObserver(ObserverToken token) { m_screenObservers.erase(token); }

void SimWorld::killObserver(WindowObserverId observer) {
    if (const auto it = m_observers.find(observer); it != m_observers.end()) it->second.dead = true;
}

void SimWorld::postWorkspace(WorkspaceEvent event, const std::optional<RunningApplication>& app) {
    for (const auto& [token, registration] : m_workspaceObservers) {
        if (registration.event != event) continue;
        // Delivered on the main queue; an observer removed meanwhile hears nothing.
        m_scheduler.post([this, token = token, app] {
            const auto it = m_workspaceObservers.find(token);
            if (it != m_workspaceObservers.end()) it->second.observer(app);
        });
    }
}

void SimWorld::dragWindow(WindowId id, const Rect& frame) {
    SimWindow* w = window(id);
    if (!w) return;
    w->frame = frame;
    noteFrameChanged(id);
}

void SimWorld::noteFrameChanged(WindowId id) {
    if (!m_framesChanged.insert(id).second) return;
    m_scheduler.post([this, id] {
        m_framesChanged.erase(id);
        if (const SimWindow* w = window(id)) postWindowEvent(w->pid, id, WindowEvent::frameChanged);
    });
}

void SimWorld::postWindowEvent(Pid pid, WindowId window, WindowEvent event) {
    const bool applicationWide = isApplicationEvent(event);
    for (const WatchRegistration& r : m_registrations) {
        if (r.event != event || (applicationWide ? r.window.has_value() : r.window != window)) continue;
        const auto observer = m_observers.find(r.observer);
        if (observer == m_observers.end() || observer->second.pid != pid) continue;
        m_scheduler.post([this, id = r.observer, window, event, context = r.context] {
            const auto it = m_observers.find(id);
            if (it == m_observers.end() || it->second.dead) return;
            // The callback may release its own observer: keep the function alive while it runs.
            const WindowControl::ObserverCallback callback = it->second.callback;
            callback(id, event, window, context);
        });
    }
}

} // namespace quorvel::sim
