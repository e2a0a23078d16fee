// Accessibility on X11: application elements are processes, window elements are managed client
// windows; attributes come from EWMH/ICCCM properties, writes go to the window manager as client
// messages, and observers hear of the client tracker's events (X11ClientTracker) on the main queue.
#pragma once

#include "X11ClientTracker.h"
#include "platform/Accessibility.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvel::x11 {

class X11Accessibility final : public Accessibility {
public:
    X11Accessibility(X11Connection& connection, X11ClientTracker& tracker, Scheduler& scheduler, Log& log);
    ~X11Accessibility() override;

    // Trusted while an EWMH window manager runs: without one nothing can be moved.
    bool isProcessTrusted() override;
    // There is nothing to prompt for on X11.
    bool isProcessTrustedWithPrompt() override { return isProcessTrusted(); }
    AXElement systemWideElement() override;
    AXElement applicationElement(Pid pid) override;
    // Accepted and ignored: requests to the window manager do not block.
    AXError setMessagingTimeout(AXElement element, double seconds) override;

    AXResult<AXValue> copyAttributeValue(AXElement element, std::string_view attribute) override;
    // Position and size are the outer frame's; each write is one request to the window manager and
    // takes effect asynchronously, keeping the part it does not name.
    AXError setAttributeValue(AXElement element, std::string_view attribute, const AXValue& value) override;
    AXResult<bool> isAttributeSettable(AXElement element, std::string_view attribute) override;
    AXError performAction(AXElement element, std::string_view action) override;
    AXResult<Pid> pid(AXElement element) override;
    bool resolvesWindowLookup() const override { return true; }
    std::optional<WindowId> windowId(AXElement element) override;

    AXResult<AXObserverId> createObserver(Pid pid, ObserverCallback callback) override;
    AXError addNotification(AXObserverId observer, AXElement element, std::string_view notification,
                            std::optional<std::uint64_t> refcon) override;
    AXError removeNotification(AXObserverId observer, AXElement element, std::string_view notification) override;
    void scheduleObserver(AXObserverId observer) override;
    void unscheduleObserver(AXObserverId observer) override;
    void releaseObserver(AXObserverId observer) override;

    // For tests: answer trust as given instead of asking the server (none: ask again).
    void setTrustOverride(std::optional<bool> trusted) { m_trustOverride = trusted; }

    // Element handles: the kind in the top byte, the pid or XID below.
    static AXElement windowElement(XWindow window);
    static std::optional<XWindow> windowOf(AXElement element);
    static std::optional<Pid> pidOf(AXElement element);

private:
    struct Observer {
        Pid pid = 0;
        ObserverCallback callback;
        bool scheduled = false;
    };
    struct Registration {
        AXObserverId observer = 0;
        AXElement element;
        std::string notification;
        std::optional<std::uint64_t> refcon;
    };

    // Trust as every call checks it: the last answer, asked again when it is older than a second.
    bool trusted();
    // The managed window behind a window element; none for other elements and vanished windows.
    std::optional<XWindow> managedWindow(AXElement element) const;
    bool processExists(Pid pid) const;
    bool elementExists(AXElement element) const;

    AXResult<AXValue> windowAttribute(XWindow window, std::string_view attribute);
    AXResult<AXValue> applicationAttribute(Pid pid, std::string_view attribute);
    std::string subrole(XWindow window);
    bool isFixedSize(XWindow window);
    std::optional<XWindow> focusedWindow(Pid pid);
    bool isMaximised(XWindow window);
    // Moves or resizes the frame; a maximised window is first restored, and the write waits for
    // the window manager to do so (its frame extents change with it).
    void place(XWindow window, std::optional<Point> origin, std::optional<Size> frameSize);
    void applyPending(XWindow window);
    // Answers whether the window still exists on the server; logs the first miss of each window.
    bool stillThere(XWindow window, const char* what);
    void moveResize(XWindow window, std::optional<Point> origin, std::optional<Size> frameSize);
    void activate(XWindow window);

    void onTrackerEvent(const X11ClientTracker::Event& event);
    void onXEvent(const xcb_generic_event_t& event);
    // Queues `notification` for every registration that asks for it: on the window element itself,
    // or on its application's element. Delivered later, only to observers still scheduled.
    void deliver(Pid pid, XWindow window, std::string_view notification);

    X11Connection& m_connection;
    X11ClientTracker& m_tracker;
    Scheduler& m_scheduler;
    Log& m_log;
    std::uint64_t m_subscription = 0;
    std::uint64_t m_listener = 0;
    std::optional<bool> m_trustOverride;
    bool m_windowManagerPresent = false;
    std::optional<double> m_trustCheckedAt;
    std::map<AXObserverId, Observer> m_observers;
    std::vector<Registration> m_registrations;
    AXObserverId m_nextObserver = 1;
    std::set<XWindow> m_reportedGone;
    // Frames written to windows that are being restored from maximised; the latest target wins.
    struct PendingFrame {
        std::optional<Point> origin;
        std::optional<Size> frameSize;
        bool restored = false; // the window manager says it is no longer maximised
        TaskHandle fallback;
    };
    std::map<XWindow, PendingFrame> m_pending;
    Lifetime m_lifetime;
};

} // namespace quorvel::x11
