// Window tracking: one window observer per application, the events it delivers, tracked
// windows (id and owner), the one fitness check, and the 2-second close sweep for windows whose
// destruction cannot be observed. Feeds the tree policy (TilingAdoption.cpp) through TrackerEvents.
#include "tiling/WindowTracker.h"

namespace quorvel {

using tiling::kCategory;

namespace {
constexpr Seconds kAttachDelays[] = {Seconds(0.5), Seconds(1.0), Seconds(2.0)};
constexpr int kAttachAttempts = 3;
constexpr Seconds kCreatedRetryDelay{0.15};
constexpr Seconds kCloseSweepInterval{2.0};
} // namespace

WindowTracker::WindowTracker(const TilingContext& context, const TilingRun& run, TrackerEvents& events)
    : m_ctx(context), m_run(run), m_events(events) {}

void WindowTracker::start() {
    for (const RunningApplication& app : m_ctx.workspace.runningApplications()) {
        if (!attach(app)) scheduleAttach(app, 0);
    }
}

void WindowTracker::stop() {
    m_closeSweepTimer.cancel();
    m_closeSweepTimer = {};
    m_destroyArmed.clear();
    for (const auto& [pid, observer] : m_observers) m_ctx.windows.releaseObserver(observer);
    m_observers.clear();
    m_owners.clear();
    m_setAside.clear();
}

bool WindowTracker::attach(const RunningApplication& app) {
    if (!m_run.running) return false;
    if (app.pid == m_ctx.workspace.ownPid()) return true;

    WindowControl& windows = m_ctx.windows;
    if (const auto existing = m_observers.find(app.pid); existing != m_observers.end()) {
        // Registering again tells a live observer from a dead one.
        const WindowStatus status =
            windows.watch(existing->second, WindowEvent::windowCreated, std::nullopt, std::nullopt);
        if (!status && status.error() != WindowError::alreadyWatching) {
            m_ctx.log.error(kCategory, "observer for pid %d is dead (%s) — recreating", app.pid, status.name());
            dropObserver(app.pid);
        }
    }

    if (!m_observers.contains(app.pid)) {
        const auto created = windows.createObserver(
            app.pid, m_lifetime.guard([this](WindowObserverId, WindowEvent event, WindowId window,
                                             std::optional<std::uint64_t> context) { handle(event, window, context); }));
        const std::string name = app.localizedName.value_or("?");
        if (!created || *created == 0) {
            m_ctx.log.error(kCategory, "cannot watch windows of %s (%d)", name, app.pid);
            return false;
        }
        m_ctx.log.info(kCategory, "attached %s (%d)", name, app.pid);
        (void)windows.watch(*created, WindowEvent::windowCreated, std::nullopt, std::nullopt);
        (void)windows.watch(*created, WindowEvent::focusedWindowChanged, std::nullopt, std::nullopt);
        m_observers[app.pid] = *created;
    }

    bool tracked = false;
    if (const auto list = windows.windows(app.pid))
        for (const WindowId window : *list) tracked = track(window, app.pid).has_value() || tracked;
    return tracked;
}

void WindowTracker::dropObserver(Pid pid) {
    const auto it = m_observers.find(pid);
    if (it == m_observers.end()) return;
    m_ctx.windows.releaseObserver(it->second);
    m_observers.erase(it);
}

void WindowTracker::scheduleAttach(const RunningApplication& app, int attempt) {
    if (attempt >= kAttachAttempts) {
        m_ctx.log.info(kCategory, "attach: no windows after %ld attempts: %s (%d)", kAttachAttempts,
                       app.localizedName.value_or("?"), app.pid);
        return;
    }
    const auto generation = m_run.generation;
    m_ctx.scheduler.after(kAttachDelays[attempt], m_lifetime.guard([this, app, attempt, generation] {
        if (!m_run.isCurrent(generation)) return;
        const auto current = m_ctx.workspace.runningApplication(app.pid);
        if (!current || current->isTerminated) return;
        if (!attach(*current)) {
            scheduleAttach(*current, attempt + 1);
            return;
        }
        m_events.applicationAttached();
    }));
}

void WindowTracker::attachLaunched(const RunningApplication& app) {
    if (!m_run.running) return;
    if (!attach(app)) {
        scheduleAttach(app, 0);
        return;
    }
    // Its windows are new ones, told one by one as a running application's would be: no sweep of
    // the whole desktop stands between the first window and its tile.
    for (const WindowId window : windowsOf(app.pid)) windowCreated(window, app.pid);
}

void WindowTracker::windowCreated(WindowId window, Pid pid) {
    if (m_events.windowCreated(window, pid)) return;
    const auto generation = m_run.generation;
    m_ctx.scheduler.after(kCreatedRetryDelay, m_lifetime.guard([this, window, pid, generation] {
        if (m_run.isCurrent(generation)) m_events.windowCreated(window, pid);
    }));
}

bool WindowTracker::isTileable(WindowId window) {
    if (m_ctx.windows.kind(window).valueOr(WindowKind::other) != WindowKind::standard) return false;
    return m_ctx.windows.canResize(window).valueOr(false);
}

WindowFit WindowTracker::fit(WindowId window) {
    const auto owner = m_owners.find(window);
    if (owner == m_owners.end()) return isTileable(window) ? WindowFit::untracked : WindowFit::notTileable;
    // A window that cannot answer is taken as neither minimised nor full screen.
    if (m_ctx.windows.isMinimised(window).valueOr(false)) return WindowFit::minimised;
    if (m_ctx.windows.isFullScreen(window).valueOr(false)) return WindowFit::fullScreen;
    const auto app = m_ctx.workspace.runningApplication(owner->second);
    if (app && app->isHidden) return WindowFit::hidden;
    return WindowFit::fits;
}

std::optional<WindowId> WindowTracker::track(WindowId window, Pid pid) {
    // Asked of a tracked window again too: one that became a dialog or fixed its size is not
    // taken as a tracked window to adopt.
    if (const auto aside = m_setAside.find(window); aside != m_setAside.end()) {
        if (aside->second == pid) return std::nullopt;
        m_setAside.erase(aside); // the id now names another application's window
    }
    if (!isTileable(window)) {
        // A floating window may be one kept aside for now (on every desktop, above the rest):
        // its moves are heard, so that it is tracked once it joins the desktop's windows.
        if (m_ctx.windows.kind(window).valueOr(WindowKind::other) == WindowKind::floating)
            if (const auto observer = m_observers.find(pid); observer != m_observers.end())
                watchWindowManagerMoves(observer->second, window);
        return std::nullopt;
    }
    m_owners[window] = pid;

    const auto observer = m_observers.find(pid);
    if (observer == m_observers.end()) {
        m_destroyArmed.erase(window);
        m_ctx.log.error(kCategory, "track %u: no observer or refcon — relying on the close sweep", window);
        return window;
    }
    WindowControl& windows = m_ctx.windows;
    // The window comes back as the registration's context, as it would were the event to name
    // no window.
    const WindowStatus status = windows.watch(observer->second, WindowEvent::windowDestroyed, window, window);
    if (status || status.error() == WindowError::alreadyWatching) {
        m_destroyArmed.insert(window);
    } else {
        m_destroyArmed.erase(window);
        m_ctx.log.error(kCategory, "track %u: destroy notification refused (%s) — relying on the close sweep",
                        window, status.name());
    }
    (void)windows.watch(observer->second, WindowEvent::minimised, window, window);
    (void)windows.watch(observer->second, WindowEvent::restored, window, window);
    (void)windows.watch(observer->second, WindowEvent::frameChanged, window, window);
    watchWindowManagerMoves(observer->second, window);
    return window;
}

void WindowTracker::forget(WindowId window) {
    m_owners.erase(window);
    m_destroyArmed.erase(window);
    if (onForget) onForget(window);
}

void WindowTracker::setAside(WindowId window) {
    const auto owner = m_owners.find(window);
    const Pid pid = owner != m_owners.end() ? owner->second : m_ctx.windows.owner(window).valueOr(0);
    forget(window);
    m_setAside[window] = pid;
}

std::vector<WindowId> WindowTracker::windowsOf(Pid pid) const {
    std::vector<WindowId> owned;
    for (const auto& [id, owner] : m_owners)
        if (owner == pid) owned.push_back(id);
    return owned;
}

void WindowTracker::handle(WindowEvent event, WindowId window, std::optional<std::uint64_t> context) {
    if (!m_run.running) return;
    const auto contextWindow = [&]() -> std::optional<WindowId> {
        if (!context || *context > UINT32_MAX) return std::nullopt;
        return static_cast<WindowId>(*context);
    }();

    switch (event) {
    case WindowEvent::windowCreated:
        windowCreated(window, m_ctx.windows.owner(window).valueOr(0));
        break;
    case WindowEvent::focusedWindowChanged: {
        const Pid pid = m_ctx.windows.owner(window).valueOr(0);
        const bool tracked = track(window, pid).has_value();
        m_events.windowFocused(window, tracked);
        break;
    }
    case WindowEvent::windowDestroyed:
        if (!contextWindow) return;
        m_setAside.erase(*contextWindow);
        forget(*contextWindow);
        m_events.windowGone(*contextWindow);
        break;
    case WindowEvent::minimised:
        // A minimised window leaves every tree as a closed one does, but stays tracked.
        if (contextWindow) m_events.windowMinimised(*contextWindow);
        break;
    case WindowEvent::restored:
        if (contextWindow) m_events.windowRestored(*contextWindow);
        break;
    case WindowEvent::frameChanged:
        if (contextWindow && isTracked(*contextWindow)) m_events.windowFrameChanged(*contextWindow);
        break;
    case WindowEvent::desktopChanged:
    case WindowEvent::fullScreenEntered:
    case WindowEvent::fullScreenLeft:
        if (contextWindow) handleWindowManagerMove(event, *contextWindow);
        break;
    }
}

void WindowTracker::watchWindowManagerMoves(WindowObserverId observer, WindowId window) {
    for (const WindowEvent event : {WindowEvent::desktopChanged, WindowEvent::fullScreenEntered,
                                    WindowEvent::fullScreenLeft})
        (void)m_ctx.windows.watch(observer, event, window, window);
}

void WindowTracker::handleWindowManagerMove(WindowEvent event, WindowId window) {
    if (event != WindowEvent::desktopChanged) {
        if (!isTracked(window)) return;
        if (event == WindowEvent::fullScreenEntered) m_events.windowFullScreenEntered(window);
        else m_events.windowFullScreenLeft(window);
        return;
    }
    // Kept aside now (on every desktop, say): no longer a tile. Its registrations stay, so the
    // change back is heard and tracks it again.
    if (isTracked(window) && !isTileable(window)) {
        m_ctx.log.info(kCategory, "window %u is no longer tileable — untracking", window);
        forget(window);
    } else if (!isTracked(window)) {
        const Pid pid = m_ctx.windows.owner(window).valueOr(0);
        if (pid == 0 || !track(window, pid)) return;
    }
    m_events.windowDesktopChanged(window);
}

void WindowTracker::detach(Pid pid) {
    dropObserver(pid);
    const std::vector<WindowId> owned = windowsOf(pid);
    for (const WindowId id : owned) forget(id);
    std::erase_if(m_setAside, [pid](const auto& aside) { return aside.second == pid; });
    m_events.applicationQuit(pid, owned);
}

void WindowTracker::refreshFocus(const RunningApplication& app) {
    if (!m_run.running) return;
    if (const auto focused = m_ctx.windows.focusedWindow(app.pid)) m_events.focusRefreshed(*focused);
}

void WindowTracker::startCloseSweep() {
    m_closeSweepTimer.cancel();
    m_closeSweepTimer =
        m_ctx.scheduler.every(kCloseSweepInterval, m_lifetime.guard([this] { sweepForClosedWindows(); }));
}

std::optional<std::set<WindowId>> WindowTracker::existingWindows() {
    const auto list = m_ctx.api.windows(WindowFilter::excludeDesktopElements);
    if (!list) return std::nullopt;
    std::set<WindowId> existing;
    for (const WindowInfo& window : *list) existing.insert(window.id);
    return existing;
}

void WindowTracker::sweepForClosedWindows() {
    if (!m_run.running) return;
    std::vector<WindowId> candidates;
    for (const auto& [id, owner] : m_owners)
        if (!m_destroyArmed.contains(id)) candidates.push_back(id);
    if (candidates.empty()) return;

    // Every window that still exists, on any desktop: a window on a desktop not shown is not gone,
    // and dropping it would lose its place in its tree.
    const auto existing = existingWindows();
    if (!existing) return; // no answer is not an empty desktop: try again next time
    for (const WindowId id : candidates) {
        if (existing->contains(id)) continue;
        const auto owner = m_owners.find(id);
        if (owner == m_owners.end()) continue;
        if (m_ctx.windows.isMinimised(id).valueOr(false)) continue;
        const auto app = m_ctx.workspace.runningApplication(owner->second);
        if (app && app->isHidden) continue;
        m_ctx.log.info(kCategory, "close sweep: window %u is gone — removing from tree", id);
        forget(id);
        m_events.windowGone(id);
    }
}

} // namespace quorvel
