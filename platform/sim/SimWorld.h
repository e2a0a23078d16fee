// The simulated desktop: displays and their desktops (and further monitors showing them),
// applications with windows and attributes, the window list, the active desktop, trust, and the
// faults a test can inject. The Sim* adapters serve the platform interfaces from it; tests drive it
// through its control surface.
#pragma once

#include "SimScheduler.h"
#include "platform/HotkeySystem.h"
#include "platform/Screens.h"
#include "platform/WindowControl.h"
#include "platform/WindowServer.h"
#include "platform/Workspace.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvel::sim {

struct DisplayOptions {
    std::optional<std::string> uuid; // none: the UUID cannot be made for this display
    std::string name = "Built-in Display";
    Rect bounds{0, 0, 1440, 900};
    double topInset = 25;         // panel or menu bar
    double bottomInset = 0;       // dock
    int spaceCount = 1;
    bool builtin = false;
};

struct SimSpace {
    SpaceId id = 0;
    bool fullScreen = false;
};

// A further monitor of a display: it shows the display's desktops (as every monitor of an X screen
// shows every EWMH desktop) and has no desktops of its own.
struct SimMonitor {
    DisplayNumber number = 0;
    std::string name;
    Rect bounds;
    double topInset = 0;
    double bottomInset = 0;

    Rect visibleBounds() const {
        return {bounds.x, bounds.y + topInset, bounds.width, bounds.height - topInset - bottomInset};
    }
};

struct SimDisplay {
    DisplayNumber number = 0;
    std::optional<std::string> uuid;
    std::string name;
    Rect bounds;
    double topInset = 0;
    double bottomInset = 0;
    bool builtin = false;
    std::vector<SimSpace> spaces;
    SpaceId current = 0;
    std::vector<SimMonitor> monitors; // further monitors, after the display's own

    Rect visibleBounds() const {
        return {bounds.x, bounds.y + topInset, bounds.width, bounds.height - topInset - bottomInset};
    }
};

struct AppOptions {
    std::string name;
    std::optional<std::string> desktopFileId;
    std::optional<std::string> executablePath;
    std::optional<Pid> pid; // none: the next free pid (ownPid makes our own process appear)
    std::optional<std::string> wmClass;    // WM_CLASS of its windows: class, instance
    std::optional<std::string> wmInstance;
};

struct SimApp {
    RunningApplication info;
    std::optional<WindowId> focusedWindow;
};

struct WindowOptions {
    std::string title;
    std::optional<SpaceId> space; // default: the active desktop
    int layer = 0;
    WindowKind kind = WindowKind::standard;
    bool resizable = true;
    bool focus = true; // the new window takes focus and its app comes to the front
    std::optional<WindowId> id; // an id the server hands out again (that of a window now closed)
};

struct SimWindow {
    WindowId id = 0;
    Pid pid = 0;
    std::string title;
    Rect frame; // window-server space
    int layer = 0;
    std::vector<SpaceId> spaces;
    WindowKind kind = WindowKind::standard;
    bool resizable = true;
    bool minimized = false;
    bool fullScreen = false;
    bool refusesMoves = false; // answers frame writes with an error
    // Window-manager behaviour: writes answered as done but the frame stays where it is, or a
    // size never smaller than this; a size that moves in steps of `sizeStep` stops at a whole step.
    bool ignoresFrames = false;
    std::optional<Size> minimumSize;
    Size sizeStep;
    // The window manager applies each accepted write this long after it was asked (in order).
    Seconds frameLag{0};
};

// One frame write that the window accepted, as the window server saw it.
struct FrameWrite {
    WindowId window;
    FrameChange change;
};

// One observer registration: on the application (no window) or on one of its windows.
struct WatchRegistration {
    WindowObserverId observer;
    WindowEvent event;
    std::optional<WindowId> window;
    std::optional<std::uint64_t> context;
};

class SimWorld {
public:
    explicit SimWorld(SimScheduler& scheduler);

    SimScheduler& scheduler() { return m_scheduler; }

