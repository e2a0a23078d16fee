// The window server's desktop table, current desktop, desktop moves and window list, served from
// the simulated world. Each call counts under its own name and can be made to fail (SimWorld).
#pragma once

#include "SimWorld.h"

namespace quorvel::sim {

class SimWindowServer final : public WindowServer {
public:
    explicit SimWindowServer(SimWorld& world) : m_world(world) {}

    bool announces(DesktopHint hint) const override { return m_world.announces(hint); }
    // A display without a UUID is left unnamed, so that the positional fallback is exercised.
    Answer<DesktopTable> desktopTable() override;
    Answer<SpaceId> currentDesktop() override;
    Outcome moveWindowsToDesktop(const std::vector<WindowId>& windows, SpaceId desktop) override;
    Outcome setCurrentDesktop(const std::string& display, SpaceId desktop) override;
    Answer<std::vector<SpaceId>> desktopsOfWindow(WindowId window) override;
    Answer<std::vector<WindowInfo>> windows(WindowFilter filter) override;

private:
    // Counts the call; an unannounced hint or an injected failure gives its error.
    std::optional<ServerError> enter(const char* call, DesktopHint hint);

    SimWorld& m_world;
};

} // namespace quorvel::sim
