// Window manager tracking: on X11, access to other windows is an EWMH window manager being present.
// Remembers that it once worked and for which copy of the program, and tells a window manager that
// went away from a second copy. Used by the app's start-up, TilingCoordinator and the menu.
#pragma once

#include "platform/DefaultsStore.h"
#include "platform/Log.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace quorvel {

class AccessibilityGrant {
public:
    static constexpr std::string_view everGrantedKey = "accessibility_ever_granted"; // boolean
    // The program the grant was seen working for (a string). The key's text is stored data and keeps
    // its historical spelling.
    static constexpr std::string_view grantedExecutablePathKey = "accessibility_granted_bundle_path";

    // Access works: an EWMH window manager runs.
    struct Granted {
        friend bool operator==(const Granted&, const Granted&) = default;
    };
    // Access was never seen working.
    struct NotGranted {
        friend bool operator==(const NotGranted&, const NotGranted&) = default;
    };
    // A window manager worked before and none answers now, for the same copy or with no recorded copy.
    struct StaleGrant {
        friend bool operator==(const StaleGrant&, const StaleGrant&) = default;
    };
    // Access worked for the copy at `allowed`; the running copy at `running` finds no window manager.
    struct DuplicateCopy {
        std::string allowed;
        std::string running;
        friend bool operator==(const DuplicateCopy&, const DuplicateCopy&) = default;
    };
    using State = std::variant<Granted, NotGranted, StaleGrant, DuplicateCopy>;

    // Records a working grant: when `isTrusted()` answers true, sets the ever-granted flag (logging
    // once) and moves the recorded path to `executablePath` (logging when it changes). Does nothing when
    // not trusted. Without a known executable path only the flag is recorded.
    static void noteCurrentState(DefaultsStore& defaults, const std::function<bool()>& isTrusted,
                                 const std::optional<std::string>& executablePath, Log& log);

    // Pure: the present situation. A recorded path that cannot be compared with the running copy
    // (no running path known) counts as the same copy.
    static State classify(bool isTrusted, const DefaultsStore& defaults,
                          const std::optional<std::string>& runningExecutablePath);

    // Logs the stale-grant error line when the state is StaleGrant; a second copy logs nothing.
    // Called once at launch, after noteCurrentState.
    static void logStaleGrantIfNeeded(bool isTrusted, const DefaultsStore& defaults,
                                      const std::optional<std::string>& runningExecutablePath, Log& log);

    // The advice shown for the state; none when access works.
    static std::optional<std::string> explanation(const State& state);
};

} // namespace quorvel
