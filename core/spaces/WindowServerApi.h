// The wrappers every other component calls instead of the window server itself: a call whose
// hint the window manager does not announce is logged (category "privateapi", "<hint>
// unavailable") and answered with a neutral value.
#pragma once

#include "platform/Log.h"
#include "platform/WindowServer.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvel {

class WindowServerApi {
public:
    WindowServerApi(WindowServer& server, Log& log) : m_server(server), m_log(log) {}

    // The hints start-up cannot do without, in the order they are checked.
    static constexpr DesktopHint kRequiredHints[] = {DesktopHint::numberOfDesktops, DesktopHint::currentDesktop,
                                                     DesktopHint::windowDesktop};
    bool hasRequiredHints() const;

    DesktopTable desktopTable(); // an empty table when there is no answer
    SpaceId currentDesktop();    // 0 when there is no answer
    void moveWindowsToDesktop(const std::vector<WindowId>& windows, SpaceId desktop);
    void setCurrentDesktop(const std::string& display, SpaceId desktop);
    // None when there is no answer; the caller takes it as no answer (no log line here).
    std::optional<std::vector<SpaceId>> desktopsOfWindow(WindowId window);
    // None when there is no answer: that is not an empty desktop. Read every few seconds, so an
    // unavailable window list is logged the first time only.
    std::optional<std::vector<WindowInfo>> windows(WindowFilter filter);

private:
    // Logs the error when the call is unavailable.
    void note(const ServerError& error);
    void noteOnce(const ServerError& error);

    WindowServer& m_server;
    Log& m_log;
    std::set<std::string> m_notedOnce;
};

} // namespace quorvel
