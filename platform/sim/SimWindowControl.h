// Window control over the simulated world: applications' windows and their attributes, frame
// writes that move windows (recorded), observers, availability and injected errors.
#pragma once

#include "SimWorld.h"

namespace quorvel::sim {

class SimWindowControl final : public WindowControl {
public:
    explicit SimWindowControl(SimWorld& world) : m_world(world) {}

    bool isAvailable() override { return m_world.trusted(); }
    bool requestAccess() override;

    WindowResult<std::vector<WindowId>> windows(Pid pid) override;
    WindowResult<WindowId> focusedWindow(Pid pid) override;
    WindowResult<Pid> owner(WindowId window) override;
    WindowResult<WindowKind> kind(WindowId window) override;
    WindowResult<std::string> title(WindowId window) override;
    WindowResult<Rect> frame(WindowId window) override;
    WindowResult<bool> isMinimised(WindowId window) override;
    WindowResult<bool> isFullScreen(WindowId window) override;
    WindowResult<bool> canResize(WindowId window) override;
    // One call for all of them (counted as "frames").
    std::map<WindowId, FrameReading> frames(const std::vector<WindowId>& windows) override;

    using WindowControl::setFrame;
    FrameWritten setFrame(WindowId window, const FrameChange& change) override;
    WindowStatus setMinimised(WindowId window, bool minimised) override;
    WindowStatus raise(WindowId window) override;

    WindowResult<WindowObserverId> createObserver(Pid pid, ObserverCallback callback) override;
    WindowStatus watch(WindowObserverId observer, WindowEvent event, std::optional<WindowId> window,
                       std::optional<std::uint64_t> context) override;
    void releaseObserver(WindowObserverId observer) override;

    // How many times access was asked for while it was not available.
    int requestCount() const { return m_requests; }

private:
    // The window manager applies an accepted write to the window's frame.
    void applyFrame(WindowId window, FrameChange applied);
    // The error every call answers before looking at the window: availability and injected faults.
    std::optional<WindowError> precheck(const std::string& call);
    // The window, after the precheck; none with the error to answer.
    WindowResult<const SimWindow*> lookUp(const std::string& call, WindowId window);
    // One attribute of a window, after the same checks as every other read.
    template <class T>
    WindowResult<T> read(const std::string& call, WindowId window, T SimWindow::*field) {
        const auto w = lookUp(call, window);
        if (!w) return *w.error();
        return (*w)->*field;
    }

    SimWorld& m_world;
    int m_requests = 0;
};

} // namespace quorvel::sim
