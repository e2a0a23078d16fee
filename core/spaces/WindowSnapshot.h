// One read of the window list, reduced to ordinary application windows with their desktops, and
// the per-turn cache that lets every view of one refresh share a single read.
#pragma once

#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"
#include "spaces/WindowServerApi.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvel {

struct WindowSnapshot {
    struct Entry {
        WindowId windowID = 0;
        std::string ownerName;
        std::optional<std::string> title;
        std::vector<SpaceId> spaceIDs;
        Rect bounds; // window-server space
        friend bool operator==(const Entry&, const Entry&) = default;
    };

    std::vector<Entry> entries; // front to back

    // Pure. The owner of the front-most window wider than 500 pixels names each requested desktop.
    std::map<SpaceId, std::string> fullScreenAppNames(const std::set<SpaceId>& ids) const;
    // Pure. "Owner — Title" of the first window on the desktop whose owner is not skipped.
    std::optional<std::string> firstAppName(SpaceId space, const std::set<std::string>& skipApps) const;
};

// Pure. The area each display's window layouts (mini-maps) are normalised against: the bounding box
// of its own monitor and of every monitor that no display names, which show the same desktops (as
// every monitor of an X screen shows every EWMH desktop). Displays without bounds are left out.
std::map<std::string, Rect> layoutAreas(const std::vector<std::string>& displays,
                                        const std::map<std::string, Rect>& monitorBounds);

// Takes snapshots and caches the current one until the main queue's next turn.
class WindowSnapshotSource {
public:
    WindowSnapshotSource(WindowServerApi& api, Scheduler& scheduler, Log& log)
        : m_api(api), m_scheduler(scheduler), m_log(log) {}

    // A new read of the window list (and one desktop query per kept window). Application windows
    // only: layer 0, an owner name, and wider and taller than 100 pixels.
    WindowSnapshot capture();
    // The snapshot of this turn of the main queue, captured on first use.
    const WindowSnapshot& current();

    long captureCount() const { return m_counter; }

private:
    WindowServerApi& m_api;
    Scheduler& m_scheduler;
    Log& m_log;
    long m_counter = 0;
    std::optional<WindowSnapshot> m_cached;
    Lifetime m_lifetime;
};

} // namespace quorvel
