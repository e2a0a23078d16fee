// Window-server wrappers: neutral answers and one error line per call that is unavailable.
#include "spaces/WindowServerApi.h"

namespace quorvel {

namespace {
constexpr const char* kCategory = "privateapi";
}

bool WindowServerApi::hasRequiredHints() const {
    for (const DesktopHint hint : kRequiredHints)
        if (!m_server.announces(hint)) return false;
    return true;
}

void WindowServerApi::note(const ServerError& error) {
    if (error.kind == ServerError::Kind::unsupported) m_log.error(kCategory, "%s unavailable", error.what);
}

DesktopTable WindowServerApi::desktopTable() {
    auto table = m_server.desktopTable();
    if (table) return std::move(*table);
    note(table.error());
    return {};
}

SpaceId WindowServerApi::currentDesktop() {
    const auto current = m_server.currentDesktop();
    if (current) return *current;
    note(current.error());
    return 0;
}

void WindowServerApi::moveWindowsToDesktop(const std::vector<WindowId>& windows, SpaceId desktop) {
    if (const auto outcome = m_server.moveWindowsToDesktop(windows, desktop); !outcome) note(outcome.error());
}

void WindowServerApi::setCurrentDesktop(const std::string& display, SpaceId desktop) {
    if (const auto outcome = m_server.setCurrentDesktop(display, desktop); !outcome) note(outcome.error());
}

void WindowServerApi::noteOnce(const ServerError& error) {
    if (error.kind == ServerError::Kind::unsupported && m_notedOnce.insert(error.what).second) note(error);
}

std::optional<std::vector<SpaceId>> WindowServerApi::desktopsOfWindow(WindowId window) {
    auto desktops = m_server.desktopsOfWindow(window);
    if (!desktops) return std::nullopt;
    return std::move(*desktops);
}

std::optional<std::vector<WindowInfo>> WindowServerApi::windows(WindowFilter filter) {
    auto list = m_server.windows(filter);
    if (list) return std::move(*list);
    noteOnce(list.error());
    return std::nullopt;
}

} // namespace quorvel
