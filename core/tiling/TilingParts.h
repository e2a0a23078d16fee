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

#include <compare>
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

// Where a tree lives: a desktop on one monitor. EWMH desktops span every monitor, so a desktop has
// a tree per monitor holding its windows: the home monitor (the one the desktop table names for the
// desktop, laid out exactly as with a single monitor) and each further monitor by display number.
inline constexpr DisplayNumber kHomeMonitor = 0;
struct TreeKey {
    SpaceId space = 0;
    DisplayNumber monitor = kHomeMonitor;
    friend auto operator<=>(const TreeKey&, const TreeKey&) = default;
};

namespace tiling {
inline constexpr const char* kCategory = "tiling";
} // namespace tiling

} // namespace quorvel
