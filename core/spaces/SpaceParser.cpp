// Walking the desktop table: displays in table order, desktops in each display's order.
#include "spaces/SpaceParser.h"

namespace quorvel::SpaceParser {

std::string displayIdentifier(const DesktopTable& table, std::size_t position) {
    const std::string& identifier = table.displays[position].identifier;
    return identifier.empty() ? "display-" + std::to_string(position) : identifier;
}

std::vector<Display> parse(const DesktopTable& table, SpaceId activeSpaceID,
                           const std::optional<std::string>& mainDisplayUUID, NumberingMode numbering,
                           const std::map<std::string, std::string>& screenNamesByUUID,
                           const std::map<SpaceId, std::string>& fullScreenAppNames) {
    std::vector<Display> displays;
    int counter = 1;
    for (std::size_t d = 0; d < table.displays.size(); ++d) {
        Display display;
        display.id = displayIdentifier(table, d);
        display.isMain = mainDisplayUUID ? display.id == *mainDisplayUUID : d == 0;
        if (numbering == NumberingMode::perDisplay) counter = 1;

        for (const Desktop& desktop : table.displays[d].desktops) {
            Space space;
            space.id = desktop.id;
            if (desktop.kind == DesktopKind::fullScreen) {
                space.isFullScreen = true;
                space.index = 0;
                if (const auto name = fullScreenAppNames.find(desktop.id); name != fullScreenAppNames.end())
                    space.fullScreenAppName = name->second;
            } else {
                space.index = counter++;
            }
            space.isCurrent = desktop.id == activeSpaceID;
            space.displayID = display.id;
            display.spaces.push_back(std::move(space));
        }

        const auto name = screenNamesByUUID.find(display.id);
        display.label = name != screenNamesByUUID.end() ? name->second : "Display " + std::to_string(d + 1);
        displays.push_back(std::move(display));
    }
    return displays;
}

std::vector<SpaceId> fullScreenSpaceIDs(const DesktopTable& table) {
    std::vector<SpaceId> ids;
    for (const DisplayDesktops& display : table.displays)
        for (const Desktop& desktop : display.desktops)
            if (desktop.kind == DesktopKind::fullScreen) ids.push_back(desktop.id);
    return ids;
}

std::vector<SpaceId> orderedSpaceIDs(const DesktopTable& table) {
    std::vector<SpaceId> ids;
    for (const DisplayDesktops& display : table.displays)
        for (const Desktop& desktop : display.desktops) ids.push_back(desktop.id);
    return ids;
}

std::set<SpaceId> allSpaceIDs(const DesktopTable& table) {
    const auto ordered = orderedSpaceIDs(table);
    return {ordered.begin(), ordered.end()};
}

std::optional<SpaceInfo> spaceInfo(SpaceId wanted, const DesktopTable& table) {
    for (std::size_t d = 0; d < table.displays.size(); ++d) {
        for (const Desktop& desktop : table.displays[d].desktops)
            if (desktop.id == wanted)
                return SpaceInfo{desktop.kind == DesktopKind::fullScreen, displayIdentifier(table, d)};
    }
    return std::nullopt;
}

std::optional<SpaceId> currentSpaceID(const std::string& wanted, const DesktopTable& table) {
    for (std::size_t d = 0; d < table.displays.size(); ++d)
        if (displayIdentifier(table, d) == wanted) return table.displays[d].currentDesktop;
    return std::nullopt;
}

} // namespace quorvel::SpaceParser
