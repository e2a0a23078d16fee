// Pure functions over the window server's display/desktop table (an array of display
// dictionaries). Values of the wrong type count as absent; nothing here can fail.
#pragma once

#include "settings/Settings.h" // NumberingMode
#include "spaces/Space.h"

#include <nlohmann/json.hpp>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvel {

using Json = nlohmann::json;

struct SpaceInfo {
    bool isFullScreen = false;
    std::string displayUUID;
    friend bool operator==(const SpaceInfo&, const SpaceInfo&) = default;
};

namespace SpaceParser {

std::vector<Display> parse(const Json& displayDicts, SpaceId activeSpaceID,
                           const std::optional<std::string>& mainDisplayUUID, NumberingMode numbering,
                           const std::map<std::string, std::string>& screenNamesByUUID,
                           const std::map<SpaceId, std::string>& fullScreenAppNames);

std::vector<SpaceId> fullScreenSpaceIDs(const Json& displayDicts);
std::vector<SpaceId> orderedSpaceIDs(const Json& displayDicts);
std::set<SpaceId> allSpaceIDs(const Json& displayDicts);
std::optional<SpaceInfo> spaceInfo(SpaceId space, const Json& displayDicts);
std::optional<SpaceId> currentSpaceID(const std::string& display, const Json& displayDicts);

} // namespace SpaceParser
} // namespace quorvel
