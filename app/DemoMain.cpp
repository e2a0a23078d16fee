// The demo: a small simulated desktop, its table printed as a user would see it, then a restart
// of the window server that renumbers every desktop, after which the names come back.
#include "SimServices.h"

#include <iostream>
#include <memory>

using namespace quorvel;
using namespace std::chrono_literals;

namespace {

// Terminal columns of a UTF-8 text (one per code point is right for these names).
std::size_t codePoints(const std::string& text) {
    std::size_t n = 0;
    for (const unsigned char c : text) n += (c & 0xC0) != 0x80;
    return n;
}

// The app's side of the demo, built over the simulated machine as the real app is built over X11.
struct App {
    explicit App(sim::SimPlatform& platform) : sim(platform) {}

    sim::SimPlatform& sim;
    CoreServices core{sim::platformServices(sim)};
    SpaceManager& spaces = core.spaces;
    LabelStore& labels = core.labels;

    void printTable(const char* heading) {
        std::cout << heading << "\n\n";
        const auto displays = spaces.getDisplays();
        labels.refreshAutoNames(spaces.getSpaces());
        const auto layouts = spaces.windowLayouts(displays);
        for (const Display& display : displays) {
            std::cout << display.label << (display.isMain ? "  (main)" : "") << '\n';
            for (const Space& space : display.spaces) {
                const auto windows = layouts.count(space.id) ? layouts.at(space.id).size() : 0;
                const auto forced = labels.tilingOverride(space.id);
                std::string name = labels.displayName(space);
                for (auto width = codePoints(name); width < 30; ++width) name += ' ';
                std::cout << "  " << (space.isCurrent ? "▸ " : "  ")
                          << (space.index ? std::to_string(space.index) : "–") << "  " << name << windows
                          << (windows == 1 ? " window" : " windows");
                if (forced != TilingOverride::automatic) std::cout << "   tiling " << rawValue(forced);
                std::cout << '\n';
            }
        }
        std::cout << '\n';
        sim.scheduler.runPending(); // the next turn of the main queue
    }
};

} // namespace

int main() {
    sim::SimPlatform machine;
    auto& world = machine.world;
    auto demo = std::make_unique<App>(machine);
    world.addDisplay({.uuid = "37D8832A-2D66-02CA-B9F7-8F30A301B230", .name = "Built-in Display",
                      .bounds = {0, 0, 1512, 982}, .topInset = 33, .spaceCount = 3, .builtin = true});
    world.addDisplay({.uuid = "9C1A7E52-6F3B-4C4E-A0E5-1B2C3D4E5F60", .name = "DELL U2720Q",
                      .bounds = {1512, 0, 2560, 1440}, .topInset = 25, .spaceCount = 2});
    const SpaceId movie = world.addSpace(1, true);
    auto space = [&](std::size_t display, std::size_t position) {
        return world.displays()[display].spaces[position].id;
    };

    demo->core.namer.startObserving();
    const Pid terminal = world.launchApp({.name = "Terminal"});
    const Pid editor = world.launchApp({.name = "Text Editor"});
    const Pid player = world.launchApp({.name = "Videos"});
    const Pid browser = world.launchApp({.name = "Firefox"});

    // Work on desktop 1, then 2, then on the second display; each visit is remembered.
    world.openWindow(terminal, {40, 60, 700, 450}, {.title = "make — quorvel"});
    world.openWindow(terminal, {760, 60, 700, 450}, {.title = "htop", .focus = false});
    machine.scheduler.advance(1s);
    world.openWindow(editor, {100, 80, 900, 700}, {.title = "notes.md — Text Editor", .space = space(0, 1)});
    machine.scheduler.advance(1s);
    world.openWindow(browser, {1600, 60, 1800, 1200}, {.title = "Release checklist", .space = space(1, 0)});
    machine.scheduler.advance(1s);
    world.openWindow(player, {1512, 0, 2560, 1440}, {.title = "Film", .space = movie, .focus = false});
    world.switchToSpace(space(0, 0));
    machine.scheduler.advance(1s);

    demo->labels.setLabel("Music", space(0, 2));
    demo->labels.setTilingOverride(TilingOverride::on, space(0, 0));
    demo->core.persistence.saveSpaceLabels();
    demo->printTable("Desktops (▸ current, – full screen):");

    // The window server restarts and hands out new desktop ids; the app starts again.
    world.renumberSpaces();
    demo.reset();
    App restarted(machine);
    restarted.core.persistence.restoreSpaceLabels();
    for (const auto& line : machine.log.lines("app"))
        if (line.starts_with("restored")) std::cout << "After a restart with new desktop ids: " << line << "\n\n";
    restarted.printTable("Desktops after the restart:");
    return 0;
}
