// The tiling engine's window tracker: one observer per application, the windows it tracks (id and
// owner), their destruction registrations, and the 2-second close sweep for windows whose end
// cannot be observed. It decides nothing about trees: what it hears goes to TrackerEvents (the tree
// policy). Implemented in TilingTracking.cpp.
#pragma once

#include "platform/Lifetime.h"
#include "tiling/TilingParts.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvel {

// Whether a window may be in a tree now, and if not, why: the one check behind tracking and
// adoption. Only standard, resizable windows are ever tracked; a tracked window fits unless it is
// minimised, full screen or its application is hidden.
enum class WindowFit { fits, notTileable, untracked, minimised, fullScreen, hidden };

// What the tracker hears, for the tree policy to act on.
class TrackerEvents {
public:
    // A window appeared; true when nothing more is to be done for it (adopted, or already there).
    virtual bool windowCreated(WindowId window, Pid pid) = 0;
    // The application's focused window changed; `tracked` says whether it is (now) tracked.
    virtual void windowFocused(WindowId window, bool tracked) = 0;
    // The application came to the front with this focused window.
    virtual void focusRefreshed(WindowId window) = 0;
    // The window is gone (already forgotten by the tracker), or minimised (still tracked).
    virtual void windowGone(WindowId window) = 0;
    virtual void windowMinimised(WindowId window) = 0;
    virtual void windowRestored(WindowId window) = 0;
    // Someone else sent the window to another desktop or onto every desktop, or it started or
    // stopped being kept aside (then it is no longer, or again, tracked).
    virtual void windowDesktopChanged(WindowId window) = 0;
    virtual void windowFullScreenEntered(WindowId window) = 0;
    virtual void windowFullScreenLeft(WindowId window) = 0;
    // A delayed attach found windows of the application.
    virtual void applicationAttached() = 0;
    // The application quit; its windows (already forgotten) leave every tree.
    virtual void applicationQuit(Pid pid, const std::vector<WindowId>& windows) = 0;
    // A tracked window moved or was resized, by anyone (our own writes too).
    virtual void windowFrameChanged(WindowId window) = 0;

protected:
    ~TrackerEvents() = default;
};

class WindowTracker {
public:
    WindowTracker(const TilingContext& context, const TilingRun& run, TrackerEvents& events);
    WindowTracker(const WindowTracker&) = delete;
    WindowTracker& operator=(const WindowTracker&) = delete;

    // Attaches every running application (but our own).
    void start();
    // Every 2 s, forgets tracked windows that are gone without having said so.
    void startCloseSweep();
    // Releases every observer and forgets every window.
    void stop();

    // True when nothing more is to be done for the application (attached with windows, or never
    // to be attached); false asks for a retry.
    bool attach(const RunningApplication& app);
    // Tries again after 0.5, 1 and 2 s, then gives up.
    void scheduleAttach(const RunningApplication& app, int attempt);
    // A newly launched application: attached at once (its first window may already be there), with
    // the retry schedule when that finds no window yet.
    void attachLaunched(const RunningApplication& app);
    void detach(Pid pid);
    void refreshFocus(const RunningApplication& app);
    // Records a tileable window and its owner and registers for its end; none when not tileable.
    std::optional<WindowId> track(WindowId window, Pid pid);
    void forget(WindowId window);
    // Forgets a window the window manager would not put on its tile, and never tracks it again
    // in this run: a refusal is not retried. Its id is free again once the window is destroyed or
    // its application quits, or when it turns up with another owner (window ids are reused).
    void setAside(WindowId window);
    // Told of every window forgotten (the frame writer drops what it asked of it).
    std::function<void(WindowId)> onForget;

    WindowFit fit(WindowId window);
    bool isTracked(WindowId window) const { return m_owners.contains(window); }
    std::size_t trackedCount() const { return m_owners.size(); }
    std::vector<WindowId> windowsOf(Pid pid) const;
    bool isDestroyArmed(WindowId window) const { return m_destroyArmed.contains(window); }
    bool hasObserver(Pid pid) const { return m_observers.contains(pid); }
    std::size_t observerCount() const { return m_observers.size(); }

private:
    void sweepForClosedWindows();
    void handle(WindowEvent event, WindowId window, std::optional<std::uint64_t> context);
    // Desktop changes and full screen, as the window manager makes them (TilingTracking.cpp).
    void watchWindowManagerMoves(WindowObserverId observer, WindowId window);
    void handleWindowManagerMove(WindowEvent event, WindowId window);
    void dropObserver(Pid pid);
    // Tells the tree policy of a new window, and once more kCreatedRetryDelay later when it could
    // not be adopted yet.
    void windowCreated(WindowId window, Pid pid);
    bool isTileable(WindowId window);
    // Every window that exists, on any desktop; none when the window server gave no answer.
    std::optional<std::set<WindowId>> existingWindows();

    const TilingContext& m_ctx;
    const TilingRun& m_run;
    TrackerEvents& m_events;
    std::map<Pid, WindowObserverId> m_observers;
    std::map<WindowId, Pid> m_owners;
    std::set<WindowId> m_destroyArmed;
    std::map<WindowId, Pid> m_setAside; // and their owners
    TaskHandle m_closeSweepTimer;
    Lifetime m_lifetime;
};

} // namespace quorvel
