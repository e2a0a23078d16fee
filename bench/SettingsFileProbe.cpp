// The defaults file on desktop switches: the app's delegate on a simulated machine with the real
// file store (in a temporary folder), two named desktops and tiling on. Prints the file writes per
// switch and the time the switch handler takes on the main thread (the posted write included);
// exits with status 1 when a switch writes the file more than once. The same switches over an
// in-memory store give the handler's own time, without the file.
//   quorvel_settings_file_probe [switches] [--immediate]   (--immediate: one write per change)
#include "JsonFileDefaults.h"
#include "SimServices.h"
#include "shell/AppDelegate.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

struct Figures {
    double writesPerSwitch = 0;
    std::uint64_t mostWrites = 0;
    double median = 0; // microseconds
    double p90 = 0;
};

// `switches` alternating switches between two named desktops; with `folder`, over the file store.
Figures run(int switches, const std::string* folder, bool immediate) {
    sim::SimPlatform sim;
    JsonFileDefaults file(folder ? std::filesystem::path(*folder) / "quorvel" / "defaults.json" : "/nonexistent/defaults.json",
                          sim.log, sim.scheduler.wallClock());
    if (!immediate) file.coalesceOn(sim.scheduler);
    DefaultsStore& defaults = folder ? static_cast<DefaultsStore&>(file) : sim.defaults;
    const PlatformServices simulated = sim::platformServices(sim);
    const PlatformServices platform{simulated.windowServer, simulated.windowControl, simulated.workspace,
                                    simulated.screens,      simulated.hotkeys,       simulated.helperWindows,
                                    simulated.notifier,     simulated.outline,       simulated.panels,
                                    defaults,               simulated.scheduler,     simulated.log,
                                    simulated.tray,         simulated.applications,  simulated.palettes,
                                    simulated.text};
    sim.world.addDisplay({.uuid = "MAIN-UUID", .spaceCount = 4});
    const auto& spaces = sim.world.displays().at(0).spaces;
    defaults.set(Settings::hasLaunchedBeforeKey, true);
    defaults.set(Settings::tilingEnabledKey, true);
    defaults.set("space_labels",
                 {{std::to_string(spaces.at(0).id), "Code"}, {std::to_string(spaces.at(1).id), "Mail"}});
    CoreServices core(platform);
    AppDelegate app(platform, core);
    if (!app.applicationDidFinishLaunching()) std::exit(2);
    sim.scheduler.runPending();

    // Tiling saves the desktops' trees a second after its first layout: that write is the
    // launch's, not a switch's.
    sim.scheduler.advance(std::chrono::seconds(5));
    sim.scheduler.runPending();

    std::vector<double> micros;
    Figures figures;
    const std::uint64_t writesBefore = file.writeCount();
    for (int i = 0; i < switches; ++i) {
        const std::uint64_t before = file.writeCount();
        // The stamps of the names' last sighting move on between switches.
        sim.scheduler.advance(std::chrono::seconds(1));
        const auto start = std::chrono::steady_clock::now();
        sim.world.switchToSpace(spaces.at(static_cast<std::size_t>(i % 2 == 0 ? 1 : 0)).id);
        sim.scheduler.runPending();
        micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        figures.mostWrites = std::max(figures.mostWrites, file.writeCount() - before);
    }
    app.applicationWillTerminate();
    std::sort(micros.begin(), micros.end());
    figures.writesPerSwitch = static_cast<double>(file.writeCount() - writesBefore) / switches;
    figures.median = micros[micros.size() / 2];
    figures.p90 = micros[micros.size() * 9 / 10];
    return figures;
}

} // namespace

int main(int argc, char** argv) {
    int switches = 200;
    bool immediate = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--immediate") immediate = true;
        else switches = std::max(1, std::atoi(argv[i]));
    }
    std::string folder = "/tmp/quorvel-settings-probe-XXXXXX";
    if (!::mkdtemp(folder.data())) return 2;
    const Figures withFile = run(switches, &folder, immediate);
    const Figures inMemory = run(switches, nullptr, immediate);
    std::filesystem::remove_all(folder);

    std::printf("desktop switches: %d (%s)\n", switches, immediate ? "one write per change" : "one write per turn");
    std::printf("file writes per switch: %.2f on average, %llu at most\n", withFile.writesPerSwitch,
                static_cast<unsigned long long>(withFile.mostWrites));
    std::printf("switch on the main thread, file write included: median %.0f us, 90th percentile %.0f us\n",
                withFile.median, withFile.p90);
    std::printf("the same over an in-memory store (the handler alone): median %.0f us, 90th percentile %.0f us\n",
                inMemory.median, inMemory.p90);
    if (!immediate && withFile.mostWrites > 1) {
        std::printf("a switch wrote the file more than once\n");
        return 1;
    }
    return 0;
}
