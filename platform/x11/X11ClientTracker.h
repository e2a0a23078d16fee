// The window manager's client windows as the backend's other parts see them: the managed set with
// owners, the active window, each window's desktop and minimised/full-screen/kept-aside state, and
// the current desktop, kept from X events.
// X11WindowControl and X11Workspace turn its events into notifications on the main queue.
#pragma once

#include "X11Connection.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"

#include <xcb/res.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::x11 {

class X11ClientTracker {
public:
    struct Event {
        enum class Kind {
            windowAdded,
            windowRemoved,
            activeWindowChanged,
            windowStateChanged,
            currentDesktopChanged,
            frameChanged, // moved or resized (a ConfigureNotify of the client, the window manager's too)
            windowDesktopChanged, // the window's _NET_WM_DESKTOP changed (sent away, or onto every desktop)
            fullScreenChanged,    // see fullScreenNow
            keptAsideChanged,     // it started or stopped skipping the taskbar or being kept above/below
        };
        Kind kind = Kind::windowAdded;
        // The window concerned; for activeWindowChanged the newly active one (0: none).
        XWindow window = 0;
        // activeWindowChanged: the window active before (0: none).
        XWindow previous = 0;
        // windowAdded, windowRemoved, frameChanged: the owning process (0 when the window names none).
        Pid pid = 0;
        // windowStateChanged.
        bool minimisedBefore = false;
        bool minimisedNow = false;
        // fullScreenChanged.
        bool fullScreenNow = false;
    };
    // Called synchronously while X events are dispatched, after the tracker's state is updated.
    // Subscribers must not call back into other parts from here: post to the main queue instead.
    using Subscriber = std::function<void(const Event& event)>;

    // Reads the current clients at once; no events are sent for windows that already exist. The
    // scheduler is not needed: events are reported synchronously and each consumer posts its own.
    X11ClientTracker(X11Connection& connection, Scheduler& scheduler, Log& log);
    ~X11ClientTracker();
    X11ClientTracker(const X11ClientTracker&) = delete;
    X11ClientTracker& operator=(const X11ClientTracker&) = delete;

    std::uint64_t subscribe(Subscriber subscriber);
    void unsubscribe(std::uint64_t token);

    bool isManaged(XWindow window) const { return m_clients.contains(window); }
    // The managed windows in the window manager's list order (oldest first).
    const std::vector<XWindow>& clients() const { return m_order; }
    // The owner named by _NET_WM_PID; 0 when the window names none or is not managed.
    Pid pidOf(XWindow window) const;
    bool isMinimised(XWindow window) const;
    bool isFullScreen(XWindow window) const;
    // On every desktop (_NET_WM_DESKTOP 0xFFFFFFFF), skipping the taskbar, or kept above or below
    // the others: a window that lives beside the desktop's windows rather than among them.
    bool isKeptAside(XWindow window) const;
    XWindow activeWindow() const { return m_active; }
    std::optional<std::uint32_t> currentDesktop() const { return m_desktop; }

    // Managed windows front to back, as the window manager stacks them now (a round trip).
    std::vector<XWindow> frontToBack();
    // The same, only the windows of `pid`.
    std::vector<XWindow> windowsOf(Pid pid);
    // Whether some managed window belongs to `pid`.
    bool ownsWindows(Pid pid) const;

    // The process of the X client that made `window`, as the server knows it (X-Resource client
    // ids): the real process also for a sandboxed application or a window without _NET_WM_PID.
    // None without the extension or for a client the server cannot name (a remote one). A round trip.
    static std::optional<Pid> serverClientPid(X11Connection& connection, XWindow window);
    // The same, asked now and answered later, for reads batched in one round trip.
    class PendingClientPid {
    public:
        PendingClientPid(X11Connection& connection, XWindow window);
        PendingClientPid(PendingClientPid&& other) noexcept
            : m_connection(other.m_connection), m_cookie(std::exchange(other.m_cookie, std::nullopt)) {}
        PendingClientPid(const PendingClientPid&) = delete;
        PendingClientPid& operator=(const PendingClientPid&) = delete;
        PendingClientPid& operator=(PendingClientPid&&) = delete;
        // A reply never asked for would stay queued in xcb for the connection's life.
        ~PendingClientPid();
        // Waits for the reply; call once.
        std::optional<Pid> get();

    private:
        X11Connection& m_connection;
        std::optional<xcb_res_query_client_ids_cookie_t> m_cookie;
    };

    // Whether process `pid` runs on this machine; a zombie does not.
    static bool processRunning(Pid pid);
    // The process's short name (/proc/<pid>/comm); none when it is gone.
    static std::optional<std::string> processName(Pid pid);

    // Re-reads everything from the server and sends events for what changed. The event handlers
    // call the parts of this they need; tests may call it after a round trip.
    void refresh();

private:
    struct Client {
        Pid pid = 0;
        bool minimised = false;
        bool fullScreen = false;
        bool pidFromServer = false; // X-Resource named the process: _NET_WM_PID is not needed
        bool keptAsideByState = false;
        std::optional<std::uint32_t> desktop;

        bool keptAside() const;
    };

    void handle(const xcb_generic_event_t& event);
    void refreshClients();
    void refreshActive();
    void refreshDesktop();
    void refreshState(XWindow window);
    void refreshWindowDesktop(XWindow window);
    // Reads the windows together, with `alsoRead` of each, in one round trip; without `readPid`,
    // the owner is not asked (pid 0): one the server named does not change.
    std::vector<Client> readClients(const std::vector<XWindow>& windows, bool readPid,
                                    const std::vector<xcb_atom_t>& alsoRead = {});
    // Everything the adoption of a new window asks about it: read with its first reading and kept
    // by the connection until it changes.
    std::vector<xcb_atom_t> adoptionProperties();
    void publish(const Event& event);

    X11Connection& m_connection;
    Log& m_log;
    std::uint64_t m_listener = 0;
    std::map<XWindow, Client> m_clients;
    std::vector<XWindow> m_order;
    XWindow m_active = 0;
    // The active window as announced before the client list named it: taken up once it does.
    XWindow m_unlistedActive = 0;
    std::optional<std::uint32_t> m_desktop;
    std::map<std::uint64_t, Subscriber> m_subscribers;
    std::uint64_t m_nextSubscriber = 1;
};

} // namespace quorvel::x11
