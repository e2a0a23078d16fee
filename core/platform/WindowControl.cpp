// Names of window-control errors and events, as log lines print them.
#include "platform/WindowControl.h"

namespace quorvel {

const char* errorName(WindowError error) {
    switch (error) {
    case WindowError::windowGone: return "windowGone";
    case WindowError::notPermitted: return "notPermitted";
    case WindowError::unsupported: return "unsupported";
    case WindowError::invalidArgument: return "invalidArgument";
    case WindowError::cannotComplete: return "cannotComplete";
    case WindowError::noValue: return "noValue";
    case WindowError::observerGone: return "observerGone";
    case WindowError::alreadyWatching: return "alreadyWatching";
    }
    return "?";
}

std::map<WindowId, FrameReading> WindowControl::frames(const std::vector<WindowId>& windows) {
    std::map<WindowId, FrameReading> read;
    for (const WindowId window : windows)
        if (const auto rect = frame(window)) read[window] = FrameReading{*rect, {}};
    return read;
}

const char* eventName(WindowEvent event) {
    switch (event) {
    case WindowEvent::windowCreated: return "windowCreated";
    case WindowEvent::focusedWindowChanged: return "focusedWindowChanged";
    case WindowEvent::windowDestroyed: return "windowDestroyed";
    case WindowEvent::minimised: return "minimised";
    case WindowEvent::restored: return "restored";
    case WindowEvent::desktopChanged: return "desktopChanged";
    case WindowEvent::fullScreenEntered: return "fullScreenEntered";
    case WindowEvent::fullScreenLeft: return "fullScreenLeft";
    case WindowEvent::frameChanged: return "frameChanged";
    }
    return "?";
}

} // namespace quorvel
