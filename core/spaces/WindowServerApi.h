// The wrappers every other component calls instead of the window server itself: a missing
// function is logged (category "privateapi") and answered with a neutral value.
#pragma once

#include "platform/Log.h"
#include "platform/WindowServer.h"

#include <optional>
#include <string>
#include <vector>

namespace quorvel {

class WindowServerApi {
public:
    WindowServerApi(WindowServer& server, Log& log) : m_server(server), m_log(log) {}

    // The four functions start-up cannot do without.
    bool hasRequiredFunctions() const;

    ConnectionId defaultConnection();                 // 0 when missing
    Json copyManagedDisplaySpaces(ConnectionId c);    // an empty array when missing
    SpaceId getActiveSpace(ConnectionId c);           // 0 when missing
    void moveWindowsToManagedSpace(ConnectionId c, const std::vector<WindowId>& windows, SpaceId space);
    void managedDisplaySetCurrentSpace(ConnectionId c, const std::string& display, SpaceId space);
    // None when missing or unanswered; the caller takes it as no answer (no log line here).
    std::optional<Json> copySpacesForWindows(ConnectionId c, int mask, const std::vector<WindowId>& windows);

    // The desktops a window is on, or none when the server has no array of numbers to give.
    std::optional<std::vector<SpaceId>> spacesForWindow(ConnectionId c, WindowId window);

    WindowServer& server() { return m_server; }

    // The number of a window-list entry, when present and within 32 bits.
    static std::optional<WindowId> windowNumber(const Json& window);

private:
    bool available(WindowServer::Function function);

    WindowServer& m_server;
    Log& m_log;
};

} // namespace quorvel
