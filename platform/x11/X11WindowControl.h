// Window control on X11: a window is a managed client window (its XID is its WindowId), an
// application is a process; attributes come from EWMH/ICCCM properties, writes go to the window
// manager as client messages, and observers hear of the client tracker's events
// (X11ClientTracker) on the main queue.
#pragma once

#include "X11ClientTracker.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"
#include "platform/WindowControl.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvel::x11 {

class X11WindowControl final : public WindowControl {
public:
    X11WindowControl(X11Connection& connection, X11ClientTracker& tracker, Scheduler& scheduler, Log& log);
    ~X11WindowControl() override;

    // Available while an EWMH window manager runs: without one nothing can be moved.
    bool isAvailable() override;
    // There is nothing to ask for on X11.
    bool requestAccess() override { return isAvailable(); }

    WindowResult<std::vector<WindowId>> windows(Pid pid) override;
    WindowResult<WindowId> focusedWindow(Pid pid) override;
    WindowResult<Pid> owner(WindowId window) override;
    WindowResult<WindowKind> kind(WindowId window) override;
    WindowResult<std::string> title(WindowId window) override;
    // The outer frame (decorations included).
    WindowResult<Rect> frame(WindowId window) override;
    WindowResult<bool> isMinimised(WindowId window) override;
    WindowResult<bool> isFullScreen(WindowId window) override;
    WindowResult<bool> canResize(WindowId window) override;

    // One request to the window manager that takes effect asynchronously, keeping the part it does
    // not name; a maximised window is restored first.
    using WindowControl::setFrame;
    FrameWritten setFrame(WindowId window, const FrameChange& change) override;
    WindowStatus setMinimised(WindowId window, bool minimised) override;
    WindowStatus raise(WindowId window) override;

    WindowResult<WindowObserverId> createObserver(Pid pid, ObserverCallback callback) override;
    WindowStatus watch(WindowObserverId observer, WindowEvent event, std::optional<WindowId> window,
                       std::optional<std::uint64_t> context) override;
    void releaseObserver(WindowObserverId observer) override;

    // For tests: answer availability as given instead of asking the server (none: ask again).
    void setAvailabilityOverride(std::optional<bool> available) { m_availabilityOverride = available; }

private:
    struct Observer {
        Pid pid = 0;
        ObserverCallback callback;
    };
    struct Registration {
        WindowObserverId observer = 0;
        WindowEvent event;
        std::optional<XWindow> window; // none: the observer's application
        std::optional<std::uint64_t> context;
    };

    // Availability as every call checks it: the last answer, asked again when older than a second.
    bool available();
    // The managed window, after the availability check; none with the error to answer.
    WindowResult<XWindow> managed(WindowId window);
    bool processExists(Pid pid) const;

    WindowKind kindOf(XWindow window);
    bool isFixedSize(XWindow window);
    bool hasState(XWindow window, xcb_atom_t state);
    std::optional<XWindow> focusedWindowOf(Pid pid);
    bool isMaximised(XWindow window);
    // Moves or resizes the frame; a maximised window is first restored, and the write waits for
    // the window manager to do so (its frame extents change with it).
    void place(XWindow window, std::optional<Point> origin, std::optional<Size> frameSize);
    void applyPending(XWindow window);
    // Answers whether the window still exists on the server; logs the first miss of each window.
    bool stillThere(XWindow window, const char* what);
    void moveResize(XWindow window, std::optional<Point> origin, std::optional<Size> frameSize);
    // One _NET_MOVERESIZE_WINDOW's data: gravity and fields (flags), frame origin, client size.
    struct MoveResize {
        std::uint32_t flags = 0;
        std::int32_t x = 0, y = 0, width = 0, height = 0;
    };
    // The placement rule shared by every window manager: the frame's top-left at `origin`
    // (NorthWest gravity), the client sized to `frameSize` minus the frame extents, and a move
    // always carrying a size (one still on its way, else the current client size).
    MoveResize placement(XWindow window, std::optional<Point> origin, std::optional<Size> frameSize);
    void activate(XWindow window);

    void onTrackerEvent(const X11ClientTracker::Event& event);
    void onXEvent(const xcb_generic_event_t& event);
    // Hears the window's own configure notifications, by which a size write is seen landing.
    void watchSize(XWindow window);
    void onConfigure(const xcb_configure_notify_event_t& notify);
    // Queues `event` for every registration that asks for it: on the window itself or, for
    // application-wide events, on its application. Delivered later, to observers still there.
    void deliver(Pid pid, XWindow window, WindowEvent event);

    X11Connection& m_connection;
    X11ClientTracker& m_tracker;
    Scheduler& m_scheduler;
    Log& m_log;
    std::uint64_t m_subscription = 0;
    std::uint64_t m_listener = 0;
    std::optional<bool> m_availabilityOverride;
    bool m_windowManagerPresent = false;
    std::optional<double> m_checkedAt;
    std::map<WindowObserverId, Observer> m_observers;
    std::vector<Registration> m_registrations;
    WindowObserverId m_nextObserver = 1;
    std::set<XWindow> m_reportedGone;
    // Frames written to windows that are being restored from maximised; the latest target wins.
    struct PendingFrame {
        std::optional<Point> origin;
        std::optional<Size> frameSize;
        bool restored = false; // the window manager says it is no longer maximised
        TaskHandle fallback;
    };
    std::map<XWindow, PendingFrame> m_pending;
    // The frame size of each window's latest size write, which its moves repeat until the window
    // is seen with it: dropped then, so a size the user gives it later is kept.
    std::map<XWindow, Size> m_requestedFrame;
    Lifetime m_lifetime;
};

} // namespace quorvel::x11
