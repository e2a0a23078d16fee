// What the tiling engine's parts share: the platform they talk to and the run they belong to.
// Internal to core/tiling; other components include TilingEngine.h.
#pragma once

#include "platform/Log.h"
#include "platform/Scheduler.h"
#include "platform/Screens.h"
#include "platform/WindowControl.h"
#include "platform/Workspace.h"
#include "settings/Settings.h"
#include "spaces/LabelStore.h"
#include "spaces/SpaceManager.h"
#include "spaces/WindowServerApi.h"
#include "tiling/SpotlightBorder.h"

#include <cstdint>

namespace quorvel {

// Everything the engine talks to, built once by the composition root.
struct TilingContext {
    WindowServerApi& api;
    WindowControl& windows;
    Workspace& workspace;
    Screens& screens;
    Settings& settings;
    LabelStore& labels;
    SpaceManager& spaces;
    SpotlightBorder& border;
    Scheduler& scheduler;
    Log& log;
};

// Whether the engine runs, and which run: stop() bumps the generation, so delayed work of an
// earlier run does nothing in a later one. Owned by the engine, read by its parts.
struct TilingRun {
    bool running = false;
    std::uint64_t generation = 0;

    bool isCurrent(std::uint64_t scheduledIn) const { return running && generation == scheduledIn; }
};

namespace tiling {
inline constexpr const char* kCategory = "tiling";
} // namespace tiling

} // namespace quorvel