    // --- Topology -----------------------------------------------------------------------------
    // Adds a display with `spaceCount` desktops; returns its position. The first display is primary.
    std::size_t addDisplay(const DisplayOptions& options = {});
    SpaceId addSpace(std::size_t display, bool fullScreen = false);
    void removeSpace(SpaceId space); // its windows move to the display's first desktop
    // Every desktop gets a new identifier, as after a restart of the window server.
    void renumberSpaces();
    // The user switches desktops: the display's current desktop changes and observers hear of it.
    void switchToSpace(SpaceId space);
    void setPrimaryDisplay(std::size_t display);
    void setMainScreen(std::optional<std::size_t> display) { m_mainScreen = display; }
    SpaceId activeSpace() const;
    const std::vector<SimDisplay>& displays() const { return m_displays; }
    std::vector<SimDisplay>& displays() { return m_displays; }
    std::optional<std::size_t> displayOf(SpaceId space) const;
    void screensChanged(); // notifies screen-parameter observers
    // A further monitor of the display (its identifier "sim-monitor-<number>"), and its removal;
    // both notify screen-parameter observers. Windows stay where they are.
    DisplayNumber addMonitor(std::size_t display, const Rect& bounds, double topInset = 0, double bottomInset = 0);
    void removeMonitor(DisplayNumber monitor);

    // --- Applications -------------------------------------------------------------------------
    Pid launchApp(const AppOptions& options);
    void quitApp(Pid pid);
    void hideApp(Pid pid);
    void unhideApp(Pid pid);
    void activateApp(Pid pid);
    std::optional<Pid> frontmost() const { return m_frontmost; }
    SimApp* app(Pid pid);
    const std::map<Pid, SimApp>& apps() const { return m_apps; }

    // --- Windows ------------------------------------------------------------------------------
    WindowId openWindow(Pid pid, const Rect& frame, const WindowOptions& options = {});
    void closeWindow(WindowId window);
    void focusWindow(WindowId window);
    void minimizeWindow(WindowId window);
    void unminimizeWindow(WindowId window);
    // The user (or the window manager) makes the window full screen or ends it; observers hear of
    // it, `eventLag` later when the news is slow (the state itself changes at once).
    void setFullScreen(WindowId window, bool fullScreen, Seconds eventLag = Seconds{0});
    // Moves the window without telling anyone, as our own move requests do.
    void moveWindowToSpace(WindowId window, SpaceId space);
    // The user sends the window to another desktop (none: onto every desktop), as a window
    // manager's menu or a pager does; observers hear of it.
    void sendWindowToSpace(WindowId window, std::optional<SpaceId> space);
    void setTitle(WindowId window, const std::string& title);
    // The user drags or resizes the window: its frame changes and observers hear of it.
    void dragWindow(WindowId window, const Rect& frame);
    // The window's frame changed: one frame-change event per window per turn of the queue.
    void noteFrameChanged(WindowId window);
    // The window's frame writes are answered as done but the window stays where it is.
    void refuseFrames(WindowId window, bool refuse = true);
    SimWindow* window(WindowId window);
    const std::map<WindowId, SimWindow>& windows() const { return m_windows; }
    const std::vector<WindowId>& stacking() const { return m_stack; } // front to back
    bool isOnScreen(const SimWindow& window) const;

    // --- Trust --------------------------------------------------------------------------------
    void revokeTrust() { m_trusted = false; }
    void grantTrust() { m_trusted = true; }
    bool trusted() const { return m_trusted; }

    // --- The window manager -----------------------------------------------------------------
    // It exits. When it `letsGo` (a clean exit or a replacement) every window is reported
    // destroyed first, as an emptied client list reads, though each stays where it is; a crash
    // lets go of nothing. Then window control answers notPermitted and, on the main queue,
    // onWindowManagerChanged(false) is called.
    void loseWindowManager(bool letsGo = true);
    // A window manager starts and manages every window again; on the main queue, after what
    // loseWindowManager posted: window control answers again and onWindowManagerChanged(true).
    // One slow to take the windows over lists them `listedAfter` later: until then window control
    // reads them as gone and lists none, then each is reported created.
    void regainWindowManager(Seconds listedAfter = Seconds(0));
    bool isListed(WindowId id) const { return !m_unlisted.contains(id); }
    // Set by the test: how the program hears the window manager come and go.
    std::function<void(bool present)> onWindowManagerChanged;

    // --- Faults -------------------------------------------------------------------------------
    // The window manager stops (or starts again) announcing `hint`.
    void setUnannounced(DesktopHint hint, bool unannounced = true);
    bool announces(DesktopHint hint) const { return !m_unannounced.contains(hint); }
    void setUUIDLookupResolves(bool resolves) { m_uuidLookupResolves = resolves; }
    bool uuidLookupResolves() const { return m_uuidLookupResolves; }
    // The next `times` calls named `call` fail: a window-server call by its name
    // ("currentDesktop", "desktopsOfWindow", "windowList", ...), a
    // window-control call by its function name ("title", "focusedWindow", "setFrame",
    // "createObserver"), a registration as "watch " and the event's name ("watch windowDestroyed"),
    // "registerHotkey".
    void failNext(const std::string& call, int times = 1);
    // The next `times` calls named `call` fail with `error`.
    void failNextWith(const std::string& call, WindowError error, int times = 1);
    // Every call named `call` fails with `error` until cleared.
    void failAlways(const std::string& call, WindowError error = WindowError::cannotComplete);
    void clearFailures();
    // Consumes one injected failure of `call`, if any.
    std::optional<WindowError> takeFailure(const std::string& call);
    // Replaces the answer of the desktop-table read until cleared with none.
    void overrideDesktopTable(std::optional<DesktopTable> table) { m_tableOverride = std::move(table); }
    const std::optional<DesktopTable>& desktopTableOverride() const { return m_tableOverride; }

