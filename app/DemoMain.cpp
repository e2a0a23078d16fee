// The demo: a small desktop on the simulator, printed as a user would see it.
#include "SimPlatform.h"
#include "shell/Settings.h"
#include "spaces/SpaceManager.h"

#include <iostream>

using namespace quorvel;

int main() {
    sim::SimPlatform sim;
    auto& world = sim.world;
    world.addDisplay({.uuid = "37D8832A-2D66-02CA-B9F7-8F30A301B230", .name = "Built-in Retina Display",
                      .bounds = {0, 0, 1512, 982}, .topInset = 33, .spaceCount = 3, .builtin = true});
    world.addDisplay({.uuid = "9C1A7E52-6F3B-4C4E-A0E5-1B2C3D4E5F60", .name = "DELL U2720Q",
                      .bounds = {1512, 0, 2560, 1440}, .topInset = 25, .spaceCount = 2});

    Settings settings(sim.defaults);
    WindowServerApi api(sim.windowServer, sim.accessibility, sim.log);
    WindowSnapshotSource snapshots(api, sim.scheduler, sim.log);
    SpaceManager spaces(api, sim.screens, settings, snapshots);

    for (const Display& display : spaces.getDisplays()) {
        std::cout << display.label << (display.isMain ? " (main)" : "") << '\n';
        for (const Space& space : display.spaces)
            std::cout << "  " << (space.isCurrent ? '*' : ' ') << ' ' << space.index << "  Desktop " << space.index
                      << '\n';
    }
    return 0;
}
