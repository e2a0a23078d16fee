// Walking the display/desktop table: displays in array order, desktops in "Spaces" order.
#include "spaces/SpaceParser.h"

#include "platform/WindowServer.h"

namespace quorvel::SpaceParser {

namespace {

// The desktop id of a desktop dictionary, when it has a numeric one.
std::optional<SpaceId> managedSpaceId(const Json& space) {
    if (!space.is_object()) return std::nullopt;
    const auto it = space.find(spacekeys::managedSpaceId);
    if (it == space.end()) return std::nullopt;
    if (it->is_number_unsigned()) return it->get<SpaceId>();
    if (it->is_number_integer()) return static_cast<SpaceId>(it->get<std::int64_t>()); // two's complement, as the server would
    return std::nullopt;
}

bool isFullScreenSpace(const Json& space) {
    const auto it = space.find(spacekeys::tileLayoutManager);
    return it != space.end() && it->is_object();
}

std::string displayIdentifier(const Json& display, std::size_t position) {
    if (display.is_object()) {
        const auto it = display.find(spacekeys::displayIdentifier);
        if (it != display.end() && it->is_string()) return it->get<std::string>();
    }
    return "display-" + std::to_string(position);
}

// The "Spaces" array of a display dictionary, or null when it has none.
const Json* spacesOf(const Json& display) {
    if (!display.is_object()) return nullptr;
    const auto it = display.find(spacekeys::spaces);
    if (it == display.end() || !it->is_array()) return nullptr;
    return &*it;
}

// Calls visit(display, position, spaceDict, spaceId) for every identified desktop in order.
template <class Visit>
void forEachSpace(const Json& displayDicts, Visit visit) {
    if (!displayDicts.is_array()) return;
    for (std::size_t d = 0; d < displayDicts.size(); ++d) {
        const Json& display = displayDicts[d];
        const Json* spaces = spacesOf(display);
        if (!spaces) continue;
        for (const Json& space : *spaces) {
            if (const auto id = managedSpaceId(space)) visit(display, d, space, *id);
        }
    }
}

} // namespace

std::vector<Display> parse(const Json& displayDicts, SpaceId activeSpaceID,
                           const std::optional<std::string>& mainDisplayUUID, NumberingMode numbering,
                           const std::map<std::string, std::string>& screenNamesByUUID,
                           const std::map<SpaceId, std::string>& fullScreenAppNames) {
    std::vector<Display> displays;
    if (!displayDicts.is_array()) return displays;
    int counter = 1;
    for (std::size_t d = 0; d < displayDicts.size(); ++d) {
        const Json& dict = displayDicts[d];
        const Json* spaces = spacesOf(dict);
        if (!spaces) continue;

        Display display;
        display.id = displayIdentifier(dict, d);
        display.isMain = mainDisplayUUID ? display.id == *mainDisplayUUID : d == 0;
        if (numbering == NumberingMode::perDisplay) counter = 1;

        for (const Json& spaceDict : *spaces) {
            const auto id = managedSpaceId(spaceDict);
            if (!id) continue;
            Space space;
            space.id = *id;
            if (isFullScreenSpace(spaceDict)) {
                space.isFullScreen = true;
                space.index = 0;
                if (const auto name = fullScreenAppNames.find(*id); name != fullScreenAppNames.end())
                    space.fullScreenAppName = name->second;
            } else {
                space.index = counter++;
            }
            space.isCurrent = *id == activeSpaceID;
            space.displayID = display.id;
            display.spaces.push_back(std::move(space));
        }

        const auto name = screenNamesByUUID.find(display.id);
        display.label = name != screenNamesByUUID.end() ? name->second : "Display " + std::to_string(d + 1);
        displays.push_back(std::move(display));
    }
    return displays;
}

std::vector<SpaceId> fullScreenSpaceIDs(const Json& displayDicts) {
    std::vector<SpaceId> ids;
    forEachSpace(displayDicts, [&](const Json&, std::size_t, const Json& space, SpaceId id) {
        if (isFullScreenSpace(space)) ids.push_back(id);
    });
    return ids;
}

std::vector<SpaceId> orderedSpaceIDs(const Json& displayDicts) {
    std::vector<SpaceId> ids;
    forEachSpace(displayDicts, [&](const Json&, std::size_t, const Json&, SpaceId id) { ids.push_back(id); });
    return ids;
}

std::set<SpaceId> allSpaceIDs(const Json& displayDicts) {
    const auto ordered = orderedSpaceIDs(displayDicts);
    return {ordered.begin(), ordered.end()};
}

std::optional<SpaceInfo> spaceInfo(SpaceId wanted, const Json& displayDicts) {
    std::optional<SpaceInfo> info;
    forEachSpace(displayDicts, [&](const Json& display, std::size_t d, const Json& space, SpaceId id) {
        if (info || id != wanted) return;
        info = SpaceInfo{isFullScreenSpace(space), displayIdentifier(display, d)};
    });
    return info;
}

std::optional<SpaceId> currentSpaceID(const std::string& wanted, const Json& displayDicts) {
    if (!displayDicts.is_array()) return std::nullopt;
    for (std::size_t d = 0; d < displayDicts.size(); ++d) {
        const Json& display = displayDicts[d];
        if (!spacesOf(display) || displayIdentifier(display, d) != wanted) continue;
        const auto current = display.find(spacekeys::currentSpace);
        if (current == display.end()) return std::nullopt;
        return managedSpaceId(*current);
    }
    return std::nullopt;
}

} // namespace quorvel::SpaceParser
