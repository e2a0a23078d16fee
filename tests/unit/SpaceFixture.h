// A simulated desktop with the space reader wired as the app wires it.
#pragma once

#include "SimPlatform.h"
#include "settings/Settings.h"
#include "spaces/SpaceManager.h"

#include <gtest/gtest.h>

namespace quorvel::test {

class SpaceFixture : public ::testing::Test {
protected:
    sim::SimPlatform sim;
    sim::SimWorld& world = sim.world;
    Settings settings{sim.defaults};
    WindowServerApi api{sim.windowServer, sim.log};
    WindowSnapshotSource snapshots{api, sim.scheduler, sim.log};
    SpaceManager spaces{api, sim.screens, settings, snapshots};

    // Two displays side by side: "Left" 1440×900 with three desktops, "Right" 1920×1080 with two.
    void twoDisplays() {
        world.addDisplay({.uuid = "LEFT-UUID", .name = "Left", .bounds = {0, 0, 1440, 900}, .spaceCount = 3});
        world.addDisplay({.uuid = "RIGHT-UUID", .name = "Right", .bounds = {1440, 0, 1920, 1080}, .spaceCount = 2});
    }
    SpaceId spaceAt(std::size_t display, std::size_t position) const {
        return world.displays().at(display).spaces.at(position).id;
    }
};

// "1 2 3 | 4 5": the indexes of every display, displays separated by bars.
inline std::string indexes(const std::vector<Display>& displays) {
    std::string out;
    for (const Display& display : displays) {
        if (!out.empty()) out += " |";
        for (const Space& space : display.spaces) {
            if (!out.empty()) out += ' ';
            out += std::to_string(space.index);
        }
    }
    return out;
}

} // namespace quorvel::test
