// A simulated desktop with the naming components wired as the app wires them, and the app's
// desktop-change step (prune names and overrides, save the snapshot) for scenario tests.
#pragma once

#include "SpaceFixture.h"
#include "spaces/AutoNamer.h"
#include "spaces/LabelStore.h"
#include "spaces/SpaceLabelPersistence.h"

#include <chrono>
#include <string>

namespace quorvel::test {

inline constexpr double kStart = 1767225600.0; // the sim's wall clock at time zero
inline constexpr Seconds kDay{86400};

class DesktopNamesFixture : public SpaceFixture {
protected:
    AutoNamer namer{api, sim.workspace, sim.windowControl, sim.scheduler, sim.defaults};
    LabelStore labels{settings, namer, [this] { return sim.scheduler.wallClock(); }};
    SpaceLabelPersistence persistence{labels, settings, spaces, sim.log};

    // One display with `count` desktops.
    void desktops(int count) { world.addDisplay({.uuid = "MAIN-UUID", .spaceCount = count}); }
    SpaceId desktop(std::size_t position) const { return world.displays().at(0).spaces.at(position).id; }

    // The app's desktop-change handler, as far as names go.
    void observeDesktopChanges() {
        sim.workspace.addObserver(WorkspaceEvent::activeSpaceDidChange, [this](const auto&) {
            const auto ids = spaces.allSpaceIDs();
            if (!ids.empty()) {
                labels.pruneDict(LabelStore::labelsKey, LabelStore::labelsLastSeenKey, ids);
                labels.pruneDict(LabelStore::tilingKey, LabelStore::tilingLastSeenKey, ids);
            }
            persistence.saveSpaceLabels();
        });
    }
    void switchTo(SpaceId space) {
        world.switchToSpace(space);
        sim.scheduler.runPending();
    }

    Pid openApp(const std::string& name, const std::string& title) {
        const Pid pid = world.launchApp({.name = name});
        world.openWindow(pid, {100, 100, 800, 600}, {.title = title});
        sim.scheduler.runPending();
        return pid;
    }

    Json stored(std::string_view key) const { return sim.defaults.object(key).value_or(Json()); }
    Space currentSpace() {
        for (const Space& space : spaces.getSpaces())
            if (space.isCurrent) return space;
        return {};
    }
};

} // namespace quorvel::test