    // --- What happened ------------------------------------------------------------------------
    void countCall(const std::string& name) { ++m_calls[name]; }
    std::size_t calls(const std::string& name) const;
    void resetCalls() { m_calls.clear(); }
    std::vector<FrameWrite>& writes() { return m_writes; }

    // --- Observers (served by the adapters) ---------------------------------------------------
    ObserverToken addWorkspaceObserver(WorkspaceEvent event, Workspace::Observer observer);
    void removeWorkspaceObserver(ObserverToken token);
    ObserverToken addScreenObserver(std::function<void()> handler);
    void removeScreenObserver(ObserverToken token);

    // Window observers.
    struct SimObserver {
        Pid pid = 0;
        WindowControl::ObserverCallback callback;
        bool dead = false; // delivers nothing; registrations fail with observerGone
    };
    std::map<WindowObserverId, SimObserver>& observers() { return m_observers; }
    std::vector<WatchRegistration>& registrations() { return m_registrations; }
    WindowObserverId newObserverId() { return m_nextObserver++; }
    // Makes an observer stop working, as when its process restarted.
    void killObserver(WindowObserverId observer);

    // Hot keys held by another program.
    void takeHotkey(std::uint32_t keyCode, std::uint32_t modifierFlags) { m_foreignHotkeys.insert({keyCode, modifierFlags}); }
    bool hotkeyTaken(std::uint32_t keyCode, std::uint32_t modifierFlags) const {
        return m_foreignHotkeys.contains({keyCode, modifierFlags});
    }

    // A running (not terminated) application.
    bool appRunning(Pid pid) const;

    // How long a frame write into another application takes per part it changes (origin, size),
    // in virtual time.
    Seconds writeCostPerPart{0};

    Point pointer{0, 0};
    Pid ownPid = 1000;
    std::optional<std::string> ownExecutablePath = "/usr/bin/quorvel";
    std::vector<LaunchRequest> launches;
    std::vector<std::string> openedURLs;

private:
    void postWorkspace(WorkspaceEvent event, const std::optional<RunningApplication>& app);
    void postWindowEvent(Pid pid, WindowId window, WindowEvent event);
    void raise(WindowId window);
    void setFrontmost(std::optional<Pid> pid);

    SimScheduler& m_scheduler;
    std::vector<SimDisplay> m_displays;
    std::optional<std::size_t> m_activeDisplay; // the display with keyboard focus
    std::optional<std::size_t> m_mainScreen;
    std::map<Pid, SimApp> m_apps;
    std::map<WindowId, SimWindow> m_windows;
    std::vector<WindowId> m_stack;
    std::optional<Pid> m_frontmost;
    bool m_trusted = true;
    std::set<WindowId> m_unlisted; // not yet taken over by a window manager that started

    std::set<DesktopHint> m_unannounced;
    bool m_uuidLookupResolves = true;
    struct PendingFailure {
        int times;
        WindowError error;
    };
    std::map<std::string, PendingFailure> m_failNext;
    std::map<std::string, WindowError> m_failAlways;
    std::optional<DesktopTable> m_tableOverride;
    std::map<std::string, std::size_t> m_calls;
    std::vector<FrameWrite> m_writes;

    struct WorkspaceObserver {
        WorkspaceEvent event;
        Workspace::Observer observer;
    };
    std::map<ObserverToken, WorkspaceObserver> m_workspaceObservers;
    std::map<ObserverToken, std::function<void()>> m_screenObservers;
    ObserverToken m_nextToken = 1;
    std::map<WindowObserverId, SimObserver> m_observers;
    std::vector<WatchRegistration> m_registrations;
    std::set<WindowId> m_framesChanged; // frame changes not yet delivered
    WindowObserverId m_nextObserver = 1;
    std::set<std::pair<std::uint32_t, std::uint32_t>> m_foreignHotkeys;

    SpaceId m_nextSpace = 1;
    Pid m_nextPid = 2000;
    WindowId m_nextWindow = 100;
    DisplayNumber m_nextDisplay = 1;
};

} // namespace quorvel::sim
