// The window server's desktop table, active desktop, desktop moves and window list, served from
// the simulated world.
#pragma once

#include "SimWorld.h"

namespace quorvel::sim {

class SimWindowServer final : public WindowServer {
public:
    explicit SimWindowServer(SimWorld& world) : m_world(world) {}

    bool resolves(Function function) const override { return m_world.resolves(function); }
    ConnectionId defaultConnection() override;
    Json copyManagedDisplaySpaces(ConnectionId connection) override;
    SpaceId getActiveSpace(ConnectionId connection) override;
    void moveWindowsToManagedSpace(ConnectionId connection, const std::vector<WindowId>& windows,
                                   SpaceId space) override;
    void managedDisplaySetCurrentSpace(ConnectionId connection, const std::string& display, SpaceId space) override;
    std::optional<Json> copySpacesForWindows(ConnectionId connection, int mask,
                                             const std::vector<WindowId>& windows) override;
    Json copyWindowList(unsigned options, WindowId relativeTo) override;

    static constexpr ConnectionId kConnection = 0x5151;

private:
    SimWorld& m_world;
};

} // namespace quorvel::sim
