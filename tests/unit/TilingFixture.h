// The tiling engine wired over a simulated desktop as the app wires it, with helpers to tell
// window stories: open, focus, close, and read back where windows landed.
#pragma once

#include "DesktopNamesFixture.h"
#include "tiling/TilingEngine.h"

namespace quorvel::test {

using namespace std::chrono_literals;

class TilingFixture : public DesktopNamesFixture {
protected:
    SpotlightBorder border{sim.outline};
    TilingEngine engine{TilingContext{api, sim.windowControl, sim.workspace, sim.screens, settings, labels, spaces,
                                      border, sim.scheduler, sim.log}};

    // One 1440×900 display whose usable area is (0, 25, 1440, 875), `count` desktops, tiling on.
    void SetUp() override {
        world.addDisplay({.uuid = "MAIN-UUID", .bounds = {0, 0, 1440, 900}, .topInset = 25, .spaceCount = 4});
        sim.defaults.set(Settings::tilingEnabledKey, true);
    }

    Pid launch(const std::string& name = "Editor") {
        const Pid pid = world.launchApp({.name = name});
        settle();
        return pid;
    }
    // Opens a window where the app would put it (top-left, 600×400) and lets notifications arrive.
    WindowId open(Pid pid, sim::WindowOptions options = {}) {
        const WindowId id = world.openWindow(pid, {40, 60, 600, 400}, options);
        settle();
        return id;
    }
    // Lets queued notifications and short delays run (but not the 2 s close sweep).
    void settle(Seconds d = 0.1s) {
        sim.scheduler.runPending();
        sim.scheduler.advance(d);
    }
    Rect frameOf(WindowId id) { return world.window(id)->frame; }
    std::string treeOf(SpaceId space) {
        const BSPTree* tree = engine.view().tree(space);
        return tree ? tree->describe() : "-";
    }
    // The tree text with window ids replaced by names ("V[A H[B C]]"), of `of` when given.
    std::string layout(SpaceId space, const std::map<WindowId, std::string>& names, const TilingEngine* of = nullptr) {
        const BSPTree* tree = (of ? *of : engine).view().tree(space);
        std::string text = tree ? tree->describe() : "-";
        std::string out;
        for (std::size_t i = 0; i < text.size();) {
            if (std::isdigit(static_cast<unsigned char>(text[i]))) {
                std::size_t end = i;
                while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
                const auto id = static_cast<WindowId>(std::stoul(text.substr(i, end - i)));
                const auto name = names.find(id);
                out += name != names.end() ? name->second : text.substr(i, end - i);
                i = end;
            } else {
                out += text[i++];
            }
        }
        return out;
    }
};

// A running engine with one application's three windows on desktop 1: A on the left, B over C on
// the right.
class ThreeWindowFixture : public TilingFixture {
protected:
    void openThree() {
        app = launch();
        engine.start();
        a = open(app);
        b = open(app);
        c = open(app);
        names = {{a, "A"}, {b, "B"}, {c, "C"}};
    }
    Pid app = 0;
    WindowId a = 0, b = 0, c = 0;
    std::map<WindowId, std::string> names;
};

} // namespace quorvel::test
