// The simulated machine as the platform the app's shared components are built from: tests, the
// demo and the benchmarks build CoreServices over it exactly as the app builds them over X11.
#pragma once

#include "SimPlatform.h"
#include "shell/AppServices.h"

namespace quorvel::sim {

inline PlatformServices platformServices(SimPlatform& sim) {
    PlatformServices platform{sim.windowServer, sim.windowControl, sim.workspace, sim.screens, sim.hotkeys, sim.helpers,
            sim.notifier,     sim.outline,       sim.panels,    sim.defaults,  sim.scheduler, sim.log,
            sim.tray,         sim.applications,  sim.palettes, sim.text, &sim.shortcutViews, &sim.launchAtLogin,
            &sim.settingsViews};
    platform.welcomeViews = &sim.welcomeViews;
    platform.strip = &sim.strip;
    platform.displayOutputs = &sim.displayOutputs;
    return platform;
}

} // namespace quorvel::sim
