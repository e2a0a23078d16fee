// Pure functions over the window server's desktop table: numbering, the current desktop of each
// display, full-screen desktops and the main display.
#pragma once

#include "platform/WindowServer.h"
#include "settings/Settings.h" // NumberingMode
#include "spaces/Space.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvel {

struct SpaceInfo {
    bool isFullScreen = false;
    std::string displayUUID;
    friend bool operator==(const SpaceInfo&, const SpaceInfo&) = default;
};

namespace SpaceParser {

// Displays in table order; desktops in the display's order. Normal desktops are numbered from 1,
// per display or across all of them; full-screen desktops get 0 and the name of their application.
// The main display is the one named `mainDisplayUUID`, or the first when none is known.
std::vector<Display> parse(const DesktopTable& table, SpaceId activeSpaceID,
                           const std::optional<std::string>& mainDisplayUUID, NumberingMode numbering,
                           const std::map<std::string, std::string>& screenNamesByUUID,
                           const std::map<SpaceId, std::string>& fullScreenAppNames);

// A display's identifier, or "display-" and its position when the server could not name it.
std::string displayIdentifier(const DesktopTable& table, std::size_t position);

std::vector<SpaceId> fullScreenSpaceIDs(const DesktopTable& table);
std::vector<SpaceId> orderedSpaceIDs(const DesktopTable& table);
std::set<SpaceId> allSpaceIDs(const DesktopTable& table);
std::optional<SpaceInfo> spaceInfo(SpaceId space, const DesktopTable& table);
std::optional<SpaceId> currentSpaceID(const std::string& display, const DesktopTable& table);

} // namespace SpaceParser
} // namespace quorvel
