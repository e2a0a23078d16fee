// The installed applications: what the platform's desktop entries say about them, listing them off
// the main thread, and starting them or one of their actions (never through a shell). Implemented
// with GIO on Linux (platform/linux/GioApplications) and by the simulator with made-up entries.
#pragma once

#include "platform/Types.h"
#include "platform/Workspace.h" // ObserverToken

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// One `[Desktop Action id]` group of an entry.
struct DesktopAction {
    std::string id;   // "new-window"
    std::string name; // its localised Name, "New Window"
    friend bool operator==(const DesktopAction&, const DesktopAction&) = default;
};

// An application the user can summon: one desktop entry.
struct SummonableApp {
    std::string name;          // the entry's localised Name
    std::string desktopFileId; // "org.gnome.Nautilus.desktop"
    std::string path;          // the entry's file, absolute
    std::string icon;          // Icon: a theme name or an absolute path; empty when none
    std::optional<std::string> startupWMClass;
    std::string program;       // the Exec line's program as written ("firefox-esr", "/opt/x/bin/x"); empty when none
    std::vector<DesktopAction> actions;

    // The file name of `program` ("firefox-esr"); empty when there is none.
    std::string programName() const;
    // Two entries are the same application when both the name and the file are the same.
    friend bool operator==(const SummonableApp& a, const SummonableApp& b) {
        return a.name == b.name && a.path == b.path;
    }
};

// A process started for an application, or why it could not be.
struct LaunchResult {
    std::optional<Pid> pid;
    std::optional<std::string> error;
    bool started() const { return pid.has_value(); }
};

// What one scan found: the entries, and the default file manager as it was during the scan (asked
// on the scan's thread, so that nobody on the main thread waits for GIO's lock meanwhile).
struct ScanResult {
    std::vector<SummonableApp> apps;
    std::optional<SummonableApp> fileManager;
};

class Applications {
public:
    using ScanDone = std::function<void(ScanResult)>;

    Applications() = default;
    Applications(const Applications&) = delete;
    Applications& operator=(const Applications&) = delete;
    virtual ~Applications() = default;

    // Lists every entry that should be shown (Hidden, NoDisplay, OnlyShowIn/NotShowIn and TryExec
    // applied), once per desktop-file id, the first in XDG data-folder order; unsorted. The work
    // runs off the main thread; `done` runs on the main queue. A scan asked for while one runs
    // starts after it. Folders that cannot be read contribute nothing. The default file manager
    // is looked up by the same work.
    virtual void scan(ScanDone done) = 0;
    // An applications folder changed (an entry added, removed or edited). Main queue.
    virtual ObserverToken observeChanges(std::function<void()> handler) = 0;
    virtual void removeObserver(ObserverToken token) = 0;

    // The user's default file manager now (the application for inode/directory), or none. On
    // Linux this may wait for a scan under way (GIO's lock): the palette uses the one a scan
    // brought back instead.
    virtual std::optional<SummonableApp> defaultFileManager() = 0;

    // Starts the entry's main command as a new process, with a startup-notification id carrying
    // `time` (the input that asked). Failures are returned, not logged.
    virtual LaunchResult launch(const SummonableApp& app, InputTime time) = 0;
    // Runs one of the entry's actions.
    virtual LaunchResult launchAction(const SummonableApp& app, const std::string& actionId, InputTime time) = 0;
    // Runs the entry's program with other arguments (`chromium --new-window`).
    virtual LaunchResult launchProgram(const SummonableApp& app, const std::vector<std::string>& arguments,
                                       InputTime time) = 0;
};

} // namespace quorvel
