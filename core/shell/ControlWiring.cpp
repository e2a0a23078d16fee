// See ControlWiring.h.
#include "shell/ControlWiring.h"

namespace quorvel {

ControlCommands::Dependencies controlDependencies(const PlatformServices& platform, CoreServices& core,
                                                  AppDelegate& delegate) {
    return {
        .spaces = core.spaces,
        .labels = core.labels,
        .engine = core.engine,
        .coordinator = core.coordinator,
        .settings = core.settings,
        .api = core.api,
        .screens = platform.screens,
        .perform = [&delegate](HotkeyAction action) { delegate.perform(action); },
        .switchToSpace = [&delegate](int number) { delegate.switchToSpace(number); },
        .onViewsChanged = [&delegate] { delegate.refreshAll(); },
    };
}

} // namespace quorvel
