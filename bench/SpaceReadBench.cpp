// A full desktop read as a menu refresh does it: getDisplays() and windowLayouts() on a
// simulated machine with 3 displays, 16 desktops (one full screen) and 300 windows.
#include "SimPlatform.h"
#include "settings/Settings.h"
#include "spaces/SpaceManager.h"

#include <benchmark/benchmark.h>

using namespace quorvel;

namespace {

struct Machine {
    sim::SimPlatform sim;
    Settings settings{sim.defaults};
    WindowServerApi api{sim.windowServer, sim.log};
    WindowSnapshotSource snapshots{api, sim.scheduler, sim.log};
    SpaceManager spaces{api, sim.screens, settings, snapshots};

    explicit Machine(int windows) {
        auto& world = sim.world;
        world.addDisplay({.uuid = "A", .name = "Built-in", .bounds = {0, 0, 1512, 982}, .spaceCount = 6});
        world.addDisplay({.uuid = "B", .name = "Left", .bounds = {-2560, 0, 2560, 1440}, .spaceCount = 5});
        world.addDisplay({.uuid = "C", .name = "Right", .bounds = {1512, -300, 1920, 1080}, .spaceCount = 4});
        world.addSpace(0, true);
        std::vector<SpaceId> all;
        for (const auto& display : world.displays())
            for (const auto& space : display.spaces) all.push_back(space.id);
        std::vector<Pid> apps;
        for (int a = 0; a < 20; ++a) apps.push_back(world.launchApp({.name = "App " + std::to_string(a)}));
        for (int w = 0; w < windows; ++w) {
            const SpaceId space = all[static_cast<std::size_t>(w) % all.size()];
            const auto& display = world.displays()[*world.displayOf(space)];
            const Rect frame{display.bounds.x + (w * 37) % 400, display.bounds.y + 40 + (w * 23) % 300, 600, 400};
            world.openWindow(apps[static_cast<std::size_t>(w) % apps.size()], frame,
                             {.title = "Document " + std::to_string(w), .space = space, .focus = false});
        }
    }
};

void fullDesktopRead(benchmark::State& state) {
    Machine machine(static_cast<int>(state.range(0)));
    machine.sim.world.resetCalls();
    for (auto _ : state) {
        auto displays = machine.spaces.getDisplays();
        auto layouts = machine.spaces.windowLayouts(displays);
        benchmark::DoNotOptimize(layouts);
        // The next turn of the main queue: the snapshot cache clears, as between two refreshes.
        state.PauseTiming();
        machine.sim.scheduler.runPending();
        machine.sim.log.clear();
        state.ResumeTiming();
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["windowListReads"] = machine.sim.world.calls("windowList") / iterations;
    state.counters["spaceLookups"] = machine.sim.world.calls("desktopsOfWindow") / iterations;
    state.counters["tableReads"] = machine.sim.world.calls("desktopTable") / iterations;
}

// Three views of one refresh (menu, panel, strip) share the snapshot of their turn.
void refreshOfThreeViews(benchmark::State& state) {
    Machine machine(static_cast<int>(state.range(0)));
    machine.sim.world.resetCalls();
    for (auto _ : state) {
        for (int view = 0; view < 3; ++view) {
            auto layouts = machine.spaces.windowLayouts(machine.spaces.getDisplays());
            benchmark::DoNotOptimize(layouts);
        }
        state.PauseTiming();
        machine.sim.scheduler.runPending();
        machine.sim.log.clear();
        state.ResumeTiming();
    }
    state.counters["windowListReads"] =
        machine.sim.world.calls("windowList") / static_cast<double>(state.iterations());
}

} // namespace

BENCHMARK(fullDesktopRead)->Arg(300)->Unit(benchmark::kMicrosecond);
BENCHMARK(refreshOfThreeViews)->Arg(300)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
