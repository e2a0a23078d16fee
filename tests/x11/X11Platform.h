// The X11 backend and the app's core wired together over one private X server, driven by a poll
// loop: what the app will build, minus Qt. Used by the end-to-end tests and the latency probe.
#pragma once

#include "CapturingLog.h"
#include "MemoryDefaults.h"
#include "PollLoop.h"
#include "SimNotifier.h"
#include "X11Accessibility.h"
#include "X11ClientTracker.h"
#include "X11Connection.h"
#include "X11Screens.h"
#include "X11WindowServer.h"
#include "X11Workspace.h"
#include "XServer.h"
#include "settings/Settings.h"
#include "spaces/AutoNamer.h"
#include "spaces/LabelStore.h"
#include "spaces/SpaceManager.h"
#include "tiling/TilingEngine.h"

#include <memory>
#include <stdexcept>

namespace quorvel::x11test {

struct X11Platform {
    explicit X11Platform(XServer& server, bool echoLog = false)
        : log(echoLog), connection(x11::X11Connection::open(server.display(), log)) {
        if (!connection) throw std::runtime_error("cannot connect to " + server.display());
        loop.watch(connection->fileDescriptor(), [this] { connection->dispatch(); });
        windowServer = std::make_unique<x11::X11WindowServer>(*connection, log);
        screens = std::make_unique<x11::X11Screens>(*connection, loop);
        tracker = std::make_unique<x11::X11ClientTracker>(*connection, loop, log);
        accessibility = std::make_unique<x11::X11Accessibility>(*connection, *tracker, loop, log);
        workspace = std::make_unique<x11::X11Workspace>(*connection, *tracker, loop, log);
        api = std::make_unique<WindowServerApi>(*windowServer, *accessibility, log);
        snapshots = std::make_unique<WindowSnapshotSource>(*api, loop, log);
        spaces = std::make_unique<SpaceManager>(*api, *screens, settings, *snapshots);
        namer = std::make_unique<AutoNamer>(*api, *workspace, *accessibility, loop, defaults);
        labels = std::make_unique<LabelStore>(settings, *namer, [this] { return loop.wallClock(); });
        border = std::make_unique<SpotlightBorder>(outline);
        engine = std::make_unique<TilingEngine>(TilingContext{*api, *accessibility, *workspace, *screens, settings,
                                                              *labels, *spaces, *border, loop, log});
    }
    ~X11Platform() {
        engine.reset(); // stops first, while the backend it talks to still exists
    }

    // Runs the loop until `condition` holds (bounded).
    bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
        return loop.runUntil(condition, timeout);
    }

    sim::CapturingLog log;
    PollLoop loop;
    sim::MemoryDefaults defaults;
    Settings settings{defaults};
    sim::SimOutlineWindow outline;
    std::unique_ptr<x11::X11Connection> connection;
    std::unique_ptr<x11::X11WindowServer> windowServer;
    std::unique_ptr<x11::X11Screens> screens;
    std::unique_ptr<x11::X11ClientTracker> tracker;
    std::unique_ptr<x11::X11Accessibility> accessibility;
    std::unique_ptr<x11::X11Workspace> workspace;
    std::unique_ptr<WindowServerApi> api;
    std::unique_ptr<WindowSnapshotSource> snapshots;
    std::unique_ptr<SpaceManager> spaces;
    std::unique_ptr<AutoNamer> namer;
    std::unique_ptr<LabelStore> labels;
    std::unique_ptr<SpotlightBorder> border;
    std::unique_ptr<TilingEngine> engine;
};

} // namespace quorvel::x11test
