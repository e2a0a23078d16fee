// The installed applications through GLib's GIO: desktop entries listed on a worker thread, their
// folders watched through GAppInfoMonitor on a thread of its own, entries and their actions started
// without a shell on the display we are connected to. GLib stays inside this file's .cpp.
#pragma once

#include "platform/Applications.h"
#include "platform/Lifetime.h"
#include "platform/Scheduler.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace quorvel {

class GioApplications final : public Applications {
public:
    // Each process started is handed to `adopt`, which must reap it (X11Workspace::adoptLaunched).
    using ChildHandler = std::function<void(Pid pid, const std::string& program)>;

    // `display` is the X display the children run on ("" keeps our own environment's DISPLAY).
    GioApplications(Scheduler& scheduler, std::string display, ChildHandler adopt);
    // Waits for a scan under way (tens of milliseconds) and stops the folder watch.
    ~GioApplications() override;

    // One worker thread lists every entry and looks up the default file manager; scans asked for
    // meanwhile run after it, in order.
    void scan(ScanDone done) override;
    // GIO's own monitor of the applications folders, on a thread running its own GLib main context
    // (so it works whatever loop the main thread runs); a burst of changes is one notification,
    // 0.3 s after the last, and by then GIO's cache holds the new entries. The first call starts
    // that thread and returns at once: the listing that arms the monitor runs on the thread.
    ObserverToken observeChanges(std::function<void()> handler) override;
    void removeObserver(ObserverToken token) override;

    // Asked now: while a scan lists, this waits for it (GIO's lock), tens of milliseconds.
    std::optional<SummonableApp> defaultFileManager() override;

    // Through GIO (Exec's field codes, Path, TryExec). A Terminal=true entry runs inside
    // x-terminal-emulator (Debian's chosen terminal) when there is one; else GIO picks a terminal.
    // Pid 0 when the session bus started a D-Bus activatable entry (no process of ours).
    LaunchResult launch(const SummonableApp& app, InputTime time) override;
    // The action's own Exec line, started like the entry's.
    LaunchResult launchAction(const SummonableApp& app, const std::string& actionId, InputTime time) override;
    LaunchResult launchProgram(const SummonableApp& app, const std::vector<std::string>& arguments,
                               InputTime time) override;

    // The startup-notification id a launch at `time` carries: "quorvel-<pid>-<host>-<n>_TIME<time>".
    std::string nextStartupId(InputTime time);

private:
    struct Watch; // the monitor thread and its GLib main loop
    void workLoop();
    void changed();

    Scheduler& m_scheduler;
    std::string m_display;
    ChildHandler m_adopt;
    std::uint64_t m_launches = 0;

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<ScanDone> m_requests; // guarded by m_lock
    bool m_stopping = false;         // guarded by m_lock
    std::thread m_worker;

    std::map<ObserverToken, std::function<void()>> m_observers;
    ObserverToken m_nextToken = 1;
    std::unique_ptr<Watch> m_watch;
    Lifetime m_lifetime;
};

} // namespace quorvel
