// Reads the display/desktop table and adds what it lacks: the main display, screen names, the
// names of full-screen applications, the numbering mode, and the window layouts of the mini-maps.
// Nothing is cached here; the window snapshot has its own per-turn cache.
#pragma once

#include "platform/Screens.h"
#include "settings/Settings.h"
#include "spaces/Space.h"
#include "spaces/SpaceParser.h"
#include "spaces/WindowServerApi.h"
#include "spaces/WindowSnapshot.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvel {

class SpaceManager {
public:
    // A desktop's mini-map shows at most this many windows.
    static constexpr std::size_t kMaxMiniMapWindows = 8;

    SpaceManager(WindowServerApi& api, Screens& screens, Settings& settings, WindowSnapshotSource& snapshots);

    std::vector<Display> getDisplays();
    // Every desktop of every display, in display order: the order desktop hot keys count in.
    std::vector<Space> getSpaces();
    std::set<SpaceId> allSpaceIDs();
    std::vector<SpaceId> orderedSpaceIDs();
    std::optional<SpaceInfo> spaceInfo(SpaceId space);
    std::optional<SpaceId> currentSpaceID(const std::string& display);

    // Per desktop, up to eight window rectangles in the unit square of the desktop's display
    // (x from the left edge, y from the top edge), front-most window first.
    std::map<SpaceId, std::vector<Rect>> windowLayouts(const std::vector<Display>& displays);

    std::optional<std::string> mainDisplayID();
    std::map<std::string, std::string> screenNamesByUUID();
    // Screen frames by display UUID.
    std::map<std::string, Rect> screenBoundsByUUID();

    // The table as the window server gives it, or an empty table when it gives none.
    DesktopTable readTable();

private:
    WindowServerApi& m_api;
    Screens& m_screens;
    Settings& m_settings;
    WindowSnapshotSource& m_snapshots;
};

} // namespace quorvel
