// The control commands of `quorvel msg`, wired to the shared components and to the delegate's
// hot-key routes, so a message does exactly what the matching key press does.
#pragma once

#include "control/ControlCommands.h"
#include "shell/AppDelegate.h"
#include "shell/AppServices.h"

namespace quorvel {

// The delegate and the components must outlive the commands.
ControlCommands::Dependencies controlDependencies(const PlatformServices& platform, CoreServices& core,
                                                  AppDelegate& delegate);

} // namespace quorvel
