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

std::optional<std::vector<SpaceId>> WindowServerApi::desktopsOfWindow(WindowId window) {
    auto desktops = m_server.desktopsOfWindow(window);
    if (!desktops) return std::nullopt;
    return std::move(*desktops);
}

std::optional<std::vector<WindowInfo>> WindowServerApi::windows(WindowFilter filter) {
    auto list = m_server.windows(filter);
    if (!list) return std::nullopt;
    return std::move(*list);
}

std::optional<std::vector<SpaceId>> WindowServerApi::spacesForWindow(ConnectionId c, WindowId window) {
    const auto answer = copySpacesForWindows(c, kAllSpacesMask, {window});
    if (!answer || !answer->is_array()) return std::nullopt;
    std::vector<SpaceId> spaces;
    spaces.reserve(answer->size());
    for (const auto& value : *answer) {
        if (!value.is_number_unsigned() && !(value.is_number_integer() && value.get<std::int64_t>() >= 0))
            return std::nullopt;
        spaces.push_back(value.get<SpaceId>());
    }
    return spaces;
}

std::optional<WindowId> WindowServerApi::windowNumber(const Json& window) {
    if (!window.is_object()) return std::nullopt;
    const auto it = window.find(windowkeys::number);
    if (it == window.end() || !it->is_number_integer()) return std::nullopt;
    if (it->is_number_unsigned()) {
        const auto value = it->get<std::uint64_t>();
        if (value > UINT32_MAX) return std::nullopt;
        return static_cast<WindowId>(value);
    }
    const auto value = it->get<std::int64_t>();
    if (value < 0 || value > UINT32_MAX) return std::nullopt;
    return static_cast<WindowId>(value);
}

} // namespace quorvel
