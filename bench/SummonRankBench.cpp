// One keystroke in the summon palette: ranking 5,000 installed applications (synthetic names of
// one to four words) against a query as it is typed, with 40 applications running.
#include "SimPlatform.h"
#include "summon/AppCatalog.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace quorvel;

namespace {

struct Catalog {
    sim::SimPlatform sim;
    AppCatalog catalog{sim.applications, sim.scheduler, sim.text, sim.log};
    RunningApps running;

    Catalog() {
        static const char* const words[] = {"Terminal", "Visual", "Studio", "Code", "Mail", "Files", "Music",
                                            "Photo", "Editor", "Viewer", "Manager", "Office", "Calc", "Writer",
                                            "Browser", "System", "Monitor", "Settings", "Game", "Chess", "Map",
                                            "Notes", "Paint", "Sound", "Recorder", "Disk", "Clock", "Weather"};
        std::mt19937 random(14);
        std::uniform_int_distribution<std::size_t> word(0, std::size(words) - 1);
        std::uniform_int_distribution<int> count(1, 4);
        std::vector<RunningApplication> processes;
        for (int i = 0; i < 5000; ++i) {
            std::string name;
            for (int w = count(random); w > 0; --w) {
                if (!name.empty()) name.push_back(' ');
                name.append(words[word(random)]);
            }
            const std::string number = std::to_string(i);
            name.push_back(' ');
            name.append(number);
            const std::string program = "app" + number;
            sim.applications.installed.push_back(
                {.name = name, .desktopFileId = "org.example." + program + ".desktop", .program = "/usr/bin/" + program});
            if (i % 125 == 0) processes.push_back({.pid = i + 100, .executablePath = "/usr/bin/" + program});
        }
        running = RunningApps(processes);
        catalog.entries(sim.scheduler.now());
        sim.scheduler.advance(Seconds(1));
    }
};

void rankKeystroke(benchmark::State& state, const std::string& query) {
    static Catalog machine;
    const auto& entries = machine.catalog.entries(machine.sim.scheduler.now());
    for (auto _ : state) {
        // The running list is read once per keystroke, as the palette does.
        const RunningApps running = machine.running;
        benchmark::DoNotOptimize(machine.catalog.match(query, entries, 200, running));
    }
    state.counters["entries"] = static_cast<double>(entries.size());
}

} // namespace

BENCHMARK_CAPTURE(rankKeystroke, empty, std::string())->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(rankKeystroke, t, std::string("t"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(rankKeystroke, ter, std::string("ter"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(rankKeystroke, terminal, std::string("terminal"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(rankKeystroke, vsc, std::string("vsc"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(rankKeystroke, nomatch, std::string("qqzx"))->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
