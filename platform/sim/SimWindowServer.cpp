// Simulated window-server answers, with the errors the real one gives.
#include "SimWindowServer.h"

namespace quorvel::sim {

std::optional<ServerError> SimWindowServer::enter(const char* call, DesktopHint hint) {
    m_world.countCall(call);
    if (!m_world.announces(hint)) return ServerError::unsupported(hint);
    if (m_world.takeFailure(call)) return ServerError::noAnswer(std::string(call) + " failed");
    return std::nullopt;
}

Answer<DesktopTable> SimWindowServer::desktopTable() {
    if (auto error = enter("desktopTable", DesktopHint::numberOfDesktops)) return *error;
    if (m_world.desktopTableOverride()) return *m_world.desktopTableOverride();
    DesktopTable table;
    for (const SimDisplay& display : m_world.displays()) {
        DisplayDesktops entry;
        entry.identifier = display.uuid.value_or("");
        entry.currentDesktop = display.current;
        for (const SimSpace& space : display.spaces)
            entry.desktops.push_back({space.id, space.fullScreen ? DesktopKind::fullScreen : DesktopKind::normal});
        table.displays.push_back(std::move(entry));
    }
    return table;
}

Answer<SpaceId> SimWindowServer::currentDesktop() {
    if (auto error = enter("currentDesktop", DesktopHint::currentDesktop)) return *error;
    return m_world.activeSpace();
}

Outcome SimWindowServer::moveWindowsToDesktop(const std::vector<WindowId>& windows, SpaceId desktop) {
    if (auto error = enter("moveWindowsToDesktop", DesktopHint::windowDesktop)) return *error;
    if (!m_world.displayOf(desktop)) return done(); // ignored, as window managers do
    // Takes effect on a later turn, as on the real server.
    m_world.scheduler().post([&world = m_world, windows, desktop] {
        for (const WindowId id : windows) world.moveWindowToSpace(id, desktop);
    });
    return done();
}

Outcome SimWindowServer::setCurrentDesktop(const std::string& display, SpaceId desktop) {
    if (auto error = enter("setCurrentDesktop", DesktopHint::currentDesktop)) return *error;
    const auto position = m_world.displayOf(desktop);
    if (!position) return done();
    const auto& uuid = m_world.displays()[*position].uuid;
    if (uuid.value_or("display-" + std::to_string(*position)) != display) return done();
    m_world.scheduler().post([&world = m_world, desktop] { world.switchToSpace(desktop); });
    return done();
}

Answer<std::vector<SpaceId>> SimWindowServer::desktopsOfWindow(WindowId window) {
    if (auto error = enter("desktopsOfWindow", DesktopHint::windowDesktop)) return *error;
    if (const SimWindow* w = m_world.window(window)) return w->spaces;
    return std::vector<SpaceId>{};
}

Answer<std::vector<WindowInfo>> SimWindowServer::windows(WindowFilter filter) {
    if (auto error = enter("windowList", DesktopHint::clientList)) return *error;
    std::vector<WindowInfo> list;
    for (const WindowId id : m_world.stacking()) {
        const SimWindow& w = m_world.windows().at(id);
        if (filter == WindowFilter::onScreenOnly && !m_world.isOnScreen(w)) continue;
        if (filter == WindowFilter::excludeDesktopElements && w.layer < 0) continue;
        WindowInfo info{.id = w.id, .ownerPid = w.pid, .layer = w.layer, .frame = w.frame};
        if (const auto it = m_world.apps().find(w.pid); it != m_world.apps().end())
            info.ownerName = it->second.info.localizedName;
        if (!w.title.empty()) info.title = w.title;
        list.push_back(std::move(info));
    }
    return list;
}

} // namespace quorvel::sim
