// The application delegate over one simulated display of four desktops, wired as the app wires
// it; for the delegate's own tests and for `quorvel msg`, which goes through the delegate.
#pragma once

#include "SimServices.h"
#include "shell/AppDelegate.h"

#include <gtest/gtest.h>

#include <memory>

namespace quorvel::test {

class DelegateFixture : public ::testing::Test {
protected:
    sim::SimPlatform sim;
    sim::SimWorld& world = sim.world;
    PlatformServices platform = sim::platformServices(sim);
    std::unique_ptr<CoreServices> core;
    std::unique_ptr<AppDelegate> app;

    void SetUp() override {
        world.addDisplay({.uuid = "MAIN-UUID", .spaceCount = 4});
        core = std::make_unique<CoreServices>(platform);
        app = std::make_unique<AppDelegate>(platform, *core);
    }
    void TearDown() override {
        app.reset();
        core.reset();
    }
    // Lets queued work run, then `d` of virtual time pass.
    void settle(Seconds d = Seconds(0)) {
        sim.scheduler.runPending();
        if (d > Seconds(0)) sim.scheduler.advance(d);
    }
    SpaceId desktop(std::size_t position) const { return world.displays().at(0).spaces.at(position).id; }
};

} // namespace quorvel::test
