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
#include <utility>
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
    // The visible frame: the outer frame (decorations included) without the invisible shadow a
    // window with client-side decorations draws around itself (_GTK_FRAME_EXTENTS).
    WindowResult<Rect> frame(WindowId window) override;
    WindowResult<bool> isMinimised(WindowId window) override;
    WindowResult<bool> isFullScreen(WindowId window) override;
    WindowResult<bool> canResize(WindowId window) override;
    // Every window's geometry, frame extents, state and size hints in one round trip; frame
    // writes in the same turn of the loop reuse them instead of asking again.
    std::map<WindowId, FrameReading> frames(const std::vector<WindowId>& windows) override;

    // One request to the window manager that takes effect asynchronously, keeping the part it does
    // not name; a maximised window is restored first. `_NET_MOVERESIZE_WINDOW` when the window
    // manager lists it in `_NET_SUPPORTED`, else a ConfigureWindow of the client.
    using WindowControl::setFrame;
    FrameWritten setFrame(WindowId window, const FrameChange& change) override;
    WindowStatus setMinimised(WindowId window, bool minimised) override;
    WindowStatus raise(WindowId window) override;

    WindowResult<WindowObserverId> createObserver(Pid pid, ObserverCallback callback) override;
    WindowStatus watch(WindowObserverId observer, WindowEvent event, std::optional<WindowId> window,
                       std::optional<std::uint64_t> context) override;
    void releaseObserver(WindowObserverId observer) override;

    // _GTK_FRAME_EXTENTS of `window` (left, right, top, bottom): the shadow margins inside its client
    // rectangle; zeros without one. Shared with the window list.
    static X11Connection::Extents clientSideShadow(X11Connection& connection, XWindow window);
    // Those margins from the property's values; zeros for a malformed or implausible value. Pure.
    static X11Connection::Extents shadowExtents(const std::vector<std::uint32_t>& values);
    // The visible part of an outer frame with that shadow. Pure.
    static Rect withoutShadow(const Rect& frame, const X11Connection::Extents& shadow);

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
    // The visible part of an outer frame: without its client-side shadow. A round trip.
    Rect visibleFrame(XWindow window, const Rect& frame);
    // The outer frame to ask for so that the visible part lands on the wanted one: grown by the
    // client-side shadow (origin and size, each when given). A round trip when anything is given.
    void requestedFrame(XWindow window, std::optional<Point>& origin, std::optional<Size>& size);
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

    // What a batch read (frames) learnt of a window, for the writes of the same turn.
    struct Snapshot {
        X11Connection::Extents extents;
        bool maximised = false;
        bool fixedSize = false;
    };
    const Snapshot* snapshotOf(XWindow window) const;
    bool knownFixedSize(XWindow window);
    bool knownMaximised(XWindow window);
    X11Connection::Extents knownExtents(XWindow window);
    // Whether the window manager takes _NET_MOVERESIZE_WINDOW (read once, logged once when not).
    bool moveResizeSupported();
    // Sends the frame request: the client message, or ConfigureWindow without it.
    void sendMoveResize(XWindow window, std::uint32_t flags, std::int32_t x, std::int32_t y, std::int32_t width,
                        std::int32_t height);

    void onTrackerEvent(const X11ClientTracker::Event& event);
    void onXEvent(const xcb_generic_event_t& event);
    void onConfigure(const xcb_configure_notify_event_t& notify);
    // The client window's size, read now, and the sequence number of the read; none once gone.
    std::optional<std::pair<std::pair<std::int32_t, std::int32_t>, std::uint32_t>> clientSize(XWindow window);
    // Whether a configure notification giving the client `clientSize`, sent before the request
    // numbered `readAt`, is received and not yet dispatched: a size write that landed before
    // that read, whatever size the read found.
    bool landingReceived(XWindow window, std::pair<std::int32_t, std::int32_t> clientSize, std::uint32_t readAt);
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
    // Windows whose frame change is posted and not yet delivered.
    std::set<XWindow> m_framesChanged;
    std::map<XWindow, Snapshot> m_snapshots; // emptied on the next turn of the loop
    bool m_snapshotsExpiring = false;
    std::optional<bool> m_moveResizeSupported;
    // The frame size of each window's latest size write, which its moves repeat until the window
    // is seen with it: dropped then, so a size the user gives it later is kept.
    std::map<XWindow, Size> m_requestedFrame;
    Lifetime m_lifetime;
};

} // namespace quorvel::x11
