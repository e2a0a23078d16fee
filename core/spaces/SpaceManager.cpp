// Space manager: one read of the table, completed with screens, names and snapshot data.
#include "spaces/SpaceManager.h"

#include <algorithm>

namespace quorvel {

SpaceManager::SpaceManager(WindowServerApi& api, Screens& screens, Settings& settings, WindowSnapshotSource& snapshots)
    : m_api(api), m_screens(screens), m_settings(settings), m_snapshots(snapshots) {}

DesktopTable SpaceManager::readTable() { return m_api.desktopTable(); }

std::vector<Display> SpaceManager::getDisplays() {
    const DesktopTable table = readTable();
    const SpaceId active = m_api.currentDesktop();

    std::map<SpaceId, std::string> fullScreenNames;
    const auto fullScreenIds = SpaceParser::fullScreenSpaceIDs(table);
    if (!fullScreenIds.empty()) {
        const std::set<SpaceId> wanted(fullScreenIds.begin(), fullScreenIds.end());
        fullScreenNames = m_snapshots.current().fullScreenAppNames(wanted);
    }
    const auto mainUUID = mainDisplayID();
    const auto numbering = m_settings.numberingMode();
    const auto names = screenNamesByUUID();
    return SpaceParser::parse(table, active, mainUUID, numbering, names, fullScreenNames);
}

std::vector<Space> SpaceManager::getSpaces() {
    std::vector<Space> spaces;
    for (auto& display : getDisplays())
        std::move(display.spaces.begin(), display.spaces.end(), std::back_inserter(spaces));
    return spaces;
}

std::set<SpaceId> SpaceManager::allSpaceIDs() { return SpaceParser::allSpaceIDs(readTable()); }

std::vector<SpaceId> SpaceManager::orderedSpaceIDs() { return SpaceParser::orderedSpaceIDs(readTable()); }

std::optional<SpaceInfo> SpaceManager::spaceInfo(SpaceId space) { return SpaceParser::spaceInfo(space, readTable()); }

std::optional<SpaceId> SpaceManager::currentSpaceID(const std::string& display) {
    return SpaceParser::currentSpaceID(display, readTable());
}

std::optional<std::string> SpaceManager::mainDisplayID() { return m_screens.displayUUID(m_screens.mainDisplayId()); }

std::map<std::string, std::string> SpaceManager::screenNamesByUUID() {
    std::map<std::string, std::string> names;
    for (const ScreenInfo& screen : m_screens.screens()) {
        if (const auto uuid = m_screens.displayUUID(screen.displayNumber)) names[*uuid] = screen.localizedName;
    }
    return names;
}

std::map<std::string, Rect> SpaceManager::screenBoundsByUUID() {
    std::map<std::string, Rect> bounds;
    for (const ScreenInfo& screen : m_screens.screens()) {
        if (const auto uuid = m_screens.displayUUID(screen.displayNumber)) bounds[*uuid] = screen.frame;
    }
    return bounds;
}

std::map<SpaceId, std::vector<Rect>> SpaceManager::windowLayouts(const std::vector<Display>& displays) {
    std::vector<std::string> ids;
    for (const Display& display : displays) ids.push_back(display.id);
    const auto bounds = layoutAreas(ids, screenBoundsByUUID());

    std::map<SpaceId, std::vector<Rect>> layouts;
    std::map<SpaceId, Rect> frames;
    for (const Display& display : displays) {
        const auto frame = bounds.find(display.id);
        for (const Space& space : display.spaces) {
            layouts[space.id];
            if (frame != bounds.end() && frame->second.width > 0 && frame->second.height > 0)
                frames[space.id] = frame->second;
        }
    }

    static const Rect unit{0, 0, 1, 1};
    for (const auto& entry : m_snapshots.current().entries) {
        for (const SpaceId space : entry.spaceIDs) {
            const auto frame = frames.find(space);
            if (frame == frames.end()) continue;
            auto& list = layouts[space];
            if (list.size() >= kMaxMiniMapWindows) continue;
            const Rect& f = frame->second;
            const Rect relative{(entry.bounds.x - f.x) / f.width, (entry.bounds.y - f.y) / f.height,
                                entry.bounds.width / f.width, entry.bounds.height / f.height};
            const Rect clipped = relative.intersection(unit);
            if (!clipped.isEmpty() && clipped.width > 0.02 && clipped.height > 0.02) list.push_back(clipped);
        }
    }
    return layouts;
}

} // namespace quorvel
