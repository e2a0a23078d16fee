// Window-server wrappers: neutral answers and one error line per call of a missing function.
#include "spaces/WindowServerApi.h"

namespace quorvel {

namespace {
constexpr const char* kCategory = "privateapi";
}

const char* functionName(WindowServer::Function function) {
    switch (function) {
    case WindowServer::Function::defaultConnection: return "CGSDefaultConnection";
    case WindowServer::Function::copyManagedDisplaySpaces: return "CGSCopyManagedDisplaySpaces";
    case WindowServer::Function::getActiveSpace: return "CGSGetActiveSpace";
    case WindowServer::Function::moveWindowsToManagedSpace: return "CGSMoveWindowsToManagedSpace";
    case WindowServer::Function::managedDisplaySetCurrentSpace: return "CGSManagedDisplaySetCurrentSpace";
    case WindowServer::Function::copySpacesForWindows: return "SLSCopySpacesForWindows";
    }
    return "?";
}

bool WindowServerApi::hasRequiredFunctions() const {
    using F = WindowServer::Function;
    return m_server.resolves(F::defaultConnection) && m_server.resolves(F::copyManagedDisplaySpaces) &&
           m_server.resolves(F::getActiveSpace) && m_server.resolves(F::moveWindowsToManagedSpace);
}

bool WindowServerApi::available(WindowServer::Function function) {
    if (m_server.resolves(function)) return true;
    m_log.error(kCategory, "%s unavailable", functionName(function));
    return false;
}

ConnectionId WindowServerApi::defaultConnection() {
    if (!available(WindowServer::Function::defaultConnection)) return 0;
    return m_server.defaultConnection();
}

Json WindowServerApi::copyManagedDisplaySpaces(ConnectionId c) {
    if (!available(WindowServer::Function::copyManagedDisplaySpaces))
        return Json::array();
    return m_server.copyManagedDisplaySpaces(c);
}

SpaceId WindowServerApi::getActiveSpace(ConnectionId c) {
    if (!available(WindowServer::Function::getActiveSpace)) return 0;
    return m_server.getActiveSpace(c);
}

void WindowServerApi::moveWindowsToManagedSpace(ConnectionId c, const std::vector<WindowId>& windows, SpaceId space) {
    if (!available(WindowServer::Function::moveWindowsToManagedSpace)) return;
    m_server.moveWindowsToManagedSpace(c, windows, space);
}

void WindowServerApi::managedDisplaySetCurrentSpace(ConnectionId c, const std::string& display, SpaceId space) {
    if (!available(WindowServer::Function::managedDisplaySetCurrentSpace))
        return;
    m_server.managedDisplaySetCurrentSpace(c, display, space);
}

std::optional<Json> WindowServerApi::copySpacesForWindows(ConnectionId c, int mask,
                                                          const std::vector<WindowId>& windows) {
    if (!m_server.resolves(WindowServer::Function::copySpacesForWindows)) return std::nullopt;
    return m_server.copySpacesForWindows(c, mask, windows);
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
