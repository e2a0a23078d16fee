// Simulated window control: what a well-behaved application answers, plus the faults tests inject.
#include "SimWindowControl.h"

#include <algorithm>
#include <cmath>

namespace quorvel::sim {

std::optional<WindowError> SimWindowControl::precheck(const std::string& call) {
    m_world.countCall(call);
    if (!m_world.trusted()) return WindowError::notPermitted;
    return m_world.takeFailure(call);
}

WindowResult<const SimWindow*> SimWindowControl::lookUp(const std::string& call, WindowId window) {
    if (const auto error = precheck(call)) return *error;
    const SimWindow* w = m_world.window(window);
    if (!w || !m_world.isListed(window)) return WindowError::windowGone;
    return w;
}

bool SimWindowControl::requestAccess() {
    if (!m_world.trusted()) ++m_requests;
    return m_world.trusted();
}

WindowResult<std::vector<WindowId>> SimWindowControl::windows(Pid pid) {
    if (const auto error = precheck("windows")) return *error;
    if (!m_world.appRunning(pid)) return WindowError::windowGone;
    std::vector<WindowId> windows;
    for (const WindowId id : m_world.stacking())
        if (m_world.windows().at(id).pid == pid && m_world.isListed(id)) windows.push_back(id);
    return windows;
}

WindowResult<WindowId> SimWindowControl::focusedWindow(Pid pid) {
    if (const auto error = precheck("focusedWindow")) return *error;
    if (!m_world.appRunning(pid)) return WindowError::windowGone;
    const auto focused = m_world.app(pid)->focusedWindow;
    if (!focused) return WindowError::noValue;
    return *focused;
}

WindowResult<Pid> SimWindowControl::owner(WindowId window) { return read("owner", window, &SimWindow::pid); }

WindowResult<WindowKind> SimWindowControl::kind(WindowId window) { return read("kind", window, &SimWindow::kind); }

WindowResult<std::string> SimWindowControl::title(WindowId window) { return read("title", window, &SimWindow::title); }

WindowResult<Rect> SimWindowControl::frame(WindowId window) { return read("frame", window, &SimWindow::frame); }

WindowResult<bool> SimWindowControl::isMinimised(WindowId window) { return read("isMinimised", window, &SimWindow::minimized); }

WindowResult<bool> SimWindowControl::isFullScreen(WindowId window) { return read("isFullScreen", window, &SimWindow::fullScreen); }

WindowResult<bool> SimWindowControl::canResize(WindowId window) { return read("canResize", window, &SimWindow::resizable); }

std::map<WindowId, FrameReading> SimWindowControl::frames(const std::vector<WindowId>& windows) {
    if (precheck("frames")) return {};
    std::map<WindowId, FrameReading> read;
    for (const WindowId id : windows)
        if (const SimWindow* w = m_world.window(id)) read[id] = FrameReading{w->frame, w->sizeStep};
    return read;
}

FrameWritten SimWindowControl::setFrame(WindowId window, const FrameChange& change) {
    const int parts = (change.origin ? 1 : 0) + (change.size ? 1 : 0);
    m_world.scheduler().burn(m_world.writeCostPerPart * parts);
    const auto failed = [&](WindowError error) {
        return FrameWritten{change.origin ? WindowStatus(error) : WindowStatus(),
                            change.size ? WindowStatus(error) : WindowStatus()};
    };
    if (const auto error = precheck("setFrame")) return failed(*error);
    SimWindow* w = m_world.window(window);
    if (!w) return failed(WindowError::windowGone);
    if (w->refusesMoves) return failed(WindowError::cannotComplete);
    FrameWritten result;
    FrameChange applied = change;
    // A fixed-size window moves but keeps its size.
    if (change.size && !w->resizable) {
        result.size = WindowError::cannotComplete;
        applied.size.reset();
    }
    if (!applied.origin && !applied.size) return result;
    m_world.writes().push_back({window, applied});
    if (w->ignoresFrames) return result;
    if (w->frameLag > Seconds(0)) {
        m_world.scheduler().after(w->frameLag, [this, window, applied] { applyFrame(window, applied); });
        return result;
    }
    applyFrame(window, applied);
    return result;
}

void SimWindowControl::applyFrame(WindowId window, FrameChange applied) {
    SimWindow* w = m_world.window(window);
    if (!w) return;
    if (applied.size && w->minimumSize) {
        applied.size->width = std::max(applied.size->width, w->minimumSize->width);
        applied.size->height = std::max(applied.size->height, w->minimumSize->height);
    }
    // A size that moves in steps (a terminal's character cells) stops at the last whole step.
    if (applied.size && w->sizeStep.width > 0)
        applied.size->width = std::floor(applied.size->width / w->sizeStep.width) * w->sizeStep.width;
    if (applied.size && w->sizeStep.height > 0)
        applied.size->height = std::floor(applied.size->height / w->sizeStep.height) * w->sizeStep.height;
    if (applied.origin) {
        w->frame.x = applied.origin->x;
        w->frame.y = applied.origin->y;
    }
    if (applied.size) {
        w->frame.width = applied.size->width;
        w->frame.height = applied.size->height;
    }
    m_world.noteFrameChanged(window);
}

WindowStatus SimWindowControl::setMinimised(WindowId window, bool minimised) {
    const auto w = lookUp("setMinimised", window);
    if (!w) return *w.error();
    if (minimised) m_world.minimizeWindow(window);
    else m_world.unminimizeWindow(window);
    return {};
}

WindowStatus SimWindowControl::raise(WindowId window) {
    const auto w = lookUp("raise", window);
    if (!w) return *w.error();
    m_world.focusWindow(window);
    return {};
}

WindowResult<WindowObserverId> SimWindowControl::createObserver(Pid pid, ObserverCallback callback) {
    if (const auto error = precheck("createObserver")) return *error;
    if (!m_world.appRunning(pid)) return WindowError::windowGone;
    if (!callback) return WindowError::invalidArgument;
    const WindowObserverId id = m_world.newObserverId();
    m_world.observers()[id] = SimWorld::SimObserver{pid, std::move(callback), false};
    return id;
}

WindowStatus SimWindowControl::watch(WindowObserverId observer, WindowEvent event, std::optional<WindowId> window,
                                     std::optional<std::uint64_t> context) {
    if (const auto error = precheck(std::string("watch ") + eventName(event))) return *error;
    const auto it = m_world.observers().find(observer);
    if (it == m_world.observers().end() || it->second.dead) return WindowError::observerGone;
    if (isApplicationEvent(event) != !window.has_value()) return WindowError::unsupported;
    if (window) {
        const SimWindow* w = m_world.window(*window);
        if (!w || w->pid != it->second.pid) return WindowError::windowGone;
    } else if (!m_world.appRunning(it->second.pid)) {
        return WindowError::windowGone;
    }
    for (const WatchRegistration& r : m_world.registrations())
        if (r.observer == observer && r.event == event && r.window == window) return WindowError::alreadyWatching;
    m_world.registrations().push_back({observer, event, window, context});
    return {};
}

void SimWindowControl::releaseObserver(WindowObserverId observer) {
    std::erase_if(m_world.registrations(), [&](const WatchRegistration& r) { return r.observer == observer; });
    m_world.observers().erase(observer);
}

} // namespace quorvel::sim
