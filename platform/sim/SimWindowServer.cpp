// Simulated window-server answers, shaped like the real ones.
#include "SimWindowServer.h"

namespace quorvel::sim {

ConnectionId SimWindowServer::defaultConnection() {
    m_world.countCall("CGSDefaultConnection");
    return kConnection;
}

Json SimWindowServer::copyManagedDisplaySpaces(ConnectionId) {
    m_world.countCall("CGSCopyManagedDisplaySpaces");
    if (m_world.takeFailure("CGSCopyManagedDisplaySpaces")) return Json(); // null: no answer
    if (m_world.rawDisplayTable()) return *m_world.rawDisplayTable();
    Json table = Json::array();
    for (std::size_t d = 0; d < m_world.displays().size(); ++d) {
        const SimDisplay& display = m_world.displays()[d];
        Json dict = Json::object();
        // Without a UUID the real table still names the display; the sim leaves it out so that
        // the positional fallback is exercised.
        if (display.uuid) dict[spacekeys::displayIdentifier] = *display.uuid;
        Json spaces = Json::array();
        for (const SimSpace& space : display.spaces) {
            Json s = {{spacekeys::managedSpaceId, space.id}, {"type", space.fullScreen ? 4 : 0}};
            if (space.fullScreen) s[spacekeys::tileLayoutManager] = Json::object();
            spaces.push_back(std::move(s));
        }
        dict[spacekeys::spaces] = std::move(spaces);
        dict[spacekeys::currentSpace] = {{spacekeys::managedSpaceId, display.current}};
        table.push_back(std::move(dict));
    }
    return table;
}

SpaceId SimWindowServer::getActiveSpace(ConnectionId) {
    m_world.countCall("CGSGetActiveSpace");
    if (m_world.takeFailure("CGSGetActiveSpace")) return 0;
    return m_world.activeSpace();
}

void SimWindowServer::moveWindowsToManagedSpace(ConnectionId, const std::vector<WindowId>& windows, SpaceId space) {
    m_world.countCall("CGSMoveWindowsToManagedSpace");
    if (m_world.takeFailure("CGSMoveWindowsToManagedSpace") || !m_world.displayOf(space)) return;
    // Takes effect on a later turn, as on the real server.
    m_world.scheduler().post([&world = m_world, windows, space] {
        for (const WindowId id : windows) world.moveWindowToSpace(id, space);
    });
}

void SimWindowServer::managedDisplaySetCurrentSpace(ConnectionId, const std::string& display, SpaceId space) {
    m_world.countCall("CGSManagedDisplaySetCurrentSpace");
    if (m_world.takeFailure("CGSManagedDisplaySetCurrentSpace")) return;
    const auto position = m_world.displayOf(space);
    if (!position) return;
    const auto& uuid = m_world.displays()[*position].uuid;
    if (uuid.value_or("display-" + std::to_string(*position)) != display) return;
    m_world.scheduler().post([&world = m_world, space] { world.switchToSpace(space); });
}

std::optional<Json> SimWindowServer::copySpacesForWindows(ConnectionId, int, const std::vector<WindowId>& windows) {
    m_world.countCall("SLSCopySpacesForWindows");
    if (m_world.takeFailure("SLSCopySpacesForWindows")) return std::nullopt;
    Json spaces = Json::array();
    for (const WindowId id : windows) {
        if (const SimWindow* w = m_world.window(id))
            for (const SpaceId s : w->spaces) spaces.push_back(s);
    }
    return spaces;
}

Json SimWindowServer::copyWindowList(unsigned options, WindowId) {
    m_world.countCall("CGWindowListCopyWindowInfo");
    if (m_world.takeFailure("CGWindowListCopyWindowInfo")) return Json();
    if (m_world.rawWindowList()) return *m_world.rawWindowList();
    Json list = Json::array();
    for (const WindowId id : m_world.stacking()) {
        const SimWindow& w = m_world.windows().at(id);
        if ((options & windowListOnScreenOnly) && !m_world.isOnScreen(w)) continue;
        if ((options & windowListExcludeDesktopElements) && w.layer < 0) continue;
        Json entry = {
            {windowkeys::number, w.id},
            {windowkeys::ownerPid, w.pid},
            {windowkeys::layer, w.layer},
            {windowkeys::bounds,
             {{windowkeys::x, w.frame.x}, {windowkeys::y, w.frame.y}, {windowkeys::width, w.frame.width},
              {windowkeys::height, w.frame.height}}},
        };
        if (const auto it = m_world.apps().find(w.pid); it != m_world.apps().end() && it->second.info.localizedName)
            entry[windowkeys::ownerName] = *it->second.info.localizedName;
        if (!w.title.empty()) entry[windowkeys::name] = w.title;
        list.push_back(std::move(entry));
    }
    return list;
}

} // namespace quorvel::sim
